// Ref<T> semantics over a minimal counted object: adopt without AddRef, retain with
// AddRef, release before reassigning, Reset reporting the count Release returned, and
// QueryInterface into a Ref.
#include "platform/ref.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

class Counted final : public nb::Unknown {
 public:
  explicit Counted(int* alive) : alive_(alive) { ++*alive_; }
  uint32_t AddRef() override { return ++count_; }
  // Out of line: GCC's use-after-free analysis cannot see that a caller reading the
  // count afterwards still holds a reference.
  [[gnu::noinline]] uint32_t Release() override {
    const uint32_t left = --count_;
    if (left == 0) delete this;
    return left;
  }
  int32_t QueryInterface(const nb::GUID& iid, void** out) override {
    if (!out) return nb::E_POINTER;
    if (iid == nb::IID_IUnknown) {
      AddRef();
      *out = static_cast<nb::Unknown*>(this);
      return nb::S_OK;
    }
    *out = nullptr;
    return nb::E_NOINTERFACE;
  }
  uint32_t count() const { return count_; }

 private:
  ~Counted() override { --*alive_; }
  int* alive_;
  uint32_t count_ = 1;
};

TEST(Ref, AdoptTakesTheReferenceRetainAddsOne) {
  int alive = 0;
  Counted* object = new Counted(&alive);
  {
    auto owner = nb::Ref<Counted>::Adopt(object);
    EXPECT_EQ(object->count(), 1u);
    {
      auto second = nb::Ref<Counted>::Retain(object);
      EXPECT_EQ(object->count(), 2u);
      auto copy = second;
      EXPECT_EQ(object->count(), 3u);
      auto moved = std::move(copy);
      EXPECT_EQ(object->count(), 3u);
      EXPECT_FALSE(copy);
    }
    EXPECT_EQ(object->count(), 1u);
    EXPECT_EQ(alive, 1);
  }
  EXPECT_EQ(alive, 0);
}

TEST(Ref, ReassignReleasesTheOldObjectFirstAndSelfAssignIsSafe) {
  int alive = 0;
  auto a = nb::Ref<Counted>::Adopt(new Counted(&alive));
  auto b = nb::Ref<Counted>::Adopt(new Counted(&alive));
  Counted* second = b.Get();
  a = b;
  EXPECT_EQ(alive, 1);
  EXPECT_EQ(second->count(), 2u);
  a = a;
  EXPECT_EQ(second->count(), 2u);
  a = nullptr;
  EXPECT_EQ(second->count(), 1u);
  *b.Put() = new Counted(&alive);  // Put releases what it held before handing out the slot
  EXPECT_EQ(alive, 1);
}

TEST(Ref, ResetReportsTheRemainingCount) {
  int alive = 0;
  auto a = nb::Ref<Counted>::Adopt(new Counted(&alive));
  auto b = a;
  EXPECT_EQ(a.Reset(), 1u);
  EXPECT_EQ(a.Reset(), 0u);  // nothing held
  EXPECT_EQ(b.Reset(), 0u);
  EXPECT_EQ(alive, 0);
}

TEST(Ref, QueryInterfaceAdoptsTheAddedReference) {
  int alive = 0;
  auto object = nb::Ref<Counted>::Adopt(new Counted(&alive));
  nb::Ref<nb::Unknown> unknown;
  EXPECT_EQ(nb::QueryInterface(*object, nb::IID_IUnknown, unknown), nb::S_OK);
  EXPECT_EQ(object->count(), 2u);
  EXPECT_EQ(nb::QueryInterface(*object, nb::IID_IDirectDraw4, unknown), nb::E_NOINTERFACE);
  EXPECT_FALSE(unknown);
  EXPECT_EQ(object->count(), 1u);
}

}  // namespace
