#include <gtest/gtest.h>

#include "input/FileDialogRequest.h"

namespace {

const std::string kSaveFilter = "BMP (*.bmp)|*.bmp|PNG (*.png)|*.png|JPEG (*.jpg)|*.jpg;*.jpeg";

std::vector<std::string> Descriptions(const tsy::FileDialogRequest& r) {
    std::vector<std::string> d;
    for (const auto& f : r.filters)
        d.push_back(f.description);
    return d;
}

}  // namespace

TEST(FileDialogRequest, SaveStartsOnTheProposedFile) {
    const auto r = tsy::MakeFileDialogRequest(1, "/pics/left_3D-RC.png", "", kSaveFilter);
    EXPECT_TRUE(r.show);
    EXPECT_TRUE(r.save);
    EXPECT_EQ(r.initialDir, "/pics/");
    EXPECT_EQ(r.initialName, "left_3D-RC");
    EXPECT_EQ(r.defaultSuffix, "png");
    EXPECT_EQ(r.title, "Datei speichern ...");
    ASSERT_EQ(r.filters.size(), 3u);
    EXPECT_EQ(r.selectedFilter, 1);
    EXPECT_EQ(r.filters[2].patterns, (std::vector<std::string>{"*.jpg", "*.jpeg"}));

    // Letter case does not matter, blanks around the extension are dropped,
    // and the last matching pattern wins.
    EXPECT_EQ(tsy::MakeFileDialogRequest(1, "/p/a.JPG ", "T", kSaveFilter).selectedFilter, 2);
    EXPECT_EQ(tsy::MakeFileDialogRequest(1, "a.png", "", "A|*.png|B|*.png").selectedFilter, 1);
    // A filter already closed with "|" keeps the first entry.
    EXPECT_EQ(tsy::MakeFileDialogRequest(1, "a.png", "", kSaveFilter + "|").selectedFilter, 0);
    // Names are cut to 255 bytes, never inside a UTF-8 character.
    std::string longName = "/d/" + std::string(254, 'x') + "\xC3\xA4.png";
    EXPECT_EQ(tsy::MakeFileDialogRequest(1, longName, "", kSaveFilter).initialName,
              std::string(254, 'x'));
}

TEST(FileDialogRequest, DotInAFolderNameOnly) {
    const auto r = tsy::MakeFileDialogRequest(1, "/my.dir/file", "", kSaveFilter);
    EXPECT_EQ(r.initialDir, "/my.dir/");
    EXPECT_EQ(r.defaultSuffix, "dir/file");
    EXPECT_EQ(r.selectedFilter, 0);
    EXPECT_EQ(r.filters.size(), 3u);
}

TEST(FileDialogRequest, OpenWithAnyFileAndUnknownModes) {
    const auto r = tsy::MakeFileDialogRequest(
        0, "*.*", "", "Images (*.bmp, *.gif)|*.bmp;*.gif|BMP (*.bmp)|*.bmp|GIF (*.gif)|*.gif");
    EXPECT_TRUE(r.show);
    EXPECT_FALSE(r.save);
    EXPECT_EQ(r.title, "Datei öffnen ...");
    EXPECT_EQ(r.initialDir, "");
    EXPECT_EQ(r.initialName, "");
    EXPECT_EQ(r.selectedFilter, 0);
    EXPECT_EQ(Descriptions(r),
              (std::vector<std::string>{"Images (*.bmp, *.gif)", "BMP (*.bmp)", "GIF (*.gif)"}));
    EXPECT_EQ(r.filters[0].patterns, (std::vector<std::string>{"*.bmp", "*.gif"}));
    EXPECT_FALSE(tsy::MakeFileDialogRequest(2, "*.*", "", "A|*.a").show);
    EXPECT_FALSE(tsy::MakeFileDialogRequest(-1, "*.*", "", "A|*.a").show);
}

TEST(FileDialogRequest, FilterMadeFromTheExtensionWhenOneIsMissing) {
    auto r = tsy::MakeFileDialogRequest(1, "/x/photo.png", "", "  ");
    EXPECT_EQ(Descriptions(r), std::vector<std::string>{"PNG-Datei"});
    EXPECT_EQ(r.filters[0].patterns, std::vector<std::string>{"*.png"});
    r = tsy::MakeFileDialogRequest(1, "/x/photo", "", kSaveFilter);  // no dot: filter replaced
    EXPECT_EQ(Descriptions(r), std::vector<std::string>{"-Datei"});
    EXPECT_EQ(r.filters[0].patterns, std::vector<std::string>{"*"});
    EXPECT_EQ(r.initialDir, "/x/");
    EXPECT_EQ(r.initialName, "");
}
