#pragma once

#include <cstddef>
#include <iterator>
#include <string_view>

namespace tsy {

// The kinds of glasses and the colour methods. A row's position is its index
// everywhere else: the window's option group, the batch options and
// MethodNumberFor. A new method is a row here plus its formula in the engine.
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

struct ColourMethodInfo {
    const char* name;
    const char* caption;
    const char* toolTip;
    int number;  // 1.. ; with the glasses' base, the engine's method number
    int column;  // position in the window's row, from the left
};

inline constexpr GlassesInfo kGlasses[] = {
    {"red-cyan", "&Red/Cyan", " Red/Cyan Glasses ", "-RC", 0},
    {"green-magenta", "&Green/Mag.", " Green/Magenta Glasses ", "-GM", 16},
    {"amber-blue", "A&mber/Blue", " Amber/Blue Glasses ", "-AB", 32, 3, 4},
};

inline constexpr ColourMethodInfo kColourMethods[] = {
    {"gray", "Gr&ayscale", " Gray Anaglyphs (No color reproduction) ", 1, 0},
    {"half", "&Half Color",
     " Half Color Anaglyphs (Partial color reproduction, but not as good as color anaglyphs. "
     "Less retinal rivalry than color anaglyphs) ",
     2, 2},
    {"color", "&Full Color", " Color Anaglyphs (Partial color reproduction. Retinal rivalry) ", 3,
     1},
    {"optimized", "&Optimized",
     " Optimized Anaglyphs (Partial color reproduction, but not of red shades. Almost no "
     "retinal rivalry) ",
     4, 3},
    {"dubois", "&Dubois",
     " Dubois Anaglyphs (Least-squares color reproduction in linear light. Least ghosting, "
     "truest colors) ",
     5, 4},
};

inline constexpr int kGlassesCount = int(std::size(kGlasses));
inline constexpr int kColourMethodCount = int(std::size(kColourMethods));

// The engine's method number for an option of each group; 0 when either index
// is out of range or the glasses have no form of the method.
constexpr int MethodNumberFor(int glassIndex, int colorIndex) {
    if (glassIndex < 0 || glassIndex >= kGlassesCount || colorIndex < 0 ||
        colorIndex >= kColourMethodCount || kGlasses[glassIndex].lacks == colorIndex)
        return 0;
    return kGlasses[glassIndex].numberBase + kColourMethods[colorIndex].number;
}

// True for the numbers MethodNumberFor gives.
constexpr bool IsAnaglyphMethod(int methodNumber) {
    for (int g = 0; g < kGlassesCount; ++g)
        for (int c = 0; c < kColourMethodCount; ++c)
            if (methodNumber != 0 && MethodNumberFor(g, c) == methodNumber) return true;
    return false;
}

// Index of the row named `name`, -1 when none is.
template <class Row, std::size_t N>
constexpr int IndexByName(const Row (&rows)[N], std::string_view name) {
    for (std::size_t i = 0; i < N; ++i)
        if (name == rows[i].name) return int(i);
    return -1;
}

}  // namespace tsy
