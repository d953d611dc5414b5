#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "base/PictureBuffer.h"

// A fresh directory for one test, removed with everything in it afterwards.
class ScratchDir {
public:
    explicit ScratchDir(const std::string& tag = "") {
        std::string pattern = "/tmp/tsy-output-test" + tag + "-XXXXXX";
        if (::mkdtemp(pattern.data())) path_ = pattern;
    }
    ~ScratchDir() {
        std::error_code ec;
        if (!path_.empty()) std::filesystem::remove_all(path_, ec);
    }
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(path_))
            names.push_back(e.path().filename());
        return names;
    }

private:
    std::string path_;
};

inline std::vector<std::uint8_t> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteAll(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

inline std::vector<std::uint8_t> RandomBytes(std::size_t n, std::mt19937& rng,
                                             unsigned range = 256) {
    std::vector<std::uint8_t> v(n);
    for (auto& b : v)
        b = std::uint8_t(rng() % range);
    return v;
}

// A picture whose pixel (x, y) is f(x, y) as 0xXXRRGGBB.
template <class F>
tsy::PictureBuffer MakePicture(int w, int h, F f) {
    tsy::PictureBuffer b;
    auto* p = reinterpret_cast<std::uint32_t*>(b.assign(w, h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            *p++ = f(x, y);
    return b;
}
