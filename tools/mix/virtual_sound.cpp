// DirectSound in virtual time. Depends on virtual_sound.h only.
#include "virtual_sound.h"

#include <algorithm>

namespace nb {
namespace {

// A voice: plays its shared samples once from its position, in time with the device's
// clock. Holds the device, so that the device outlives its buffers as on the platform.
class VirtualBuffer final : public SoundBuffer {
   public:
    VirtualBuffer(VirtualSound* device, std::shared_ptr<VirtualSamples> samples)
        : device_(Ref<VirtualSound>::Retain(device)), samples_(std::move(samples)) {}

    std::shared_ptr<VirtualSamples> samples() const { return samples_; }

    uint32_t AddRef() override { return ++count_; }
    uint32_t Release() override {
        if (count_ == 0) return 0;
        const uint32_t left = --count_;
        if (left == 0) delete this;
        return left;
    }
    int32_t QueryInterface(const GUID& iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (!(iid == IID_IUnknown || iid == IID_IDirectSoundBuffer)) return E_NOINTERFACE;
        *out = static_cast<SoundBuffer*>(this);
        AddRef();
        return S_OK;
    }

    int32_t GetStatus(uint32_t* status) override {
        if (!status) return DSERR_INVALIDPARAM;
        Settle();
        *status = playing_ ? DSBSTATUS_PLAYING : 0u;
        return DS_OK;
    }

    // One-shot plays only: the bank never loops, and a loop would have no end to mix to.
    int32_t Play(uint32_t, uint32_t, uint32_t flags) override {
        if (locked_) return DSERR_INVALIDCALL;
        if (flags & DSBPLAY_LOOPING) return DSERR_INVALIDPARAM;
        Settle();
        if (playing_) return DS_OK;  // already playing: nothing restarts
        Start();
        return DS_OK;
    }

    int32_t Stop() override {
        Settle();
        if (!playing_) return DS_OK;
        const uint32_t at = FrameNow();
        device_->CutSpan(span_, at);
        playing_ = false;
        position_ = at < samples_->Frames() ? at : 0;
        return DS_OK;
    }

    int32_t SetCurrentPosition(uint32_t position) override {
        if (position > samples_->bytes.size()) return DSERR_INVALIDPARAM;
        Settle();
        const uint32_t frame = position / samples_->format.nBlockAlign;
        if (!playing_) {
            position_ = frame < samples_->Frames() ? frame : 0;
            return DS_OK;
        }
        device_->CutSpan(span_, FrameNow());
        position_ = frame < samples_->Frames() ? frame : 0;
        Start();
        return DS_OK;
    }

    int32_t Restore() override { return DS_OK; }  // nothing here is ever lost

    int32_t Lock(uint32_t offset, uint32_t bytes, void** part1, uint32_t* bytes1, void** part2,
                 uint32_t* bytes2, uint32_t flags) override {
        if (!part1 || !bytes1) return DSERR_INVALIDPARAM;
        if (locked_) return DSERR_INVALIDCALL;
        const auto size = static_cast<uint32_t>(samples_->bytes.size());
        if (flags & DSBLOCK_ENTIREBUFFER) {
            offset = 0;
            bytes = size;
        } else if (flags & DSBLOCK_FROMWRITECURSOR) {
            offset = position_ * samples_->format.nBlockAlign;
        }
        if (offset >= size || bytes == 0 || bytes > size) return DSERR_INVALIDPARAM;
        const uint32_t first = std::min(bytes, size - offset);
        *part1 = samples_->bytes.data() + offset;
        *bytes1 = first;
        if (part2) *part2 = bytes > first ? samples_->bytes.data() : nullptr;
        if (bytes2) *bytes2 = bytes - first;
        locked_ = true;
        return DS_OK;
    }

    int32_t Unlock(void* part1, uint32_t, void*, uint32_t) override {
        if (!locked_ || !part1) return DSERR_INVALIDPARAM;
        locked_ = false;
        samples_->Changed();
        return DS_OK;
    }

   private:
    ~VirtualBuffer() override {
        // A voice released while it plays falls silent then.
        if (playing_ && !Finished()) device_->CutSpan(span_, FrameNow());
    }

    void Start() {
        span_ = device_->OpenSpan(samples_, position_);
        startMs_ = device_->Clock();
        startFrame_ = position_;
        playing_ = true;
    }
    // The frame of the wave that the clock has reached, at most its end. Whole frames
    // only: a frame counts as played once its time has fully passed.
    uint32_t FrameNow() const {
        const uint64_t elapsed = device_->Clock() - startMs_;
        const uint64_t played = elapsed * samples_->format.nSamplesPerSec / 1000;
        const uint64_t frame = startFrame_ + played;
        return static_cast<uint32_t>(std::min<uint64_t>(frame, samples_->Frames()));
    }
    bool Finished() const { return FrameNow() >= samples_->Frames(); }
    // A play that reached its end is over, back at the start.
    void Settle() {
        if (playing_ && Finished()) {
            playing_ = false;
            position_ = 0;
        }
    }

    uint32_t count_ = 1;
    Ref<VirtualSound> device_;
    std::shared_ptr<VirtualSamples> samples_;
    uint32_t position_ = 0;  // in frames
    uint64_t startMs_ = 0;
    uint32_t startFrame_ = 0;
    size_t span_ = 0;
    bool playing_ = false;
    bool locked_ = false;
};

}  // namespace

const std::vector<double>& VirtualSamples::Planar() const {
    if (planar_.empty() && !bytes.empty()) {
        const uint32_t frames = Frames();
        const uint32_t channels = format.nChannels;
        planar_.resize(size_t{frames} * channels);
        for (uint32_t f = 0; f < frames; ++f) {
            for (uint32_t c = 0; c < channels; ++c) {
                const uint8_t* p = bytes.data() + size_t{f} * format.nBlockAlign + c * 2u;
                planar_[size_t{c} * frames + f] =
                    static_cast<int16_t>(static_cast<uint16_t>(p[0] | (p[1] << 8)));
            }
        }
    }
    return planar_;
}

uint32_t VirtualSound::Release() {
    if (count_ == 0) return 0;
    const uint32_t left = --count_;
    if (left == 0) delete this;
    return left;
}

int32_t VirtualSound::QueryInterface(const GUID& iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!(iid == IID_IUnknown || iid == IID_IDirectSound)) return E_NOINTERFACE;
    *out = static_cast<DirectSound*>(this);
    AddRef();
    return S_OK;
}

int32_t VirtualSound::SetCooperativeLevel(Window, uint32_t level) {
    return level >= DSSCL_NORMAL && level <= DSSCL_WRITEPRIMARY ? DS_OK : DSERR_INVALIDPARAM;
}

int32_t VirtualSound::CreateSoundBuffer(const DSBUFFERDESC& desc, SoundBuffer** out) {
    if (!out) return DSERR_INVALIDPARAM;
    *out = nullptr;
    const WAVEFORMATEX* f = desc.lpwfxFormat;
    if (desc.dwSize != sizeof(DSBUFFERDESC) || (desc.dwFlags & DSBCAPS_PRIMARYBUFFER) || !f) {
        return DSERR_INVALIDPARAM;
    }
    if (f->wFormatTag != WAVE_FORMAT_PCM || f->nChannels < 1 || f->nChannels > 2 ||
        f->wBitsPerSample != 16 || f->nBlockAlign != f->nChannels * 2 ||
        f->nSamplesPerSec < 1000 || f->nSamplesPerSec > 192000) {
        return DSERR_BADFORMAT;
    }
    if (desc.dwBufferBytes < f->nBlockAlign || desc.dwBufferBytes > (64u << 20)) {
        return DSERR_INVALIDPARAM;
    }
    auto samples = std::make_shared<VirtualSamples>();
    samples->format = *f;
    samples->format.cbSize = 0;
    samples->bytes.assign(desc.dwBufferBytes, 0);
    *out = new VirtualBuffer(this, std::move(samples));
    return DS_OK;
}

int32_t VirtualSound::DuplicateSoundBuffer(SoundBuffer* original, SoundBuffer** out) {
    if (!out) return DSERR_INVALIDPARAM;
    *out = nullptr;
    auto* source = dynamic_cast<VirtualBuffer*>(original);
    if (!source) return DSERR_INVALIDPARAM;
    *out = new VirtualBuffer(this, source->samples());
    return DS_OK;
}

size_t VirtualSound::OpenSpan(std::shared_ptr<const VirtualSamples> samples, uint32_t fromFrame) {
    PlayedSpan span;
    span.toFrame = samples->Frames();
    span.samples = std::move(samples);
    span.startMs = clockMs_;
    span.fromFrame = fromFrame;
    spans_.push_back(std::move(span));
    return spans_.size() - 1;
}

void VirtualSound::CutSpan(size_t index, uint32_t toFrame) {
    PlayedSpan& span = spans_[index];
    if (toFrame < span.toFrame) {
        span.toFrame = std::max(toFrame, span.fromFrame);
        span.cut = true;
    }
}

}  // namespace nb
