// The sound bank on the fake sound system: what SoundInit builds, how plays pick and cut
// off voices, lost buffers, every start-up failure, and that nothing stays referenced.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/fake/fake_gdi.h"
#include "platform/fake/fake_sound.h"
#include "platform/fake/fake_system.h"
#include "platform/fake/fake_world.h"
#include "resources/embedded.h"
#include "sound/sound.h"
#include "wave_bytes.h"

namespace nb {
namespace {

using fake::FailWhen;
using fake::FakeSoundBuffer;
using test::Bytes;

constexpr Window saverWindow{0x5a0};

FakeSoundBuffer* AsFake(SoundBuffer* buffer) {
    return static_cast<FakeSoundBuffer*>(buffer);
}

int64_t Address(const void* pointer) {
    return static_cast<int64_t>(reinterpret_cast<uintptr_t>(pointer));
}

class SoundBankTest : public ::testing::Test {
   protected:
    void SetUp() override {
        for (uint32_t id = 200; id <= 205; ++id) {
            samples_[id - 200] = test::Samples(40 + 2 * (id - 200), static_cast<uint8_t>(id));
            system_.AddResource("WAV", id, test::SimpleWave(samples_[id - 200]));
        }
    }
    // The bank is process-wide: leave it off, with nothing held, for the next test and
    // before the fakes go.
    void TearDown() override {
        SoundShutdown();
        EXPECT_EQ(world_.LiveCount(), 0u);
    }

    SoundObject* Object(int32_t id) { return soundBank.objects[id].get(); }
    FakeSoundBuffer* Voice(int32_t id, int32_t index) {
        return AsFake(soundBank.objects[id]->voices[index].Get());
    }
    std::vector<fake::Call> CallsOn(const char* name, const void* object) {
        std::vector<fake::Call> found;
        for (const fake::Call& call : world_.CallsNamed(name)) {
            if (!call.args.empty() && call.args[0] == Address(object)) {
                found.push_back(call);
            }
        }
        return found;
    }
    bool HoldsWave(FakeSoundBuffer* buffer, int32_t id) {
        return buffer->Samples() == samples_[id];
    }

    fake::FakeWorld world_;
    fake::FakeGdi gdi_{world_};
    fake::FakeSystem system_{world_, gdi_};
    fake::FakeSoundSystem sound_{world_};
    Bytes samples_[soundCount];
};

TEST_F(SoundBankTest, VoicesGetTheFormatsExtraBytesOnlyWhenTheFileHoldsThem) {
    // Sound 0: an 18-byte record whose cbSize claims 22 bytes the chunk does not have.
    // Sound 1: a 40-byte record that really holds its 22 extra bytes.
    for (uint32_t chunkSize : {18u, 40u}) {
        Bytes format = test::PcmFormat(chunkSize);
        format[16] = 22;
        for (uint32_t i = 18; i < chunkSize; ++i) {
            format[i] = static_cast<uint8_t>(0xA0 + i);
        }
        Bytes chunks;
        test::PutChunk(chunks, "fmt ", format);
        test::PutChunk(chunks, "data", samples_[chunkSize == 18 ? 0 : 1]);
        system_.AddResource("WAV", chunkSize == 18 ? 200 : 201, test::Riff(chunks));
    }
    SoundInit(sound_, system_, saverWindow);
    ASSERT_NE(Object(0), nullptr);
    ASSERT_NE(Object(1), nullptr);
    for (int32_t index : {0, 9}) {
        EXPECT_EQ(Voice(0, index)->Format().cbSize, 0);
        EXPECT_TRUE(Voice(0, index)->formatExtra.empty());
        EXPECT_EQ(Voice(1, index)->Format().cbSize, 22);
        ASSERT_EQ(Voice(1, index)->formatExtra.size(), 22u);
        EXPECT_EQ(Voice(1, index)->formatExtra.front(), 0xA0 + 18);
        EXPECT_EQ(Voice(1, index)->formatExtra.back(), 0xA0 + 39);
    }
}

TEST_F(SoundBankTest, NothingHappensBeforeInitOrAfterShutdown) {
    for (int32_t id = -1; id <= soundCount; ++id) {
        SoundPlay(id);
    }
    SoundShutdown();
    SoundShutdown();
    EXPECT_TRUE(world_.Calls().empty());
    EXPECT_FALSE(soundBank.soundReady);

    SoundInit(sound_, system_, saverWindow);
    SoundShutdown();
    world_.ClearCalls();
    SoundShutdown();
    SoundPlay(0);
    EXPECT_TRUE(world_.Calls().empty());
}

TEST_F(SoundBankTest, InitBuildsTenVoicesPerSoundSharingVoiceZero) {
    SoundInit(sound_, system_, saverWindow);
    ASSERT_TRUE(soundBank.soundReady);

    const auto created = world_.CallsNamed("DirectSoundCreate");
    ASSERT_EQ(created.size(), 1u);
    EXPECT_EQ(created[0].args[0], 0) << "the default device, no GUID";
    const auto level = world_.CallsNamed("DirectSound::SetCooperativeLevel");
    ASSERT_EQ(level.size(), 1u);
    EXPECT_EQ(level[0].args, (std::vector<int64_t>{0x5a0, DSSCL_EXCLUSIVE}));

    const auto buffers = world_.CallsNamed("CreateSoundBuffer");
    ASSERT_EQ(buffers.size(), 6u);
    EXPECT_EQ(world_.CountCalls("DuplicateSoundBuffer"), 54u);
    for (int32_t id = 0; id < soundCount; ++id) {
        SCOPED_TRACE("sound " + std::to_string(id));
        EXPECT_EQ(buffers[id].args, (std::vector<int64_t>{sizeof(DSBUFFERDESC), 0x000100E2,
                                                          static_cast<int64_t>(samples_[id].size())}));
        SoundObject* object = Object(id);
        ASSERT_NE(object, nullptr);
        EXPECT_EQ(object->voiceCount, 10);
        EXPECT_EQ(object->current, 0);
        EXPECT_EQ(object->waveSize, samples_[id].size());
        // The wave is read in place from the resource.
        const ResourceData resource = system_.FindResourceData("WAV", 200 + id);
        EXPECT_EQ(object->waveData, resource.data + 44);
        EXPECT_TRUE(HoldsWave(Voice(id, 0), id));
        EXPECT_EQ(Voice(id, 0)->Format().nSamplesPerSec, 22050u);
        for (int32_t v = 1; v < 10; ++v) {
            EXPECT_TRUE(Voice(id, v)->SharesSamplesWith(*Voice(id, 0)));
            EXPECT_NE(Voice(id, v), Voice(id, 0));
        }
    }
    EXPECT_EQ(sound_.Buffers().size(), 60u);

    // Twice would orphan the first set.
    SoundInit(sound_, system_, saverWindow);
    EXPECT_EQ(world_.CountCalls("DirectSoundCreate"), 1u);

    SoundShutdown();
    EXPECT_FALSE(soundBank.soundReady);
    EXPECT_FALSE(soundBank.device);
    for (int32_t id = 0; id < soundCount; ++id) {
        EXPECT_EQ(Object(id), nullptr);
    }
    EXPECT_EQ(world_.LiveCount(), 0u);
}

TEST_F(SoundBankTest, TheProgramsOwnWavesFillTheirVoices) {
    const uint32_t dataBytes[] = {17788, 17788, 17788, 37952, 37954, 92224};
    for (uint32_t id = 200; id <= 205; ++id) {
        const EmbeddedResource* wave = FindEmbeddedResource("WAV", static_cast<int>(id));
        ASSERT_NE(wave, nullptr);
        system_.AddResource("WAV", id, Bytes(wave->data, wave->data + wave->size));
    }
    SoundInit(sound_, system_, saverWindow);
    for (int32_t id = 0; id < soundCount; ++id) {
        SCOPED_TRACE("sound " + std::to_string(id));
        ASSERT_NE(Object(id), nullptr);
        const std::vector<uint8_t>& held = Voice(id, 9)->Samples();
        ASSERT_EQ(held.size(), dataBytes[id]);
        EXPECT_EQ(std::memcmp(held.data(), Object(id)->waveData, held.size()), 0);
    }
}

TEST_F(SoundBankTest, ElevenPlaysFillTenVoicesThenCutOffTheFirst) {
    SoundInit(sound_, system_, saverWindow);
    for (int32_t play = 0; play < 10; ++play) {
        SoundPlay(2);
        EXPECT_EQ(Object(2)->current, play);
    }
    for (int32_t v = 0; v < 10; ++v) {
        EXPECT_TRUE(Voice(2, v)->playing) << "voice " << v;
        EXPECT_EQ(Voice(2, v)->playCount, 1u) << "voice " << v;
    }
    EXPECT_EQ(sound_.PlayingCount(), 10u);
    const auto plays = world_.CallsNamed("SoundBuffer::Play");
    ASSERT_EQ(plays.size(), 10u);
    EXPECT_EQ(plays[0].args, (std::vector<int64_t>{Address(Voice(2, 0)), 0, 0, 0}));
    EXPECT_EQ(world_.CountCalls("Stop"), 0u);

    FakeSoundBuffer* first = Voice(2, 0);
    first->position = 20;  // halfway through its sound
    world_.ClearCalls();
    SoundPlay(2);
    EXPECT_EQ(Object(2)->current, 0);
    EXPECT_EQ(world_.CallNames({"GetStatus", "Stop", "SetCurrentPosition", "Play"}),
              (std::vector<std::string>{"GetStatus", "GetStatus", "Stop", "SetCurrentPosition",
                                        "Play"}));
    EXPECT_EQ(CallsOn("GetStatus", Voice(2, 9)).size(), 1u);
    EXPECT_EQ(CallsOn("Stop", first).size(), 1u);
    ASSERT_EQ(CallsOn("SetCurrentPosition", first).size(), 1u);
    EXPECT_EQ(CallsOn("SetCurrentPosition", first)[0].args[1], 0);
    EXPECT_EQ(CallsOn("Play", first).size(), 1u);
    EXPECT_EQ(first->playCount, 2u);
    EXPECT_EQ(first->position, 0u);
    EXPECT_EQ(sound_.PlayingCount(), 10u);
    // Other sounds keep their own rotation.
    EXPECT_EQ(Object(1)->current, 0);
}

TEST_F(SoundBankTest, AFinishedVoiceIsUsedAgainWithoutMoving) {
    SoundInit(sound_, system_, saverWindow);
    SoundPlay(4);
    SoundPlay(4);
    EXPECT_EQ(Object(4)->current, 1);
    sound_.FinishAll();
    world_.ClearCalls();
    SoundPlay(4);
    EXPECT_EQ(Object(4)->current, 1);
    EXPECT_EQ(Voice(4, 1)->playCount, 2u);
    EXPECT_EQ(world_.CountCalls("GetStatus"), 1u);
    EXPECT_EQ(world_.CountCalls("Stop"), 0u);
}

TEST_F(SoundBankTest, AFailedStatusCountsAsIdle) {
    SoundInit(sound_, system_, saverWindow);
    SoundPlay(0);
    world_.FailCall("GetStatus", DSERR_INVALIDPARAM);
    SoundPlay(0);
    EXPECT_EQ(Object(0)->current, 0);
    EXPECT_EQ(Voice(0, 0)->playCount, 2u);
}

TEST_F(SoundBankTest, OneVoiceObjectDropsPlaysWhileBusy) {
    SoundInit(sound_, system_, saverWindow);
    SoundObjectPtr single = CreateSoundObject(*soundBank.device, system_, 201, 0);
    ASSERT_NE(single, nullptr);
    EXPECT_EQ(single->voiceCount, 1);
    SoundBuffer* voice = GetFreeVoice(single.get());
    ASSERT_NE(voice, nullptr);
    voice->Play(0, 0, 0);
    EXPECT_EQ(GetFreeVoice(single.get()), nullptr);
    EXPECT_EQ(single->current, 0);
    EXPECT_TRUE(AsFake(voice)->playing) << "a busy single voice is not cut off";
    sound_.FinishAll();
    EXPECT_EQ(GetFreeVoice(single.get()), voice);
    DestroySoundObject(single);
    EXPECT_EQ(single, nullptr);
    EXPECT_EQ(GetFreeVoice(nullptr), nullptr);
}

TEST_F(SoundBankTest, MissingOrBrokenWavesLeaveOnlyTheirIdsSilent) {
    system_.RemoveResource("WAV", 203);
    Bytes truncated = test::SimpleWave(samples_[5]);
    truncated.resize(truncated.size() - 3);
    system_.AddResource("WAV", 205, truncated);
    SoundInit(sound_, system_, saverWindow);
    ASSERT_TRUE(soundBank.soundReady);
    EXPECT_EQ(Object(3), nullptr);
    EXPECT_EQ(Object(5), nullptr);
    EXPECT_EQ(sound_.Buffers().size(), 40u);

    world_.ClearCalls();
    SoundPlay(3);
    SoundPlay(5);
    SoundPlay(-1);
    SoundPlay(6);
    EXPECT_TRUE(world_.Calls().empty());
    SoundPlay(4);
    EXPECT_EQ(world_.CountCalls("Play"), 1u);
    EXPECT_TRUE(Voice(4, 0)->playing);
}

TEST_F(SoundBankTest, LostVoicesAreRestoredAndRefilledBeforePlaying) {
    SoundInit(sound_, system_, saverWindow);
    SoundPlay(1);
    sound_.LoseAll();
    world_.ClearCalls();
    SoundPlay(1);
    EXPECT_EQ(world_.CallNames({"Restore", "Lock", "Unlock", "Play"}),
              (std::vector<std::string>{"Restore", "Lock", "Unlock", "Play"}));
    EXPECT_TRUE(Voice(1, 0)->playing);
    EXPECT_FALSE(Voice(1, 0)->lost);
    EXPECT_TRUE(HoldsWave(Voice(1, 0), 1)) << "restored memory holds no wave until refilled";

    // A lost voice found while rotating past a busy one is restored as well.
    Voice(1, 1)->lost = true;
    SoundPlay(1);
    EXPECT_EQ(Object(1)->current, 1);
    EXPECT_TRUE(Voice(1, 1)->playing);
    EXPECT_TRUE(HoldsWave(Voice(1, 1), 1));
}

TEST_F(SoundBankTest, AVoiceThatCannotBeRestoredOrRefilledDropsThePlay) {
    SoundInit(sound_, system_, saverWindow);
    sound_.LoseAll();
    world_.FailCall("SoundBuffer::Restore", DSERR_BUFFERLOST);
    world_.ClearCalls();
    SoundPlay(0);
    EXPECT_EQ(world_.CountCalls("Restore"), 1u);
    EXPECT_EQ(world_.CountCalls("Lock"), 0u);
    EXPECT_EQ(world_.CountCalls("Play"), 0u);

    world_.FailCall("SoundBuffer::Lock", DSERR_INVALIDCALL);
    SoundPlay(0);
    EXPECT_EQ(world_.CountCalls("Lock"), 1u);
    EXPECT_EQ(world_.CountCalls("Play"), 0u);
    EXPECT_FALSE(Voice(0, 0)->playing);
    EXPECT_EQ(Object(0)->current, 0);
}

TEST_F(SoundBankTest, AFailedPlayIsIgnored) {
    SoundInit(sound_, system_, saverWindow);
    world_.FailCall("SoundBuffer::Play", DSERR_INVALIDCALL);
    SoundPlay(0);
    EXPECT_FALSE(Voice(0, 0)->playing);
    SoundPlay(0);
    EXPECT_TRUE(Voice(0, 0)->playing);
}

TEST_F(SoundBankTest, NoDeviceOrNoExclusiveLevelLeavesTheSaverSilent) {
    world_.FailCall("DirectSoundCreate", DSERR_NODRIVER);
    SoundInit(sound_, system_, saverWindow);
    EXPECT_FALSE(soundBank.soundReady);
    EXPECT_FALSE(soundBank.device);
    EXPECT_EQ(world_.CountCalls("CreateSoundBuffer"), 0u);

    world_.FailCall("DirectSound::SetCooperativeLevel", DSERR_ALLOCATED);
    SoundInit(sound_, system_, saverWindow);
    EXPECT_FALSE(soundBank.soundReady);
    EXPECT_FALSE(soundBank.device);
    EXPECT_EQ(world_.LiveCount("DirectSound"), 0u) << "the refused device is released";
    EXPECT_EQ(world_.CountCalls("CreateSoundBuffer"), 0u);

    world_.ClearCalls();
    SoundPlay(0);
    SoundShutdown();
    EXPECT_TRUE(world_.Calls().empty());
}

TEST_F(SoundBankTest, FailedDuplicatesFallBackToBuffersOfTheirOwn) {
    world_.FailCall("DuplicateSoundBuffer", DSERR_OUTOFMEMORY, FailWhen::Nth(3));
    SoundInit(sound_, system_, saverWindow);
    ASSERT_NE(Object(0), nullptr);
    FakeSoundBuffer* own = Voice(0, 3);
    EXPECT_FALSE(own->SharesSamplesWith(*Voice(0, 0)));
    EXPECT_TRUE(HoldsWave(own, 0));
    EXPECT_EQ(own->Flags(), voiceBufferFlags);
    EXPECT_TRUE(Voice(0, 4)->SharesSamplesWith(*Voice(0, 0)));
    EXPECT_EQ(world_.CountCalls("CreateSoundBuffer"), 7u);
}

TEST_F(SoundBankTest, AVoiceThatCannotBeMadeDestroysItsWholeObject) {
    SoundInit(sound_, system_, saverWindow);
    world_.ClearCalls();
    const size_t before = world_.LiveCount("SoundBuffer");
    // Voice 0 is made; the fifth voice can be neither duplicated nor created.
    world_.FailCall("DuplicateSoundBuffer", DSERR_OUTOFMEMORY, FailWhen::Nth(4));
    world_.FailCall("CreateSoundBuffer", DSERR_OUTOFMEMORY, FailWhen::Nth(2));
    EXPECT_EQ(CreateSoundObject(*soundBank.device, system_, 200, 10), nullptr);
    EXPECT_EQ(world_.CountCalls("DuplicateSoundBuffer"), 4u);
    EXPECT_EQ(world_.LiveCount("SoundBuffer"), before) << "every voice made is released";

    // Voice 0 itself, its creation or its fill failing.
    world_.FailCall("CreateSoundBuffer", DSERR_BADFORMAT);
    EXPECT_EQ(CreateSoundObject(*soundBank.device, system_, 200, 10), nullptr);
    world_.FailCall("SoundBuffer::Lock", DSERR_INVALIDCALL);
    EXPECT_EQ(CreateSoundObject(*soundBank.device, system_, 200, 10), nullptr);
    EXPECT_EQ(world_.LiveCount("SoundBuffer"), before);
    EXPECT_EQ(CreateSoundObject(*soundBank.device, system_, 199, 10), nullptr);

    // At start: that sound is silent, the others are whole.
    SoundShutdown();
    world_.FailCall("CreateSoundBuffer", DSERR_OUTOFMEMORY, FailWhen::Nth(3));
    SoundInit(sound_, system_, saverWindow);
    EXPECT_EQ(Object(2), nullptr);
    EXPECT_NE(Object(3), nullptr);
    EXPECT_EQ(world_.LiveCount("SoundBuffer"), 50u);
}

TEST_F(SoundBankTest, TheShowsHookPlaysTheSound) {
    SoundInit(sound_, system_, saverWindow);
    void (*hook)(void*, int32_t) = &SoundPlayHook;
    hook(nullptr, 5);
    EXPECT_TRUE(Voice(5, 0)->playing);
    hook(nullptr, 9);
    EXPECT_EQ(world_.CountCalls("Play"), 1u);
}

// A buffer whose lock always wraps: the first part ends splitAt bytes in, the second
// part is the rest. Records what it was unlocked with.
class SplitLockBuffer final : public SoundBuffer {
   public:
    explicit SplitLockBuffer(uint32_t splitAt) : splitAt_(splitAt) {}
    uint32_t AddRef() override { return 1; }
    uint32_t Release() override { return 0; }
    int32_t QueryInterface(const GUID&, void**) override { return E_NOINTERFACE; }
    int32_t GetStatus(uint32_t* status) override {
        *status = 0;
        return DS_OK;
    }
    int32_t Play(uint32_t, uint32_t, uint32_t) override { return DS_OK; }
    int32_t Stop() override { return DS_OK; }
    int32_t SetCurrentPosition(uint32_t) override { return DS_OK; }
    int32_t Restore() override { return DS_OK; }
    int32_t Lock(uint32_t offset, uint32_t bytes, void** part1, uint32_t* bytes1, void** part2,
                 uint32_t* bytes2, uint32_t flags) override {
        lockArgs = {offset, bytes, flags};
        tail.assign(splitAt_, 0);
        head.assign(bytes - splitAt_, 0);
        *part1 = tail.data();
        *bytes1 = splitAt_;
        *part2 = head.data();
        *bytes2 = bytes - splitAt_;
        return DS_OK;
    }
    int32_t Unlock(void* part1, uint32_t bytes1, void* part2, uint32_t bytes2) override {
        unlocked = part1 == tail.data() && part2 == head.data();
        unlockBytes = {bytes1, bytes2};
        return DS_OK;
    }

    Bytes tail;
    Bytes head;
    std::vector<uint32_t> lockArgs;
    std::vector<uint32_t> unlockBytes;
    bool unlocked = false;

   private:
    uint32_t splitAt_;
};

TEST(FillVoice, CopiesAcrossBothPartsOfTheLock) {
    const Bytes wave = test::Samples(100);
    SplitLockBuffer buffer(36);
    ASSERT_EQ(FillVoice(&buffer, wave.data(), 100), S_OK);
    EXPECT_EQ(buffer.lockArgs, (std::vector<uint32_t>{0, 100, 0}));
    EXPECT_EQ(buffer.tail, Bytes(wave.begin(), wave.begin() + 36));
    EXPECT_EQ(buffer.head, Bytes(wave.begin() + 36, wave.end()));
    EXPECT_TRUE(buffer.unlocked);
    EXPECT_EQ(buffer.unlockBytes, (std::vector<uint32_t>{36, 64}));
}

TEST(FillVoice, RefusesMissingArgumentsAndPassesLockFailuresOn) {
    const Bytes wave = test::Samples(16);
    SplitLockBuffer buffer(8);
    EXPECT_EQ(FillVoice(nullptr, wave.data(), 16), E_INVALIDARG);
    EXPECT_EQ(FillVoice(&buffer, nullptr, 16), E_INVALIDARG);
    EXPECT_EQ(FillVoice(&buffer, wave.data(), 0), E_INVALIDARG);
    EXPECT_TRUE(buffer.lockArgs.empty());

    fake::FakeWorld world;
    fake::FakeSoundSystem sound(world);
    Ref<DirectSound> device;
    ASSERT_EQ(sound.DirectSoundCreate(nullptr, device.Put()), DS_OK);
    ASSERT_EQ(device->SetCooperativeLevel(saverWindow, DSSCL_EXCLUSIVE), DS_OK);
    const Bytes file = test::SimpleWave(wave);
    WaveView view;
    ASSERT_EQ(ParseWave(file.data(), static_cast<uint32_t>(file.size()), &view), S_OK);
    Ref<SoundBuffer> voice;
    ASSERT_EQ(CreateVoiceBuffer(*device, view, voice), S_OK);
    world.ClearCalls();
    world.FailCall("Lock", DSERR_BUFFERLOST);
    EXPECT_EQ(FillVoice(voice.Get(), wave.data(), 16), DSERR_BUFFERLOST);
    EXPECT_EQ(world.CountCalls("Unlock"), 0u);

    Ref<SoundBuffer> failed;
    world.FailCall("Lock", DSERR_INVALIDCALL);
    EXPECT_EQ(CreateVoiceBuffer(*device, view, failed), DSERR_INVALIDCALL);
    EXPECT_FALSE(failed);
    EXPECT_EQ(world.LiveCount("SoundBuffer"), 1u);
}

}  // namespace
}  // namespace nb
