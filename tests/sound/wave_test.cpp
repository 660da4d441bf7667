// ParseWave over the program's real waves and over hand-made damaged files. Every file
// is handed over in a heap block of exactly its size, so that a read past its end is
// caught by the address sanitizer and not just by luck.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <memory>
#include <vector>

#include "resources/embedded.h"
#include "sound/wave.h"
#include "wave_bytes.h"

namespace nb {
namespace {

using namespace test;

Bytes SimpleWave(size_t samples = 10) {
    return test::SimpleWave(Samples(samples));
}

// The copied format record's fixed fields (all zero when it cannot be copied).
WAVEFORMATEX CopiedFormat(const WaveView& view) {
    WaveFormatCopy copy;
    EXPECT_EQ(copy.Assign(view), S_OK);
    return copy.Get() != nullptr ? *copy.Get() : WAVEFORMATEX{};
}

// The body of a "fmt " chunk of size bytes whose cbSize says cbSize, the extra bytes
// counting up from 0xE0.
Bytes ExtendedFormat(uint32_t size, uint16_t cbSize) {
    Bytes body = PcmFormat(size);
    body[16] = static_cast<uint8_t>(cbSize);
    body[17] = static_cast<uint8_t>(cbSize >> 8);
    for (uint32_t i = 18; i < size; ++i) {
        body[i] = static_cast<uint8_t>(0xE0 + i - 18);
    }
    return body;
}

// The parse of a private copy of exactly the given bytes; the copy lives until the
// next call, so that pointers into it can be checked.
class WaveParse : public ::testing::Test {
   protected:
    int32_t Parse(const Bytes& bytes) { return Parse(bytes, bytes.size()); }
    int32_t Parse(const Bytes& bytes, size_t length) {
        block_.reset(new uint8_t[length == 0 ? 1 : length]);
        std::memcpy(block_.get(), bytes.data(), length);
        return ParseWave(block_.get(), static_cast<uint32_t>(length), &view_);
    }
    const uint8_t* Block() const { return block_.get(); }
    std::unique_ptr<uint8_t[]> block_;
    WaveView view_;
};

TEST(RealWaves, EveryWaveParsesWithItsFormatAndSize) {
    const uint32_t dataBytes[] = {17788, 17788, 17788, 37952, 37954, 92224};
    for (int id = 200; id <= 205; ++id) {
        SCOPED_TRACE("wave " + std::to_string(id));
        const EmbeddedResource* wave = FindEmbeddedResource("WAV", id);
        ASSERT_NE(wave, nullptr);
        WaveView view;
        ASSERT_EQ(ParseWave(wave->data, wave->size, &view), S_OK);
        EXPECT_EQ(view.dataSize, dataBytes[id - 200]);
        ASSERT_GE(view.data, wave->data);
        EXPECT_LE(view.data + view.dataSize, wave->data + wave->size);
        EXPECT_EQ(std::memcmp(view.data - 8, "data", 4), 0);
        const WAVEFORMATEX format = CopiedFormat(view);
        EXPECT_EQ(format.wFormatTag, WAVE_FORMAT_PCM);
        EXPECT_EQ(format.nChannels, 1);
        EXPECT_EQ(format.nSamplesPerSec, 22050u);
        EXPECT_EQ(format.wBitsPerSample, 16);
        EXPECT_EQ(format.nBlockAlign, 2);
    }
}

TEST_F(WaveParse, FindsFormatAndSamplesInPlace) {
    const Bytes wave = SimpleWave(10);
    ASSERT_EQ(Parse(wave), S_OK);
    EXPECT_EQ(reinterpret_cast<const uint8_t*>(view_.format), Block() + 20);
    EXPECT_EQ(view_.formatSize, 16u);
    EXPECT_EQ(view_.data, Block() + 44);
    EXPECT_EQ(view_.dataSize, 10u);
    EXPECT_EQ(view_.data[0], 0x40);
}

TEST_F(WaveParse, SixteenByteFormatGetsNoCbSizeFromTheNextChunk) {
    ASSERT_EQ(Parse(SimpleWave()), S_OK);
    // The bytes after the 16-byte body are "da" of the data chunk's tag.
    EXPECT_EQ(CopiedFormat(view_).cbSize, 0);

    Bytes chunks;
    PutChunk(chunks, "fmt ", PcmFormat(14));
    PutChunk(chunks, "data", Samples(4));
    ASSERT_EQ(Parse(Riff(chunks)), S_OK);
    const WAVEFORMATEX format = CopiedFormat(view_);
    EXPECT_EQ(format.nBlockAlign, 2);
    EXPECT_EQ(format.wBitsPerSample, 0);
    EXPECT_EQ(format.cbSize, 0);
}

TEST_F(WaveParse, FormatCopyKeepsCbSizeOnlyWhenTheChunkHoldsItsBytes) {
    struct Case {
        uint32_t chunkSize;
        uint16_t cbSize;
        uint16_t keptCbSize;
    };
    for (const Case& c : {Case{18, 0, 0}, Case{18, 22, 0}, Case{39, 22, 0}, Case{40, 22, 22},
                          Case{41, 22, 22}, Case{40, 0xFFFF, 0}, Case{20, 2, 2}}) {
        SCOPED_TRACE("chunk " + std::to_string(c.chunkSize) + ", cbSize " + std::to_string(c.cbSize));
        Bytes chunks;
        PutChunk(chunks, "fmt ", ExtendedFormat(c.chunkSize, c.cbSize));
        PutChunk(chunks, "data", Samples(4));
        ASSERT_EQ(Parse(Riff(chunks)), S_OK);
        WaveFormatCopy copy;
        ASSERT_EQ(copy.Assign(view_), S_OK);
        ASSERT_NE(copy.Get(), nullptr);
        EXPECT_EQ(copy.Get()->cbSize, c.keptCbSize);
        EXPECT_EQ(copy.Size(), 18u + c.keptCbSize);
        EXPECT_EQ(copy.Get()->nSamplesPerSec, 22050u);
        // The extra bytes are the file's own, in memory of the copy.
        const auto* bytes = reinterpret_cast<const uint8_t*>(copy.Get());
        EXPECT_NE(bytes, reinterpret_cast<const uint8_t*>(view_.format));
        for (uint32_t i = 0; i < c.keptCbSize; ++i) {
            EXPECT_EQ(bytes[18 + i], 0xE0 + i);
        }
    }

    WaveFormatCopy empty;
    EXPECT_EQ(empty.Assign(WaveView{}), E_FAIL);
    EXPECT_EQ(empty.Get(), nullptr);
    EXPECT_EQ(empty.Size(), 0u);
}

TEST_F(WaveParse, RejectsWrongHeaders) {
    Bytes wave = SimpleWave();
    std::memcpy(wave.data(), "RIFX", 4);
    EXPECT_EQ(Parse(wave), E_FAIL);
    wave = SimpleWave();
    std::memcpy(wave.data() + 8, "AVI ", 4);
    EXPECT_EQ(Parse(wave), E_FAIL);
    EXPECT_EQ(ParseWave(nullptr, 100, &view_), E_FAIL);
    EXPECT_EQ(ParseWave(SimpleWave().data(), 58, nullptr), E_POINTER);
}

TEST_F(WaveParse, EveryTruncationFailsAndClearsTheView) {
    const Bytes wave = SimpleWave(11);  // odd data: the last byte is its pad
    ASSERT_EQ(Parse(wave), S_OK);
    // Without the pad byte the file is still complete; anything shorter is not.
    ASSERT_EQ(Parse(wave, wave.size() - 1), S_OK);
    for (size_t length = 0; length < wave.size() - 1; ++length) {
        SCOPED_TRACE("length " + std::to_string(length));
        view_.data = Block();  // stale output must be cleared
        EXPECT_EQ(Parse(wave, length), E_FAIL);
        EXPECT_EQ(view_.data, nullptr);
        EXPECT_EQ(view_.format, nullptr);
        EXPECT_EQ(view_.dataSize, 0u);
    }
}

TEST_F(WaveParse, RealWaveCutShortFails) {
    const EmbeddedResource* real = FindEmbeddedResource("WAV", 205);
    ASSERT_NE(real, nullptr);
    const Bytes wave(real->data, real->data + real->size);
    for (size_t length : {size_t{30}, size_t{44}, size_t{1000}, wave.size() - 1}) {
        SCOPED_TRACE("length " + std::to_string(length));
        EXPECT_EQ(Parse(wave, length), E_FAIL);
    }
}

TEST_F(WaveParse, ChunkSizesPointingPastTheEndFail) {
    for (uint32_t bogus : {100u, 0x7FFFFFFFu, 0xFFFFFFF0u, 0xFFFFFFFFu}) {
        SCOPED_TRACE("size " + std::to_string(bogus));
        // A skipped chunk before the format: its size must not carry the walk outside.
        Bytes chunks;
        PutTag(chunks, "LIST");
        Put32(chunks, bogus);
        chunks.insert(chunks.end(), 4, 0);
        PutChunk(chunks, "fmt ", PcmFormat());
        PutChunk(chunks, "data", Samples(4));
        EXPECT_EQ(Parse(Riff(chunks)), E_FAIL);

        // A data chunk claiming more samples than there are.
        chunks.clear();
        PutChunk(chunks, "fmt ", PcmFormat());
        PutTag(chunks, "data");
        Put32(chunks, bogus);
        chunks.insert(chunks.end(), 8, 0x11);
        EXPECT_EQ(Parse(Riff(chunks)), E_FAIL);

        // The same through the format chunk.
        chunks.clear();
        PutTag(chunks, "fmt ");
        Put32(chunks, bogus);
        const Bytes format = PcmFormat();
        chunks.insert(chunks.end(), format.begin(), format.end());
        PutChunk(chunks, "data", Samples(4));
        EXPECT_EQ(Parse(Riff(chunks)), E_FAIL);
    }
}

TEST_F(WaveParse, RiffSizeBeyondTheBufferIsCutToTheBuffer) {
    Bytes chunks;
    PutChunk(chunks, "fmt ", PcmFormat());
    PutChunk(chunks, "data", Samples(6));
    // Complete chunks: the overstated RIFF size does not matter.
    ASSERT_EQ(Parse(Riff(chunks, 0x7FFFFFF0u)), S_OK);
    EXPECT_EQ(view_.dataSize, 6u);

    // The format alone, then nothing: the walk must stop at the buffer's end, not go
    // looking for a data chunk in memory that is not the file's.
    chunks.clear();
    PutChunk(chunks, "fmt ", PcmFormat());
    EXPECT_EQ(Parse(Riff(chunks, 0xFFFFFFFFu)), E_FAIL);
    // A chunk header cut in half at the buffer's end.
    chunks.insert(chunks.end(), {'d', 'a', 't', 'a', 2});
    EXPECT_EQ(Parse(Riff(chunks, 1000)), E_FAIL);
}

TEST_F(WaveParse, ChunksAfterTheRiffEndAreNotPartOfTheWave) {
    Bytes chunks;
    PutChunk(chunks, "fmt ", PcmFormat());
    const uint32_t riffSize = static_cast<uint32_t>(4 + chunks.size());
    PutChunk(chunks, "data", Samples(6));
    EXPECT_EQ(Parse(Riff(chunks, riffSize)), E_FAIL);
    // A RIFF end inside the data chunk cuts it.
    EXPECT_EQ(Parse(Riff(chunks, riffSize + 10)), E_FAIL);
}

TEST_F(WaveParse, OddChunksArePaddedToEvenSizes) {
    Bytes chunks;
    PutChunk(chunks, "LIST", Samples(3));
    PutChunk(chunks, "fmt ", PcmFormat());
    PutChunk(chunks, "junk", Samples(5));
    PutChunk(chunks, "data", Samples(9));
    ASSERT_EQ(Parse(Riff(chunks)), S_OK);
    EXPECT_EQ(reinterpret_cast<const uint8_t*>(view_.format), Block() + 12 + 8 + 4 + 8);
    EXPECT_EQ(view_.dataSize, 9u);
    EXPECT_EQ(view_.data, Block() + Riff(chunks).size() - 10);

    // Without the pad the next header is read one byte early and is no chunk at all.
    chunks.clear();
    PutChunk(chunks, "LIST", Samples(3), /*pad=*/false);
    PutChunk(chunks, "fmt ", PcmFormat());
    PutChunk(chunks, "data", Samples(4));
    EXPECT_EQ(Parse(Riff(chunks)), E_FAIL);
}

TEST_F(WaveParse, FormatShorterThanFourteenBytesFails) {
    for (uint32_t size : {0u, 2u, 13u}) {
        SCOPED_TRACE("fmt size " + std::to_string(size));
        Bytes chunks;
        PutChunk(chunks, "fmt ", PcmFormat(size));
        PutChunk(chunks, "data", Samples(4));
        EXPECT_EQ(Parse(Riff(chunks)), E_FAIL);
    }
}

TEST_F(WaveParse, FirstFormatAndFirstDataWinAndBothAreNeeded) {
    Bytes chunks;
    PutChunk(chunks, "data", Samples(4));
    PutChunk(chunks, "fmt ", PcmFormat(18));
    PutChunk(chunks, "data", Samples(8));
    ASSERT_EQ(Parse(Riff(chunks)), S_OK);
    EXPECT_EQ(view_.data, Block() + 20);
    EXPECT_EQ(view_.dataSize, 4u);
    EXPECT_EQ(view_.formatSize, 18u);

    chunks.clear();
    PutChunk(chunks, "fmt ", PcmFormat());
    PutChunk(chunks, "fact", Samples(4));
    EXPECT_EQ(Parse(Riff(chunks)), E_FAIL);
}

}  // namespace
}  // namespace nb
