#include "prepare/StereoAlign.h"

#include <chrono>
#include <cmath>
#include <future>

#include "base/FixedText.h"

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

std::string FormatFixed(double value, int decimals, const std::string& decimalPoint) {
    const std::string magnitude = FixedText(std::abs(value), decimals, decimalPoint);
    // No "-0.00": a sign only where a digit shows.
    const bool zero = magnitude.find_first_not_of("0" + decimalPoint) == std::string::npos;
    return (value < 0 && !zero ? "-" : "") + magnitude;
}

std::string AlignStatusText(const AlignOutcome& o, const std::string& point) {
    std::string text;
    if (o.result.aligned) {
        const Misalignment& t = o.result.found;
        text = "Aligned: vertical " + FormatFixed(t.verticalPx, 1, point) + " px, roll " +
               FormatFixed(t.rollDeg, 2, point) + "\u00B0, scale " +
               FormatFixed(t.scale, 3, point) + ", residual " +
               FormatFixed(o.result.residualPx, 1, point) + " px";
    } else {
        text = "Could not align: " + o.result.failure;
        if (o.fromCamera && o.offsetX)
            text += "; the camera's parallax used (X-Offset " + std::to_string(*o.offsetX) + ")";
    }
    return text;
}

}  // namespace tsy
