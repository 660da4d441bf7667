// Building wave files byte by byte for the sound tests: chunks with any declared size,
// with or without their pad byte, and a RIFF header with any declared size.
#pragma once

#include <cstdint>
#include <vector>

namespace nb::test {

using Bytes = std::vector<uint8_t>;

inline void Put32(Bytes& bytes, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
}

// Byte by byte: GCC 12's overflow warning misreads a range insert into an empty vector.
inline void PutTag(Bytes& bytes, const char* tag) {
    for (int i = 0; i < 4; ++i) {
        bytes.push_back(static_cast<uint8_t>(tag[i]));
    }
}

// A chunk with its declared size, its body and, for odd sizes, the pad byte.
inline void PutChunk(Bytes& bytes, const char* tag, const Bytes& body, bool pad = true) {
    PutTag(bytes, tag);
    Put32(bytes, static_cast<uint32_t>(body.size()));
    bytes.insert(bytes.end(), body.begin(), body.end());
    if (pad && body.size() % 2 == 1) {
        bytes.push_back(0);
    }
}

// The body of a "fmt " chunk for 22050 Hz mono 16-bit PCM, cut or zero-extended to size.
inline Bytes PcmFormat(uint32_t size = 16) {
    Bytes body = {1, 0, 1, 0};
    Put32(body, 22050);
    Put32(body, 44100);
    body.insert(body.end(), {2, 0, 16, 0});
    body.resize(size, 0);
    return body;
}

// count sample bytes, different for each seed.
inline Bytes Samples(size_t count, uint8_t seed = 0x40) {
    Bytes body;
    for (size_t i = 0; i < count; ++i) {
        body.push_back(static_cast<uint8_t>(seed + 7 * i));
    }
    return body;
}

// "RIFF" <size> "WAVE" followed by the chunks; riffSize 0 means the true size.
inline Bytes Riff(const Bytes& chunks, uint32_t riffSize = 0) {
    Bytes bytes;
    PutTag(bytes, "RIFF");
    Put32(bytes, riffSize != 0 ? riffSize : static_cast<uint32_t>(4 + chunks.size()));
    PutTag(bytes, "WAVE");
    bytes.insert(bytes.end(), chunks.begin(), chunks.end());
    return bytes;
}

// A complete wave of the given samples: "fmt " (16 bytes), then "data".
inline Bytes SimpleWave(const Bytes& samples) {
    Bytes chunks;
    PutChunk(chunks, "fmt ", PcmFormat());
    PutChunk(chunks, "data", samples);
    return Riff(chunks);
}

}  // namespace nb::test
