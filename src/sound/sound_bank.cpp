// The sound bank: building the voices at start, choosing and playing one per event, and
// releasing everything at the end. Every failure is absorbed here: the caller only ever
// hears less.
#include <algorithm>
#include <cstring>
#include <new>

#include "sound/sound.h"

namespace nb {

SoundBank soundBank;

SoundObject::~SoundObject() {
    // Explicit index order: an array's own destruction would release the last voice
    // first.
    for (int32_t i = 0; voices && i < voiceCount; ++i) {
        voices[i].Reset();
    }
}

int32_t FindWave(System& system, uint32_t id, WaveView* out) {
    const ResourceData resource = system.FindResourceData("WAV", id);
    if (resource.data == nullptr) {
        *out = WaveView{};
        return E_FAIL;
    }
    return ParseWave(resource.data, resource.size, out);
}

int32_t FillVoice(SoundBuffer* buffer, const uint8_t* data, uint32_t size) {
    if (buffer == nullptr || data == nullptr || size == 0) {
        return E_INVALIDARG;
    }
    void* part1 = nullptr;
    uint32_t bytes1 = 0;
    void* part2 = nullptr;
    uint32_t bytes2 = 0;
    const int32_t locked = buffer->Lock(0, size, &part1, &bytes1, &part2, &bytes2, 0);
    if (Failed(locked)) {
        return locked;
    }
    // The parts together cover what was asked; the counts are still clamped so that a
    // lock reporting more than that never makes us read past the wave.
    const uint32_t first = part1 != nullptr ? std::min(bytes1, size) : 0;
    if (first > 0) {
        std::memcpy(part1, data, first);
    }
    const uint32_t second = part2 != nullptr ? std::min(bytes2, size - first) : 0;
    if (second > 0) {
        std::memcpy(part2, data + first, second);
    }
    buffer->Unlock(part1, first, part2, second);
    return S_OK;
}

int32_t CreateVoiceBuffer(DirectSound& device, const WaveView& wave, Ref<SoundBuffer>& out) {
    out.Reset();
    // The platform copies the format during the call, cbSize extra bytes included; the
    // copy never lets it read past what the file's "fmt " chunk holds.
    WaveFormatCopy format;
    if (const int32_t copied = format.Assign(wave); Failed(copied)) {
        return copied;
    }
    DSBUFFERDESC desc{};
    desc.dwSize = sizeof(DSBUFFERDESC);
    desc.dwFlags = voiceBufferFlags;
    desc.dwBufferBytes = wave.dataSize;
    desc.lpwfxFormat = format.Get();
    Ref<SoundBuffer> buffer;
    const int32_t created = device.CreateSoundBuffer(desc, buffer.Put());
    if (Failed(created)) {
        return created;
    }
    if (!buffer) {
        return E_FAIL;
    }
    const int32_t filled = FillVoice(buffer.Get(), wave.data, wave.dataSize);
    if (Failed(filled)) {
        return filled;
    }
    out = std::move(buffer);
    return S_OK;
}

SoundObjectPtr CreateSoundObject(DirectSound& device, System& system, uint32_t id,
                                 int32_t voices) {
    WaveView wave;
    if (Failed(FindWave(system, id, &wave))) {
        return nullptr;
    }
    return CreateSoundObject(device, wave, voices);
}

SoundObjectPtr CreateSoundObject(DirectSound& device, const WaveView& wave, int32_t voices) {
    if (wave.format == nullptr || wave.data == nullptr) {
        return nullptr;
    }
    const int32_t count = std::max(voices, 1);
    SoundObjectPtr object(new (std::nothrow) SoundObject);
    if (!object) {
        return nullptr;
    }
    object->voices.reset(new (std::nothrow) Ref<SoundBuffer>[static_cast<size_t>(count)]);
    if (!object->voices) {
        return nullptr;
    }
    object->waveData = wave.data;
    object->waveSize = wave.dataSize;
    object->voiceCount = count;
    object->current = 0;

    if (Failed(CreateVoiceBuffer(device, wave, object->voices[0]))) {
        return nullptr;
    }
    for (int32_t i = 1; i < count; ++i) {
        Ref<SoundBuffer>& voice = object->voices[i];
        // A duplicate shares voice 0's samples; only when the platform cannot make one
        // does the voice get a copy of its own.
        if (Succeeded(device.DuplicateSoundBuffer(object->voices[0].Get(), voice.Put())) &&
            voice) {
            continue;
        }
        voice.Reset();
        if (Failed(CreateVoiceBuffer(device, wave, voice))) {
            DestroySoundObject(object);
            return nullptr;
        }
    }
    return object;
}

void DestroySoundObject(SoundObjectPtr& object) {
    object.reset();
}

SoundBuffer* GetFreeVoice(SoundObject* object) {
    if (object == nullptr || object->voiceCount < 1 || !object->voices ||
        !object->voices[object->current]) {
        return nullptr;
    }
    SoundBuffer* voice = object->voices[object->current].Get();
    uint32_t status = 0;
    if (Failed(voice->GetStatus(&status))) {
        status = 0;
    }
    if ((status & DSBSTATUS_PLAYING) != 0) {
        if (object->voiceCount == 1) {
            return nullptr;
        }
        object->current = (object->current + 1) % object->voiceCount;
        voice = object->voices[object->current].Get();
        if (voice == nullptr) {
            return nullptr;
        }
        status = 0;
        if (Failed(voice->GetStatus(&status))) {
            status = 0;
        } else if ((status & DSBSTATUS_PLAYING) != 0) {
            // Every voice is busy: the new sound cuts off the one after the last tried.
            voice->Stop();
            voice->SetCurrentPosition(0);
        }
    }
    if ((status & DSBSTATUS_BUFFERLOST) != 0) {
        if (Failed(voice->Restore()) ||
            Failed(FillVoice(voice, object->waveData, object->waveSize))) {
            return nullptr;
        }
    }
    return voice;
}

void SoundInit(SoundSystem& sound, System& system, Window window) {
    // Starting twice would orphan the first device and its voices.
    if (soundBank.soundReady || soundBank.device) {
        return;
    }
    if (Failed(sound.DirectSoundCreate(nullptr, soundBank.device.Put())) || !soundBank.device) {
        soundBank.device.Reset();
        soundBank.soundReady = false;
        return;
    }
    if (Failed(soundBank.device->SetCooperativeLevel(window, DSSCL_EXCLUSIVE))) {
        soundBank.soundReady = false;
        soundBank.device.Reset();
        return;
    }
    for (int32_t id = 0; id < soundCount; ++id) {
        soundBank.objects[id] = CreateSoundObject(*soundBank.device, system,
                                                  firstWaveResource + static_cast<uint32_t>(id),
                                                  soundVoices);
    }
    soundBank.soundReady = true;
}

void PlaySoundObject(SoundObject* object) {
    SoundBuffer* voice = GetFreeVoice(object);
    if (voice != nullptr) {
        voice->Play(0, 0, 0);
    }
}

void SoundPlay(int32_t id) {
    if (!soundBank.soundReady || id < 0 || id >= soundCount) {
        return;
    }
    PlaySoundObject(soundBank.objects[id].get());
}

void SoundShutdown() {
    if (!soundBank.soundReady) {
        return;
    }
    for (SoundObjectPtr& object : soundBank.objects) {
        DestroySoundObject(object);
    }
    soundBank.device.Reset();
    soundBank.soundReady = false;
}

void SoundPlayHook(void*, int32_t id) {
    SoundPlay(id);
}

}  // namespace nb
