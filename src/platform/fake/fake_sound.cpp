// Fake DirectSound device and buffers.
#include "platform/fake/fake_sound.h"

#include <algorithm>
#include <cstring>

namespace nb::fake {

namespace {
template <class Handle>
int64_t H(Handle handle) {
  return static_cast<int64_t>(static_cast<uintptr_t>(handle));
}
int64_t P(const void* pointer) { return static_cast<int64_t>(reinterpret_cast<uintptr_t>(pointer)); }

constexpr uint32_t kMinBufferBytes = 4;
constexpr uint32_t kMaxBufferBytes = 0x0FFFFFFF;
}  // namespace

std::vector<FakeSoundBuffer*> FakeSoundSystem::Buffers() const { return buffers_; }

size_t FakeSoundSystem::PlayingCount() const {
  return static_cast<size_t>(std::count_if(buffers_.begin(), buffers_.end(), [](auto* b) { return b->playing; }));
}

void FakeSoundSystem::FinishAll() {
  for (FakeSoundBuffer* buffer : buffers_) {
    if (buffer->playing && !buffer->looping) {
      buffer->playing = false;
      buffer->position = static_cast<uint32_t>(buffer->Samples().size());
    }
  }
}

void FakeSoundSystem::LoseAll() {
  for (FakeSoundBuffer* buffer : buffers_) {
    buffer->lost = true;
    buffer->playing = false;
  }
}

void FakeSoundSystem::Remove(FakeSoundBuffer* buffer) { std::erase(buffers_, buffer); }

int32_t FakeSoundSystem::DirectSoundCreate(const GUID* device, DirectSound** out) {
  world_.Record("SoundSystem::DirectSoundCreate", {device ? 1 : 0});
  if (!out) return DSERR_INVALIDPARAM;
  *out = nullptr;
  if (const int32_t failure = world_.Check("SoundSystem::DirectSoundCreate"); failure != S_OK) return failure;
  if (device && !(*device == GUID_NULL)) return DSERR_NODRIVER;
  *out = new FakeDirectSound(world_, *this);
  return DS_OK;
}

int32_t FakeDirectSound::QueryInterface(const GUID& iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (iid == IID_IUnknown || iid == IID_IDirectSound) return HandOut<DirectSound>(this, out);
  return E_NOINTERFACE;
}

int32_t FakeDirectSound::SetCooperativeLevel(Window target, uint32_t newLevel) {
  world().Record("DirectSound::SetCooperativeLevel", {H(target), newLevel});
  if (const int32_t failure = world().Check("DirectSound::SetCooperativeLevel"); failure != S_OK) return failure;
  if (IsNone(target) || newLevel < DSSCL_NORMAL || newLevel > DSSCL_WRITEPRIMARY) return DSERR_INVALIDPARAM;
  window = target;
  level = newLevel;
  return DS_OK;
}

int32_t FakeDirectSound::CreateSoundBuffer(const DSBUFFERDESC& desc, SoundBuffer** out) {
  world().Record("DirectSound::CreateSoundBuffer", {desc.dwSize, desc.dwFlags, desc.dwBufferBytes});
  if (!out) return DSERR_INVALIDPARAM;
  *out = nullptr;
  if (const int32_t failure = world().Check("DirectSound::CreateSoundBuffer"); failure != S_OK) return failure;
  if (level == 0) return DSERR_PRIOLEVELNEEDED;
  if (desc.dwSize != sizeof(DSBUFFERDESC) || (desc.dwFlags & DSBCAPS_PRIMARYBUFFER)) return DSERR_INVALIDPARAM;
  if (!desc.lpwfxFormat || desc.dwBufferBytes < kMinBufferBytes || desc.dwBufferBytes > kMaxBufferBytes) {
    return DSERR_INVALIDPARAM;
  }
  const WAVEFORMATEX& f = *desc.lpwfxFormat;
  // Read before the format is judged, as the platform does: a cbSize that promises more
  // bytes than the caller's record holds is read past its end.
  std::vector<uint8_t> extra(f.cbSize);
  if (f.cbSize != 0) {
    std::memcpy(extra.data(), reinterpret_cast<const uint8_t*>(desc.lpwfxFormat) + sizeof(WAVEFORMATEX), f.cbSize);
  }
  const bool pcm = f.wFormatTag == WAVE_FORMAT_PCM && (f.nChannels == 1 || f.nChannels == 2) &&
                   (f.wBitsPerSample == 8 || f.wBitsPerSample == 16) && f.nSamplesPerSec >= 100 &&
                   f.nSamplesPerSec <= 200000 && f.nBlockAlign == f.nChannels * f.wBitsPerSample / 8 &&
                   f.nAvgBytesPerSec == f.nSamplesPerSec * f.nBlockAlign;
  if (!pcm) return DSERR_BADFORMAT;
  auto samples = std::make_shared<std::vector<uint8_t>>(desc.dwBufferBytes, 0);
  auto* buffer = new FakeSoundBuffer(world(), system_, std::move(samples), f, desc.dwFlags);
  buffer->formatExtra = std::move(extra);
  *out = buffer;
  return DS_OK;
}

int32_t FakeDirectSound::DuplicateSoundBuffer(SoundBuffer* original, SoundBuffer** out) {
  world().Record("DirectSound::DuplicateSoundBuffer", {P(original)});
  if (!out) return DSERR_INVALIDPARAM;
  *out = nullptr;
  if (const int32_t failure = world().Check("DirectSound::DuplicateSoundBuffer"); failure != S_OK) return failure;
  auto* source = dynamic_cast<FakeSoundBuffer*>(original);
  if (!source) return DSERR_INVALIDPARAM;
  *out = source->Duplicate(system_);
  return DS_OK;
}

FakeSoundBuffer::FakeSoundBuffer(FakeWorld& world, FakeSoundSystem& system,
                                 std::shared_ptr<std::vector<uint8_t>> samples, const WAVEFORMATEX& format,
                                 uint32_t flags)
    : FakeObject(world, "SoundBuffer"), system_(system), samples_(std::move(samples)), format_(format), flags_(flags) {
  system_.Add(this);
}

FakeSoundBuffer::~FakeSoundBuffer() { system_.Remove(this); }

FakeSoundBuffer* FakeSoundBuffer::Duplicate(FakeSoundSystem& system) {
  auto* duplicate = new FakeSoundBuffer(world(), system, samples_, format_, flags_);
  duplicate->formatExtra = formatExtra;
  return duplicate;
}

int32_t FakeSoundBuffer::QueryInterface(const GUID& iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (iid == IID_IUnknown || iid == IID_IDirectSoundBuffer) return HandOut<SoundBuffer>(this, out);
  return E_NOINTERFACE;
}

int32_t FakeSoundBuffer::GetStatus(uint32_t* status) {
  world().Record("SoundBuffer::GetStatus", {P(this)});
  if (!status) return DSERR_INVALIDPARAM;
  if (const int32_t failure = world().Check("SoundBuffer::GetStatus"); failure != S_OK) return failure;
  *status = (playing ? DSBSTATUS_PLAYING : 0) | (lost ? DSBSTATUS_BUFFERLOST : 0) |
            (playing && looping ? DSBSTATUS_LOOPING : 0);
  return DS_OK;
}

int32_t FakeSoundBuffer::Play(uint32_t reserved, uint32_t priority, uint32_t flags) {
  world().Record("SoundBuffer::Play", {P(this), reserved, priority, flags});
  if (const int32_t failure = world().Check("SoundBuffer::Play"); failure != S_OK) return failure;
  if (reserved != 0 || priority != 0) return DSERR_INVALIDPARAM;
  if (lost) return DSERR_BUFFERLOST;
  playing = true;
  looping = (flags & DSBPLAY_LOOPING) != 0;
  if (position >= samples_->size()) position = 0;
  ++playCount;
  return DS_OK;
}

int32_t FakeSoundBuffer::Stop() {
  world().Record("SoundBuffer::Stop", {P(this)});
  if (const int32_t failure = world().Check("SoundBuffer::Stop"); failure != S_OK) return failure;
  playing = false;
  return DS_OK;
}

int32_t FakeSoundBuffer::SetCurrentPosition(uint32_t newPosition) {
  world().Record("SoundBuffer::SetCurrentPosition", {P(this), newPosition});
  if (const int32_t failure = world().Check("SoundBuffer::SetCurrentPosition"); failure != S_OK) return failure;
  if (newPosition >= samples_->size()) return DSERR_INVALIDPARAM;
  position = newPosition;
  return DS_OK;
}

int32_t FakeSoundBuffer::Restore() {
  world().Record("SoundBuffer::Restore", {P(this)});
  if (const int32_t failure = world().Check("SoundBuffer::Restore"); failure != S_OK) return failure;
  if (lost) {
    lost = false;
    // The memory comes back, its contents do not.
    std::fill(samples_->begin(), samples_->end(), uint8_t{0xCD});
  }
  return DS_OK;
}

int32_t FakeSoundBuffer::Lock(uint32_t offset, uint32_t bytes, void** part1, uint32_t* bytes1, void** part2,
                              uint32_t* bytes2, uint32_t flags) {
  world().Record("SoundBuffer::Lock", {P(this), offset, bytes, flags});
  if (!part1 || !bytes1) return DSERR_INVALIDPARAM;
  *part1 = nullptr;
  *bytes1 = 0;
  if (part2) *part2 = nullptr;
  if (bytes2) *bytes2 = 0;
  if (const int32_t failure = world().Check("SoundBuffer::Lock"); failure != S_OK) return failure;
  if (lost) return DSERR_BUFFERLOST;
  if (locked) return DSERR_INVALIDCALL;
  const auto size = static_cast<uint32_t>(samples_->size());
  if (flags & DSBLOCK_FROMWRITECURSOR) offset = position;
  if (flags & DSBLOCK_ENTIREBUFFER) bytes = size;
  if (offset >= size || bytes == 0 || bytes > size) return DSERR_INVALIDPARAM;
  const uint32_t first = std::min(bytes, size - offset);
  const uint32_t second = bytes - first;
  if (second != 0 && (!part2 || !bytes2)) return DSERR_INVALIDPARAM;
  *part1 = samples_->data() + offset;
  *bytes1 = first;
  if (second != 0) {
    *part2 = samples_->data();
    *bytes2 = second;
  }
  locked = true;
  return DS_OK;
}

int32_t FakeSoundBuffer::Unlock(void* part1, uint32_t bytes1, void* part2, uint32_t bytes2) {
  world().Record("SoundBuffer::Unlock", {P(this), bytes1, bytes2});
  if (const int32_t failure = world().Check("SoundBuffer::Unlock"); failure != S_OK) return failure;
  if (!locked) return DSERR_INVALIDCALL;
  uint8_t* begin = samples_->data();
  uint8_t* end = begin + samples_->size();
  auto inside = [&](void* p, uint32_t n) {
    auto* b = static_cast<uint8_t*>(p);
    return n == 0 || (b >= begin && b <= end && n <= static_cast<size_t>(end - b));
  };
  if (!part1 || !inside(part1, bytes1) || (part2 && !inside(part2, bytes2))) return DSERR_INVALIDPARAM;
  locked = false;
  return DS_OK;
}

}  // namespace nb::fake
