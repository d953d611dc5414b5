#pragma once

namespace tsy {

class PictureBuffer;
class PictureView;

// Shows a picture in a view at the largest size that keeps its aspect ratio,
// centred; above and left of it the view's colour at (0, 0) before the call,
// below and right of it what the view showed (its back colour once cleared).
// The copy is an area-averaged reduction, made again only when the picture
// or the size changed. False, with the view left as it was, when the copy
// cannot be made (memory).
bool PicAspectCopy(const PictureBuffer& source, PictureView& destination, float scale = 1.0f);

}  // namespace tsy
