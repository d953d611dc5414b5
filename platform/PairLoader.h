#pragma once

#include <QString>
#include <cstdint>
#include <future>
#include <span>

#include "convert/Convert.h"

namespace tsy {

class PictureBuffer;

// A picture to decode: bytes already in memory when given, else the file.
struct PictureSource {
    QString path;
    std::span<const std::uint8_t> bytes;
    // The second view of a stereo file: it takes image 1's camera orientation
    // when it has none of its own, as cameras write only image 1's.
    bool secondViewOfFile = false;
    // A damaged picture fails instead of loading with a warning; its decoder
    // stops at the damage.
    bool refuseDamaged = false;
};

// How one decode went: error on failure; warning when the decoder had to
// patch up a damaged picture it still produced.
struct LoadOutcome {
    bool ok = false;
    QString error;
    QString warning;
    int orientation = 0;  // the camera orientation the picture was turned by; 0: none
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

    // image1 is how image 1 loaded, for the orientation a file's second view
    // takes from it.
    LoadOutcome Wait(const LoadOutcome& image1);

private:
    PictureSource source_;
    PictureBuffer& buffer_;
    std::future<LoadOutcome> job_;
};

// Decodes a conversion's views with this loader: the second on a thread of
// its own when there are threads for it. A picture the decoder had to patch
// up is refused: a batch must not quietly write damaged results.
class ToolkitPairDecoder final : public PairDecoder {
public:
    bool Decode(const PairSource& source, int threads, PictureBuffer& image1,
                PictureBuffer& image2, std::string& error) override;
};

}  // namespace tsy
