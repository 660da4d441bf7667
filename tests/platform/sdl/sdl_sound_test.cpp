// DirectSound over SDL2_mixer on SDL's dummy audio driver: the device and its buffers
// check what they are given; a buffer plays once and is stopped again when it reached its
// end; sixty voices play at once; duplicates share their samples; the saver's sound bank
// runs on it; without an audio device nothing opens and the saver stays silent.
#include "platform/sdl/sdl_sound.h"

#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "platform/sdl/sdl_gdi.h"
#include "platform/sdl/sdl_system.h"
#include "sound/sound.h"

namespace nb {
namespace {

WAVEFORMATEX Mono16() {
  WAVEFORMATEX f{};
  f.wFormatTag = WAVE_FORMAT_PCM;
  f.nChannels = 1;
  f.nSamplesPerSec = 22050;
  f.wBitsPerSample = 16;
  f.nBlockAlign = 2;
  f.nAvgBytesPerSec = 44100;
  return f;
}

DSBUFFERDESC Description(const WAVEFORMATEX& format, uint32_t bytes) {
  DSBUFFERDESC desc{};
  desc.dwSize = sizeof(desc);
  desc.dwFlags = 0x000100E2;
  desc.dwBufferBytes = bytes;
  desc.lpwfxFormat = &format;
  return desc;
}

uint32_t Status(SoundBuffer* buffer) {
  uint32_t status = 0xFFFF;
  EXPECT_EQ(buffer->GetStatus(&status), DS_OK);
  return status;
}

class SdlSoundTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    SDL_Init(0);
  }
  void TearDown() override { SDL_Quit(); }
  SdlSoundSystem system;
};

TEST_F(SdlSoundTest, OneDeviceAtATimeAndBuffersCheckTheirFormat) {
  Ref<DirectSound> sound;
  ASSERT_EQ(system.DirectSoundCreate(nullptr, sound.Put()), DS_OK);
  EXPECT_TRUE(SdlSoundSystem::DeviceOpen());
  Ref<DirectSound> second;
  EXPECT_EQ(system.DirectSoundCreate(nullptr, second.Put()), DSERR_ALLOCATED);
  const GUID other{1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
  EXPECT_EQ(system.DirectSoundCreate(&other, second.Put()), DSERR_INVALIDPARAM);
  EXPECT_EQ(sound->SetCooperativeLevel(Window{0x40000000}, DSSCL_EXCLUSIVE), DS_OK);
  EXPECT_EQ(sound->SetCooperativeLevel(Window{0x40000000}, 9), DSERR_INVALIDPARAM);

  const WAVEFORMATEX good = Mono16();
  WAVEFORMATEX compressed = good;
  compressed.wFormatTag = 2;
  WAVEFORMATEX badAlign = good;
  badAlign.nBlockAlign = 4;
  Ref<SoundBuffer> buffer;
  EXPECT_EQ(sound->CreateSoundBuffer(Description(compressed, 100), buffer.Put()), DSERR_BADFORMAT);
  EXPECT_EQ(sound->CreateSoundBuffer(Description(badAlign, 100), buffer.Put()), DSERR_BADFORMAT);
  EXPECT_EQ(sound->CreateSoundBuffer(Description(good, 0), buffer.Put()), DSERR_INVALIDPARAM);
  DSBUFFERDESC primary = Description(good, 100);
  primary.dwFlags = DSBCAPS_PRIMARYBUFFER;
  EXPECT_EQ(sound->CreateSoundBuffer(primary, buffer.Put()), DSERR_INVALIDPARAM);
  ASSERT_EQ(sound->CreateSoundBuffer(Description(good, 100), buffer.Put()), DS_OK);

  // Locks cover the buffer in up to two parts; one lock at a time.
  void* part1 = nullptr;
  void* part2 = nullptr;
  uint32_t bytes1 = 0;
  uint32_t bytes2 = 0;
  ASSERT_EQ(buffer->Lock(90, 20, &part1, &bytes1, &part2, &bytes2, 0), DS_OK);
  EXPECT_EQ(bytes1, 10u);
  EXPECT_EQ(bytes2, 10u);
  EXPECT_EQ(static_cast<uint8_t*>(part1) - static_cast<uint8_t*>(part2), 90);
  EXPECT_EQ(buffer->Lock(0, 10, &part1, &bytes1, &part2, &bytes2, 0), DSERR_INVALIDCALL);
  EXPECT_EQ(buffer->Play(0, 0, 0), DSERR_INVALIDCALL);
  ASSERT_EQ(buffer->Unlock(part1, bytes1, part2, bytes2), DS_OK);
  EXPECT_EQ(buffer->Lock(100, 1, &part1, &bytes1, &part2, &bytes2, 0), DSERR_INVALIDPARAM);
  EXPECT_EQ(buffer->Lock(0, 101, &part1, &bytes1, &part2, &bytes2, 0), DSERR_INVALIDPARAM);
  EXPECT_EQ(buffer->SetCurrentPosition(101), DSERR_INVALIDPARAM);

  // The device stays open while a buffer lives.
  sound.Reset();
  EXPECT_TRUE(SdlSoundSystem::DeviceOpen());
  buffer.Reset();
  EXPECT_FALSE(SdlSoundSystem::DeviceOpen());
}

TEST_F(SdlSoundTest, AOneShotPlaysToItsEndAndStopsByItself) {
  Ref<DirectSound> sound;
  ASSERT_EQ(system.DirectSoundCreate(nullptr, sound.Put()), DS_OK);
  const WAVEFORMATEX format = Mono16();
  Ref<SoundBuffer> buffer;
  ASSERT_EQ(sound->CreateSoundBuffer(Description(format, 882), buffer.Put()), DS_OK);  // 20 ms
  EXPECT_EQ(Status(buffer.Get()), 0u);
  ASSERT_EQ(buffer->Play(0, 0, 0), DS_OK);
  EXPECT_EQ(Status(buffer.Get()), DSBSTATUS_PLAYING);
  uint32_t status = DSBSTATUS_PLAYING;
  for (int i = 0; i < 300 && status != 0; ++i) {
    SDL_Delay(10);
    status = Status(buffer.Get());
  }
  EXPECT_EQ(status, 0u);
  // ... and from the start again.
  ASSERT_EQ(buffer->Play(0, 0, 0), DS_OK);
  EXPECT_EQ(Status(buffer.Get()), DSBSTATUS_PLAYING);
  EXPECT_EQ(buffer->Stop(), DS_OK);
  EXPECT_EQ(Status(buffer.Get()), 0u);
  EXPECT_EQ(buffer->Restore(), DS_OK);
}

TEST_F(SdlSoundTest, SixtyVoicesPlayTogetherOnSharedSamples) {
  Ref<DirectSound> sound;
  ASSERT_EQ(system.DirectSoundCreate(nullptr, sound.Put()), DS_OK);
  const WAVEFORMATEX format = Mono16();
  std::vector<Ref<SoundBuffer>> voices;
  for (int wave = 0; wave < 6; ++wave) {
    Ref<SoundBuffer> first;
    ASSERT_EQ(sound->CreateSoundBuffer(Description(format, 88200), first.Put()), DS_OK);  // 2 s
    void* part = nullptr;
    uint32_t bytes = 0;
    ASSERT_EQ(first->Lock(0, 0, &part, &bytes, nullptr, nullptr, DSBLOCK_ENTIREBUFFER), DS_OK);
    EXPECT_EQ(bytes, 88200u);
    std::memset(part, 0x11, bytes);
    ASSERT_EQ(first->Unlock(part, bytes, nullptr, 0), DS_OK);
    voices.push_back(first);
    for (int v = 1; v < 10; ++v) {
      Ref<SoundBuffer> copy;
      ASSERT_EQ(sound->DuplicateSoundBuffer(first.Get(), copy.Put()), DS_OK);
      voices.push_back(copy);
    }
  }
  for (auto& voice : voices) ASSERT_EQ(voice->Play(0, 0, 0), DS_OK);
  int playing = 0;
  for (auto& voice : voices) playing += Status(voice.Get()) == DSBSTATUS_PLAYING ? 1 : 0;
  EXPECT_EQ(playing, 60);
  // Stopping one leaves the others; the stopped one starts again where asked.
  ASSERT_EQ(voices[3]->Stop(), DS_OK);
  EXPECT_EQ(Status(voices[3].Get()), 0u);
  EXPECT_EQ(Status(voices[4].Get()), DSBSTATUS_PLAYING);
  ASSERT_EQ(voices[3]->SetCurrentPosition(0), DS_OK);
  ASSERT_EQ(voices[3]->Play(0, 0, 0), DS_OK);
  EXPECT_EQ(Status(voices[3].Get()), DSBSTATUS_PLAYING);
  EXPECT_EQ(sound->DuplicateSoundBuffer(nullptr, voices[0].Put()), DSERR_INVALIDPARAM);
}

TEST_F(SdlSoundTest, TheSoundBankRunsOnItWithTheProgramsWaves) {
  FramePacer pacer = MakeSystemFramePacer();
  SdlWindowSystem windows(false, nullptr, pacer, {});
  SdlGdi gdi(windows);
  SdlSystem sdlSystem(false, gdi, SdlSystemOptions{false, nullptr});
  SoundInit(system, sdlSystem, Window{0x40000000});
  ASSERT_TRUE(soundBank.soundReady);
  for (int id = 0; id < soundCount; ++id) {
    ASSERT_TRUE(soundBank.objects[id]) << "wave " << 200 + id;
    EXPECT_EQ(soundBank.objects[id]->voiceCount, soundVoices);
  }
  SoundPlay(2);
  SoundPlay(2);
  EXPECT_EQ(Status(soundBank.objects[2]->voices[0].Get()), DSBSTATUS_PLAYING);
  EXPECT_EQ(Status(soundBank.objects[2]->voices[1].Get()), DSBSTATUS_PLAYING);
  EXPECT_EQ(Status(soundBank.objects[2]->voices[2].Get()), 0u);
  SoundShutdown();
  EXPECT_FALSE(SdlSoundSystem::DeviceOpen());
}

TEST_F(SdlSoundTest, ADeviceThatGoesAwayLeavesSilenceUntilItCanBeOpenedAgain) {
  ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_EVENTS), 0);
  SdlSoundSystem quick(40);  // tries again 40 ms after the last try
  Ref<DirectSound> sound;
  ASSERT_EQ(quick.DirectSoundCreate(nullptr, sound.Put()), DS_OK);
  const WAVEFORMATEX format = Mono16();
  Ref<SoundBuffer> buffer;
  ASSERT_EQ(sound->CreateSoundBuffer(Description(format, 88200), buffer.Put()), DS_OK);
  ASSERT_EQ(buffer->Play(0, 0, 0), DS_OK);
  ASSERT_EQ(Status(buffer.Get()), DSBSTATUS_PLAYING);

  // SDL's audio thread reports the device gone (a sound server that ended).
  SDL_Event removed{};
  removed.type = SDL_AUDIODEVICEREMOVED;
  removed.adevice.which = 2;
  SDL_PushEvent(&removed);
  EXPECT_EQ(Status(buffer.Get()), 0u) << "silent at once";
  EXPECT_EQ(buffer->Play(0, 0, 0), DSERR_BUFFERLOST);
  EXPECT_TRUE(SdlSoundSystem::DeviceOpen()) << "the program's device stays, waiting";

  // None to be had for a while: every try fails, quietly.
  setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
  for (int i = 0; i < 25; ++i) {
    SDL_Delay(20);
    ASSERT_EQ(buffer->Play(0, 0, 0), DSERR_BUFFERLOST);
  }
  // Back: played from the samples it had, converted for the device as it is now.
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  int32_t played = DSERR_BUFFERLOST;
  for (int i = 0; i < 200 && played != DS_OK; ++i) {
    SDL_Delay(20);
    played = buffer->Play(0, 0, 0);
  }
  EXPECT_EQ(played, DS_OK);
  EXPECT_EQ(Status(buffer.Get()), DSBSTATUS_PLAYING);
  Ref<SoundBuffer> copy;
  ASSERT_EQ(sound->DuplicateSoundBuffer(buffer.Get(), copy.Put()), DS_OK);
  EXPECT_EQ(copy->Play(0, 0, 0), DS_OK);
  EXPECT_EQ(Status(copy.Get()), DSBSTATUS_PLAYING);

  // A capture device going away is none of the show's business.
  removed.adevice.iscapture = 1;
  SDL_PushEvent(&removed);
  EXPECT_EQ(Status(buffer.Get()), DSBSTATUS_PLAYING);
  copy.Reset();
  buffer.Reset();
  sound.Reset();
  EXPECT_FALSE(SdlSoundSystem::DeviceOpen());
}

TEST_F(SdlSoundTest, WithoutAnAudioDeviceNothingOpens) {
  setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
  Ref<DirectSound> sound;
  EXPECT_EQ(system.DirectSoundCreate(nullptr, sound.Put()), DSERR_NODRIVER);
  EXPECT_FALSE(sound);
  EXPECT_FALSE(SdlSoundSystem::DeviceOpen());
}

}  // namespace
}  // namespace nb
