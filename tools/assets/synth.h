// Deterministic building blocks of the asset generator: a fixed-seed generator,
// a sine of our own, periodic value noise and a floating-point image canvas.
// Only +, -, *, / and sqrt touch doubles here, so with -ffp-contract=off every
// compiler and machine produces the same bits; never use std::sin, std::exp or
// std::pow in the generator, whose results differ between C libraries.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace nb::assets {

constexpr double pi = 3.14159265358979323846;

// xorshift32: tiny, well mixed, identical everywhere.
struct Rng {
    uint32_t state;
    explicit Rng(uint32_t seed) : state(seed ? seed : 0x9e3779b9u) {}
    uint32_t Next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }
    // 0 <= value < 1 with 24 bits of resolution.
    double Uniform() { return static_cast<double>(Next() >> 8) * (1.0 / 16777216.0); }
    // -1 <= value < 1.
    double Signed() { return Uniform() * 2.0 - 1.0; }
    int Below(int n) { return static_cast<int>(Next() % static_cast<uint32_t>(n)); }
};

double Sin(double x);
double Cos(double x);
double Floor(double x);
double Clamp(double x, double lo, double hi);
double SmoothStep(double edge0, double edge1, double x);
// Round half away from zero and clamp into [lo, hi].
int RoundClamp(double x, int lo, int hi);
// Hash of a lattice point, 0..1, independent of evaluation order.
double LatticeValue(uint32_t seed, int x, int y);

// Smooth value noise in 0..1 over a lattice that repeats every periodX by periodY
// cells (0 = no repeat); octaves halve in weight and double in frequency.
double ValueNoise(uint32_t seed, double x, double y, int periodX, int periodY);
double Fbm(uint32_t seed, double x, double y, int octaves, int periodX, int periodY);

// An RGB canvas of doubles in 0..255 units, row 0 at the top.
struct Canvas {
    int width = 0;
    int height = 0;
    std::vector<double> rgb;
    Canvas(int w, int h) : width(w), height(h), rgb(static_cast<size_t>(w) * h * 3, 0.0) {}
    double* At(int x, int y) { return &rgb[(static_cast<size_t>(y) * width + x) * 3]; }
    const double* At(int x, int y) const { return &rgb[(static_cast<size_t>(y) * width + x) * 3]; }
    void Add(int x, int y, double r, double g, double b);
    double Max() const;
};

// Eight-bit RGB, row 0 at the top.
struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;
};

Pixels Quantize(const Canvas& canvas);

std::vector<uint8_t> EncodeBmp24(const Pixels& image);
// 32-bit BGRA images with an AND mask (opaque where alpha > 0), one per entry.
struct IconImage {
    Pixels colour;
    std::vector<uint8_t> alpha;
};
std::vector<uint8_t> EncodeIco(const std::vector<IconImage>& images);
// An 8-bit RGBA PNG of the icon for desktops that take image files; stored (uncompressed)
// deflate blocks, so that the encoder needs no compression library.
std::vector<uint8_t> EncodePng(const IconImage& image);
// A 16-bit PCM wave file; samples interleaved when there are two channels.
std::vector<uint8_t> EncodeWav(const std::vector<int16_t>& samples, uint32_t sampleRate,
                               uint16_t channels = 1);

}  // namespace nb::assets
