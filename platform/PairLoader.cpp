#include "platform/PairLoader.h"

#include <new>

#include "base/PictureBuffer.h"
#include "platform/PictureLoader.h"
#include "prepare/Orientation.h"

namespace tsy {

LoadOutcome LoadPictureFrom(const PictureSource& source, PictureBuffer& buffer) {
    LoadOutcome outcome;
    outcome.ok = source.bytes.empty()
                     ? LoadPicture(source.path, buffer, outcome.error, &outcome.warning,
                                   &outcome.orientation, source.refuseDamaged)
                     : LoadPictureBytes(source.bytes, buffer, outcome.error, &outcome.warning,
                                        &outcome.orientation, source.refuseDamaged);
    return outcome;
}

SecondViewLoad::SecondViewLoad(PictureSource source, PictureBuffer& buffer, bool ownThread)
    : source_(std::move(source)), buffer_(buffer) {
    if (ownThread)
        job_ = std::async(std::launch::async, [this] { return LoadPictureFrom(source_, buffer_); });
}

SecondViewLoad::~SecondViewLoad() {
    if (job_.valid()) job_.wait();
}

LoadOutcome SecondViewLoad::Wait(const LoadOutcome& image1) {
    LoadOutcome outcome = job_.valid() ? job_.get() : LoadPictureFrom(source_, buffer_);
    if (!outcome.ok || !source_.secondViewOfFile || outcome.orientation != 0) return outcome;
    try {
        ApplyOrientation(buffer_, image1.orientation);
        outcome.orientation = image1.orientation;
    } catch (const std::bad_alloc&) {
        buffer_.clear();
        outcome = {false, QStringLiteral("not enough memory"), {}, 0};
    }
    return outcome;
}

namespace {

bool Accept(const LoadOutcome& load, PictureBuffer& out, std::string& error) {
    if (!load.ok) {
        error = load.error.toStdString();
        return false;
    }
    if (!load.warning.isEmpty()) {
        out.clear();
        error = "damaged picture: " + load.warning.toStdString();
        return false;
    }
    return true;
}

}  // namespace

bool ToolkitPairDecoder::Decode(const PairSource& source, int threads, PictureBuffer& image1,
                                PictureBuffer& image2, std::string& error) {
    image2.clear();
    // Damaged pictures are refused anyway: the decoder stops at the damage.
    if (source.view2().empty())
        return Accept(LoadPictureFrom({{}, source.view1(), false, true}, image1), image1, error);
    // The views of one stereo file share image 1's camera orientation.
    SecondViewLoad load2({{}, source.view2(), source.oneFile(), true}, image2, threads >= 2);
    const LoadOutcome one = LoadPictureFrom({{}, source.view1(), false, true}, image1);
    if (!Accept(one, image1, error)) return false;
    std::string error2;
    if (Accept(load2.Wait(one), image2, error2)) return true;
    error = source.secondName() + ": " + error2;
    return false;
}

}  // namespace tsy
