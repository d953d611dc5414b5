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

}  // namespace tsy
