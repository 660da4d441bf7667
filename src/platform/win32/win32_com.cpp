#include "platform/win32/win32_com.h"

#include <algorithm>

namespace nb::win32 {

WrapperTable::~WrapperTable() {
  const std::vector<ComWrapper*> leaked = live_;
  for (ComWrapper* wrapper : leaked) delete wrapper;
}

ComWrapper* WrapperTable::Find(const void* real) const {
  const auto found = byReal_.find(real);
  return found == byReal_.end() ? nullptr : found->second;
}

void WrapperTable::Enlist(ComWrapper* wrapper) { live_.push_back(wrapper); }

void WrapperTable::Delist(ComWrapper* wrapper) {
  live_.erase(std::remove(live_.begin(), live_.end(), wrapper), live_.end());
}

void WrapperTable::Add(const void* real, ComWrapper* wrapper) { byReal_[real] = wrapper; }

void WrapperTable::Remove(const void* real, const ComWrapper* wrapper) {
  const auto found = byReal_.find(real);
  if (found == byReal_.end() || found->second != wrapper) return;
  byReal_.erase(found);
  // The latest other claimant answers again.
  for (auto other = live_.rbegin(); other != live_.rend(); ++other) {
    if (*other != wrapper && (*other)->Claims(real)) {
      byReal_[real] = *other;
      return;
    }
  }
}

ComWrapper::ComWrapper(WrapperTable& table, IUnknown* real) : table_(table), real_(real) {
  table_.Enlist(this);
  table_.Add(real_, this);
}

ComWrapper::~ComWrapper() {
  // A dependent outlives the end of its owner's wrapper only while the real object lives
  // on; it then stands on its own.
  for (ComWrapper* dependent : dependents_) dependent->owner_ = nullptr;
  if (owner_) owner_->Forget(this);
  table_.Delist(this);
  for (const void* alias : aliases_) table_.Remove(alias, this);
  table_.Remove(real_, this);
}

uint32_t ComWrapper::Released(ULONG realCount) {
  if (programRefs_ > 0) --programRefs_;
  if (realCount == 0) {
    EndDependents();
    delete this;
  } else if (programRefs_ == 0) {
    delete this;
  }
  return static_cast<uint32_t>(realCount);
}

void ComWrapper::EndWith(ComWrapper* dependent) {
  if (!dependent || dependent == this || dependent->owner_ == this) return;
  if (dependent->owner_) dependent->owner_->Forget(dependent);
  dependent->owner_ = this;
  dependents_.push_back(dependent);
}

void ComWrapper::AddAlias(const void* real) {
  if (std::find(aliases_.begin(), aliases_.end(), real) != aliases_.end()) return;
  aliases_.push_back(real);
  table_.Add(real, this);
}

bool ComWrapper::Claims(const void* real) const {
  return real == real_ || std::find(aliases_.begin(), aliases_.end(), real) != aliases_.end();
}

void ComWrapper::EndDependents() {
  std::vector<ComWrapper*> ending;
  ending.swap(dependents_);
  for (ComWrapper* dependent : ending) {
    dependent->owner_ = nullptr;
    dependent->EndDependents();
    delete dependent;
  }
}

void ComWrapper::Forget(ComWrapper* dependent) {
  dependents_.erase(std::remove(dependents_.begin(), dependents_.end(), dependent),
                    dependents_.end());
}

int32_t UnknownWrapper::QueryInterface(const nb::GUID& iid, void** out) {
  return QueryThrough(table(), realUnknown(), iid, out, factory_);
}

int32_t QueryThrough(WrapperTable& table, IUnknown* real, const nb::GUID& iid, void** out,
                     UnknownWrapper::Factory factory) {
  if (!out) return E_POINTER;
  *out = nullptr;
  void* answer = nullptr;
  const HRESULT result = real->QueryInterface(ToWin(iid), &answer);
  if (FAILED(result)) return result;
  if (!answer) return E_NOINTERFACE;
  *out = factory(table, iid, answer);
  return *out ? result : E_NOINTERFACE;
}

}  // namespace nb::win32
