#include <gtest/gtest.h>

#include "output/SaveName.h"

using tsy::FileTypeOf;
using tsy::ProposedSaveName;

TEST(SaveName, Proposals) {
    EXPECT_EQ(ProposedSaveName("/pics/IMG_0042.JPG", true, ".png"), "/pics/IMG_0042_3D-RC.png");
    EXPECT_EQ(ProposedSaveName("/x/a.b.bmp", false, ".jpg"), "/x/a.b_3D-GM.jpg");
    EXPECT_EQ(ProposedSaveName("/x/noext", true, ".png"), "");
    EXPECT_EQ(ProposedSaveName("/my.dir/file", true, ".png"), "");  // the dot is the folder's
    EXPECT_EQ(ProposedSaveName("/x/.hidden", true, ".png"), "");
    EXPECT_EQ(ProposedSaveName("", true, ".png"), "");
    EXPECT_EQ(ProposedSaveName("pair.mpo", true, ".bmp"), "pair_3D-RC.bmp");
}

TEST(SaveName, FileTypeIsTheLastFourCharactersInLowerCase) {
    EXPECT_EQ(FileTypeOf("/a/B.PNG"), ".png");
    EXPECT_EQ(FileTypeOf("x.jpeg"), "jpeg");
    EXPECT_EQ(FileTypeOf("png"), "png");
    EXPECT_EQ(FileTypeOf(""), "");
}
