#include "platform/PairLoader.h"

#include "platform/PictureLoader.h"

namespace tsy {

LoadOutcome LoadPictureFrom(const PictureSource& source, PictureBuffer& buffer) {
    LoadOutcome outcome;
    outcome.ok = source.bytes.empty()
                     ? LoadPicture(source.path, buffer, outcome.error, &outcome.warning)
                     : LoadPictureBytes(source.bytes, buffer, outcome.error, &outcome.warning);
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

LoadOutcome SecondViewLoad::Wait() {
    return job_.valid() ? job_.get() : LoadPictureFrom(source_, buffer_);
}

}  // namespace tsy
