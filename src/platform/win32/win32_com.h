// Wrappers of real COM objects behind the ports' reference-counted objects, shared by the
// graphics and sound adapters.
//
// One wrapper per real interface pointer at any time (a table maps the real pointer to its
// wrapper, so an object handed out again by GetAttachedSurface, GetRenderTarget,
// GetDDInterface or QueryInterface comes back as the same wrapper). AddRef and Release go
// to the real object one for one and return its real count. The wrapper also counts the
// references the program holds through it: it dies when that count reaches zero (the
// program can no longer reach it) or when the real object reports its end, whichever comes
// first. Objects that the platform ends on its own (the back buffer of a released flip
// chain) are ended by their owner's wrapper (see EndWith).
// Depends on <windows.h> and the ports' ref.h; included only by the Win32 adapter's
// sources.
#pragma once

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

// The port header first: many of its names are macros in <windows.h>.
#include "platform/ref.h"

#include <windows.h>

namespace nb::win32 {

inline const ::GUID& ToWin(const nb::GUID& guid) { return reinterpret_cast<const ::GUID&>(guid); }
inline const nb::GUID& FromWin(const ::GUID& guid) { return reinterpret_cast<const nb::GUID&>(guid); }

class ComWrapper;

// The wrappers alive in one adapter, and which one answers for each real interface
// pointer. Two wrappers can claim one pointer (a stale wrapper of an object the platform
// freed, and a new object at the same address): the later one answers, and the earlier
// one answers again once the later one is gone.
class WrapperTable {
 public:
  WrapperTable() = default;
  WrapperTable(const WrapperTable&) = delete;
  WrapperTable& operator=(const WrapperTable&) = delete;
  // Wrappers still alive belong to objects the program leaked; they are freed, their real
  // objects are left alone.
  ~WrapperTable();

  ComWrapper* Find(const void* real) const;
  // Called by every wrapper as it is made and as it goes.
  void Enlist(ComWrapper* wrapper);
  void Delist(ComWrapper* wrapper);
  // wrapper answers for real from now on.
  void Add(const void* real, ComWrapper* wrapper);
  // wrapper no longer answers for real; another live wrapper that claims real takes over.
  void Remove(const void* real, const ComWrapper* wrapper);
  // Distinct wrappers alive.
  size_t LiveCount() const { return live_.size(); }
  const std::vector<ComWrapper*>& Live() const { return live_; }

 private:
  std::unordered_map<const void*, ComWrapper*> byReal_;
  std::vector<ComWrapper*> live_;  // in the order they were made
};

class ComWrapper {
 public:
  ComWrapper(WrapperTable& table, IUnknown* real);
  virtual ~ComWrapper();
  ComWrapper(const ComWrapper&) = delete;
  ComWrapper& operator=(const ComWrapper&) = delete;

  IUnknown* realUnknown() const { return real_; }
  WrapperTable& table() const { return table_; }
  uint32_t programReferences() const { return programRefs_; }

  // One more reference of the program's, handed out with an out-parameter (the real call
  // has already added it on the real object).
  void HandedOut() { ++programRefs_; }
  // After the real AddRef: returns its count.
  uint32_t Added(ULONG realCount) {
    ++programRefs_;
    return static_cast<uint32_t>(realCount);
  }
  // After the real Release: returns its count; the wrapper may be gone afterwards.
  uint32_t Released(ULONG realCount);

  // Another wrapper whose real object the platform destroys together with this one's
  // (an attached surface of a complex surface).
  void EndWith(ComWrapper* dependent);
  // Another name of the same real object (the texture interface of a surface).
  void AddAlias(const void* real);
  // True when real is this wrapper's real pointer or one of its other names.
  bool Claims(const void* real) const;

 protected:
  // The real object is gone: wrappers that depend on it go as well.
  void EndDependents();

 private:
  void Forget(ComWrapper* dependent);

  WrapperTable& table_;
  IUnknown* real_;
  uint32_t programRefs_ = 0;
  std::vector<const void*> aliases_;
  std::vector<ComWrapper*> dependents_;
  ComWrapper* owner_ = nullptr;  // the wrapper whose end ends this one
};

// The wrapper of a real pointer in the table, of type W, or a new one made by make();
// either way with one more program reference (the out-parameter's).
template <class W, class Make>
W* Obtain(WrapperTable& table, const void* real, Make make) {
  ComWrapper* found = table.Find(real);
  W* wrapper = found ? dynamic_cast<W*>(found) : nullptr;
  if (!wrapper) wrapper = make();
  wrapper->HandedOut();
  return wrapper;
}

// The wrapper of a real interface pointer of one of the kinds the ports name.
template <class W, class Real>
W* Wrap(WrapperTable& table, Real* real) {
  return Obtain<W>(table, real, [&] { return new W(table, real); });
}

// The wrapper of a port object, if it is one of ours of type W.
template <class W, class Port>
W* Unwrap(Port* object) {
  return object ? dynamic_cast<W*>(object) : nullptr;
}

// A wrapper of an interface the system only holds and releases (the first interface that
// DirectDrawCreate returns, an IUnknown asked for by QueryInterface).
class UnknownWrapper final : public Unknown, public ComWrapper {
 public:
  using Factory = void* (*)(WrapperTable& table, const nb::GUID& iid, void* real);
  UnknownWrapper(WrapperTable& table, IUnknown* real, Factory factory)
      : ComWrapper(table, real), factory_(factory) {}

  uint32_t AddRef() override { return Added(realUnknown()->AddRef()); }
  uint32_t Release() override { return Released(realUnknown()->Release()); }
  int32_t QueryInterface(const nb::GUID& iid, void** out) override;

 private:
  Factory factory_;
};

// The part every wrapper of a port interface shares: the reference count and
// QueryInterface passed through to the real interface, with wrap making the wrappers of
// what QueryInterface answers.
template <class Port, class Real, UnknownWrapper::Factory wrap>
class PortWrapper : public Port, public ComWrapper {
 public:
  PortWrapper(WrapperTable& table, Real* real)
      : ComWrapper(table, reinterpret_cast<IUnknown*>(real)), real_(real) {}
  uint32_t AddRef() override { return Added(real_->AddRef()); }
  uint32_t Release() override { return Released(real_->Release()); }
  int32_t QueryInterface(const nb::GUID& iid, void** out) override;
  Real* real() const { return real_; }

 protected:
  Real* real_;
};

// QueryInterface through a real object: asks it for iid and wraps the answer with factory
// (which takes over the real reference and returns the port pointer named by iid, or null
// after releasing it when the answer cannot be that port's object).
int32_t QueryThrough(WrapperTable& table, IUnknown* real, const nb::GUID& iid, void** out,
                     UnknownWrapper::Factory factory);

template <class Port, class Real, UnknownWrapper::Factory wrap>
int32_t PortWrapper<Port, Real, wrap>::QueryInterface(const nb::GUID& iid, void** out) {
  return QueryThrough(table(), reinterpret_cast<IUnknown*>(real_), iid, out, wrap);
}

}  // namespace nb::win32
