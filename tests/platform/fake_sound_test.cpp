// Fake DirectSound: duplicated voices share their samples, Lock hands out two parts
// across the end of the buffer, play state and loss are visible and drivable.
#include "platform/fake/fake_platform.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

nb::WAVEFORMATEX Pcm() { return {nb::WAVE_FORMAT_PCM, 1, 22050, 44100, 2, 16, 0}; }

class FakeSoundTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(fake.sound.DirectSoundCreate(nullptr, device.Put()), nb::DS_OK);
    ASSERT_EQ(device->SetCooperativeLevel(window, nb::DSSCL_EXCLUSIVE), nb::DS_OK);
  }
  nb::Ref<nb::SoundBuffer> MakeBuffer(uint32_t bytes) {
    const nb::WAVEFORMATEX format = Pcm();
    const nb::DSBUFFERDESC desc{sizeof(nb::DSBUFFERDESC), 0x000100E2, bytes, 0, &format};
    nb::Ref<nb::SoundBuffer> buffer;
    EXPECT_EQ(device->CreateSoundBuffer(desc, buffer.Put()), nb::DS_OK);
    return buffer;
  }
  nb::fake::FakePlatform fake;
  nb::Window window{0x40};
  nb::Ref<nb::DirectSound> device;
};

TEST_F(FakeSoundTest, DuplicatesShareSamplesAndPlayAlone) {
  nb::Ref<nb::SoundBuffer> voice0 = MakeBuffer(8);
  void* part1 = nullptr;
  void* part2 = nullptr;
  uint32_t bytes1 = 0, bytes2 = 0;
  ASSERT_EQ(voice0->Lock(0, 8, &part1, &bytes1, &part2, &bytes2, 0), nb::DS_OK);
  std::memcpy(part1, "ABCDEFGH", 8);
  ASSERT_EQ(voice0->Unlock(part1, bytes1, part2, bytes2), nb::DS_OK);
  nb::Ref<nb::SoundBuffer> voice1;
  ASSERT_EQ(device->DuplicateSoundBuffer(voice0.Get(), voice1.Put()), nb::DS_OK);
  auto* a = static_cast<nb::fake::FakeSoundBuffer*>(voice0.Get());
  auto* b = static_cast<nb::fake::FakeSoundBuffer*>(voice1.Get());
  EXPECT_TRUE(a->SharesSamplesWith(*b));
  EXPECT_EQ(b->Samples()[7], 'H');

  ASSERT_EQ(voice1->Play(0, 0, 0), nb::DS_OK);
  uint32_t status = 0;
  voice0->GetStatus(&status);
  EXPECT_EQ(status, 0u);
  voice1->GetStatus(&status);
  EXPECT_EQ(status, nb::DSBSTATUS_PLAYING);
  fake.sound.FinishAll();
  voice1->GetStatus(&status);
  EXPECT_EQ(status, 0u);
  voice0.Reset();
  EXPECT_EQ(b->Samples()[0], 'A');  // the samples live while a voice does
  EXPECT_EQ(fake.sound.Buffers().size(), 1u);
}

TEST_F(FakeSoundTest, LockWrapsIntoASecondPart) {
  nb::Ref<nb::SoundBuffer> buffer = MakeBuffer(10);
  void* part1 = nullptr;
  void* part2 = nullptr;
  uint32_t bytes1 = 0, bytes2 = 0;
  ASSERT_EQ(buffer->Lock(6, 8, &part1, &bytes1, &part2, &bytes2, 0), nb::DS_OK);
  EXPECT_EQ(bytes1, 4u);
  EXPECT_EQ(bytes2, 4u);
  auto* fakeBuffer = static_cast<nb::fake::FakeSoundBuffer*>(buffer.Get());
  EXPECT_EQ(part2, static_cast<const void*>(fakeBuffer->Samples().data()));
  void* other = nullptr;
  uint32_t otherBytes = 0;
  EXPECT_EQ(buffer->Lock(0, 1, &other, &otherBytes, nullptr, nullptr, 0), nb::DSERR_INVALIDCALL);  // still locked
  ASSERT_EQ(buffer->Unlock(part1, bytes1, part2, bytes2), nb::DS_OK);
  EXPECT_EQ(buffer->Lock(0, 11, &part1, &bytes1, &part2, &bytes2, 0), nb::DSERR_INVALIDPARAM);
  EXPECT_EQ(buffer->Lock(10, 1, &part1, &bytes1, &part2, &bytes2, 0), nb::DSERR_INVALIDPARAM);
}

TEST_F(FakeSoundTest, LostBuffersNeedRestoreAndRefill) {
  nb::Ref<nb::SoundBuffer> buffer = MakeBuffer(4);
  fake.sound.LoseAll();
  uint32_t status = 0;
  buffer->GetStatus(&status);
  EXPECT_EQ(status, nb::DSBSTATUS_BUFFERLOST);
  EXPECT_EQ(buffer->Play(0, 0, 0), nb::DSERR_BUFFERLOST);
  void* part = nullptr;
  uint32_t bytes = 0;
  EXPECT_EQ(buffer->Lock(0, 4, &part, &bytes, nullptr, nullptr, 0), nb::DSERR_BUFFERLOST);
  ASSERT_EQ(buffer->Restore(), nb::DS_OK);
  EXPECT_EQ(static_cast<nb::fake::FakeSoundBuffer*>(buffer.Get())->Samples()[0], 0xCD);  // contents gone
  EXPECT_EQ(buffer->Play(0, 0, 0), nb::DS_OK);
}

TEST_F(FakeSoundTest, CopiesTheBytesThatCbSizePromises) {
  struct {
    nb::WAVEFORMATEX format;
    uint8_t extra[4];
  } record{Pcm(), {1, 2, 3, 4}};
  record.format.cbSize = 4;
  const nb::DSBUFFERDESC desc{sizeof(nb::DSBUFFERDESC), 0, 64, 0, &record.format};
  nb::Ref<nb::SoundBuffer> buffer;
  ASSERT_EQ(device->CreateSoundBuffer(desc, buffer.Put()), nb::DS_OK);
  nb::Ref<nb::SoundBuffer> duplicate;
  ASSERT_EQ(device->DuplicateSoundBuffer(buffer.Get(), duplicate.Put()), nb::DS_OK);
  for (nb::SoundBuffer* made : {buffer.Get(), duplicate.Get()}) {
    EXPECT_EQ(static_cast<nb::fake::FakeSoundBuffer*>(made)->formatExtra, (std::vector<uint8_t>{1, 2, 3, 4}));
  }
}

TEST_F(FakeSoundTest, RefusesBadDescriptions) {
  const nb::WAVEFORMATEX format = Pcm();
  nb::Ref<nb::SoundBuffer> buffer;
  nb::DSBUFFERDESC desc{sizeof(nb::DSBUFFERDESC), 0, 100, 0, nullptr};
  EXPECT_EQ(device->CreateSoundBuffer(desc, buffer.Put()), nb::DSERR_INVALIDPARAM);
  desc.lpwfxFormat = &format;
  desc.dwSize = 36;
  EXPECT_EQ(device->CreateSoundBuffer(desc, buffer.Put()), nb::DSERR_INVALIDPARAM);
  nb::WAVEFORMATEX odd = format;
  odd.nBlockAlign = 3;
  desc.dwSize = sizeof desc;
  desc.lpwfxFormat = &odd;
  EXPECT_EQ(device->CreateSoundBuffer(desc, buffer.Put()), nb::DSERR_BADFORMAT);
  nb::Ref<nb::SoundBuffer> duplicate;
  EXPECT_EQ(device->DuplicateSoundBuffer(nullptr, duplicate.Put()), nb::DSERR_INVALIDPARAM);
}

}  // namespace
