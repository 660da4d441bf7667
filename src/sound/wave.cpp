// The RIFF walk over a wave resource. The file comes from the program's own resources,
// but it is still treated as untrusted: each size field is checked against the bytes
// that really exist before anything behind it is read, in 64-bit arithmetic so that a
// size near 2^32 cannot wrap a position back into the buffer.
#include "sound/wave.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <new>

namespace nb {

namespace {

constexpr uint32_t chunkHeaderSize = 8;
constexpr uint32_t minFormatSize = 14;

uint32_t ReadLittle32(const uint8_t* at) {
    return static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8 |
           static_cast<uint32_t>(at[2]) << 16 | static_cast<uint32_t>(at[3]) << 24;
}

bool IsTag(const uint8_t* at, const char (&tag)[5]) {
    return std::memcmp(at, tag, 4) == 0;
}

}  // namespace

int32_t WaveFormatCopy::Assign(const WaveView& wave) {
    bytes_.reset();
    size_ = 0;
    if (wave.format == nullptr) {
        return E_FAIL;
    }
    constexpr uint32_t recordSize = sizeof(WAVEFORMATEX);
    constexpr uint32_t cbSizeOffset = offsetof(WAVEFORMATEX, cbSize);
    const auto* source = reinterpret_cast<const uint8_t*>(wave.format);
    uint32_t extra = 0;
    if (wave.formatSize >= recordSize) {
        const uint32_t promised = static_cast<uint32_t>(source[cbSizeOffset]) |
                                  static_cast<uint32_t>(source[cbSizeOffset + 1]) << 8;
        if (promised <= wave.formatSize - recordSize) {
            extra = promised;
        }
    }
    const uint32_t size = recordSize + extra;
    bytes_.reset(new (std::nothrow) uint8_t[size]());
    if (!bytes_) {
        return E_OUTOFMEMORY;
    }
    std::memcpy(bytes_.get(), source, std::min(wave.formatSize, recordSize));
    bytes_[cbSizeOffset] = static_cast<uint8_t>(extra);
    bytes_[cbSizeOffset + 1] = static_cast<uint8_t>(extra >> 8);
    if (extra != 0) {
        std::memcpy(bytes_.get() + recordSize, source + recordSize, extra);
    }
    size_ = size;
    return S_OK;
}

int32_t ParseWave(const uint8_t* file, uint32_t size, WaveView* out) {
    if (out == nullptr) {
        return E_POINTER;
    }
    *out = WaveView{};
    if (file == nullptr || size < 12) {
        return E_FAIL;
    }
    if (!IsTag(file, "RIFF") || !IsTag(file + 8, "WAVE")) {
        return E_FAIL;
    }
    // A RIFF size that claims more than the file holds (a truncated file) is cut back
    // to the bytes that exist.
    const uint64_t end = std::min<uint64_t>(uint64_t{chunkHeaderSize} + ReadLittle32(file + 4),
                                            size);

    const uint8_t* format = nullptr;
    uint32_t formatSize = 0;
    const uint8_t* data = nullptr;
    uint32_t dataSize = 0;
    uint64_t at = 12;
    while (at < end) {
        if (at + chunkHeaderSize > end) {
            return E_FAIL;
        }
        const uint8_t* chunk = file + at;
        const uint32_t bodySize = ReadLittle32(chunk + 4);
        const uint64_t bodyEnd = at + chunkHeaderSize + bodySize;
        if (bodyEnd > end) {
            return E_FAIL;
        }
        if (format == nullptr && IsTag(chunk, "fmt ")) {
            if (bodySize < minFormatSize) {
                return E_FAIL;
            }
            format = chunk + chunkHeaderSize;
            formatSize = bodySize;
        } else if (data == nullptr && IsTag(chunk, "data")) {
            data = chunk + chunkHeaderSize;
            dataSize = bodySize;
        }
        if (format != nullptr && data != nullptr) {
            out->format = reinterpret_cast<const WAVEFORMATEX*>(format);
            out->formatSize = formatSize;
            out->data = data;
            out->dataSize = dataSize;
            return S_OK;
        }
        at = bodyEnd + (bodySize & 1u);
    }
    return E_FAIL;
}

}  // namespace nb
