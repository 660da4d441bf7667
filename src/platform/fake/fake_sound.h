// Fake DirectSound: a device, secondary buffers with real sample memory (duplicates share
// it, as on the platform), a play state a test can drive (finish playing, lose the
// buffer), and two-part Lock across the end of the buffer.
// Depends on fake_world.h. Test support only.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/fake/fake_world.h"
#include "platform/sound.h"

namespace nb::fake {

class FakeSoundBuffer;

class FakeSoundSystem final : public SoundSystem {
 public:
  explicit FakeSoundSystem(FakeWorld& world) : world_(world) {}
  // Objects of the world that report to this port are destroyed with it, whatever order
  // the owner declared the world and the ports in.
  ~FakeSoundSystem() { world_.DestroyAll(); }
  FakeSoundSystem(const FakeSoundSystem&) = delete;
  FakeSoundSystem& operator=(const FakeSoundSystem&) = delete;

  // Every buffer made so far that is still alive, in creation order.
  std::vector<FakeSoundBuffer*> Buffers() const;
  size_t PlayingCount() const;
  // Ends playback of every playing buffer (their sounds ran out).
  void FinishAll();
  // Marks every buffer lost (another program took the sound device).
  void LoseAll();

  int32_t DirectSoundCreate(const GUID* device, DirectSound** out) override;

  // Bookkeeping for the fake objects.
  void Add(FakeSoundBuffer* buffer) { buffers_.push_back(buffer); }
  void Remove(FakeSoundBuffer* buffer);

 private:
  FakeWorld& world_;
  std::vector<FakeSoundBuffer*> buffers_;
};

class FakeDirectSound final : public FakeObject<FakeDirectSound, DirectSound> {
 public:
  FakeDirectSound(FakeWorld& world, FakeSoundSystem& system)
      : FakeObject(world, "DirectSound"), system_(system) {}

  Window window{};
  uint32_t level = 0;

  int32_t QueryInterface(const GUID& iid, void** out) override;
  int32_t SetCooperativeLevel(Window window, uint32_t level) override;
  int32_t CreateSoundBuffer(const DSBUFFERDESC& desc, SoundBuffer** out) override;
  int32_t DuplicateSoundBuffer(SoundBuffer* original, SoundBuffer** out) override;

 private:
  FakeSoundSystem& system_;
};

class FakeSoundBuffer final : public FakeObject<FakeSoundBuffer, SoundBuffer> {
 public:
  FakeSoundBuffer(FakeWorld& world, FakeSoundSystem& system, std::shared_ptr<std::vector<uint8_t>> samples,
                  const WAVEFORMATEX& format, uint32_t flags);
  ~FakeSoundBuffer() override;

  // ---- Test view and controls
  const std::vector<uint8_t>& Samples() const { return *samples_; }
  bool SharesSamplesWith(const FakeSoundBuffer& other) const { return samples_ == other.samples_; }
  const WAVEFORMATEX& Format() const { return format_; }
  // The cbSize bytes that followed the format record when the buffer was made: the
  // platform copies them, whatever the format tag.
  std::vector<uint8_t> formatExtra;
  uint32_t Flags() const { return flags_; }
  bool playing = false;
  bool looping = false;
  bool lost = false;
  uint32_t position = 0;
  uint32_t playCount = 0;
  bool locked = false;

  // A second buffer over the same sample memory (DuplicateSoundBuffer).
  FakeSoundBuffer* Duplicate(FakeSoundSystem& system);

  // ---- SoundBuffer
  int32_t QueryInterface(const GUID& iid, void** out) override;
  int32_t GetStatus(uint32_t* status) override;
  int32_t Play(uint32_t reserved, uint32_t priority, uint32_t flags) override;
  int32_t Stop() override;
  int32_t SetCurrentPosition(uint32_t position) override;
  int32_t Restore() override;
  int32_t Lock(uint32_t offset, uint32_t bytes, void** part1, uint32_t* bytes1, void** part2,
               uint32_t* bytes2, uint32_t flags) override;
  int32_t Unlock(void* part1, uint32_t bytes1, void* part2, uint32_t bytes2) override;

 private:
  FakeSoundSystem& system_;
  std::shared_ptr<std::vector<uint8_t>> samples_;
  WAVEFORMATEX format_;
  uint32_t flags_;
};

}  // namespace nb::fake
