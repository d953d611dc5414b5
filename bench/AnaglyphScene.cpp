#include "AnaglyphScene.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace tsy::bench {

namespace {

struct Rng {
    std::uint64_t s;
    std::uint32_t Next() {
        s ^= s << 13;
        s ^= s >> 7;
        s ^= s << 17;
        return std::uint32_t(s >> 16);
    }
    double Unit() { return (Next() & 0xFFFFFF) / double(0x1000000); }
    // Roughly normal, unit variance.
    double Gauss() { return (Unit() + Unit() + Unit() + Unit() - 2.0) * 1.7320508; }
};

struct Blob {
    double cx, cy, rx, ry;
    double r, g, b, shade;
    double disparity;  // nearer objects shift more between the views
};

std::uint8_t Clamp(double v) {
    return std::uint8_t(std::clamp(std::lround(v), 0L, 255L));
}

}  // namespace

void MakeAnaglyphScene(PictureBuffer& picture, int width, int height, std::uint32_t seed) {
    Rng rng{0x9E3779B97F4A7C15ull ^ seed};
    const double scale = std::max(width, height) / 1000.0;
    std::vector<Blob> blobs(60);
    for (Blob& b : blobs) {
        b.cx = rng.Unit() * width;
        b.cy = height * (0.3 + 0.7 * rng.Unit());
        b.rx = (20 + 120 * rng.Unit()) * scale;
        b.ry = (20 + 120 * rng.Unit()) * scale;
        b.r = 40 + 200 * rng.Unit();
        b.g = 40 + 200 * rng.Unit();
        b.b = 40 + 200 * rng.Unit();
        b.shade = 0.3 + 0.6 * rng.Unit();
        b.disparity = (4 + 20 * rng.Unit()) * scale;
    }
    const double background = 3 * scale;
    // Fine texture from a small tiled table, so it repeats only far apart.
    std::vector<float> texture(1 << 16);
    for (float& t : texture)
        t = float(rng.Gauss());

    auto scene = [&](double x, double y, double eye, double out[3]) {
        const double horizon = height * 0.45;
        if (y < horizon) {  // sky
            const double t = y / horizon;
            out[0] = 90 + 60 * t + 10 * std::sin(x * 0.004 / scale);
            out[1] = 140 + 50 * t;
            out[2] = 230 - 30 * t + 8 * std::cos((x + y) * 0.003 / scale);
        } else {  // ground with texture that depends on the position in the scene
            const double t = (y - horizon) / (height - horizon);
            const int tx = int(x / scale * 0.9) & 255;
            const int ty = int(y / scale * 0.9) & 255;
            const double tex = 9 * texture[std::size_t(ty * 256 + tx)];
            out[0] = 70 + 40 * t + tex + 15 * std::sin(x * 0.01 / scale);
            out[1] = 110 + 30 * t + tex;
            out[2] = 50 + 20 * t + 0.5 * tex;
        }
        x += eye * background;
        for (const Blob& b : blobs) {
            const double dx = (x + eye * (b.disparity - background) - b.cx) / b.rx;
            const double dy = (y - b.cy) / b.ry;
            const double d = dx * dx + dy * dy;
            if (d < 1) {
                const double light = 1 - b.shade * (dx + dy + 1.4) / 2.8;
                out[0] = b.r * light;
                out[1] = b.g * light;
                out[2] = b.b * light;
            }
        }
    };

    std::uint8_t* bits = picture.assign(width, height);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* p = bits + std::size_t(y) * picture.stride();
        for (int x = 0; x < width; ++x, p += 4) {
            double left[3], right[3];
            scene(x, y, +0.5, left);
            scene(x, y, -0.5, right);
            p[0] = Clamp(right[2] + 2.5 * rng.Gauss());
            p[1] = Clamp(right[1] + 2.5 * rng.Gauss());
            p[2] = Clamp(left[0] + 2.5 * rng.Gauss());
            p[3] = 0xFF;
        }
    }
    picture.touch();
}

}  // namespace tsy::bench
