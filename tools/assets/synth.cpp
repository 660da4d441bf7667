// Deterministic maths, noise and file encoders for the asset generator.
// Depends on the standard library only; must not call libm's transcendental
// functions (see synth.h).
#include "synth.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace nb::assets {

double Floor(double x) {
    // std::floor is exact on every IEEE implementation.
    return std::floor(x);
}

double Sin(double x) {
    // Reduce to [-pi, pi], then fold to [-pi/2, pi/2]; the Taylor series to x^15
    // is then accurate to well below one part in 10^9.
    const double twoPi = 2.0 * pi;
    double t = x - twoPi * Floor((x + pi) / twoPi);
    if (t > pi / 2.0) t = pi - t;
    if (t < -pi / 2.0) t = -pi - t;
    const double t2 = t * t;
    double term = t;
    double sum = t;
    for (int n = 1; n <= 7; ++n) {
        term = -term * t2 / static_cast<double>((2 * n) * (2 * n + 1));
        sum += term;
    }
    return sum;
}

double Cos(double x) { return Sin(x + pi / 2.0); }

double Clamp(double x, double lo, double hi) { return x < lo ? lo : (x > hi ? hi : x); }

double SmoothStep(double edge0, double edge1, double x) {
    const double t = Clamp((x - edge0) / (edge1 - edge0), 0.0, 1.0);
    return t * t * (3.0 - 2.0 * t);
}

int RoundClamp(double x, int lo, int hi) {
    const double r = x < 0.0 ? -Floor(-x + 0.5) : Floor(x + 0.5);
    if (r < lo) return lo;
    if (r > hi) return hi;
    return static_cast<int>(r);
}

double LatticeValue(uint32_t seed, int x, int y) {
    uint32_t h = seed * 0x9e3779b1u;
    h ^= static_cast<uint32_t>(x) * 0x85ebca6bu;
    h = (h << 13) | (h >> 19);
    h ^= static_cast<uint32_t>(y) * 0xc2b2ae35u;
    h ^= h >> 16;
    h *= 0x7feb352du;
    h ^= h >> 15;
    h *= 0x846ca68bu;
    h ^= h >> 16;
    return static_cast<double>(h >> 8) * (1.0 / 16777215.0);
}

static int Wrap(int v, int period) {
    if (period <= 0) return v;
    const int m = v % period;
    return m < 0 ? m + period : m;
}

double ValueNoise(uint32_t seed, double x, double y, int periodX, int periodY) {
    const double fx = Floor(x);
    const double fy = Floor(y);
    const int ix = static_cast<int>(fx);
    const int iy = static_cast<int>(fy);
    double tx = x - fx;
    double ty = y - fy;
    tx = tx * tx * (3.0 - 2.0 * tx);
    ty = ty * ty * (3.0 - 2.0 * ty);
    const int x0 = Wrap(ix, periodX), x1 = Wrap(ix + 1, periodX);
    const int y0 = Wrap(iy, periodY), y1 = Wrap(iy + 1, periodY);
    const double a = LatticeValue(seed, x0, y0);
    const double b = LatticeValue(seed, x1, y0);
    const double c = LatticeValue(seed, x0, y1);
    const double d = LatticeValue(seed, x1, y1);
    const double top = a + (b - a) * tx;
    const double bottom = c + (d - c) * tx;
    return top + (bottom - top) * ty;
}

double Fbm(uint32_t seed, double x, double y, int octaves, int periodX, int periodY) {
    double sum = 0.0;
    double weight = 0.5;
    double total = 0.0;
    double scale = 1.0;
    for (int o = 0; o < octaves; ++o) {
        sum += weight * ValueNoise(seed + static_cast<uint32_t>(o) * 101u, x * scale, y * scale,
                                   periodX > 0 ? periodX * static_cast<int>(scale) : 0,
                                   periodY > 0 ? periodY * static_cast<int>(scale) : 0);
        total += weight;
        weight *= 0.5;
        scale *= 2.0;
    }
    return sum / total;
}

void Canvas::Add(int x, int y, double r, double g, double b) {
    if (x < 0 || y < 0 || x >= width || y >= height) return;
    double* p = At(x, y);
    p[0] += r;
    p[1] += g;
    p[2] += b;
}

double Canvas::Max() const {
    double m = 0.0;
    for (double v : rgb) m = v > m ? v : m;
    return m;
}

Pixels Quantize(const Canvas& canvas) {
    Pixels out;
    out.width = canvas.width;
    out.height = canvas.height;
    out.rgb.resize(canvas.rgb.size());
    for (size_t i = 0; i < canvas.rgb.size(); ++i) {
        out.rgb[i] = static_cast<uint8_t>(RoundClamp(canvas.rgb[i], 0, 255));
    }
    return out;
}

static void Put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

static void Put32(std::vector<uint8_t>& out, uint32_t v) {
    Put16(out, v & 0xffffu);
    Put16(out, v >> 16);
}

static void PutTag(std::vector<uint8_t>& out, const char* tag) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(tag[i]));
}

static void PutInfoHeader(std::vector<uint8_t>& out, int width, int height, int bits,
                          uint32_t imageBytes) {
    Put32(out, 40);
    Put32(out, static_cast<uint32_t>(width));
    Put32(out, static_cast<uint32_t>(height));
    Put16(out, 1);
    Put16(out, static_cast<uint32_t>(bits));
    Put32(out, 0);  // BI_RGB
    Put32(out, imageBytes);
    Put32(out, 2835);  // 72 dpi
    Put32(out, 2835);
    Put32(out, 0);
    Put32(out, 0);
}

std::vector<uint8_t> EncodeBmp24(const Pixels& image) {
    const uint32_t stride = (static_cast<uint32_t>(image.width) * 3u + 3u) & ~3u;
    const uint32_t imageBytes = stride * static_cast<uint32_t>(image.height);
    std::vector<uint8_t> out;
    out.reserve(54 + imageBytes);
    out.push_back('B');
    out.push_back('M');
    Put32(out, 54 + imageBytes);
    Put32(out, 0);
    Put32(out, 54);
    PutInfoHeader(out, image.width, image.height, 24, imageBytes);
    for (int y = image.height - 1; y >= 0; --y) {
        const uint8_t* row = &image.rgb[static_cast<size_t>(y) * image.width * 3];
        for (int x = 0; x < image.width; ++x) {
            out.push_back(row[x * 3 + 2]);
            out.push_back(row[x * 3 + 1]);
            out.push_back(row[x * 3 + 0]);
        }
        for (uint32_t pad = static_cast<uint32_t>(image.width) * 3u; pad < stride; ++pad) out.push_back(0);
    }
    return out;
}

std::vector<uint8_t> EncodeIco(const std::vector<IconImage>& images) {
    std::vector<std::vector<uint8_t>> bodies;
    for (const IconImage& icon : images) {
        const int w = icon.colour.width;
        const int h = icon.colour.height;
        const uint32_t maskStride = ((static_cast<uint32_t>(w) + 31u) / 32u) * 4u;
        const uint32_t xorBytes = static_cast<uint32_t>(w * h * 4);
        const uint32_t andBytes = maskStride * static_cast<uint32_t>(h);
        std::vector<uint8_t> body;
        // An icon's header counts the colour and mask bitmaps together: twice the height.
        PutInfoHeader(body, w, h * 2, 32, xorBytes + andBytes);
        for (int y = h - 1; y >= 0; --y) {
            for (int x = 0; x < w; ++x) {
                const size_t i = static_cast<size_t>(y) * w + x;
                const uint8_t a = icon.alpha[i];
                // Transparent pixels are black so that the AND/XOR path of systems
                // without alpha leaves the background untouched.
                body.push_back(a ? icon.colour.rgb[i * 3 + 2] : 0);
                body.push_back(a ? icon.colour.rgb[i * 3 + 1] : 0);
                body.push_back(a ? icon.colour.rgb[i * 3 + 0] : 0);
                body.push_back(a);
            }
        }
        for (int y = h - 1; y >= 0; --y) {
            std::vector<uint8_t> row(maskStride, 0);
            for (int x = 0; x < w; ++x) {
                if (icon.alpha[static_cast<size_t>(y) * w + x] == 0) {
                    row[static_cast<size_t>(x / 8)] |= static_cast<uint8_t>(0x80u >> (x % 8));
                }
            }
            body.insert(body.end(), row.begin(), row.end());
        }
        bodies.push_back(std::move(body));
    }
    std::vector<uint8_t> out;
    Put16(out, 0);
    Put16(out, 1);
    Put16(out, static_cast<uint32_t>(images.size()));
    uint32_t offset = 6 + 16 * static_cast<uint32_t>(images.size());
    for (size_t i = 0; i < images.size(); ++i) {
        out.push_back(static_cast<uint8_t>(images[i].colour.width & 0xff));
        out.push_back(static_cast<uint8_t>(images[i].colour.height & 0xff));
        out.push_back(0);  // no palette
        out.push_back(0);
        Put16(out, 1);   // planes
        Put16(out, 32);  // bits per pixel
        Put32(out, static_cast<uint32_t>(bodies[i].size()));
        Put32(out, offset);
        offset += static_cast<uint32_t>(bodies[i].size());
    }
    for (const auto& body : bodies) out.insert(out.end(), body.begin(), body.end());
    return out;
}

std::vector<uint8_t> EncodeWav(const std::vector<int16_t>& samples, uint32_t sampleRate,
                               uint16_t channels) {
    const uint32_t dataBytes = static_cast<uint32_t>(samples.size()) * 2u;
    // RIFF chunks are padded to an even size; sixteen-bit samples never need it, but
    // the size field stays honest should the sample format ever change.
    const uint32_t padded = dataBytes + (dataBytes & 1u);
    std::vector<uint8_t> out;
    out.reserve(44 + padded);
    PutTag(out, "RIFF");
    Put32(out, 4 + (8 + 16) + (8 + padded));
    PutTag(out, "WAVE");
    PutTag(out, "fmt ");
    Put32(out, 16);
    Put16(out, 1);  // PCM
    Put16(out, channels);
    Put32(out, sampleRate);
    Put32(out, sampleRate * 2u * channels);
    Put16(out, static_cast<uint16_t>(2u * channels));
    Put16(out, 16);
    PutTag(out, "data");
    Put32(out, dataBytes);
    for (int16_t s : samples) Put16(out, static_cast<uint16_t>(s));
    if (padded != dataBytes) out.push_back(0);
    return out;
}

namespace {

uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc = 0) {
    crc = ~crc;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void PutBig32(std::vector<uint8_t>& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

void PutChunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& body) {
    PutBig32(out, static_cast<uint32_t>(body.size()));
    const size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), body.begin(), body.end());
    PutBig32(out, Crc32(&out[start], out.size() - start));
}

}  // namespace

std::vector<uint8_t> EncodePng(const IconImage& image) {
    const int w = image.colour.width;
    const int h = image.colour.height;
    // Each row: filter byte 0 (none), then RGBA.
    std::vector<uint8_t> raw;
    raw.reserve(static_cast<size_t>(h) * (static_cast<size_t>(w) * 4 + 1));
    for (int y = 0; y < h; ++y) {
        raw.push_back(0);
        for (int x = 0; x < w; ++x) {
            const size_t i = static_cast<size_t>(y) * w + x;
            const uint8_t a = image.alpha[i];
            for (int k = 0; k < 3; ++k) raw.push_back(a ? image.colour.rgb[i * 3 + k] : 0);
            raw.push_back(a);
        }
    }
    // zlib stream of stored blocks (at most 65535 bytes each) and the Adler-32 of the data.
    std::vector<uint8_t> z{0x78, 0x01};
    size_t pos = 0;
    do {
        const size_t n = std::min<size_t>(65535, raw.size() - pos);
        z.push_back(pos + n == raw.size() ? 1 : 0);
        z.push_back(static_cast<uint8_t>(n & 0xff));
        z.push_back(static_cast<uint8_t>(n >> 8));
        z.push_back(static_cast<uint8_t>(~n & 0xff));
        z.push_back(static_cast<uint8_t>((~n >> 8) & 0xff));
        z.insert(z.end(), raw.begin() + static_cast<std::ptrdiff_t>(pos),
                 raw.begin() + static_cast<std::ptrdiff_t>(pos + n));
        pos += n;
    } while (pos < raw.size());
    uint32_t a = 1, b = 0;
    for (uint8_t byte : raw) {
        a = (a + byte) % 65521u;
        b = (b + a) % 65521u;
    }
    PutBig32(z, (b << 16) | a);

    std::vector<uint8_t> out{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> header;
    PutBig32(header, static_cast<uint32_t>(w));
    PutBig32(header, static_cast<uint32_t>(h));
    header.insert(header.end(), {8, 6, 0, 0, 0});  // 8 bits, RGBA, deflate, no filter set, no interlace
    PutChunk(out, "IHDR", header);
    PutChunk(out, "IDAT", z);
    PutChunk(out, "IEND", {});
    return out;
}

}  // namespace nb::assets
