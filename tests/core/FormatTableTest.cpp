#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "convert/Recipe.h"
#include "output/FileFormats.h"
#include "render/Methods.h"

using namespace tsy;

// The dialogs' filters as the users have always seen them, now made from the rows.
TEST(FormatTable, DialogFiltersKeepTheirTexts) {
    EXPECT_EQ(OpenDialogFilter(1),
              "Images (*.bmp, *.jpg, *.jpeg, *.mpo, *.jps, *.gif, *.png, *.tif, *.tiff, *.webp)|"
              "*.bmp;*.jpg;*.jpeg;*.mpo;*.jps;*.gif;*.png;*.tif;*.tiff;*.webp|"
              "BMP (*.bmp)|*.bmp|JPEG (*.jpg, *.jpeg)|*.jpg;*.jpeg|Multi-JPG (*.mpo)|*.mpo|"
              "JPS (*.jps)|*.jps|"
              "GIF (*.gif)|*.gif|PNG (*.png)|*.png|TIFF (*.tif, *.tiff)|*.tif;*.tiff|"
              "WebP (*.webp)|*.webp|All files (*)|*");
    EXPECT_EQ(OpenDialogFilter(2).find("mpo"), std::string::npos);
    // The anaglyph's three first, as ever; the stereo files behind them.
    EXPECT_EQ(SaveDialogFilter().substr(0, 113),
              "JPEG (*.jpg),  lossy compression|*.jpg|PNG (*.png),  lossless "
              "compression|*.png|BMP (*.bmp),  uncompressed|*.bmp|");
    for (const char* name : {"jpg", "JPEG", "Png", "bmp", "mpo", "tb-rl-half.png", "GIF"})
        EXPECT_NE(SaveFormatByName(name), nullptr) << name;
    EXPECT_EQ(SaveFormatByName("tif"), nullptr);
    EXPECT_EQ(SaveFormatByName("auto.jpg"), nullptr);
}

// A type the program reads but the desktop file does not list is a file
// manager that never offers Tessaly for it; one listed but not read, a
// failure after the offer.
TEST(FormatTable, DesktopFileListsExactlyTheReadableTypes) {
    std::ifstream desktop(TSY_SOURCE_DIR "/window/tessaly.desktop");
    std::string line, listed;
    while (std::getline(desktop, line))
        if (line.rfind("MimeType=", 0) == 0) listed = line.substr(9);
    std::set<std::string> types;
    std::istringstream in(listed);
    for (std::string t; std::getline(in, t, ';');)
        if (!t.empty()) types.insert(t);
    const std::vector<std::string> readable = ReadableMimeTypes();
    EXPECT_EQ(types, std::set<std::string>(readable.begin(), readable.end()));
}

// Every default lies in its range and every option is declared once.
TEST(Recipe, DeclarationsAreConsistent) {
    const Recipe defaults;
    std::set<std::string_view> options;
    for (const SettingDecl& d : Declarations()) {
        EXPECT_TRUE(defaults.Get(d.id) >= d.min) << d.option;
        EXPECT_TRUE(d.option.empty() || options.insert(d.option).second) << d.option;
        Recipe r;
        EXPECT_FALSE(r.Set(d.id, d.min - 1)) << d.option;
    }
    EXPECT_EQ(kColourMethods[defaults.method()].name, std::string_view("color"));
    EXPECT_EQ(defaults.format().name, "jpg");
}
