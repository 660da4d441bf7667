// The shared core of the fakes: one call log for every fake port (so a test sees the
// order of calls across ports), failure injection by call name, and the table of live
// reference-counted fake objects.
// Depends on the ports' ref.h / result.h and the standard library. Test support only:
// never linked into a program.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ref.h"
#include "platform/result.h"

namespace nb::fake {

// One recorded call: "Interface::Method", its integer arguments (handles, flags, sizes,
// results of sub-steps as the fake chose to record them) and its text arguments.
struct Call {
  std::string name;
  std::vector<int64_t> args;
  std::vector<std::string> texts;

  // The part after "::" ("CreateSurface" of "DirectDraw::CreateSurface").
  std::string_view Method() const;
};

// Which calls of a name fail.
struct FailWhen {
  enum class Kind { Nth, FromNth, Every };
  Kind kind;
  uint32_t n;  // 1-based

  static FailWhen First() { return {Kind::Nth, 1}; }
  static FailWhen Nth(uint32_t n) { return {Kind::Nth, n}; }
  static FailWhen FromNth(uint32_t n) { return {Kind::FromNth, n}; }
  static FailWhen Every() { return {Kind::Every, 1}; }
};

class FakeWorld {
 public:
  FakeWorld() = default;
  FakeWorld(const FakeWorld&) = delete;
  FakeWorld& operator=(const FakeWorld&) = delete;
  // Destroys every fake object still alive, so that a test that leaks references on
  // purpose leaves no memory behind. Refs must not outlive the world.
  ~FakeWorld();
  // The same, earlier: for owners whose fake ports must outlive the objects (FakePlatform).
  // Every Ref into the world must be gone or no longer used afterwards.
  void DestroyAll();

  // ---- Call log
  void Record(std::string name, std::initializer_list<int64_t> args = {},
              std::initializer_list<std::string_view> texts = {});
  const std::vector<Call>& Calls() const { return calls_; }
  // Calls whose full name or method name equals name.
  std::vector<Call> CallsNamed(std::string_view name) const;
  size_t CountCalls(std::string_view name) const;
  // Method names of the calls in order, for order assertions; with a filter, only the
  // calls whose name matches one of the filter entries.
  std::vector<std::string> CallNames(std::initializer_list<std::string_view> filter = {}) const;
  void ClearCalls() { calls_.clear(); }

  // ---- Failure injection
  // Makes calls matching name (full "DirectDraw::CreateSurface" or bare "CreateSurface")
  // fail with result, counted from now. Several rules may exist; the first that fires wins.
  void FailCall(std::string name, int32_t result, FailWhen when = FailWhen::First());
  void ClearFailures() { rules_.clear(); }
  // Called by every fake method once per call: counts the call against each matching rule
  // and returns the failure to report, or S_OK.
  int32_t Check(std::string_view fullName);
  // Check for calls whose failure is not a code (false, a null handle): any rule result.
  bool Refuses(std::string_view fullName) { return Check(fullName) != S_OK; }

  // ---- Failure sweep: every call that consults the rules, counted, so that a test can
  // run a scenario once to count its calls and then fail each of them in turn.
  // Calls counted so far.
  uint64_t CheckedCalls() const { return checkedCalls_; }
  // Makes the n-th counted call from now (1-based) fail with what resultFor gives for
  // its name; a rule of FailCall that fires on the same call wins.
  void FailNthCall(uint64_t n, int32_t (*resultFor)(std::string_view fullName));
  // The full name of the call the sweep failed; empty until it has fired.
  const std::string& SweptCall() const { return sweptCall_; }
  // Runs action, the test's own move on the machine (closing a foreign window, say), with
  // its calls neither counted nor failed: only the program's calls are swept.
  template <class Action>
  void Unchecked(Action&& action) {
    ++unchecked_;
    action();
    --unchecked_;
  }

  // A fresh non-zero handle value (windows, device contexts, bitmaps, keys, ...).
  uintptr_t NewHandle() { return nextHandle_ += 4; }

  // ---- Live objects
  struct LiveObject {
    const Unknown* object;
    std::string type;
    uint32_t references;
  };
  std::vector<LiveObject> LiveObjects() const;
  // Number of live objects of a type name ("DrawSurface"), or of all types when empty.
  size_t LiveCount(std::string_view type = {}) const;
  // Current reference count of a live object; 0 when it is not (or no longer) alive.
  uint32_t RefCount(const Unknown* object) const;
  bool IsAlive(const Unknown* object) const;

  // Bookkeeping for FakeObject.
  struct Tracked {
    Unknown* object;
    const char* type;
    const uint32_t* count;
    void (*dropHoldings)(Unknown*);  // releases what the object holds, deletes nothing
    void (*erase)(Unknown*);         // deletes the object, releasing nothing
  };
  void Track(const Tracked& tracked);
  void Untrack(const Unknown* object);
  // An object destroyed by the platform while references to it remain (the back buffer of
  // a released flip chain): no longer live, but its memory stays until its last Release.
  void Bury(const Tracked& tracked);
  void Unbury(const Unknown* object);
  bool tearingDown() const { return tearingDown_; }

 private:
  struct Rule {
    std::string name;
    int32_t result;
    FailWhen when;
    uint32_t seen = 0;
  };
  std::vector<Call> calls_;
  std::vector<Rule> rules_;
  uint64_t checkedCalls_ = 0;
  int unchecked_ = 0;
  uint64_t sweepAt_ = 0;  // 0: no sweep
  int32_t (*sweepResult_)(std::string_view) = nullptr;
  std::string sweptCall_;
  std::vector<Tracked> live_;
  std::vector<Tracked> buried_;
  bool tearingDown_ = false;
  uintptr_t nextHandle_ = 0x1000;
};

// Whether a call's full name matches a name given by a test (full or bare method).
bool NameMatches(std::string_view fullName, std::string_view wanted);

// Reference counting and live tracking for a fake COM-style object implementing the port
// interface Primary (and Others, sharing one count). At count 0 the object releases what
// it holds (OnFinalRelease) and deletes itself.
template <class Derived, class Primary, class... Others>
class FakeObject : public Primary, public Others... {
 public:
  explicit FakeObject(FakeWorld& world, const char* type) : world_(world), type_(type) {
    world_.Track(Tracking());
  }
  FakeObject(const FakeObject&) = delete;
  FakeObject& operator=(const FakeObject&) = delete;

  uint32_t AddRef() override {
    world_.Record(std::string(type_) + "::AddRef", {static_cast<int64_t>(count_ + 1)});
    return ++count_;
  }
  // Out of line for GCC's use-after-free analysis, which cannot see that a caller reading
  // the object afterwards still holds a reference.
  [[gnu::noinline]] uint32_t Release() override {
    if (count_ == 0) return 0;  // one release too many: reported as a count of 0
    const uint32_t left = --count_;
    if (world_.tearingDown()) return left;
    world_.Record(std::string(type_) + "::Release", {static_cast<int64_t>(left)});
    if (left == 0) {
      if (buried_) {
        world_.Unbury(static_cast<Primary*>(this));
      } else {
        OnFinalRelease();
        world_.Untrack(static_cast<Primary*>(this));
      }
      delete static_cast<Derived*>(this);
    }
    return left;
  }

  FakeWorld& world() const { return world_; }
  const char* typeName() const { return type_; }
  uint32_t references() const { return count_; }
  bool buried() const { return buried_; }

 protected:
  ~FakeObject() override = default;
  // Releases every object this one holds. Runs once, before deletion or burial; must not
  // touch objects it does not hold a reference to.
  virtual void OnFinalRelease() {}
  // Destroys the object on behalf of the platform although references remain: it drops
  // its holdings and leaves the live table; later calls on it should fail.
  void Bury() {
    if (buried_) return;
    buried_ = true;
    OnFinalRelease();
    world_.Untrack(static_cast<Primary*>(this));
    world_.Bury(Tracking());
  }

 private:
  FakeWorld::Tracked Tracking() {
    return {static_cast<Primary*>(this), type_, &count_, &DropHoldings, &Erase};
  }
  static Derived* Self(Unknown* object) {
    return static_cast<Derived*>(static_cast<Primary*>(object));
  }
  static void DropHoldings(Unknown* object) {
    FakeObject* self = Self(object);
    if (!self->buried_) self->OnFinalRelease();
  }
  static void Erase(Unknown* object) { delete Self(object); }

  FakeWorld& world_;
  const char* type_;
  uint32_t count_ = 1;
  bool buried_ = false;
};

// QueryInterface result helper for fakes: stores ptr (AddRef'd) or null.
template <class Interface, class Object>
int32_t HandOut(Object* object, void** out) {
  Interface* face = object;
  face->AddRef();
  *out = static_cast<void*>(face);
  return S_OK;
}

}  // namespace nb::fake
