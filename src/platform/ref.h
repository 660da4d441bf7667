// Reference-counted platform objects: the `Unknown` base of every COM-style port object
// and `Ref<T>`, the one owning pointer the rest of the system holds them with.
// Depends on guid.h and result.h; no platform headers. Bare Release() calls belong only
// where an exact release order is part of the behaviour; everything else goes through Ref.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>

#include "platform/guid.h"
#include "platform/result.h"

namespace nb {

class Unknown {
 public:
  // Adds one reference; returns the new count (informational only, as on the platform).
  virtual uint32_t AddRef() = 0;
  // Drops one reference; returns the count that remains. At 0 the object is gone and the
  // pointer must not be used again.
  virtual uint32_t Release() = 0;
  // Asks for another interface of the same object by identifier. On success stores, in
  // *out, a pointer to the port type named by iid (IID_IDirectDraw4 -> DirectDraw*,
  // IID_IDirect3D3 -> Direct3D*, IID_IDirect3DTexture2 -> Texture3D*,
  // IID_IDirectDrawSurface4 -> DrawSurface*, IID_IUnknown -> Unknown*) converted to
  // void*, with one reference added, and returns S_OK. Otherwise stores null and returns
  // E_NOINTERFACE (E_POINTER when out is null).
  virtual int32_t QueryInterface(const GUID& iid, void** out) = 0;

 protected:
  virtual ~Unknown() = default;
};

template <class T>
class Ref {
 public:
  Ref() = default;
  Ref(std::nullptr_t) {}
  Ref(const Ref& other) : ptr_(other.ptr_) {
    if (ptr_) ptr_->AddRef();
  }
  Ref(Ref&& other) noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}
  template <class U>
  Ref(const Ref<U>& other) : ptr_(other.Get()) {
    if (ptr_) ptr_->AddRef();
  }
  ~Ref() { Reset(); }

  // Takes over one reference the caller already holds (the result of a Create call).
  static Ref Adopt(T* ptr) {
    Ref ref;
    ref.ptr_ = ptr;
    return ref;
  }
  // Shares a pointer that someone else owns: adds a reference of its own.
  static Ref Retain(T* ptr) {
    if (ptr) ptr->AddRef();
    return Adopt(ptr);
  }

  // The new object is retained before the old one is released, so that assigning a Ref
  // to itself (or to another Ref of the same object) never drops the last reference.
  Ref& operator=(const Ref& other) {
    T* incoming = other.ptr_;
    if (incoming) incoming->AddRef();
    Reset();
    ptr_ = incoming;
    return *this;
  }
  Ref& operator=(Ref&& other) noexcept {
    if (this != &other) {
      Reset();
      ptr_ = std::exchange(other.ptr_, nullptr);
    }
    return *this;
  }
  Ref& operator=(std::nullptr_t) {
    Reset();
    return *this;
  }

  // Releases the held reference (if any) and returns what Release reported: the count
  // that remains on the object, 0 when nothing was held.
  uint32_t Reset() {
    T* old = std::exchange(ptr_, nullptr);
    return old ? old->Release() : 0;
  }
  // Gives up ownership without releasing.
  T* Detach() { return std::exchange(ptr_, nullptr); }
  // Releases what is held and returns the slot for an out-parameter that hands over one
  // reference (Create..., GetAttachedSurface, ...).
  T** Put() {
    Reset();
    return &ptr_;
  }

  T* Get() const { return ptr_; }
  T* operator->() const { return ptr_; }
  T& operator*() const { return *ptr_; }
  explicit operator bool() const { return ptr_ != nullptr; }

 private:
  T* ptr_ = nullptr;
};

// QueryInterface into an owning pointer: `QueryInterface(*surface, IID_IDirect3DTexture2,
// texture)`. The Ref is emptied first; returns the object's result.
template <class T>
int32_t QueryInterface(Unknown& object, const GUID& iid, Ref<T>& out) {
  out.Reset();
  void* raw = nullptr;
  const int32_t result = object.QueryInterface(iid, &raw);
  if (Succeeded(result) && raw) out = Ref<T>::Adopt(static_cast<T*>(raw));
  return result;
}

}  // namespace nb
