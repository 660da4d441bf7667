// The sound bank: six wave resources of the program, each loaded once into several
// voices (sound buffers holding the same wave) so that a sound can overlap itself, and
// played fire-and-forget by the show.
//
// Depends on the sound and system ports only. Must not allocate, copy samples or report
// anything on the play path: a play that cannot be made is dropped, and any failure at
// start leaves the saver silent. Single-threaded, like the rest of the program.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/handles.h"
#include "platform/ref.h"
#include "platform/sound.h"
#include "platform/system.h"
#include "sound/wave.h"

namespace nb {

inline constexpr int32_t soundCount = 6;           // sound ids 0..5
inline constexpr uint32_t firstWaveResource = 200;  // resource of sound id 0, type "WAV"
inline constexpr int32_t soundVoices = 10;          // voices made for each sound
inline constexpr uint32_t voiceBufferFlags = DSBCAPS_STATIC | DSBCAPS_CTRLFREQUENCY |
                                             DSBCAPS_CTRLPAN | DSBCAPS_CTRLVOLUME |
                                             DSBCAPS_GETCURRENTPOSITION2;
static_assert(voiceBufferFlags == 0x000100E2);

// One sound: its wave, read in place from the resource, and its voices.
struct SoundObject {
    SoundObject() = default;
    SoundObject(const SoundObject&) = delete;
    SoundObject& operator=(const SoundObject&) = delete;
    // Releases the voices in index order.
    ~SoundObject();

    const uint8_t* waveData = nullptr;  // first sample byte, inside the resource
    uint32_t waveSize = 0;              // bytes of the "data" chunk
    int32_t voiceCount = 0;             // at least 1
    int32_t current = 0;                // the voice the next play tries first
    std::unique_ptr<Ref<SoundBuffer>[]> voices;  // voiceCount entries, all non-null
};

using SoundObjectPtr = std::unique_ptr<SoundObject>;

// The process-wide sound state. Between SoundInit and SoundShutdown it owns the device
// and the objects; an object is null when its sound could not be built.
struct SoundBank {
    Ref<DirectSound> device;
    SoundObjectPtr objects[soundCount];
    bool soundReady = false;  // gates every play
};

extern SoundBank soundBank;

// Starts sound for the saver window: the default device in exclusive mode and one
// object of soundVoices voices for each of resources 200..205. On a device failure the
// bank stays off; a missing sound only leaves its id silent. Does nothing when sound is
// already started.
void SoundInit(SoundSystem& sound, System& system, Window window);

// Plays sound id 0..5 once on a free voice (cutting off the oldest when all are busy).
// Does nothing before SoundInit, for other ids, or when the sound could not be built.
void SoundPlay(int32_t id);

// Releases every voice and the device. Safe when sound never started, and twice.
void SoundShutdown();

// The sink for the show's sound events (show.hooks.sound); the context is unused.
void SoundPlayHook(void* context, int32_t id);

// ---- The steps below, for the bank's own tests.

// The wave of "WAV" resource id, parsed in place. S_OK, or E_FAIL when the resource is
// missing or is not a usable wave.
int32_t FindWave(System& system, uint32_t id, WaveView* out);

// A new static buffer holding wave: DSBUFFERDESC of voiceBufferFlags, dataSize bytes and
// the wave's format, then filled. On failure out stays empty and the buffer is released;
// returns the failing call's result.
int32_t CreateVoiceBuffer(DirectSound& device, const WaveView& wave, Ref<SoundBuffer>& out);

// Copies size bytes of data into the start of buffer through Lock/Unlock (both parts of
// the lock). E_INVALIDARG when buffer or data is null or size is 0; Lock's failure as is.
int32_t FillVoice(SoundBuffer* buffer, const uint8_t* data, uint32_t size);

// The object for resource id with voices voices (at least 1): voice 0 a new buffer, the
// others duplicates of it, or new buffers where duplication fails. Null when the wave is
// missing, memory runs out or any voice cannot be made (nothing is left referenced).
SoundObjectPtr CreateSoundObject(DirectSound& device, System& system, uint32_t id,
                                 int32_t voices);
// The same for a wave already found; the object points into the wave's bytes, which must
// outlive it.
SoundObjectPtr CreateSoundObject(DirectSound& device, const WaveView& wave, int32_t voices);

// Releases the object's voices and frees it; a null object is ignored.
void DestroySoundObject(SoundObjectPtr& object);

// Plays object once on the voice GetFreeVoice gives, if any (what SoundPlay does for an
// id once sound has started).
void PlaySoundObject(SoundObject* object);

// The voice for the next play of object, or null. Moves to the next voice only when the
// current one plays, and stops that one if it plays too; restores and refills a lost
// voice, giving null when that fails. A one-voice object that plays gives null.
SoundBuffer* GetFreeVoice(SoundObject* object);

}  // namespace nb
