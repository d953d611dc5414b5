#include "convert/Convert.h"

#include <cmath>
#include <cstdlib>
#include <new>
#include <tuple>

#include "base/Progress.h"
#include "input/CameraParallax.h"
#include "input/JpegHeaders.h"
#include "input/MpIndex.h"
#include "input/MpoReader.h"
#include "prepare/SideBySide.h"
#include "render/BlendPipeline.h"
#include "render/EngineErrors.h"

namespace tsy {

namespace {

std::string SizeText(const PictureBuffer& p) {
    return std::to_string(p.width()) + " x " + std::to_string(p.height());
}

// Engine failures arrive as error reports; the captions mean nothing here.
class QuietSink final : public ProgressSink {
public:
    void SetCap(const std::string&) override {}
    void ReportError(int number, const std::string& detail) override {
        error = EngineErrorText(EngineError(number), detail) + " (error " +
                std::to_string(number) + ")";
    }
    std::string error;
};

}  // namespace

std::optional<double> CameraOffsetX(FileBytes stereoFile, int width, bool swapped) {
    if (stereoFile.empty()) return std::nullopt;
    std::optional<double> camera = CameraOffsetX(stereoFile, width);
    if (camera && swapped) camera = -*camera;
    return camera;
}

bool SharedByOffsets(int width, int height, int offsetX, int offsetY, CropRect& shared,
                     std::string& error) {
    shared = CommonPicture(width, height, nullptr, offsetX, offsetY);
    if (shared.width > 0 && shared.height > 0) return true;
    error = "the views moved by the offsets (" + std::to_string(offsetX) + ", " +
            std::to_string(offsetY) + ") share no picture";
    return false;
}

namespace {

// Aligns image 2 (with the result as room) and picks the X offset as asked.
bool Align(const Recipe& recipe, const PairSource& source, int threads, ConvertWork& work,
           ConvertReport& report, std::string& error) {
    PictureBuffer &image1 = work.image1, &image2 = work.image2, &scratch = work.result;
    const std::optional<double> camera =
        CameraOffsetX(source.stereoFile(), image2.width(), recipe.swap());
    const bool fromCamera = recipe.offsetFrom() == OffsetFrom::Camera;
    const bool align = recipe.align() != AlignMode::Off;
    if (fromCamera && !align) {
        if (camera)
            report.offsetX = int(std::lround(*camera));
        else
            report.warnings.push_back("no camera parallax in this file; --dx 0 used");
        return true;
    }
    SilentProgress quiet;
    // Measured only: image 2 is resampled once the crop is known, and only
    // what is kept.
    const AlignOutcome a =
        AlignPair(image1, image2, scratch, camera,
                  fromCamera ? OffsetSource::Camera : OffsetSource::Window, false, quiet, threads);
    if (!a.result.aligned && recipe.align() == AlignMode::Strict) {
        error = "could not align: " + a.result.failure;
        return false;
    }
    if (recipe.offsetFrom() != OffsetFrom::Given) report.offsetX = a.offsetX.value_or(0);
    if (!a.result.aligned)
        report.warnings.push_back("could not align: " + a.result.failure +
                                  (a.fromCamera ? "; the camera's parallax used (--dx " +
                                                      std::to_string(report.offsetX) + ")"
                                                : "; left as it is"));
    else if (fromCamera && !a.fromCamera)
        report.warnings.push_back("no camera parallax in this file; the stereo window used");
    if (align && a.result.aligned) report.alignment = a;
    return true;
}

// Resamples image 2 as aligned and cuts both views to the picture both eyes
// see when the recipe asks; cut views hold the offsets, which then become 0.
void PrepareViews(const Recipe& recipe, int threads, ConvertWork& work, ConvertReport& report,
                  int& offsetX, int& offsetY) {
    PictureBuffer &image1 = work.image1, &image2 = work.image2, &scratch = work.result;
    const AlignResult* aligned = report.alignment ? &report.alignment->result : nullptr;
    const bool tried = recipe.align() != AlignMode::Off;
    CropPlan plan;
    if (recipe.crop() == CropMode::On || (recipe.crop() == CropMode::Auto && aligned)) {
        AlignResult failed;  // tells the plan the pair could not be aligned
        const AlignResult* alignment = aligned ? aligned : tried ? &failed : nullptr;
        plan = PlanCrop(image1.width(), image1.height(), alignment, offsetX, offsetY);
        if (!plan.refusal.empty()) report.warnings.push_back(plan.refusal);
    }
    bool cut = plan.cut;
    if (aligned) {
        if (!cut || !ResampleAndCrop(image1, image2, aligned->transform, plan.rect, offsetX,
                                     offsetY, scratch, threads)) {
            cut = false;
            ResampleView(image2, aligned->transform, scratch, threads);
        }
        image2.swap(scratch);
    } else if (cut) {
        cut = CropViews(image1, image2, plan.rect, offsetX, offsetY);
    }
    if (cut) {
        report.crop = plan.rect;
        offsetX = offsetY = 0;
    }
    if (!aligned) return;
    report.depth = DepthOf(*aligned, report.offsetX, image1.width());
    if (!report.depth->warning.empty()) report.warnings.push_back(report.depth->warning);
}

}  // namespace

bool Convert(const Recipe& recipe, const std::string& input, const std::string& right,
             PairDecoder& decoder, int threads, ConvertWork& work, FileReplacer& out,
             ConvertReport& report, std::string& error) {
    PairSource source;
    if (!source.Open(recipe.layout(), input, right, report.warnings, error)) return false;
    PictureBuffer &image1 = work.image1, &image2 = work.image2, &result = work.result;
    if (!decoder.Decode(source, threads, image1, image2, error)) return false;
    if (source.view2().empty() && source.mpoName() && !recipe.layout().InOnePicture()) {
        // Something that is no picture at all says so better than "no view".
        error = "no second view found in this MPO file";
        return false;
    }
    const bool separate = !source.view2().empty();
    if (!source.MakeViews(image1, image2, result, threads, report.warnings, error)) return false;
    if (separate && (image1.width() != image2.width() || image1.height() != image2.height()))
        report.warnings.push_back("the views differ in size (image 1 " + SizeText(image1) +
                                  ", image 2 " + SizeText(image2) +
                                  " pixels); image 2 is cut or filled with black to match");
    if (recipe.swap()) image1.swap(image2);
    // Split views are whole pictures now, stretched where they were squeezed.
    const int picW = image1.width(), picH = image1.height();
    SizeWorkingBuffers(image1, image2, result, picW, picH, true);
    report.offsetX = recipe.offsetX();
    if ((recipe.align() != AlignMode::Off || recipe.offsetFrom() != OffsetFrom::Given) &&
        !Align(recipe, source, threads, work, report, error))
        return false;
    // Views moved a whole picture apart no longer overlap: nothing to write.
    for (const auto& [name, offset, side] :
         {std::tuple{"--dx", report.offsetX, image1.width()},
          std::tuple{"--dy", recipe.offsetY(), image1.height()}})
        if (std::abs(offset) >= side) {
            error = std::string(name) + " " + std::to_string(offset) + " is not smaller than the " +
                    (name[3] == 'x' ? "width" : "height") + " of the picture (" +
                    std::to_string(side) + " pixels)";
            return false;
        }

    int offsetX = report.offsetX, offsetY = recipe.offsetY();
    PrepareViews(recipe, threads, work, report, offsetX, offsetY);
    const FileFormat& format = recipe.format();
    if (format.written == Written::Views) {
        CropRect shared;
        if ((offsetX != 0 || offsetY != 0) &&
            !(SharedByOffsets(image1.width(), image1.height(), offsetX, offsetY, shared, error) &&
              CropViews(image1, image2, shared, offsetX, offsetY)))
            return false;
        result = PictureBuffer();  // not needed: its memory goes to the coder
        SaveSettings save;
        save.quality = recipe.quality();
        save.threads = threads;
        const JpegHeaders headers = WalkJpegHeaders(source.view1());
        save.stereo.sourceExif = headers.exif;
        save.stereo.frameMs = recipe.frameMs();
        save.stereo.webWidth = recipe.webWidth();
        if (!source.stereoFile().empty()) {
            const MpGeometry camera = ReadMpGeometry(headers);
            save.stereo.convergenceDegrees = camera.convergenceDegrees;
            save.stereo.baselineMetres = camera.baselineMetres;
        }
        SaveInput what;
        what.left = &image1;
        what.right = &image2;
        return format.Write(what, save, out, error);
    }

    AnaglyphSettings settings;
    settings.methodNumber = recipe.MethodNumber();
    settings.brightness = recipe.brightness();
    settings.offsetX = offsetX;
    settings.offsetY = offsetY;
    // As in the window, the engine starts from a result without picture.
    result.clear();
    QuietSink sink;
    if (!BuildAnaglyph(image1, image2, result, settings, sink, threads)) {
        error = "the anaglyph could not be built: " + sink.error;
        return false;
    }
    // A PNG takes seconds to code and needs room for its RGB rows: the
    // views go back to the system, whose fresh pages then cost the next
    // file a fraction of a per cent. JPEG keeps them.
    if (format.name == "png") image1 = PictureBuffer(), image2 = PictureBuffer();
    SaveSettings save;
    save.quality = recipe.quality();
    save.threads = threads;
    SaveInput what;
    what.anaglyph = &result;
    return format.Write(what, save, out, error);
}

}  // namespace tsy
