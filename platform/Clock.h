#pragma once

namespace tsy {

// Time of day, for status texts that expire.
class Clock {
public:
    virtual ~Clock() = default;
    // Seconds since local midnight, with fractions.
    virtual double SecondsSinceMidnight() = 0;
};

}  // namespace tsy
