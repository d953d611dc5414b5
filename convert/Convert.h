#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/PictureBuffer.h"
#include "base/ReplaceFile.h"
#include "convert/Recipe.h"
#include "convert/PairSource.h"
#include "prepare/DepthBudget.h"
#include "prepare/StereoAlign.h"
#include "prepare/StereoCrop.h"

namespace tsy {

// The one conversion path: the bytes of both views found (PairSource),
// decoded, split, swapped, aligned, rendered and handed to the format's writer. The batch
// runs it whole (Convert); the window runs the same steps one by one from
// its controls' events.

// Decodes both views of a source: the programs hand in the toolkit's reader
// for the formats the core does not decode itself.
class PairDecoder {
public:
    virtual ~PairDecoder() = default;
    // image2 stays without picture when the source has no second view. A
    // picture the decoder had to patch up is a failure here.
    virtual bool Decode(const PairSource& source, int threads, PictureBuffer& image1,
                        PictureBuffer& image2, std::string& error) = 0;
};

// The camera's parallax for the views as shown: the one place where the
// camera's value meets the swap. None when the file holds none.
std::optional<double> CameraOffsetX(FileBytes stereoFile, int width, bool swapped);

// The picture both views share once image 2 is moved by the offsets, where
// a stereo file written from them is cut (CropViews, CutCopies) so that the
// offsets are in its views. False with the reason when they share none.
bool SharedByOffsets(int width, int height, int offsetX, int offsetY, CropRect& shared,
                     std::string& error);

// What a conversion found, for the programs to put in words.
struct ConvertReport {
    std::vector<std::string> warnings;
    std::optional<AlignOutcome> alignment;  // when aligned
    int offsetX = 0;                        // the X offset used
    std::optional<CropRect> crop;           // of the whole picture, when cut
    std::optional<DepthBudget> depth;       // when aligned
};

// The pictures a conversion works in; kept from file to file, same-sized
// files then need no fresh memory.
struct ConvertWork {
    PictureBuffer image1, image2, result;
};

// Runs the whole path for one input and writes into out (the caller
// commits). False with the reason in error.
bool Convert(const Recipe& recipe, const std::string& input, const std::string& right,
             PairDecoder& decoder, int threads, ConvertWork& work, FileReplacer& out,
             ConvertReport& report, std::string& error);

}  // namespace tsy
