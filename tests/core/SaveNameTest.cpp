#include <gtest/gtest.h>

#include "output/SaveName.h"

using tsy::FileTypeOf;
using tsy::ProposedSaveName;

TEST(SaveName, Proposals) {
    EXPECT_EQ(ProposedSaveName("/pics/IMG_0042.JPG", "-RC", ".png"), "/pics/IMG_0042_3D-RC.png");
    EXPECT_EQ(ProposedSaveName("/x/a.b.bmp", "-GM", ".jpg"), "/x/a.b_3D-GM.jpg");
    EXPECT_EQ(ProposedSaveName("/x/noext", "-RC", ".png"), "");
    EXPECT_EQ(ProposedSaveName("/my.dir/file", "-RC", ".png"), "");  // the dot is the folder's
    EXPECT_EQ(ProposedSaveName("/x/.hidden", "-RC", ".png"), "");
    EXPECT_EQ(ProposedSaveName("", "-RC", ".png"), "");
    EXPECT_EQ(ProposedSaveName("pair.mpo", "-RC", ".bmp"), "pair_3D-RC.bmp");
}

TEST(SaveName, FileTypeIsTheLastFourCharactersInLowerCase) {
    EXPECT_EQ(FileTypeOf("/a/B.PNG"), ".png");
    EXPECT_EQ(FileTypeOf("x.jpeg"), "jpeg");
    EXPECT_EQ(FileTypeOf("png"), "png");
    EXPECT_EQ(FileTypeOf(""), "");
}
