#include "prepare/DepthBudget.h"

#include <cmath>

#include "base/FixedText.h"

namespace tsy {

DepthBudget DepthOf(const AlignResult& r, int offsetX, int width, const std::string& point) {
    DepthBudget d;
    if (!r.aligned || width <= 0) return d;
    // The engine moves the right view by -offsetX against the left one.
    const double perCent = 100.0 / width;
    d.nearPct = (r.nearPx - offsetX) * perCent;
    d.farPct = (r.farPx - offsetX) * perCent;
    d.totalPct = d.farPct - d.nearPct;
    d.tooDeep = d.totalPct > kComfortableDepthPct;
    d.diverges = d.farPct > kComfortableDepthPct;
    const std::string limit = FixedText(kComfortableDepthPct, 1, point) + " %";
    if (d.tooDeep)
        d.warning = "too deep to view comfortably: " + FixedText(d.totalPct, 1, point) +
                    " % of the width, more than " + limit;
    else if (d.diverges)
        d.warning = "far points " + FixedText(d.farPct, 1, point) +
                    " % behind the screen make the eyes diverge (more than " + limit + ")";
    return d;
}

namespace {

std::string Signed(double pct, const std::string& point) {
    const std::string text = FormatFixed(pct, 1, point);
    return (text[0] != '-' && text.find_first_not_of("0" + point) != std::string::npos ? "+" : "") +
           text + " %";
}

}  // namespace

std::string DepthText(const DepthBudget& d, const std::string& point) {
    return "depth " + FixedText(d.totalPct, 1, point) + " % (near " + Signed(d.nearPct, point) +
           ", far " + Signed(d.farPct, point) + ")";
}

}  // namespace tsy
