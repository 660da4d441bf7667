// DirectSound over SDL2_mixer. Depends on sdl_sound.h, SDL2 and SDL2_mixer.
#include "platform/sdl/sdl_sound.h"

#include <SDL2/SDL.h>
#include <SDL2/SDL_mixer.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

namespace nb {
namespace {

bool deviceOpen = false;
// Set from SDL's audio thread when the device it plays to went away (a sound server
// that ended, a card unplugged).
std::atomic<bool> deviceRemoved{false};

int WatchAudioDevices(void*, SDL_Event* event) {
  if (event->type == SDL_AUDIODEVICEREMOVED && !event->adevice.iscapture) {
    deviceRemoved.store(true);
  }
  return 0;
}

// The default device as the waves sound best: their own rate; SDL converts to whatever
// the device really runs at. False when there is none.
bool OpenMixer() {
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
  if (Mix_OpenAudioDevice(22050, AUDIO_S16SYS, 2, 1024, nullptr, 0) != 0) {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return false;
  }
  return true;
}

void CloseMixer() {
  Mix_HaltChannel(-1);
  Mix_CloseAudio();
  // The driver's own connection (a sound server's) may be dead as well: the next open
  // starts the driver afresh.
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

// The device's sample format, asked for once it is open.
struct DeviceFormat {
  int frequency = 0;
  Uint16 format = 0;
  int channels = 0;
  int frameBytes() const { return channels * static_cast<int>(SDL_AUDIO_BITSIZE(format) / 8); }
};

// The samples that a buffer and its duplicates share, as written (wave format) and as the
// mixer plays them (device format).
struct SampleStore {
  WAVEFORMATEX format{};
  std::vector<uint8_t> bytes;
  std::vector<uint8_t> converted;
  bool dirty = true;
  uint32_t convertedFor = 0;  // the device opening the conversion was made for
  std::vector<int> channels;  // of every buffer sharing the store
};

template <class Base>
class SoundObject : public Base {
 public:
  uint32_t AddRef() override { return ++count_; }
  uint32_t Release() override {
    if (count_ == 0) return 0;
    const uint32_t left = --count_;
    if (left == 0) delete this;
    return left;
  }

 protected:
  ~SoundObject() override = default;

 private:
  uint32_t count_ = 1;
};

class MixerSound;

class MixerBuffer final : public SoundObject<SoundBuffer> {
 public:
  MixerBuffer(MixerSound* sound, std::shared_ptr<SampleStore> store, int channel);

  int32_t QueryInterface(const GUID& iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!(iid == IID_IUnknown || iid == IID_IDirectSoundBuffer)) return E_NOINTERFACE;
    *out = static_cast<SoundBuffer*>(this);
    AddRef();
    return S_OK;
  }

  int32_t GetStatus(uint32_t* status) override {
    if (!status) return DSERR_INVALIDPARAM;
    Usable();
    Settle();
    *status = started_ ? DSBSTATUS_PLAYING | (looping_ ? DSBSTATUS_LOOPING : 0u) : 0u;
    return DS_OK;
  }

  int32_t Play(uint32_t, uint32_t, uint32_t flags) override {
    if (locked_) return DSERR_INVALIDCALL;
    if (!Usable()) return DSERR_BUFFERLOST;  // no device now: the sound is dropped
    Settle();
    if (started_) return DS_OK;  // already playing: nothing restarts
    if (!Prepare()) return DSERR_INVALIDCALL;
    const size_t offset = ConvertedOffset(position_);
    const size_t length = store_->converted.size() - offset;
    if (length == 0) {
      position_ = 0;
      return DS_OK;
    }
    FreePart();
    part_ = Mix_QuickLoad_RAW(store_->converted.data() + offset, static_cast<Uint32>(length));
    if (!part_) return DSERR_INVALIDCALL;
    looping_ = (flags & DSBPLAY_LOOPING) != 0;
    if (Mix_PlayChannel(channel_, part_, 0) < 0) return DSERR_INVALIDCALL;
    started_ = true;
    startTicks_ = SDL_GetTicks();
    startPosition_ = position_;
    return DS_OK;
  }

  int32_t Stop() override {
    Settle();
    if (!started_) return DS_OK;
    // The position where the sound was cut off, from the time it played.
    const uint64_t elapsed = SDL_GetTicks() - startTicks_;
    const uint64_t played = elapsed * store_->format.nAvgBytesPerSec / 1000;
    position_ = Align(static_cast<uint32_t>(
        std::min<uint64_t>(startPosition_ + played, store_->bytes.size())));
    Halt();
    started_ = false;
    if (position_ >= store_->bytes.size()) position_ = 0;
    return DS_OK;
  }

  int32_t SetCurrentPosition(uint32_t position) override {
    if (position > store_->bytes.size()) return DSERR_INVALIDPARAM;
    Settle();
    const bool wasPlaying = started_;
    if (wasPlaying) {
      Halt();
      started_ = false;
    }
    position_ = Align(position);
    if (wasPlaying) Play(0, 0, looping_ ? DSBPLAY_LOOPING : 0);
    return DS_OK;
  }

  int32_t Restore() override { return DS_OK; }  // mixer buffers are never lost

  int32_t Lock(uint32_t offset, uint32_t bytes, void** part1, uint32_t* bytes1, void** part2,
               uint32_t* bytes2, uint32_t flags) override {
    if (!part1 || !bytes1) return DSERR_INVALIDPARAM;
    if (locked_) return DSERR_INVALIDCALL;
    const auto size = static_cast<uint32_t>(store_->bytes.size());
    if (flags & DSBLOCK_ENTIREBUFFER) {
      offset = 0;
      bytes = size;
    } else if (flags & DSBLOCK_FROMWRITECURSOR) {
      offset = position_;
    }
    if (offset >= size || bytes == 0 || bytes > size) return DSERR_INVALIDPARAM;
    const uint32_t first = std::min(bytes, size - offset);
    *part1 = store_->bytes.data() + offset;
    *bytes1 = first;
    if (part2) *part2 = bytes > first ? store_->bytes.data() : nullptr;
    if (bytes2) *bytes2 = bytes - first;
    locked_ = true;
    return DS_OK;
  }

  int32_t Unlock(void* part1, uint32_t, void*, uint32_t) override {
    if (!locked_ || !part1) return DSERR_INVALIDPARAM;
    locked_ = false;
    store_->dirty = true;
    return DS_OK;
  }

 private:
  friend class MixerSound;
  ~MixerBuffer() override;

  bool Usable();
  void Halt();
  // A one-shot that reached its end is stopped, back at the start; so is every sound when
  // the device went away.
  void Settle() {
    if (!started_ || (MixerOpen() && Mix_Playing(channel_))) return;
    if (looping_) {
      // The mixer does not loop a chunk that starts mid-way: loops go on from the start.
      position_ = 0;
      started_ = false;
      Play(0, 0, DSBPLAY_LOOPING);
      return;
    }
    started_ = false;
    position_ = 0;
  }
  uint32_t Align(uint32_t position) const {
    const uint32_t block = std::max<uint32_t>(store_->format.nBlockAlign, 1);
    return position / block * block;
  }
  bool MixerOpen() const;
  size_t ConvertedOffset(uint32_t position) const;
  bool Prepare();
  void FreePart() {
    if (part_) Mix_FreeChunk(part_);
    part_ = nullptr;
  }

  Ref<Unknown> owner_;  // the device, kept open while a buffer lives
  MixerSound* sound_;
  std::shared_ptr<SampleStore> store_;
  int channel_;
  Mix_Chunk* part_ = nullptr;
  uint32_t position_ = 0;
  uint32_t startPosition_ = 0;
  uint32_t startTicks_ = 0;
  bool started_ = false;
  bool looping_ = false;
  bool locked_ = false;
};

class MixerSound final : public SoundObject<DirectSound> {
 public:
  MixerSound(DeviceFormat format, uint32_t retryMs) : format_(format), retryMs_(retryMs) {
    SDL_AddEventWatch(WatchAudioDevices, nullptr);
  }

  int32_t QueryInterface(const GUID& iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!(iid == IID_IUnknown || iid == IID_IDirectSound)) return E_NOINTERFACE;
    *out = static_cast<DirectSound*>(this);
    AddRef();
    return S_OK;
  }

  int32_t SetCooperativeLevel(Window, uint32_t level) override {
    return level >= DSSCL_NORMAL && level <= DSSCL_WRITEPRIMARY ? DS_OK : DSERR_INVALIDPARAM;
  }

  int32_t CreateSoundBuffer(const DSBUFFERDESC& desc, SoundBuffer** out) override {
    if (!out) return DSERR_INVALIDPARAM;
    *out = nullptr;
    const WAVEFORMATEX* f = desc.lpwfxFormat;
    if (desc.dwSize != sizeof(DSBUFFERDESC) || (desc.dwFlags & DSBCAPS_PRIMARYBUFFER) || !f) {
      return DSERR_INVALIDPARAM;
    }
    if (f->wFormatTag != WAVE_FORMAT_PCM || f->nChannels < 1 || f->nChannels > 2 ||
        (f->wBitsPerSample != 8 && f->wBitsPerSample != 16) || f->nSamplesPerSec < 100 ||
        f->nSamplesPerSec > 192000 || f->nBlockAlign != f->nChannels * f->wBitsPerSample / 8) {
      return DSERR_BADFORMAT;
    }
    if (desc.dwBufferBytes == 0 || desc.dwBufferBytes > (64u << 20)) return DSERR_INVALIDPARAM;
    auto store = std::make_shared<SampleStore>();
    store->format = *f;
    store->bytes.assign(desc.dwBufferBytes, f->wBitsPerSample == 8 ? 0x80 : 0);
    return MakeBuffer(std::move(store), out);
  }

  int32_t DuplicateSoundBuffer(SoundBuffer* original, SoundBuffer** out) override;

  const DeviceFormat& format() const { return format_; }
  // Counts the device's openings: samples converted for an earlier one are converted again.
  uint32_t opening() const { return opening_; }
  void FreeChannel(int channel) { freeChannels_.push_back(channel); }
  bool open() const { return open_; }

  // Whether sounds can be played now. A device that went away is let go of at once (the
  // show goes on silent, said on the error stream) and opened again when it can be, tried
  // once every retryMs. Closing the dead device and opening a new one both wait on the
  // sound system (a tenth of a second and more): a thread of their own does them, while
  // nothing on the show's side touches the mixer, so the show never waits for them.
  bool Usable() {
    if (open_ && deviceRemoved.exchange(false)) {
      open_ = false;
      std::fprintf(stderr,
                   "nightbloom: the sound device went away; the show goes on silent and the "
                   "sound comes back when the device does\n");
      stopping_ = false;
      reopened_ = false;
      voices_ = std::max(64, channels_ + 15);
      // SDL's own thread: SDL keeps per-thread data (its error text) that only the threads
      // it makes give back when they end.
      keeper_ = SDL_CreateThread(
          [](void* sound) {
            static_cast<MixerSound*>(sound)->Reconnect();
            return 0;
          },
          "nightbloom-sound", this);
      if (!keeper_) {
        CloseMixer();  // no thread to be had: the show waits once, and stays silent
        return false;
      }
    }
    if (open_) return true;
    if (!reopened_) return false;
    SDL_WaitThread(keeper_, nullptr);
    keeper_ = nullptr;
    reopened_ = false;
    ++opening_;
    open_ = true;
    return true;
  }

  // Ends the work of the thread that brings the device back, before anything is freed that
  // the mixer may know of (the bank's buffers go all together, when the show ends).
  void StopReconnecting() {
    if (!keeper_) return;
    {
      std::lock_guard<std::mutex> lock(keeperMutex_);
      stopping_ = true;
    }
    keeperWake_.notify_all();
    SDL_WaitThread(keeper_, nullptr);
    keeper_ = nullptr;
    if (reopened_) {  // opened meanwhile
      reopened_ = false;
      ++opening_;
      open_ = true;
    }
  }

 private:
  ~MixerSound() override {
    SDL_DelEventWatch(WatchAudioDevices, nullptr);
    StopReconnecting();
    if (open_) CloseMixer();
    deviceRemoved.store(false);
    deviceOpen = false;
  }
  // The thread that brings a lost device back: closes it, then tries to open one until it
  // can or is told to stop.
  void Reconnect() {
    CloseMixer();
    std::unique_lock<std::mutex> lock(keeperMutex_);
    for (;;) {
      keeperWake_.wait_for(lock, std::chrono::milliseconds(retryMs_), [this] { return stopping_; });
      if (stopping_) return;
      deviceRemoved.store(false);
      if (!OpenMixer()) continue;
      Uint16 sampleFormat = 0;
      Mix_QuerySpec(&format_.frequency, &sampleFormat, &format_.channels);
      format_.format = sampleFormat;
      Mix_AllocateChannels(voices_);
      reopened_ = true;
      return;
    }
  }

  int32_t MakeBuffer(std::shared_ptr<SampleStore> store, SoundBuffer** out) {
    int channel;
    if (!freeChannels_.empty()) {
      channel = freeChannels_.back();
      freeChannels_.pop_back();
    } else {
      channel = channels_++;
      // Sixty voices for the bank; grown in steps so a few more never fail. (A device
      // opened again later gets them all at once.)
      if (open_ && channels_ > Mix_AllocateChannels(-1)) Mix_AllocateChannels(channels_ + 15);
    }
    store->channels.push_back(channel);
    *out = new MixerBuffer(this, std::move(store), channel);
    return DS_OK;
  }
  friend class MixerBuffer;

  DeviceFormat format_;
  uint32_t retryMs_;
  bool open_ = true;
  SDL_Thread* keeper_ = nullptr;
  int voices_ = 64;  // channels the mixer gets when it is opened again
  std::mutex keeperMutex_;
  std::condition_variable keeperWake_;
  bool stopping_ = false;             // under keeperMutex_
  std::atomic<bool> reopened_{false};  // set by the keeper once the mixer is open again
  uint32_t opening_ = 1;
  int channels_ = 0;
  std::vector<int> freeChannels_;
};

MixerBuffer::MixerBuffer(MixerSound* sound, std::shared_ptr<SampleStore> store, int channel)
    : owner_(Ref<Unknown>::Retain(sound)), sound_(sound), store_(std::move(store)),
      channel_(channel) {}

bool MixerBuffer::Usable() { return sound_->Usable(); }

bool MixerBuffer::MixerOpen() const { return sound_->open(); }

void MixerBuffer::Halt() {
  if (MixerOpen()) Mix_HaltChannel(channel_);
}

MixerBuffer::~MixerBuffer() {
  sound_->StopReconnecting();
  Halt();
  FreePart();
  std::erase(store_->channels, channel_);
  sound_->FreeChannel(channel_);
}

size_t MixerBuffer::ConvertedOffset(uint32_t position) const {
  if (store_->bytes.empty()) return 0;
  const DeviceFormat& device = sound_->format();
  const double ratio = static_cast<double>(store_->converted.size()) / store_->bytes.size();
  auto offset = static_cast<size_t>(position * ratio);
  const auto frame = static_cast<size_t>(std::max(device.frameBytes(), 1));
  offset = offset / frame * frame;
  return std::min(offset, store_->converted.size());
}

bool MixerBuffer::Prepare() {
  SampleStore& store = *store_;
  if (!store.dirty && store.convertedFor == sound_->opening()) return true;
  // New samples: whatever still plays the old ones stops before they are replaced.
  for (int channel : store.channels) Mix_HaltChannel(channel);
  FreePart();
  const DeviceFormat& device = sound_->format();
  SDL_AudioCVT cvt;
  const SDL_AudioFormat source = store.format.wBitsPerSample == 8 ? AUDIO_U8 : AUDIO_S16LSB;
  const int built = SDL_BuildAudioCVT(&cvt, source, static_cast<Uint8>(store.format.nChannels),
                                      static_cast<int>(store.format.nSamplesPerSec),
                                      device.format, static_cast<Uint8>(device.channels),
                                      device.frequency);
  if (built < 0) return false;
  if (built == 0) {
    store.converted = store.bytes;
  } else {
    cvt.len = static_cast<int>(store.bytes.size());
    std::vector<uint8_t> work(static_cast<size_t>(cvt.len) * static_cast<size_t>(cvt.len_mult));
    std::memcpy(work.data(), store.bytes.data(), store.bytes.size());
    cvt.buf = work.data();
    if (SDL_ConvertAudio(&cvt) != 0) return false;
    work.resize(static_cast<size_t>(cvt.len_cvt));
    store.converted = std::move(work);
  }
  store.dirty = false;
  store.convertedFor = sound_->opening();
  return true;
}

int32_t MixerSound::DuplicateSoundBuffer(SoundBuffer* original, SoundBuffer** out) {
  if (!out) return DSERR_INVALIDPARAM;
  *out = nullptr;
  auto* source = dynamic_cast<MixerBuffer*>(original);
  if (!source) return DSERR_INVALIDPARAM;
  return MakeBuffer(source->store_, out);
}

}  // namespace

bool SdlSoundSystem::DeviceOpen() { return deviceOpen; }

int32_t SdlSoundSystem::DirectSoundCreate(const GUID* device, DirectSound** out) {
  if (!out) return DSERR_INVALIDPARAM;
  *out = nullptr;
  if (device && !(*device == GUID_NULL)) return DSERR_INVALIDPARAM;
  if (deviceOpen) return DSERR_ALLOCATED;
  if (!OpenMixer()) {
    std::fprintf(stderr, "nightbloom: no sound device (%s); the show runs silent\n", SDL_GetError());
    return DSERR_NODRIVER;
  }
  deviceRemoved.store(false);
  DeviceFormat format;
  Uint16 sampleFormat = 0;
  Mix_QuerySpec(&format.frequency, &sampleFormat, &format.channels);
  format.format = sampleFormat;
  Mix_AllocateChannels(64);
  deviceOpen = true;
  *out = new MixerSound(format, retryMs_);
  return DS_OK;
}

}  // namespace nb
