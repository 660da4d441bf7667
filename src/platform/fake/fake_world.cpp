// Call log, failure rules and the live-object table shared by every fake port.
#include "platform/fake/fake_world.h"

#include <algorithm>

namespace nb::fake {

std::string_view Call::Method() const {
  const size_t at = name.rfind("::");
  return at == std::string::npos ? std::string_view(name) : std::string_view(name).substr(at + 2);
}

bool NameMatches(std::string_view fullName, std::string_view wanted) {
  if (fullName == wanted) return true;
  const size_t at = fullName.rfind("::");
  return at != std::string_view::npos && fullName.substr(at + 2) == wanted;
}

FakeWorld::~FakeWorld() { DestroyAll(); }

void FakeWorld::DestroyAll() {
  tearingDown_ = true;
  // Everything still allocated first lets go of what it holds (Release only counts down
  // now), then everything is deleted; no object is touched after its deletion.
  const std::vector<Tracked> live = live_;
  for (const Tracked& t : live) t.dropHoldings(t.object);
  std::vector<Tracked> all = live_;
  all.insert(all.end(), buried_.begin(), buried_.end());
  live_.clear();
  buried_.clear();
  for (const Tracked& t : all) t.erase(t.object);
  tearingDown_ = false;
}

void FakeWorld::Record(std::string name, std::initializer_list<int64_t> args,
                       std::initializer_list<std::string_view> texts) {
  Call call{std::move(name), std::vector<int64_t>(args), {}};
  for (std::string_view text : texts) call.texts.emplace_back(text);
  calls_.push_back(std::move(call));
}

std::vector<Call> FakeWorld::CallsNamed(std::string_view name) const {
  std::vector<Call> found;
  for (const Call& call : calls_) {
    if (NameMatches(call.name, name)) found.push_back(call);
  }
  return found;
}

size_t FakeWorld::CountCalls(std::string_view name) const {
  return static_cast<size_t>(std::count_if(calls_.begin(), calls_.end(), [&](const Call& c) {
    return NameMatches(c.name, name);
  }));
}

std::vector<std::string> FakeWorld::CallNames(std::initializer_list<std::string_view> filter) const {
  std::vector<std::string> names;
  for (const Call& call : calls_) {
    bool wanted = filter.size() == 0;
    for (std::string_view f : filter) wanted = wanted || NameMatches(call.name, f);
    if (wanted) names.emplace_back(filter.size() == 0 ? std::string_view(call.name) : call.Method());
  }
  return names;
}

void FakeWorld::FailCall(std::string name, int32_t result, FailWhen when) {
  rules_.push_back(Rule{std::move(name), result, when, 0});
}

void FakeWorld::FailNthCall(uint64_t n, int32_t (*resultFor)(std::string_view fullName)) {
  sweepAt_ = n == 0 ? 0 : checkedCalls_ + n;
  sweepResult_ = resultFor;
  sweptCall_.clear();
}

int32_t FakeWorld::Check(std::string_view fullName) {
  if (unchecked_ > 0) return S_OK;
  int32_t failure = S_OK;
  ++checkedCalls_;
  for (Rule& rule : rules_) {
    if (!NameMatches(fullName, rule.name)) continue;
    ++rule.seen;
    bool fires = false;
    switch (rule.when.kind) {
      case FailWhen::Kind::Nth: fires = rule.seen == rule.when.n; break;
      case FailWhen::Kind::FromNth: fires = rule.seen >= rule.when.n; break;
      case FailWhen::Kind::Every: fires = true; break;
    }
    if (fires && failure == S_OK) failure = rule.result;
  }
  if (failure == S_OK && sweepAt_ != 0 && checkedCalls_ == sweepAt_ && sweepResult_) {
    failure = sweepResult_(fullName);
    sweptCall_ = fullName;
  }
  return failure;
}

std::vector<FakeWorld::LiveObject> FakeWorld::LiveObjects() const {
  std::vector<LiveObject> objects;
  for (const Tracked& t : live_) objects.push_back({t.object, t.type, *t.count});
  return objects;
}

size_t FakeWorld::LiveCount(std::string_view type) const {
  return static_cast<size_t>(std::count_if(live_.begin(), live_.end(), [&](const Tracked& t) {
    return type.empty() || type == t.type;
  }));
}

uint32_t FakeWorld::RefCount(const Unknown* object) const {
  for (const Tracked& t : live_) {
    if (t.object == object) return *t.count;
  }
  for (const Tracked& t : buried_) {
    if (t.object == object) return *t.count;
  }
  return 0;
}

bool FakeWorld::IsAlive(const Unknown* object) const {
  return std::any_of(live_.begin(), live_.end(), [&](const Tracked& t) { return t.object == object; });
}

void FakeWorld::Track(const Tracked& tracked) { live_.push_back(tracked); }

void FakeWorld::Untrack(const Unknown* object) {
  std::erase_if(live_, [&](const Tracked& t) { return t.object == object; });
}

void FakeWorld::Bury(const Tracked& tracked) { buried_.push_back(tracked); }

void FakeWorld::Unbury(const Unknown* object) {
  std::erase_if(buried_, [&](const Tracked& t) { return t.object == object; });
}

}  // namespace nb::fake
