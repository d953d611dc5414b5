// Writes the benchmark picture as a BMP: tsy-make-anaglyph <width> <height> <out.bmp> [seed]
#include <cstdio>
#include <cstdlib>
#include <string>

#include "AnaglyphScene.h"
#include "output/BmpWriter.h"

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s <width> <height> <out.bmp> [seed]\n", argv[0]);
        return 2;
    }
    const int width = std::atoi(argv[1]);
    const int height = std::atoi(argv[2]);
    if (width <= 0 || height <= 0 || double(width) * height > double(1 << 30)) {
        std::fprintf(stderr, "bad size\n");
        return 2;
    }
    tsy::PictureBuffer picture;
    tsy::bench::MakeAnaglyphScene(picture, width, height,
                                  argc > 4 ? std::uint32_t(std::strtoul(argv[4], nullptr, 10)) : 1);
    std::string error;
    if (!tsy::SaveBmp(picture, argv[3], error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    return 0;
}
