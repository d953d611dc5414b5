#include "base/ProgVer.h"

namespace tsy {

const ProgramVersion kProgramVersion{TSY_VERSION_MAJOR, TSY_VERSION_MINOR, TSY_VERSION_PATCH};

namespace {

std::string Numbered(const char* word, int revision, int base) {
    std::string s = word;
    if (revision > base) s.append(" ").append(std::to_string(revision - base));
    return s;
}

}  // namespace

std::string ProgVer(const ProgramVersion& v) {
    std::string minor = std::to_string(v.minor);
    minor.insert(0, "00");
    std::string text = std::to_string(v.major);
    text.append(".").append(minor, minor.size() - 2, 2);
    const int r = v.revision;
    if (r >= 1 && r <= 26) {
        text += char('a' + r - 1);
    } else if (r >= 100 && r <= 199) {
        text += Numbered(" Beta", r, 100);
    } else if (r >= 1000 && r <= 1999) {
        text += Numbered(" Alpha", r, 1000);
    } else if (r >= 2000 && r <= 2999) {
        text += Numbered(" Beta", r, 2000);
    } else if (r == 255 || r == 9999) {
        text += "\xC3\x9F";  // U+00DF
    }
    return text;
}

}  // namespace tsy
