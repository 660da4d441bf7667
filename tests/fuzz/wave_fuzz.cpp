// Wave parsing on any bytes, then the sound bank's use of what the parse accepts: the
// bytes stand as wave resource 200 on the fake sound system, the bank builds its voices
// from them and plays, loses and restores them. What a parse reports must lie inside the
// bytes; a voice holds exactly the wave's samples; nothing stays referenced.
#include <cstring>
#include <memory>

#include "fuzz_support.h"
#include "platform/fake/fake_gdi.h"
#include "platform/fake/fake_sound.h"
#include "platform/fake/fake_system.h"
#include "platform/fake/fake_world.h"
#include "sound/sound.h"
#include "sound/wave.h"

namespace {

bool Inside(const uint8_t* begin, size_t size, const void* at, size_t count) {
  const auto* p = static_cast<const uint8_t*>(at);
  return p >= begin && p <= begin + size && count <= static_cast<size_t>(begin + size - p);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > UINT32_MAX) return 0;
  const auto length = static_cast<uint32_t>(size);

  nb::WaveView view;
  const int32_t parsed = nb::ParseWave(data, length, &view);
  if (nb::Succeeded(parsed)) {
    FUZZ_CHECK(view.format != nullptr && view.data != nullptr);
    FUZZ_CHECK(view.formatSize >= 14);
    FUZZ_CHECK(Inside(data, size, view.format, view.formatSize));
    FUZZ_CHECK(Inside(data, size, view.data, view.dataSize));
    nb::WaveFormatCopy copy;
    FUZZ_CHECK(copy.Assign(view) == nb::S_OK);
    FUZZ_CHECK(copy.Size() == 18u + copy.Get()->cbSize);
    FUZZ_CHECK(copy.Size() == 18u || copy.Size() <= view.formatSize);
  } else {
    FUZZ_CHECK(view.format == nullptr && view.data == nullptr && view.dataSize == 0);
  }

  nb::fake::FakeWorld world;
  nb::fake::FakeGdi gdi{world};
  nb::fake::FakeSystem system{world, gdi};
  nb::fake::FakeSoundSystem sound{world};
  system.AddResource("WAV", nb::firstWaveResource, std::vector<uint8_t>(data, data + size));

  nb::SoundInit(sound, system, nb::Window{0x10});
  FUZZ_CHECK(nb::soundBank.soundReady);
  nb::SoundObject* object = nb::soundBank.objects[0].get();
  if (!nb::Succeeded(parsed)) FUZZ_CHECK(object == nullptr);
  if (object != nullptr) {
    FUZZ_CHECK(object->voiceCount == nb::soundVoices);
    FUZZ_CHECK(object->waveSize == view.dataSize);
    for (int32_t i = 0; i < object->voiceCount; ++i) {
      auto* voice = static_cast<nb::fake::FakeSoundBuffer*>(object->voices[i].Get());
      FUZZ_CHECK(voice != nullptr);
      FUZZ_CHECK(voice->Samples().size() == view.dataSize);
      FUZZ_CHECK(std::memcmp(voice->Samples().data(), view.data, view.dataSize) == 0);
    }
    for (int play = 0; play < 12; ++play) nb::SoundPlay(0);
    sound.LoseAll();
    nb::SoundPlay(0);
    sound.FinishAll();
    nb::SoundPlay(0);
  }
  for (int32_t id = 1; id < nb::soundCount; ++id) FUZZ_CHECK(nb::soundBank.objects[id] == nullptr);
  nb::SoundShutdown();
  FUZZ_CHECK(world.LiveCount() == 0);
  return 0;
}
