#pragma once

#include <cstdint>
#include <vector>

namespace tsy {

class PictureBuffer;

// A picture reduced to a grid of cells holding the mean colour of the pixels
// sampled in them: two rows per cell and about eight columns per cell row,
// so a 24 MP picture costs a million pixel reads, not 24 million.
struct CellGrid {
    int width = 0, height = 0;            // in cells
    std::vector<float> red, green, blue;  // 0-255, row by row
};

// Cell (i, j) covers columns [i * W / cellsX, (i + 1) * W / cellsX) and the
// rows likewise, so a grid of even size splits exactly where the picture's
// halves meet. The picture must be at least cellsX x cellsY pixels.
CellGrid ReduceToCells(const PictureBuffer& picture, int cellsX, int cellsY);

// The texture of part of a grid: brightness less its local mean, in
// quarter levels, with running sums for the mean and spread of any tile.
class Plane {
public:
    static constexpr int kTile = 16;  // side of the tiles compared, in cells

    // Cells [x0, x0 + w) x [y0, y0 + h) of the grid, less the mean of a 5 x 5
    // box about each (clamped at the plane's edges): brightness ramps and
    // shading go, so they cannot make two halves look alike. A tile within 2
    // cells of an edge keeps some of the ramp.
    Plane(const CellGrid& grid, int x0, int y0, int w, int h);

    int width() const { return w_; }
    int height() const { return h_; }
    // The standard deviation of the tile at (x, y), in levels.
    double Spread(int x, int y) const;
    // Normalised correlation of this plane's tile at (x, y) with b's at
    // (bx, by); 0 when either is flat.
    double Correlate(int x, int y, const Plane& b, int bx, int by) const;

private:
    void Sums(int x, int y, std::int64_t& sum, std::int64_t& squares) const;

    int w_, h_;
    std::vector<std::int16_t> v_;
    std::vector<std::int64_t> sum_, sq_;  // (w + 1) x (h + 1) running sums
};

}  // namespace tsy
