// DirectSound on a clock of our own: a device whose buffers play in virtual time, so that
// the sound bank's choice of voices (which asks whether a voice still plays) runs exactly
// as it does on a real device, and every stretch of a wave that a voice plays is written
// down for a mixer to render later. Nothing is heard and no time passes on its own: the
// owner moves the clock.
// Depends on the sound port only. Buffers hold 16-bit PCM, mono or stereo.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/sound.h"

namespace nb {

// The bytes a buffer and its duplicates share: 16-bit little-endian PCM, interleaved.
// Spans point into them, so samples written into a buffer change what its spans still to
// be mixed will sound like.
struct VirtualSamples {
    WAVEFORMATEX format{};
    std::vector<uint8_t> bytes;
    uint32_t Frames() const { return static_cast<uint32_t>(bytes.size() / format.nBlockAlign); }
    // The samples as numbers, one channel after the other (Frames() values each); made
    // again after the bytes change.
    const std::vector<double>& Planar() const;
    void Changed() { planar_.clear(); }

   private:
    mutable std::vector<double> planar_;
};

// One stretch of a wave played by one voice: frames [fromFrame, toFrame) of its samples,
// the first of them at startMs on the clock.
struct PlayedSpan {
    std::shared_ptr<const VirtualSamples> samples;
    uint64_t startMs = 0;
    uint32_t fromFrame = 0;
    uint32_t toFrame = 0;
    bool cut = false;  // stopped before its end
};

// The device: DirectSound whose time is SetClock's. Made with one reference (Ref::Adopt).
// SetCooperativeLevel accepts the four levels; CreateSoundBuffer takes secondary buffers of
// 16-bit PCM, mono or stereo (DSERR_BADFORMAT otherwise).
class VirtualSound final : public DirectSound {
   public:
    VirtualSound() = default;
    VirtualSound(const VirtualSound&) = delete;
    VirtualSound& operator=(const VirtualSound&) = delete;

    // Moves the clock to ms; a time before the current one leaves it where it is (time
    // never runs backwards).
    void SetClock(uint64_t ms) { clockMs_ = ms > clockMs_ ? ms : clockMs_; }
    uint64_t Clock() const { return clockMs_; }
    // Every span played so far, in the order the plays started. A span that still plays
    // ends, for now, at the end of its wave; a later Stop shortens it.
    const std::vector<PlayedSpan>& Spans() const { return spans_; }

    uint32_t AddRef() override { return ++count_; }
    uint32_t Release() override;
    int32_t QueryInterface(const GUID& iid, void** out) override;
    int32_t SetCooperativeLevel(Window window, uint32_t level) override;
    int32_t CreateSoundBuffer(const DSBUFFERDESC& desc, SoundBuffer** out) override;
    int32_t DuplicateSoundBuffer(SoundBuffer* original, SoundBuffer** out) override;

    // For the buffers: opens a span at the clock and gives its index; shortens one.
    size_t OpenSpan(std::shared_ptr<const VirtualSamples> samples, uint32_t fromFrame);
    void CutSpan(size_t index, uint32_t toFrame);

   private:
    ~VirtualSound() override = default;

    uint32_t count_ = 1;
    uint64_t clockMs_ = 0;
    std::vector<PlayedSpan> spans_;
};

}  // namespace nb
