// Reading a RIFF WAVE file in place: where its format record and its samples lie.
// Depends on the sound port's WAVEFORMATEX only. Must not copy or allocate, and must
// never read a byte outside the buffer it is given, whatever the file claims.
#pragma once

#include <cstdint>

#include "platform/sound.h"

namespace nb {

// Where the parts of a wave file lie inside the file's own bytes.
struct WaveView {
    // The body of the first "fmt " chunk (at least 14 bytes; a 16-byte PCM record has
    // no cbSize, so do not read past formatSize).
    const WAVEFORMATEX* format = nullptr;
    uint32_t formatSize = 0;
    // The body of the first "data" chunk.
    const uint8_t* data = nullptr;
    uint32_t dataSize = 0;
};

// The format record as a buffer description wants it: the fields the file has, the
// rest zero (cbSize 0 for plain PCM).
WAVEFORMATEX CopyWaveFormat(const WaveView& wave);

// Walks the chunks of a RIFF WAVE file of size bytes. Every chunk header and body must
// lie inside both the buffer and the RIFF chunk's declared end; chunks are padded to
// even sizes. S_OK with out filled, or E_FAIL for anything that is not a complete wave
// with a "fmt " chunk of at least 14 bytes and a "data" chunk (E_POINTER for a null
// out). out is cleared first either way.
int32_t ParseWave(const uint8_t* file, uint32_t size, WaveView* out);

}  // namespace nb
