#pragma once

namespace tsy {

class ScreenInfo {
public:
    virtual ~ScreenInfo() = default;
    // Bits per pixel of the primary screen; 0 when it cannot be learned.
    virtual int Depth() = 0;
};

}  // namespace tsy
