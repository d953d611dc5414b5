#include "prepare/StereoAlign.h"

#include <chrono>
#include <cmath>
#include <future>


namespace tsy {

AlignOutcome AlignPair(const PictureBuffer& image1, const PictureBuffer& unaligned2,
                       PictureBuffer& image2, std::optional<double> cameraOffsetX,
                       OffsetSource source, bool resample, ProgressSink& progress, int threads) {
    AlignOutcome o;
    auto job = std::async(std::launch::async, [&] {
        o.result = MeasureAlignment(image1, unaligned2, threads);
        if (o.result.aligned && resample)
            ResampleView(unaligned2, o.result.transform, image2, threads);
    });
    while (job.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready)
        progress.LetEventsRun();
    job.get();
    const std::optional<int> camera =
        cameraOffsetX ? std::optional<int>(int(std::lround(*cameraOffsetX))) : std::nullopt;
    if (o.result.aligned && (source == OffsetSource::Window || !camera)) {
        o.offsetX = o.result.windowOffset;
    } else if (camera) {
        o.offsetX = camera;
        o.fromCamera = true;
    }
    return o;
}

}  // namespace tsy
