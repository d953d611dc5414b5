#include "prepare/LayoutDetect.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "base/PictureBuffer.h"
#include "prepare/CellGrid.h"

namespace tsy {

namespace {


constexpr int kCells = 256 * 192;  // grid size for the whole picture
constexpr int kTile = Plane::kTile;
constexpr double kMinDetail = 2.0;  // tile texture (standard deviation, levels) worth comparing
constexpr double kMatch = 0.6, kDistinct = 0.15, kRepeat = 0.3;

struct Evidence {
    int textured = 0, found = 0;
    int dx = 0, dy = 0;  // median shift of the tiles found, in cells
    double Score() const { return textured ? double(found) / textured : 0; }
};

// Whether a's tile at (tx, ty) matches itself at a shift of 4 to 48 cells
// along the split axis nearly as well as `best`: a repeated pattern, which
// would match the other half anywhere.
bool Repeats(const Plane& a, int tx, int ty, bool alongX, double best) {
    const int room = alongX ? a.width() : a.height(), at = alongX ? tx : ty;
    for (int s = 4; s <= std::min(48, room / 2); ++s)
        for (const int d : {-s, s}) {
            if (at + d < 2 || at + d + kTile + 2 > room) continue;
            const double c = a.Correlate(tx, ty, a, alongX ? tx + d : tx, alongX ? ty : ty + d);
            if (c > kMatch && c >= best - kRepeat) return true;
        }
    return false;
}

// How many of a's textured tiles are found again in b near their place:
// within a tenth of the width sideways and 2 % of the height up or down, by
// a shift that beats every shift more than 2 cells sideways from it, and not
// as well at a repeat of the tile within a.
Evidence Compare(const Plane& a, const Plane& b, bool alongX) {
    const int reach = std::max(4, int(std::lround(0.1 * a.width())));
    const int drift = std::max(1, int(std::lround(0.02 * a.height())));
    const int mx = 2 + reach, my = 2 + drift;  // keeps every shifted tile off the clamped rim
    Evidence e;
    std::vector<int> shifts[2];  // of the tiles found
    std::vector<double> row(std::size_t(2 * reach + 1));
    for (int ty = my; ty + kTile + my <= a.height(); ty += kTile)
        for (int tx = mx; tx + kTile + mx <= a.width(); tx += kTile) {
            if (a.Spread(tx, ty) < kMinDetail) continue;
            ++e.textured;
            // The best over the vertical drifts, for each sideways shift.
            std::fill(row.begin(), row.end(), -1.0);
            double best = -1;
            int bestX = 0, bestY = 0;
            for (int dy = -drift; dy <= drift; ++dy)
                for (int dx = -reach; dx <= reach; ++dx) {
                    const double c = a.Correlate(tx, ty, b, tx + dx, ty + dy);
                    double& r = row[std::size_t(dx + reach)];
                    r = std::max(r, c);
                    if (c > best) best = c, bestX = dx, bestY = dy;
                }
            double second = -1;
            for (int dx = -reach; dx <= reach; ++dx)
                if (std::abs(dx - bestX) > 2)
                    second = std::max(second, row[std::size_t(dx + reach)]);
            if (best < kMatch || best - second < kDistinct || Repeats(a, tx, ty, alongX, best))
                continue;
            ++e.found;
            shifts[0].push_back(bestX), shifts[1].push_back(bestY);
        }
    if (e.found) {
        for (std::vector<int>& s : shifts)
            std::nth_element(s.begin(), s.begin() + std::ptrdiff_t(s.size() / 2), s.end());
        e.dx = shifts[0][shifts[0].size() / 2], e.dy = shifts[1][shifts[1].size() / 2];
        if (std::abs(e.dy) > 1) e.found = 0;
    }
    return e;
}

// Whether the second half repeats the first to the pixel at the tiles'
// median shift (cells of cellW x cellH pixels): a pattern whose period
// divides the half, or one picture shown twice, is no pair, as two views
// always differ by their parallax. Every 32nd row is compared.
bool SameHalves(const PictureBuffer& p, bool sbs, const Evidence& e, double cellW, double cellH) {
    const int W = p.width(), H = p.height();
    const int dx = int(std::lround(e.dx * cellW)), dy = int(std::lround(e.dy * cellH));
    const int ox = sbs ? W - W / 2 : 0, oy = sbs ? 0 : H - H / 2;  // where the second half starts
    const int w = sbs ? W / 2 : W, h = sbs ? H : H / 2;
    std::int64_t same = 0, seen = 0;
    for (int y = std::max(0, -dy); y < h && y + dy < h; y += 32) {
        const std::uint8_t* a = p.row(y);
        const std::uint8_t* b = p.row(oy + y + dy);
        for (int x = std::max(0, -dx); x < w && x + dx < w; ++x) {
            const std::uint8_t* pa = a + std::size_t(x) * 4;
            const std::uint8_t* pb = b + std::size_t(ox + x + dx) * 4;
            same += std::abs(pa[0] - pb[0]) <= 8 && std::abs(pa[1] - pb[1]) <= 8 &&
                    std::abs(pa[2] - pb[2]) <= 8;
            ++seen;
        }
    }
    return seen > 0 && same > seen * 9 / 10;
}

// Whether the halves have like colours: a pair is one exposure of one scene.
bool LikeColours(const CellGrid& g, bool sbs) {
    double sums[2][3] = {};
    for (int y = 0; y < g.height; ++y)
        for (int x = 0; x < g.width; ++x) {
            const std::size_t at = std::size_t(y) * std::size_t(g.width) + std::size_t(x);
            double* s = sums[sbs ? 2 * x / g.width : 2 * y / g.height];
            s[0] += g.red[at], s[1] += g.green[at], s[2] += g.blue[at];
        }
    const double half = double(g.width) * g.height / 2;
    for (int c = 0; c < 3; ++c)
        if (std::abs(sums[0][c] - sums[1][c]) / half > 16) return false;
    return true;
}

Evidence Judge(const PictureBuffer& p, const CellGrid& g, Arrangement arrangement) {
    const bool sbs = arrangement == Arrangement::SideBySide;
    const int w = sbs ? g.width / 2 : g.width, h = sbs ? g.height : g.height / 2;
    const Plane a(g, 0, 0, w, h), b(g, sbs ? w : 0, sbs ? 0 : h, w, h);
    Evidence e = Compare(a, b, sbs);
    if (e.textured < 8 || !LikeColours(g, sbs) ||
        (e.found &&
         SameHalves(p, sbs, e, double(p.width()) / g.width, double(p.height()) / g.height)))
        e.found = 0;
    return e;
}

}  // namespace

bool LooksHalf(Arrangement arrangement, int width, int height) {
    if (width < 2 || height < 2) return false;
    const double whole = double(width) / height;
    const bool squeezed = arrangement == Arrangement::SideBySide ? whole / 2 < 1 : whole * 2 > 1.9;
    static constexpr double kShapes[] = {9 / 16.0, 2 / 3.0, 3 / 4.0,   4 / 5.0, 1.0,      5 / 4.0,
                                         4 / 3.0,  3 / 2.0, 16 / 10.0, 5 / 3.0, 16 / 9.0, 2.0};
    return squeezed && std::any_of(std::begin(kShapes), std::end(kShapes),
                                   [&](double s) { return std::abs(whole / s - 1) <= 0.02; });
}

LayoutGuess DetectLayout(const PictureBuffer& picture) {
    LayoutGuess guess;
    const int W = picture.width(), H = picture.height();
    if (!picture.hasImage() || W < 64 || H < 64) {
        guess.message =
            "the picture is too small to tell whether it holds a stereo pair; read as one picture";
        return guess;
    }
    const double cell = std::max(1.0, std::sqrt(double(W) * H / kCells));
    const int gw = std::min(W, int(W / cell)) & ~1, gh = std::min(H, int(H / cell)) & ~1;
    const CellGrid grid = ReduceToCells(picture, gw, gh);
    const Evidence sbs = Judge(picture, grid, Arrangement::SideBySide),
                   tb = Judge(picture, grid, Arrangement::TopBottom);
    guess.sbsScore = sbs.Score(), guess.tbScore = tb.Score();
    const double best = std::max(guess.sbsScore, guess.tbScore);
    if (best < 0.5) {
        guess.message = "the picture does not clearly hold a stereo pair; read as one picture";
        return guess;
    }
    guess.pair = true;
    guess.layout.arrangement =
        guess.sbsScore >= guess.tbScore ? Arrangement::SideBySide : Arrangement::TopBottom;
    guess.layout.half = LooksHalf(guess.layout.arrangement, W, H);
    guess.message =
        std::string("the picture looks like a ") + (guess.layout.half ? "half-" : "") +
        (guess.layout.arrangement == Arrangement::SideBySide ? "side-by-side" : "top-bottom") +
        " stereo pair; the left view is taken to come first";
    return guess;
}

}  // namespace tsy
