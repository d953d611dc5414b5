#pragma once

#include <array>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "output/FileFormats.h"
#include "prepare/StereoLayout.h"

namespace tsy {

// Everything one conversion needs, each setting declared once below with its
// command-line name, range, default, help and stored key. The window's
// controls, the batch's options and help, the stored settings and the tests
// read these declarations; no range or default is written anywhere else.

enum class Setting {
    Method,      // a row of kColourMethods
    Glasses,     // a row of kGlasses
    Brightness,  // added to every channel
    OffsetX,     // pixels, as the window's X box shows them
    OffsetFrom,  // where the X offset comes from
    OffsetY,
    Align,    // image 2 aligned with image 1
    Crop,     // both views cut to the picture both eyes see
    Swap,     // 0 or 1
    Layout,   // a row of Layouts()
    Format,   // a row of SaveFormats()
    Quality,  // JPEG
    FrameMs,  // wiggle: how long each view shows
    WebWidth, // wiggle: the widest frame
    Count
};
inline constexpr int kSettingCount = int(Setting::Count);

enum class OffsetFrom { Given, Window, Camera };  // the X offset as given, the stereo window, the camera
enum class AlignMode { Off, On, Strict };         // Strict: a pair that cannot be aligned fails
// Auto: after alignment only; On: also edges the offsets alone leave.
enum class CropMode { Auto, On, Off };

struct SettingDecl {
    Setting id;
    std::string_view option;  // on the command line; "" for none of its own
    std::string_view valueName;
    std::string_view help;
    std::string_view storedKey;      // in the window's settings store; "" when not kept
    std::string_view storedDefault;  // what the store gives before the first save
    int min = 0;
    int max = 0;
    int byDefault = 0;
};

const SettingDecl& Declaration(Setting setting);
std::span<const SettingDecl> Declarations();

// The names a choice setting takes, value min first; empty for numbers.
std::vector<std::string> ChoiceNames(Setting setting);

// An offset's range for a picture `side` pixels wide (high): as far as the
// picture is wide, where the views just no longer overlap, within the
// 16-bit range of the window's controls.
int OffsetLimit(int side);

class Recipe {
public:
    Recipe();  // every setting at its default

    int Get(Setting setting) const { return values_[std::size_t(setting)]; }
    // False, and the value kept, when value lies outside the declared range.
    bool Set(Setting setting, int value);

    StereoLayout layout() const;
    bool swap() const { return Get(Setting::Swap) != 0; }
    int glasses() const { return Get(Setting::Glasses); }
    int method() const { return Get(Setting::Method); }
    int brightness() const { return Get(Setting::Brightness); }
    int offsetX() const { return Get(Setting::OffsetX); }
    int offsetY() const { return Get(Setting::OffsetY); }
    OffsetFrom offsetFrom() const { return OffsetFrom(Get(Setting::OffsetFrom)); }
    AlignMode align() const { return AlignMode(Get(Setting::Align)); }
    CropMode crop() const { return CropMode(Get(Setting::Crop)); }
    const FileFormat& format() const;
    int quality() const { return Get(Setting::Quality); }
    int frameMs() const { return Get(Setting::FrameMs); }
    int webWidth() const { return Get(Setting::WebWidth); }

    // The engine's method number of glasses and method.
    int MethodNumber() const;
    // Glasses without a form of the method take the glasses' stand-in
    // method; true when that changed the method.
    bool GiveMethodToGlasses();

private:
    std::array<int, kSettingCount> values_{};
};

// Reads a setting's value as typed on a command line into recipe: numbers,
// choice names in any case, and the X offset's words (auto, camera). Empty
// when taken, else what the setting wants, in words for the user.
std::string ParseSetting(Setting setting, std::string_view text, Recipe& recipe);

// "a, b or c" and "a|b|c".
std::string JoinedNames(const std::vector<std::string>& names, bool prose);

}  // namespace tsy
