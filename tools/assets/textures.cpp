// The six sprite and smoke textures. Grey images (r = g = b) except the faint
// tints of 402 and 407; each is scaled so that its brightest channel value is
// exactly the one the scene was tuned for. Depends on synth.h only.
#include "generators.h"

namespace nb::assets {
namespace {

struct Tint {
    double r, g, b;  // the largest must be 1.0 so the brightest value holds
};

// Scales a non-negative field so its largest value becomes `brightest`.
Pixels FromField(const std::vector<double>& field, int size, int brightest, Tint tint) {
    double peak = 0.0;
    for (double v : field) peak = v > peak ? v : peak;
    Canvas canvas(size, size);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const double v = peak > 0.0 ? field[static_cast<size_t>(y) * size + x] / peak * brightest : 0.0;
            double* p = canvas.At(x, y);
            p[0] = v * tint.r;
            p[1] = v * tint.g;
            p[2] = v * tint.b;
        }
    }
    return Quantize(canvas);
}

constexpr Tint grey{1.0, 1.0, 1.0};

double Min4(double a, double b, double c, double d) {
    double m = a < b ? a : b;
    m = m < c ? m : c;
    return m < d ? m : d;
}

}  // namespace

Pixels MakeTexture401() {
    // The star sprite is given value for value; it is not drawn.
    static const uint8_t table[8][8] = {
        {0, 25, 53, 64, 53, 25, 0, 0},          {25, 75, 113, 128, 113, 75, 25, 0},
        {53, 113, 165, 191, 165, 113, 53, 0},   {64, 128, 191, 255, 191, 128, 64, 0},
        {53, 113, 165, 191, 165, 113, 53, 0},   {25, 75, 113, 128, 113, 75, 25, 0},
        {0, 25, 53, 64, 53, 25, 0, 0},          {0, 0, 0, 0, 0, 0, 0, 0},
    };
    Pixels out;
    out.width = 8;
    out.height = 8;
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            for (int c = 0; c < 3; ++c) out.rgb.push_back(table[y][x]);
        }
    }
    return out;
}

Pixels MakeTexture402() {
    // A cluster of soft lobes modulated by noise, faded to nothing before the
    // three-pixel black frame so the puff never shows a square edge.
    constexpr int size = 32;
    Rng rng(402);
    struct Lobe {
        double x, y, radius, weight;
    };
    std::vector<Lobe> lobes;
    for (int i = 0; i < 8; ++i) {
        lobes.push_back({16.0 + rng.Signed() * 6.5, 16.0 + rng.Signed() * 6.5, 5.0 + rng.Uniform() * 5.0,
                         0.5 + rng.Uniform() * 0.5});
    }
    std::vector<double> field(size * size, 0.0);
    for (int y = 3; y < size - 3; ++y) {
        for (int x = 3; x < size - 3; ++x) {
            const double px = x + 0.5, py = y + 0.5;
            double v = 0.0;
            for (const Lobe& lobe : lobes) {
                const double dx = px - lobe.x, dy = py - lobe.y;
                const double q = (dx * dx + dy * dy) / (lobe.radius * lobe.radius);
                if (q < 1.0) v += lobe.weight * (1.0 - q) * (1.0 - q);
            }
            const double grain = Fbm(402, px / 4.0, py / 4.0, 3, 0, 0);
            const double edge = SmoothStep(0.0, 4.0, Min4(px - 3.0, 29.0 - px, py - 3.0, 29.0 - py));
            // Compressing the summed lobes flattens the middle into a billow.
            const double body = v / (0.35 + v);
            field[static_cast<size_t>(y) * size + x] = body * (0.35 + 0.8 * grain) * edge;
        }
    }
    return FromField(field, size, 69, Tint{1.0, 0.96, 0.91});
}

Pixels MakeTexture404() {
    // Two narrow arms along the diagonals, bright at the crossing and dimming
    // towards the corners, over a faint round glow that keeps the gaps from black.
    constexpr int size = 16;
    std::vector<double> field(size * size, 0.0);
    const double root2 = 1.4142135623730951;
    const double cornerReach = 7.5 * root2;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const double dx = x - 7.5, dy = y - 7.5;
            const double along1 = (dx + dy < 0 ? -(dx + dy) : dx + dy) / root2;
            const double along2 = (dx - dy < 0 ? -(dx - dy) : dx - dy) / root2;
            // Distance across an arm is the distance along the other diagonal.
            double arms = 0.0;
            const double alongs[2] = {along2, along1};
            const double across[2] = {along1, along2};
            for (int a = 0; a < 2; ++a) {
                const double t = alongs[a] / cornerReach;
                const double length = 1.0 - 0.25 * t - 0.62 * t * t;
                const double w = across[a] / 0.6;
                arms += 155.0 * length / (1.0 + w * w * w * w);
            }
            const double r2 = dx * dx + dy * dy;
            const double glow = 18.0 / (1.0 + r2 / 6.0) + 5.0;
            field[static_cast<size_t>(y) * size + x] = arms + glow;
        }
    }
    // Absolute values here: the arms' brightness is part of the look, not scaled.
    Canvas canvas(size, size);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const double v = field[static_cast<size_t>(y) * size + x];
            double* p = canvas.At(x, y);
            p[0] = p[1] = p[2] = v;
        }
    }
    return Quantize(canvas);
}

Pixels MakeTexture405() {
    // Fractal noise: a ragged cloud over most of the square. It thins out toward the
    // border so that a large, rotated cloud sprite shows no straight edges on the sky.
    constexpr int size = 32;
    std::vector<double> field(size * size, 0.0);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const double px = x + 0.5, py = y + 0.5;
            const double n = Fbm(405, px / 8.0, py / 8.0, 4, 4, 4);
            const double dx = (px - 16.0) / 16.0, dy = (py - 16.0) / 16.0;
            const double reach = Clamp((1.0 - (dx * dx + dy * dy)) * 1.6, 0.0, 1.0);
            const double v = Clamp((n - 0.18) / 0.82, 0.0, 1.0);
            field[static_cast<size_t>(y) * size + x] = (0.25 + 0.75 * v * v) * reach * reach;
        }
    }
    return FromField(field, size, 96, grey);
}

Pixels MakeTexture406() {
    // A band across the width whose grain repeats every 16 rows, so a trail of
    // stacked copies shows no seam; the vertical shading peaks at the wrap.
    constexpr int size = 16;
    std::vector<double> field(size * size, 0.0);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const double px = x + 0.5, py = y + 0.5;
            const double u = (px - 8.0) / 8.0;
            const double across = (1.0 - u * u) * (1.0 - u * u);
            const double rows = 0.9 + 0.1 * Cos(2.0 * pi * py / 16.0);
            const double grain = Fbm(406, px / 4.0, py / 4.0, 3, 4, 4);
            field[static_cast<size_t>(y) * size + x] = across * rows * (0.6 + 0.4 * grain);
        }
    }
    return FromField(field, size, 124, grey);
}

Pixels MakeTexture407() {
    constexpr int size = 16;
    std::vector<double> field(size * size, 0.0);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const double px = x + 0.5, py = y + 0.5;
            const double dx = (px - 8.0) / 8.5, dy = (py - 8.0) / 8.5;
            const double q = Clamp(1.0 - (dx * dx + dy * dy), 0.0, 1.0);
            const double grain = Fbm(407, px / 4.0, py / 4.0, 2, 0, 0);
            field[static_cast<size_t>(y) * size + x] = q * q * (0.8 + 0.2 * grain) + 0.01;
        }
    }
    return FromField(field, size, 99, Tint{0.93, 0.96, 1.0});
}

}  // namespace nb::assets
