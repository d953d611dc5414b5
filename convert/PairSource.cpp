#include "convert/PairSource.h"

#include <algorithm>
#include <initializer_list>

#include "base/FileType.h"
#include "base/PictureBuffer.h"
#include "base/Progress.h"
#include "input/JpsDescriptor.h"
#include "input/MpoReader.h"
#include "input/StereoStreams.h"
#include "prepare/AreaScale.h"

namespace tsy {

namespace {

// The reader puts the path in front of its message; the programs name the
// file already.
std::string WithoutPath(std::string message, const std::string& path) {
    if (message.rfind(path + ": ", 0) == 0) message.erase(0, path.size() + 2);
    return message;
}

bool OpenInput(const std::string& path, MappedFile& file, std::string& error) {
    if (!file.open(path, error)) {
        error = WithoutPath(error, path);
        return false;
    }
    if (file.size() == 0) {
        error = "the file is empty";
        return false;
    }
    return true;
}

bool StartsWith(FileBytes bytes, std::initializer_list<std::uint8_t> magic) {
    return bytes.size() >= magic.size() && std::equal(magic.begin(), magic.end(), bytes.begin());
}

bool IsJpeg(FileBytes bytes) {
    return StartsWith(bytes, {0xFF, 0xD8});
}

bool IsPng(FileBytes bytes) {
    return StartsWith(bytes, {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'});
}

// A stereo file's second picture, found as the window always found it (an
// MPO's index or, for the name, a scan), else as its streams show it.
FileBytes SecondPicture(const std::string& path, FileBytes file, ProgressSink& progress,
                        StereoStreams* streams) {
    const FileBytes mpo = LocateMpoImage2(path, file, progress);
    if (!mpo.empty() || !IsJpeg(file)) return mpo;
    *streams = FindStereoStreams(file);
    return streams->view2;
}

}  // namespace

bool PairSource::Open(const StereoLayout& asked, const std::string& input,
                      const std::string& right, std::vector<std::string>& warnings,
                      std::string& error, ProgressSink* progress) {
    asked_ = asked;
    if (!OpenInput(input, first_, error)) return false;
    const FileBytes file = first_.bytes();
    view1_ = file;
    mpoName_ = HasMpoName(input);
    SilentProgress quiet;
    StereoStreams streams;
    if (asked.InOnePicture()) {
        if (!SecondPicture(input, file, quiet, &streams).empty())
            warnings.push_back("the file holds two views; --layout " + LayoutName(asked) +
                               " splits the first in two, --layout auto uses both");
        return true;
    }
    if (!right.empty()) {
        if (!SecondPicture(input, file, quiet, &streams).empty())
            warnings.push_back("the file holds two views; " + right +
                               " takes the place of view 2, without --right both views are used");
        if (TakeSecondFile(right, error)) return true;
        error = right + ": " + error;
        return false;
    }
    view2_ = SecondPicture(input, file, progress ? *progress : quiet, &streams);
    warnings.insert(warnings.end(), streams.notes.begin(), streams.notes.end());
    if (!view2_.empty()) {
        oneFile_ = true;
        if (streams.kind != StreamKind::Single) view1_ = streams.view1;
        streamsLeftFirst_ = streams.leftFirst;
        scaleSecond_ = streams.sizesDiffer;
        return true;
    }
    if (IsJpeg(file))
        marks_ = LayoutFromJps(ReadJpsDescriptor(file), FileTypeOf(input) == ".jps");
    else if (IsPng(file))
        ster_ = ReadPngSter(file);
    return true;
}

bool PairSource::TakeSecondFile(const std::string& right, std::string& error) {
    if (!OpenInput(right, second_, error)) return false;
    view1_ = first_.bytes();
    view2_ = second_.bytes();
    right_ = right;
    oneFile_ = false;
    streamsLeftFirst_ = true;
    scaleSecond_ = false;
    return true;
}

LayoutGuess PairSource::Layout(const PictureBuffer& picture) const {
    if (asked_.InOnePicture()) {
        LayoutGuess asked;
        asked.pair = true;
        asked.layout = asked_;
        return asked;
    }
    return ChooseLayout(picture, MarksFor(picture.width()));
}

MetadataLayout PairSource::MarksFor(int width) const {
    return ster_.status == SterStatus::Absent ? marks_ : LayoutFromSter(ster_, width);
}

bool PairSource::MakeViews(PictureBuffer& image1, PictureBuffer& image2, PictureBuffer& scratch,
                           int threads, std::vector<std::string>& warnings, std::string& error,
                           StereoLayout* layout) const {
    if (!view2_.empty()) {
        if (!streamsLeftFirst_) image1.swap(image2);
        if (scaleSecond_ && (image2.width() != image1.width() || image2.height() != image1.height()))
            ScalePicture(image2, image1.width(), image1.height(), image2, threads);
        if (layout) *layout = {Arrangement::Separate};
        return true;
    }
    const LayoutGuess guess = Layout(image1);
    if (!guess.pair) {
        image2.clear();
        error = "one picture, no second view (" + guess.message +
                "); --right names image 2, --layout the arrangement of a stereo picture";
        return false;
    }
    // The split's views are new pictures: the whole one waits in scratch.
    scratch.swap(image1);
    const SplitResult split = SplitStereo(scratch, guess.layout, image1, image2, threads);
    if (!split.ok) {
        scratch.swap(image1);
        image2.clear();
        error = split.message;
        return false;
    }
    // A guess from the pixels may be wrong, the order always: the user is told.
    if (!asked_.InOnePicture() && MarksFor(scratch.width()).verdict == MetadataLayout::Verdict::None)
        warnings.push_back("read as " + LayoutName(guess.layout) + ": " + guess.message);
    if (!split.message.empty()) warnings.push_back(split.message);
    if (layout) *layout = guess.layout;
    return true;
}

}  // namespace tsy
