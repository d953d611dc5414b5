#pragma once

#include <QString>
#include <cstdint>
#include <future>
#include <span>

namespace tsy {

class PictureBuffer;

// A picture to decode: bytes already in memory when given, else the file.
struct PictureSource {
    QString path;
    std::span<const std::uint8_t> bytes;
};

// How one decode went: error on failure; warning when the decoder had to
// patch up a damaged picture it still produced.
struct LoadOutcome {
    bool ok = false;
    QString error;
    QString warning;
};

LoadOutcome LoadPictureFrom(const PictureSource& source, PictureBuffer& buffer);

// Image 2 of a stereo pair, decoding on a thread of its own while the caller
// decodes image 1 (or, without a thread, when asked for). The window and the
// batch program both load their pairs this way. Nothing else may touch the
// buffer until Wait() returns.
class SecondViewLoad {
public:
    SecondViewLoad(PictureSource source, PictureBuffer& buffer, bool ownThread);
    ~SecondViewLoad();
    SecondViewLoad(const SecondViewLoad&) = delete;
    SecondViewLoad& operator=(const SecondViewLoad&) = delete;

    LoadOutcome Wait();

private:
    PictureSource source_;
    PictureBuffer& buffer_;
    std::future<LoadOutcome> job_;
};

}  // namespace tsy
