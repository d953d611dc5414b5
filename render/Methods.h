#pragma once

#include <cstddef>
#include <iterator>
#include <string_view>

namespace tsy {

// The kinds of glasses and the colour methods. A row's position is its index
// everywhere else: the window's option group, the batch options and
// MethodNumberFor. A method's row also says how the engine makes it for each
// pair of glasses: a new mix of the channel rules below is one row; only new
// maths needs engine code.
//
// Method numbers, the glasses' base plus the method's number:
//   red/cyan       1 grayscale, 2 half colour, 3 full colour, 4 optimized, 5 Dubois
//   green/magenta 17, 18, 19, 20, 21 in the same order
//   amber/blue    33, 34, 35, 37 (no optimized form)
// The eye behind each filter gets the channels that filter passes: the left
// view red (red/cyan), green (green/magenta) or red and green (amber/blue).

struct GlassesInfo {
    const char* name;     // on the command line
    const char* caption;  // of the option button, & before the access key
    const char* toolTip;
    const char* saveSuffix;  // in proposed file names, after "_3D"
    int numberBase;          // added to the colour method's number
    int lacks = -1;          // a colour method without a form for these glasses
    int instead = -1;        // the one chosen when the glasses are chosen with it
};

inline constexpr GlassesInfo kGlasses[] = {
    {"red-cyan", "&Red/Cyan", " Red/Cyan Glasses ", "-RC", 0},
    {"green-magenta", "&Green/Mag.", " Green/Magenta Glasses ", "-GM", 16},
    {"amber-blue", "A&mber/Blue", " Amber/Blue Glasses ", "-AB", 32, 3, 4},
};

inline constexpr int kGlassesCount = int(std::size(kGlasses));

// Least-squares weights in linear light: per output channel (red, green,
// blue) the left view's red, green and blue, then the right view's.
using LeastSquares = double[3][6];

// The revised least-squares set for red/cyan, the LCD sets for the others.
inline constexpr LeastSquares kDuboisRedCyan = {{0.437, 0.449, 0.164, -0.011, -0.032, -0.007},
                                                {-0.062, -0.062, -0.024, 0.377, 0.761, 0.009},
                                                {-0.048, -0.050, -0.017, -0.026, -0.093, 1.234}};
inline constexpr LeastSquares kDuboisGreenMagenta = {
    {-0.062, -0.158, -0.039, 0.529, 0.705, 0.024},
    {0.284, 0.668, 0.143, -0.016, -0.015, -0.065},
    {-0.015, -0.027, 0.021, 0.009, 0.075, 0.937}};
inline constexpr LeastSquares kDuboisAmberBlue = {{1.062, -0.205, 0.299, -0.016, -0.123, -0.017},
                                                  {-0.026, 0.908, 0.068, 0.006, 0.062, -0.017},
                                                  {-0.038, -0.173, 0.022, 0.094, 0.185, 0.911}};

// How the engine makes a colour method for one pair of glasses: either a
// letter per output channel (red, green, blue) for the view that feeds it and
// how,
//   l r  the left or right view's own channel
//   L R  the left or right view's luminance, 0.299 red + 0.587 green + 0.114 blue
//   M    the left view's 0.7 green + 0.3 blue (the optimized rule)
// or least-squares weights over both views. Neither: the glasses lack the method.
struct ChannelRecipe {
    const char* channels = nullptr;
    const LeastSquares* weights = nullptr;
    // Said apart from weights: under GCC's address sanitizer a global's
    // address is no constant, and the kernels are chosen at compile time.
    bool leastSquares = false;

    constexpr bool offered() const { return channels || leastSquares; }
};

struct ColourMethodInfo {
    const char* name;
    const char* caption;
    const char* toolTip;
    int number;  // 1.. ; with the glasses' base, the engine's method number
    int column;  // position in the window's row, from the left
    ChannelRecipe recipes[kGlassesCount];  // in the order of kGlasses
};

inline constexpr ColourMethodInfo kColourMethods[] = {
    {"gray", "Gr&ayscale", " Gray Anaglyphs (No color reproduction) ", 1, 0,
     {{"LRR"}, {"RLR"}, {"LLR"}}},
    {"half", "&Half Color",
     " Half Color Anaglyphs (Partial color reproduction, but not as good as color anaglyphs. "
     "Less retinal rivalry than color anaglyphs) ",
     2, 2, {{"Lrr"}, {"rLr"}, {"llR"}}},
    {"color", "&Full Color", " Color Anaglyphs (Partial color reproduction. Retinal rivalry) ", 3,
     1, {{"lrr"}, {"rlr"}, {"llr"}}},
    {"optimized", "&Optimized",
     " Optimized Anaglyphs (Partial color reproduction, but not of red shades. Almost no "
     "retinal rivalry) ",
     4, 3, {{"Mrr"}, {"rMr"}, {}}},
    {"dubois", "&Dubois",
     " Dubois Anaglyphs (Least-squares color reproduction in linear light. Least ghosting, "
     "truest colors) ",
     5, 4,
     {{.weights = &kDuboisRedCyan, .leastSquares = true},
      {.weights = &kDuboisGreenMagenta, .leastSquares = true},
      {.weights = &kDuboisAmberBlue, .leastSquares = true}}},
};

inline constexpr int kColourMethodCount = int(std::size(kColourMethods));

// The engine's method number for an option of each group; 0 when either index
// is out of range or the glasses have no form of the method.
constexpr int MethodNumberFor(int glassIndex, int colorIndex) {
    if (glassIndex < 0 || glassIndex >= kGlassesCount || colorIndex < 0 ||
        colorIndex >= kColourMethodCount ||
        !kColourMethods[colorIndex].recipes[glassIndex].offered())
        return 0;
    return kGlasses[glassIndex].numberBase + kColourMethods[colorIndex].number;
}

// The recipe of a number MethodNumberFor gives, null for any other number.
constexpr const ChannelRecipe* RecipeFor(int methodNumber) {
    for (int g = 0; g < kGlassesCount; ++g)
        for (int c = 0; c < kColourMethodCount; ++c)
            if (methodNumber != 0 && MethodNumberFor(g, c) == methodNumber)
                return &kColourMethods[c].recipes[g];
    return nullptr;
}

constexpr bool IsAnaglyphMethod(int methodNumber) {
    return RecipeFor(methodNumber) != nullptr;
}

// Every recipe is three known letters or weights, glasses lack exactly the
// method they name, and no two options share a number.
constexpr bool RowsAgree() {
    for (int g = 0; g < kGlassesCount; ++g)
        for (int c = 0; c < kColourMethodCount; ++c) {
            const ChannelRecipe& r = kColourMethods[c].recipes[g];
            const std::string_view letters = r.channels ? r.channels : "";
            if (r.offered() == (kGlasses[g].lacks == c)) return false;
            if (r.leastSquares != (r.weights != nullptr)) return false;
            if (r.channels && (r.weights || letters.size() != 3 ||
                               letters.find_first_not_of("lrLRM") != std::string_view::npos))
                return false;
            if (r.offered() && RecipeFor(MethodNumberFor(g, c)) != &r) return false;
        }
    return true;
}
// GCC's address sanitizer makes the addresses of globals non-constant; the
// other builds check the rows.
#ifndef __SANITIZE_ADDRESS__
static_assert(RowsAgree());
#endif

// Index of the row named `name`, -1 when none is.
template <class Row, std::size_t N>
constexpr int IndexByName(const Row (&rows)[N], std::string_view name) {
    for (std::size_t i = 0; i < N; ++i)
        if (name == rows[i].name) return int(i);
    return -1;
}

}  // namespace tsy
