#include <gtest/gtest.h>

#include "window/rules/FileDialogRequest.h"

namespace {

const std::string kSaveFilter = "BMP (*.bmp)|*.bmp|PNG (*.png)|*.png|JPEG (*.jpg)|*.jpg;*.jpeg";

// The filters as "description=pattern,pattern|...".
std::string Filters(const tsy::FileDialogRequest& r) {
    std::string text;
    for (const auto& f : r.filters) {
        text += (text.empty() ? "" : "|") + f.description + "=";
        for (const auto& p : f.patterns)
            text += (text.back() == '=' ? "" : ",") + p;
    }
    return text;
}

}  // namespace

TEST(FileDialogRequest, SaveStartsOnTheProposedFile) {
    const auto r = tsy::MakeFileDialogRequest(1, "/pics/left_3D-RC.png", "", kSaveFilter);
    EXPECT_TRUE(r.show && r.save);
    EXPECT_EQ(r.initialDir + "|" + r.initialName + "|" + r.defaultSuffix, "/pics/|left_3D-RC|png");
    EXPECT_EQ(r.selectedFilter, 1);
    EXPECT_EQ(Filters(r), "BMP (*.bmp)=*.bmp|PNG (*.png)=*.png|JPEG (*.jpg)=*.jpg,*.jpeg");

    const std::tuple<std::string, std::string, int> picks[] = {
        {"/p/a.JPG ", kSaveFilter, 2},      // any letter case, blanks dropped
        {"a.png", "A|*.png|B|*.png", 1},    // the last match wins
        {"a.png", kSaveFilter + "|", 0},    // a filter closed with "|" keeps the first
        {"/my.dir/file", kSaveFilter, 0}};  // the dot is the folder's
    for (const auto& [name, filter, selected] : picks)
        EXPECT_EQ(tsy::MakeFileDialogRequest(1, name, "", filter).selectedFilter, selected) << name;
    const auto dotted = tsy::MakeFileDialogRequest(1, "/my.dir/file", "", kSaveFilter);
    EXPECT_EQ(dotted.initialDir + "|" + dotted.defaultSuffix, "/my.dir/|dir/file");
    // Names are cut to 255 bytes, never inside a UTF-8 character.
    std::string longName = "/d/" + std::string(254, 'x') + "\xC3\xA4.png";
    EXPECT_EQ(tsy::MakeFileDialogRequest(1, longName, "", kSaveFilter).initialName,
              std::string(254, 'x'));
}

TEST(FileDialogRequest, OpenWithAnyFileAndUnknownModes) {
    const auto r = tsy::MakeFileDialogRequest(
        0, "*.*", "", "Images (*.bmp, *.gif)|*.bmp;*.gif|BMP (*.bmp)|*.bmp|GIF (*.gif)|*.gif");
    EXPECT_TRUE(r.show && !r.save);
    EXPECT_EQ(r.initialDir + r.initialName, "");
    EXPECT_EQ(r.selectedFilter, 0);
    EXPECT_EQ(Filters(r), "Images (*.bmp, *.gif)=*.bmp,*.gif|BMP (*.bmp)=*.bmp|GIF (*.gif)=*.gif");
    EXPECT_FALSE(tsy::MakeFileDialogRequest(2, "*.*", "", "A|*.a").show);
    EXPECT_FALSE(tsy::MakeFileDialogRequest(-1, "*.*", "", "A|*.a").show);
}

TEST(FileDialogRequest, FilterMadeFromTheExtensionWhenOneIsMissing) {
    auto r = tsy::MakeFileDialogRequest(1, "/x/photo.png", "", "  ");
    EXPECT_EQ(Filters(r), "PNG-Datei=*.png");
    r = tsy::MakeFileDialogRequest(1, "/x/photo", "", kSaveFilter);  // no dot: filter replaced
    EXPECT_EQ(Filters(r), "-Datei=*");
    EXPECT_EQ(r.initialDir + "|" + r.initialName, "/x/|");
}
