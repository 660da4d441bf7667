// Reading a RIFF WAVE file in place: where its format record and its samples lie, and
// the copy of the format record that a sound buffer is made from.
// Depends on the sound port's WAVEFORMATEX only. The parse must not copy or allocate,
// and nothing here may read a byte outside the buffer it is given, whatever the file
// claims.
#pragma once

#include <cstdint>
#include <memory>

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

// The format record as a buffer description wants it, in memory of its own: the fields
// the file has, the rest zero, then the cbSize extra bytes when the "fmt " chunk really
// holds them. The platform reads cbSize bytes after the 18-byte record, so a cbSize that
// the chunk does not back is written as 0 (as for a 16-byte PCM record, which has none).
class WaveFormatCopy {
   public:
    // S_OK; E_FAIL for a view without a format; E_OUTOFMEMORY. On failure the copy is
    // empty.
    int32_t Assign(const WaveView& wave);
    // The record with its extra bytes; null while empty.
    const WAVEFORMATEX* Get() const { return reinterpret_cast<const WAVEFORMATEX*>(bytes_.get()); }
    // 18 + cbSize, or 0 while empty.
    uint32_t Size() const { return size_; }

   private:
    std::unique_ptr<uint8_t[]> bytes_;
    uint32_t size_ = 0;
};

// Walks the chunks of a RIFF WAVE file of size bytes. Every chunk header and body must
// lie inside both the buffer and the RIFF chunk's declared end; chunks are padded to
// even sizes. S_OK with out filled, or E_FAIL for anything that is not a complete wave
// with a "fmt " chunk of at least 14 bytes and a "data" chunk (E_POINTER for a null
// out). out is cleared first either way.
int32_t ParseWave(const uint8_t* file, uint32_t size, WaveView* out);

}  // namespace nb
