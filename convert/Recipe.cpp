#include "convert/Recipe.h"

#include <algorithm>
#include <charconv>
#include <system_error>

#include "base/AsciiCase.h"
#include "render/Methods.h"

namespace tsy {

namespace {

constexpr int kMaxOffset = 32767;  // the window's controls are 16-bit

constexpr int RowOf(std::span<const ColourMethodInfo> rows, std::string_view name) {
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (rows[i].name == name) return int(i);
    return -1;
}

constexpr int kDefaultMethod = RowOf(kColourMethods, "color");
static_assert(kDefaultMethod >= 0);

// Help texts: "{min}", "{max}" and "{default}" are filled in from the row.
constexpr SettingDecl kDecls[] = {
    {Setting::Method, "--method", "NAME", "colour method (default {default})", "", "", 0,
     kColourMethodCount - 1, kDefaultMethod},
    {Setting::Glasses, "--glasses", "NAME", "glasses (default {default})", "", "", 0,
     kGlassesCount - 1, 0},
    {Setting::Brightness, "--brightness", "N", "{min} to {max} (default {default})", "", "", -128,
     128, 0},
    {Setting::OffsetX, "--dx", "N",
     "horizontal offset between the views in pixels,\n"
     "as the window's X box shows it (default {default}); auto: the stereo\n"
     "window, the nearest point at the screen; camera: the\n"
     "parallax the camera stored in the MPO file",
     "", "", -kMaxOffset, kMaxOffset, 0},
    {Setting::OffsetFrom, "", "", "", "", "", 0, 2, 0},
    {Setting::OffsetY, "--dy", "N",
     "vertical offset, as the window's Y box shows it (default {default})", "", "", -kMaxOffset,
     kMaxOffset, 0},
    {Setting::Align, "--align", "strict",
     "align image 2 with image 1 (height, tilt, size) and print\n"
     "\"aligned FILE: vertical V px, roll A deg, scale S, window X\n"
     "px, residual E px, inliers N, depth D % (near P %, far Q %)\"\n"
     "on standard output. V, A and S are what was wrong with\n"
     "image 2 (V > 0 lower, A > 0 turned counter-clockwise, S > 1\n"
     "larger); P and Q are the nearest and farthest points'\n"
     "disparity in % of the width (below 0: in front of the\n"
     "screen), D the depth between them, warned about above\n"
     "{comfort} %. --dx defaults to auto. A file that cannot be\n"
     "aligned is converted unaligned with a warning, or fails\n"
     "with strict",
     "AutoAlign", "0", 0, 2, 0},
    {Setting::Crop, "--crop", "",
     "cut both views to the largest rectangle in which both have\n"
     "picture, after alignment and the offsets (default: when\n"
     "aligning; a crop that would keep less than a quarter of\n"
     "the picture is refused with a warning)",
     "Crop", "1", 0, 2, 0},
    {Setting::Swap, "--swap", "", "exchange the left and right views", "", "", 0, 1, 0},
    {Setting::Layout, "--layout", "NAME", "how the views sit in each FILE (default {default}: an\n"
     "MPO's or two-picture JPEG's views, a JPS, a PNG stereo\n"
     "picture, else a stereo picture when its halves show one\n"
     "scene, left view first; a plain photo is one picture):", "",
     "", 0, 0, 0},
    {Setting::Format, "--format", "NAME", "output format (default {default}): jpg, png or bmp\n"
     "write the anaglyph; mpo, or jps (side by side, right view\n"
     "first), both views as devices take them; LAYOUT.jpg or\n"
     "LAYOUT.png one picture of both views as --layout's LAYOUT\n"
     "places them (sbs-lr.jpg, tb-lr-half.png); gif or webp the\n"
     "views in turn (wiggle)", "SaveFormat", ".png",
     0, 0, 0},
    {Setting::Quality, "--quality", "Q", "JPEG quality, {min} to {max} (default {default})",
     "JPG.Quality", "95", 1, 100, 95},
    {Setting::FrameMs, "--frame-ms", "MS",
     "gif, webp: how long each view shows, {min} to {max} ms\n(default {default})",
     "Wiggle.FrameMs", "120", 20, 10000, 120},
    {Setting::WebWidth, "--web-width", "W",
     "gif, webp: wider views are scaled down to W pixels,\n{min} to {max} (default {default})",
     "Wiggle.Width", "1200", 16, 16384, 1200},
};
static_assert(std::size(kDecls) == std::size_t(kSettingCount));

// Declaration() finds a row by its place.
constexpr bool InOrder() {
    for (std::size_t i = 0; i < std::size(kDecls); ++i)
        if (kDecls[i].id != Setting(i)) return false;
    return true;
}
static_assert(InOrder());

}  // namespace

std::span<const SettingDecl> Declarations() {
    return kDecls;
}

const SettingDecl& Declaration(Setting setting) {
    return kDecls[std::size_t(setting)];
}

std::vector<std::string> ChoiceNames(Setting setting) {
    std::vector<std::string> names;
    switch (setting) {
        case Setting::Layout:
            for (const LayoutInfo& row : Layouts())
                names.emplace_back(row.name);
            break;
        case Setting::Glasses:
            for (const GlassesInfo& row : kGlasses)
                names.emplace_back(row.name);
            break;
        case Setting::Method:
            for (const ColourMethodInfo& row : kColourMethods)
                names.emplace_back(row.name);
            break;
        case Setting::Format:
            for (const FileFormat* row : SaveFormats())
                names.emplace_back(row->name);
            break;
        case Setting::OffsetFrom:
            names = {"given", "auto", "camera"};
            break;
        case Setting::Align:
            names = {"off", "on", "strict"};
            break;
        case Setting::Crop:
            names = {"auto", "on", "off"};
            break;
        default:
            break;
    }
    return names;
}

int OffsetLimit(int side) {
    return std::clamp(side, 0, kMaxOffset);
}

Recipe::Recipe() {
    for (const SettingDecl& d : kDecls)
        values_[std::size_t(d.id)] = d.byDefault;
}

namespace {

// The largest value a setting takes: choice rows may grow at run time.
int MaxOf(Setting setting) {
    const std::vector<std::string> names = ChoiceNames(setting);
    return names.empty() ? Declaration(setting).max : int(names.size()) - 1;
}

}  // namespace

bool Recipe::Set(Setting setting, int value) {
    if (value < Declaration(setting).min || value > MaxOf(setting)) return false;
    values_[std::size_t(setting)] = value;
    return true;
}

StereoLayout Recipe::layout() const {
    return Layouts()[std::size_t(Get(Setting::Layout))].layout;
}

const FileFormat& Recipe::format() const {
    return *SaveFormats()[std::size_t(Get(Setting::Format))];
}

int Recipe::MethodNumber() const {
    return MethodNumberFor(glasses(), method());
}

bool Recipe::GiveMethodToGlasses() {
    const GlassesInfo& g = kGlasses[glasses()];
    if (g.lacks < 0 || g.lacks != method()) return false;
    return Set(Setting::Method, g.instead);
}

std::string JoinedNames(const std::vector<std::string>& names, bool prose) {
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) text += !prose ? "|" : i + 1 == names.size() ? " or " : ", ";
        text += names[i];
    }
    return text;
}

namespace {

bool ParseInt(std::string_view text, int& value) {
    if (!text.empty() && text[0] == '+') text.remove_prefix(1);
    const char* end = text.data() + text.size();
    const auto [p, ec] = std::from_chars(text.data(), end, value);
    return !text.empty() && ec == std::errc() && p == end;
}

}  // namespace

std::string ParseSetting(Setting setting, std::string_view text, Recipe& recipe) {
    const SettingDecl& d = Declaration(setting);
    std::vector<std::string> names = ChoiceNames(setting);
    if (setting == Setting::Format && SameIgnoringCase(text, "jpeg")) text = "jpg";
    if (setting == Setting::OffsetX) {
        // A word says where the offset comes from; a number gives it.
        for (OffsetFrom from : {OffsetFrom::Window, OffsetFrom::Camera})
            if (SameIgnoringCase(text, ChoiceNames(Setting::OffsetFrom)[std::size_t(from)]))
                return recipe.Set(Setting::OffsetFrom, int(from)), std::string();
        recipe.Set(Setting::OffsetFrom, int(OffsetFrom::Given));
    }
    if (!names.empty()) {
        for (std::size_t i = 0; i < names.size(); ++i)
            if (SameIgnoringCase(text, names[i])) return recipe.Set(setting, int(i)), std::string();
        return JoinedNames(names, true);
    }
    int value = 0;
    if (ParseInt(text, value) && recipe.Set(setting, value)) return {};
    std::string wanted = "a whole number ";
    if (setting == Setting::OffsetX || setting == Setting::OffsetY) wanted += "of pixels ";
    wanted += "from " + std::to_string(d.min) + " to " + std::to_string(d.max);
    if (setting == Setting::OffsetX) wanted += ", auto or camera";
    return wanted;
}

}  // namespace tsy
