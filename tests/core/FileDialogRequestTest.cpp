#include <gtest/gtest.h>

#include "input/FileDialogRequest.h"

namespace {

using Strings = std::vector<std::string>;
const std::string kSaveFilter = "BMP (*.bmp)|*.bmp|PNG (*.png)|*.png|JPEG (*.jpg)|*.jpg;*.jpeg";

Strings Descriptions(const tsy::FileDialogRequest& r) {
    Strings d;
    for (const auto& f : r.filters)
        d.push_back(f.description);
    return d;
}

}  // namespace

TEST(FileDialogRequest, SaveStartsOnTheProposedFile) {
    const auto r = tsy::MakeFileDialogRequest(1, "/pics/left_3D-RC.png", "", kSaveFilter);
    EXPECT_TRUE(r.show && r.save);
    EXPECT_EQ(r.initialDir + "|" + r.initialName + "|" + r.defaultSuffix, "/pics/|left_3D-RC|png");
    EXPECT_EQ(r.selectedFilter, 1);
    ASSERT_EQ(r.filters.size(), 3u);
    EXPECT_EQ(r.filters[2].patterns, (Strings{"*.jpg", "*.jpeg"}));

    const struct {
        std::string name, filter;
        int selected;
    } picks[] = {{"/p/a.JPG ", kSaveFilter, 2},      // any letter case, blanks dropped
                 {"a.png", "A|*.png|B|*.png", 1},    // the last match wins
                 {"a.png", kSaveFilter + "|", 0},    // a filter closed with "|" keeps the first
                 {"/my.dir/file", kSaveFilter, 0}};  // the dot is the folder's
    for (const auto& p : picks)
        EXPECT_EQ(tsy::MakeFileDialogRequest(1, p.name, "", p.filter).selectedFilter, p.selected)
            << p.name;
    const auto dotted = tsy::MakeFileDialogRequest(1, "/my.dir/file", "", kSaveFilter);
    EXPECT_EQ(dotted.initialDir + "|" + dotted.defaultSuffix, "/my.dir/|dir/file");
    EXPECT_EQ(dotted.filters.size(), 3u);
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
    EXPECT_EQ(Descriptions(r), (Strings{"Images (*.bmp, *.gif)", "BMP (*.bmp)", "GIF (*.gif)"}));
    EXPECT_EQ(r.filters[0].patterns, (Strings{"*.bmp", "*.gif"}));
    EXPECT_FALSE(tsy::MakeFileDialogRequest(2, "*.*", "", "A|*.a").show);
    EXPECT_FALSE(tsy::MakeFileDialogRequest(-1, "*.*", "", "A|*.a").show);
}

TEST(FileDialogRequest, FilterMadeFromTheExtensionWhenOneIsMissing) {
    auto r = tsy::MakeFileDialogRequest(1, "/x/photo.png", "", "  ");
    EXPECT_EQ(Descriptions(r), Strings{"PNG-Datei"});
    EXPECT_EQ(r.filters[0].patterns, Strings{"*.png"});
    r = tsy::MakeFileDialogRequest(1, "/x/photo", "", kSaveFilter);  // no dot: filter replaced
    EXPECT_EQ(Descriptions(r), Strings{"-Datei"});
    EXPECT_EQ(r.filters[0].patterns, Strings{"*"});
    EXPECT_EQ(r.initialDir + "|" + r.initialName, "/x/|");
}
