// Writes a camera-like stereo pair for bench/batch_vs_ffmpeg.sh:
//   tsy-make-mpo <width> <height> <dir>
// gives <dir>/pair.mpo (both views with an MP index) and the same two views
// as <dir>/left.jpg and <dir>/right.jpg. JPEG quality 95, 4:2:2, as stereo
// cameras write them.
#include <turbojpeg.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "AnaglyphScene.h"
#include "TestMpo.h"

namespace {

std::vector<std::uint8_t> Jpeg(const tsy::PictureBuffer& view) {
    tjhandle tj = tjInitCompress();
    unsigned char* data = nullptr;
    unsigned long size = 0;
    std::vector<std::uint8_t> out;
    if (tj && tjCompress2(tj, view.bits(), view.width(), int(view.stride()), view.height(),
                          TJPF_BGRX, &data, &size, TJSAMP_422, 95, 0) == 0)
        out.assign(data, data + size);
    tjFree(data);
    if (tj) tjDestroy(tj);
    return out;
}

bool Write(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s <width> <height> <dir>\n", argv[0]);
        return 2;
    }
    const int width = std::atoi(argv[1]);
    const int height = std::atoi(argv[2]);
    if (width <= 0 || height <= 0 || width > 20000 || height > 20000) {
        std::fprintf(stderr, "bad size\n");
        return 2;
    }
    const std::string dir = argv[3];
    std::vector<std::uint8_t> views[2];
    for (int i = 0; i < 2; ++i) {
        tsy::PictureBuffer picture;
        tsy::bench::MakeAnaglyphScene(picture, width, height, std::uint32_t(i + 1));
        views[i] = Jpeg(picture);
        if (views[i].empty()) {
            std::fprintf(stderr, "JPEG compression failed\n");
            return 1;
        }
    }
    if (!Write(dir + "/left.jpg", views[0]) || !Write(dir + "/right.jpg", views[1]) ||
        !Write(dir + "/pair.mpo", tsy::test::JoinAsMpo(views[0], views[1]))) {
        std::fprintf(stderr, "cannot write into %s\n", dir.c_str());
        return 1;
    }
    return 0;
}
