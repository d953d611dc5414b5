#pragma once

namespace tsy {

class PictureBuffer;

// Turns and mirrors a picture as the Exif orientation value (1 to 8) asks,
// so that it shows upright; other values leave it as it is. Throws
// std::bad_alloc (picture unchanged) when the memory for the copy is short.
void ApplyOrientation(PictureBuffer& picture, int orientation);

}  // namespace tsy
