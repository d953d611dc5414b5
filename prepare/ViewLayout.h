#pragma once

namespace tsy {

// Where the two views of a stereo picture are found.
enum class Arrangement {
    Auto,        // decided from the file: a stereo file's two pictures, or one picture
    Separate,    // two pictures: a pair of files or the two streams of one file
    SideBySide,  // next to each other in one picture
    TopBottom,   // one above the other in one picture
};

struct ViewLayout {
    Arrangement arrangement = Arrangement::Auto;
    bool rightFirst = false;  // the right view on the left (or on top)
    bool half = false;        // each view squeezed to half the width (height): stretched back

    friend bool operator==(const ViewLayout&, const ViewLayout&) = default;
};

}  // namespace tsy
