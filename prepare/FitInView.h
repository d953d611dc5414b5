#pragma once

namespace tsy {

// Where a picture goes when it is shown in a view at the largest size that
// keeps its aspect ratio.
struct AspectFit {
    int width = 0;  // W, H: the fitted size, used for the placement
    int height = 0;
    int copyWidth = 0;   // size of the scaled copy: W or H below 1 means the
    int copyHeight = 0;  // source's own width or height
    int x = 0;           // X1 = (OW - W) div 2, Y1 = (OH - H) div 2 (toward zero)
    int y = 0;
};

// The fit, in single precision as the picture views have always computed it:
//   R = SW / SH (float);  W1 = DW, H1 = floor(DW / R);  H2 = DH, W2 = floor(DH * R)
//   (W, H) = H1 <= DH ? (W1, H1) : (W2, H2)
// DW x DH is the destination's inner size, OW x OH its outer size. A source
// with a zero side fits as 0 x 0.
AspectFit FitAspect(int srcW, int srcH, int innerW, int innerH, int outerW, int outerH);

}  // namespace tsy
