#pragma once

#include <string>

namespace tsy {

struct ProgramVersion {
    int major = 0;
    int minor = 0;
    int revision = 0;
};

// The version CMake's project() declares (its third number is the revision),
// so that the programs, the man pages and the package say the same.
extern const ProgramVersion kProgramVersion;

// "1.34": major, "." and the minor as two digits, then a suffix chosen by the
// revision: 1..26 a letter, 100..199 and 2000..2999 " Beta", 1000..1999
// " Alpha" (above the range start with " " and the distance appended), 255 and
// 9999 "ß". UTF-8.
std::string ProgVer(const ProgramVersion& v = kProgramVersion);

}  // namespace tsy
