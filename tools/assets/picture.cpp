// The 152 x 118 picture of the configuration dialog and the preview, and the
// icon: ring bursts of coloured stars with trails and glow over a night sky,
// drawn additively on a double canvas. Depends on synth.h only.
#include "generators.h"

namespace nb::assets {
namespace {

struct Colour {
    double r, g, b;
};

// A round soft dot; compact support so far pixels get exactly nothing.
void Splat(Canvas& canvas, double cx, double cy, double radius, Colour c, double gain) {
    const int x0 = static_cast<int>(Floor(cx - 2.0 * radius - 1.0));
    const int y0 = static_cast<int>(Floor(cy - 2.0 * radius - 1.0));
    const int x1 = static_cast<int>(Floor(cx + 2.0 * radius + 1.0));
    const int y1 = static_cast<int>(Floor(cy + 2.0 * radius + 1.0));
    for (int y = y0; y <= y1; ++y) {
        for (int x = x0; x <= x1; ++x) {
            const double dx = x + 0.5 - cx, dy = y + 0.5 - cy;
            const double q = 1.0 - (dx * dx + dy * dy) / (4.0 * radius * radius);
            if (q <= 0.0) continue;
            const double w = gain * q * q;
            canvas.Add(x, y, c.r * w, c.g * w, c.b * w);
        }
    }
}

// A wide glow with a long 1/(1+d^2) falloff, cut off at `reach` radii.
void Glow(Canvas& canvas, double cx, double cy, double radius, double reach, Colour c, double gain) {
    for (int y = 0; y < canvas.height; ++y) {
        for (int x = 0; x < canvas.width; ++x) {
            const double dx = (x + 0.5 - cx) / radius, dy = (y + 0.5 - cy) / radius;
            const double d2 = dx * dx + dy * dy;
            if (d2 >= reach * reach) continue;
            const double fade = 1.0 - d2 / (reach * reach);
            const double w = gain * fade / (1.0 + d2);
            canvas.Add(x, y, c.r * w, c.g * w, c.b * w);
        }
    }
}

struct Burst {
    double x, y, radius;
    int stars;
    Colour colour;
    double age;  // 0 young and tight, 1 drooping and fading
};

void DrawBurst(Canvas& canvas, Rng& rng, const Burst& burst, double scale) {
    Glow(canvas, burst.x, burst.y, burst.radius * 0.55, 3.0, burst.colour, 0.22 * (1.0 - 0.5 * burst.age));
    const double turn = rng.Uniform() * 2.0 * pi;
    for (int i = 0; i < burst.stars; ++i) {
        const double angle = turn + 2.0 * pi * i / burst.stars + 0.06 * rng.Signed();
        const double reach = burst.radius * (0.92 + 0.1 * rng.Uniform());
        const double dx = Cos(angle), dy = Sin(angle);
        const double droop = burst.age * burst.radius * 0.28;
        // Trail from 45% of the way out to the star, brightening towards the head.
        const int steps = static_cast<int>(reach * 1.6);
        for (int s = 0; s <= steps; ++s) {
            const double u = 0.45 + 0.55 * s / steps;
            const double px = burst.x + dx * reach * u;
            const double py = burst.y + dy * reach * u + droop * u * u;
            Splat(canvas, px, py, 0.5 * scale, burst.colour, 0.18 * u * u * (1.0 - 0.4 * burst.age));
        }
        const double hx = burst.x + dx * reach;
        const double hy = burst.y + dy * reach + droop;
        Splat(canvas, hx, hy, 0.9 * scale, burst.colour, 1.1 * (1.0 - 0.35 * burst.age));
        Splat(canvas, hx, hy, 0.45 * scale, Colour{255.0, 255.0, 255.0}, 0.45 * (1.0 - 0.5 * burst.age));
    }
}

void DrawRising(Canvas& canvas, Rng& rng, double x0, double y0, double x1, double y1) {
    const int steps = static_cast<int>((y0 - y1) * 1.5);
    for (int s = 0; s <= steps; ++s) {
        const double u = static_cast<double>(s) / steps;
        const double x = x0 + (x1 - x0) * u + 0.4 * rng.Signed();
        const double y = y0 + (y1 - y0) * u;
        Splat(canvas, x, y, 0.45, Colour{255.0, 200.0, 130.0}, 0.5 * u * u);
    }
    Splat(canvas, x1, y1, 0.8, Colour{255.0, 240.0, 210.0}, 1.2);
}

// Soft knee: linear up to 180, then approaches 255 without a hard clip.
double ToneMap(double v) {
    if (v <= 180.0) return v;
    const double over = (v - 180.0) / 75.0;
    return 180.0 + 75.0 * over / (1.0 + over);
}

}  // namespace

Pixels MakePicture400() {
    constexpr int width = 152, height = 118;
    Canvas canvas(width, height);
    Rng rng(400);

    for (int y = 0; y < height; ++y) {
        const double v = static_cast<double>(y) / height;
        for (int x = 0; x < width; ++x) {
            double* p = canvas.At(x, y);
            p[0] = 2.0 + 12.0 * v * v;
            p[1] = 3.0 + 9.0 * v * v;
            p[2] = 12.0 + 22.0 * v;
        }
    }
    for (int i = 0; i < 30; ++i) {
        const double x = rng.Uniform() * width, y = rng.Uniform() * 85.0;
        const double b = 0.15 + 0.25 * rng.Uniform();
        Splat(canvas, x, y, 0.35, Colour{200.0, 210.0, 255.0}, b);
    }

    const Burst bursts[] = {
        {47.0, 37.0, 25.0, 28, Colour{255.0, 178.0, 60.0}, 0.55},
        {110.0, 29.0, 21.0, 24, Colour{255.0, 80.0, 170.0}, 0.2},
        {84.0, 63.0, 14.0, 18, Colour{80.0, 255.0, 150.0}, 0.1},
        {130.0, 74.0, 9.0, 14, Colour{130.0, 170.0, 255.0}, 0.0},
    };

    // Drifting smoke, faintly lit by whichever burst is near.
    for (int y = 0; y < 104; ++y) {
        for (int x = 0; x < width; ++x) {
            const double n = Fbm(4001, x / 14.0, y / 9.0, 4, 0, 0);
            const double density = Clamp((n - 0.42) * 2.4, 0.0, 1.0) * SmoothStep(10.0, 60.0, y);
            const double light = 10.0;
            Colour tint{0.0, 0.0, 0.0};
            for (const Burst& b : bursts) {
                const double dx = (x - b.x) / (b.radius * 1.6), dy = (y - b.y) / (b.radius * 1.6);
                const double w = 1.0 / (1.0 + dx * dx + dy * dy);
                tint.r += b.colour.r * w;
                tint.g += b.colour.g * w;
                tint.b += b.colour.b * w;
            }
            canvas.Add(x, y, density * (light + 0.12 * tint.r), density * (light + 0.12 * tint.g),
                       density * (light + 2.0 + 0.12 * tint.b));
        }
    }

    for (const Burst& b : bursts) DrawBurst(canvas, rng, b, 1.0);
    DrawRising(canvas, rng, 20.0, 104.0, 23.0, 72.0);
    DrawRising(canvas, rng, 100.0, 104.0, 98.0, 93.0);

    // Ground: a dark rolling horizon that catches a little of the light above.
    for (int x = 0; x < width; ++x) {
        const double top = 104.0 + 2.5 * Sin(x * 0.045) + 1.5 * Sin(x * 0.13 + 1.0);
        for (int y = 0; y < height; ++y) {
            const double cover = Clamp(y + 1.0 - top, 0.0, 1.0);
            if (cover <= 0.0) continue;
            double* p = canvas.At(x, y);
            const double rim = y < top + 2.0 ? 1.0 : 0.0;
            p[0] = p[0] * (1.0 - cover) + cover * (5.0 + 8.0 * rim);
            p[1] = p[1] * (1.0 - cover) + cover * (5.0 + 6.0 * rim);
            p[2] = p[2] * (1.0 - cover) + cover * (9.0 + 8.0 * rim);
        }
    }

    for (double& v : canvas.rgb) v = ToneMap(v);
    return Quantize(canvas);
}

IconImage MakeIconImage(int size) {
    {
        // Drawn four times larger, then box-filtered, for clean small dots.
        const int big = size * 4;
        Canvas canvas(big, big);
        std::vector<double> cover(static_cast<size_t>(big) * big, 0.0);
        const double c = big / 2.0;
        const double discRadius = c - 0.5;
        for (int y = 0; y < big; ++y) {
            for (int x = 0; x < big; ++x) {
                const double dx = x + 0.5 - c, dy = y + 0.5 - c;
                const double d2 = dx * dx + dy * dy;
                if (d2 < discRadius * discRadius) {
                    cover[static_cast<size_t>(y) * big + x] = 1.0;
                    const double v = 1.0 - d2 / (discRadius * discRadius);
                    canvas.Add(x, y, 8.0 + 14.0 * v, 10.0 + 12.0 * v, 34.0 + 30.0 * v);
                }
            }
        }
        Rng rng(101);
        const int stars = size == 16 ? 8 : 14;
        const double reach = discRadius * 0.72;
        const Colour gold{255.0, 190.0, 70.0}, red{255.0, 70.0, 90.0};
        Glow(canvas, c, c, reach * 0.4, 2.5, gold, 0.35);
        for (int i = 0; i < stars; ++i) {
            const double angle = 2.0 * pi * i / stars;
            const Colour colour = i % 2 ? red : gold;
            for (int s = 0; s <= 24; ++s) {
                const double u = 0.35 + 0.65 * s / 24.0;
                Splat(canvas, c + Cos(angle) * reach * u, c + Sin(angle) * reach * u, big / 64.0, colour,
                      0.35 * u * u);
            }
            Splat(canvas, c + Cos(angle) * reach, c + Sin(angle) * reach, big / 32.0, colour, 1.3);
        }
        Splat(canvas, c, c, big / 22.0, Colour{255.0, 255.0, 235.0}, 1.4);

        IconImage image;
        image.colour.width = size;
        image.colour.height = size;
        image.colour.rgb.resize(static_cast<size_t>(size) * size * 3);
        image.alpha.resize(static_cast<size_t>(size) * size);
        for (int y = 0; y < size; ++y) {
            for (int x = 0; x < size; ++x) {
                double sum[3] = {0.0, 0.0, 0.0};
                double area = 0.0;
                for (int sy = 0; sy < 4; ++sy) {
                    for (int sx = 0; sx < 4; ++sx) {
                        const int bx = x * 4 + sx, by = y * 4 + sy;
                        if (cover[static_cast<size_t>(by) * big + bx] == 0.0) continue;
                        const double* p = canvas.At(bx, by);
                        for (int k = 0; k < 3; ++k) sum[k] += ToneMap(p[k]);
                        area += 1.0;
                    }
                }
                const size_t i = static_cast<size_t>(y) * size + x;
                const double a = area / 16.0;
                // The colour averages only the samples inside the disc; its edge is in alpha.
                for (int k = 0; k < 3; ++k) {
                    image.colour.rgb[i * 3 + k] = static_cast<uint8_t>(
                        RoundClamp(area > 0.0 ? sum[k] / area : 0.0, 0, 255));
                }
                image.alpha[i] = static_cast<uint8_t>(RoundClamp(a * 255.0, 0, 255));
            }
        }
        return image;
    }
}

std::vector<IconImage> MakeIcon101() { return {MakeIconImage(16), MakeIconImage(32)}; }

}  // namespace nb::assets
