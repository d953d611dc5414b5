#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "input/MappedFile.h"
#include "input/PngStereo.h"
#include "prepare/LayoutDetect.h"
#include "prepare/StereoMetadata.h"

namespace tsy {

class PictureBuffer;
class ProgressSink;

using FileBytes = std::span<const std::uint8_t>;

// The one loader of stereo files, for both programs: where the two views of
// a conversion are before decoding (a stereo file's two pictures, a pair of
// files, or one picture to split), and, once decoded, the two views.
class PairSource {
public:
    // Finds the views of `input` (and of `right`, image 2, when not empty)
    // as `asked` says: a layout in one picture is split as named; Auto reads
    // the file's streams and marks, and leaves a plain picture to its pixels.
    // False with the reason in error; what the user should know about a
    // usable file goes into warnings. Progress, when given, sees the search
    // for an MPO's second view.
    bool Open(const StereoLayout& asked, const std::string& input, const std::string& right,
              std::vector<std::string>& warnings, std::string& error,
              ProgressSink* progress = nullptr);

    // Takes `right` as view 2 of an opened source, in place of any view the
    // file holds, as Open does when given it; false with the reason (the
    // path not in front), the source unchanged.
    bool TakeSecondFile(const std::string& right, std::string& error);

    FileBytes view1() const { return view1_; }
    // Empty when the views are to be split from view 1 (or it holds one).
    FileBytes view2() const { return view2_; }
    // Both views come from one file: image 2 takes image 1's orientation.
    bool oneFile() const { return oneFile_; }
    // How failures of view 2 name it: the file given for it, else "second view".
    std::string secondName() const { return right_.empty() ? "second view" : right_; }
    // The stereo file both views came from, whose camera notes may give the
    // X offset; empty otherwise.
    FileBytes stereoFile() const { return oneFile_ ? first_.bytes() : FileBytes(); }
    // The file was named as an MPO: a missing second view is its fault.
    bool mpoName() const { return mpoName_; }

    // How the decoded view 1 of a source without view 2 holds the views:
    // the layout asked for, else the file's marks, else its pixels.
    LayoutGuess Layout(const PictureBuffer& picture) const;

    // Turns decoded views into left (image1) and right (image2): splits one
    // picture as Layout() says, puts views stored right first in order and
    // scales a right view of another size where the file named both. False
    // with the reason when the file holds one view only; image 2 then holds
    // no picture and image1 is untouched. scratch takes the whole picture
    // (its allocation kept from file to file). `layout` receives what was split.
    bool MakeViews(PictureBuffer& image1, PictureBuffer& image2, PictureBuffer& scratch, int threads,
                   std::vector<std::string>& warnings, std::string& error,
                   StereoLayout* layout = nullptr) const;

private:
    // The file's own marks for a picture `width` wide.
    MetadataLayout MarksFor(int width) const;

    MappedFile first_, second_;
    FileBytes view1_, view2_;
    bool oneFile_ = false, mpoName_ = false;
    bool streamsLeftFirst_ = true, scaleSecond_ = false;
    StereoLayout asked_;
    MetadataLayout marks_;
    PngSter ster_;
    std::string right_;
};

}  // namespace tsy
