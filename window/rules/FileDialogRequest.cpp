#include "window/rules/FileDialogRequest.h"

#include <cstddef>

#include "window/rules/Blanks.h"

namespace tsy {

namespace {

std::string Upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return s;
}

std::vector<std::string> Split(const std::string& s, char sep) {
    std::vector<std::string> parts;
    std::size_t from = 0;
    for (;;) {
        const std::size_t at = s.find(sep, from);
        parts.push_back(s.substr(from, at == std::string::npos ? std::string::npos : at - from));
        if (at == std::string::npos) return parts;
        from = at + 1;
    }
}

// Patterns are counted by their "|*." starts; the last one that is "*" plus
// the extension wins, 0 when none is.
int FilterIndex(const std::string& filter, const std::string& ext) {
    std::string wanted(1, '*');
    wanted += Upper(ext);
    int count = 0, index = 0;
    for (std::size_t i = 0; i < filter.size(); ++i) {
        const std::string piece = filter.substr(i, ext.size() + 2);
        if (piece.compare(0, 3, "|*.") != 0) continue;
        ++count;
        if (Upper(piece.substr(1)) == wanted) index = count;
    }
    return index;
}

// As the dialogs read their filter: pairs until a description is empty.
std::vector<FileDialogFilter> Entries(const std::string& filter) {
    std::vector<FileDialogFilter> entries;
    const std::vector<std::string> parts = Split(filter, '|');
    for (std::size_t i = 0; i + 1 < parts.size() && !parts[i].empty(); i += 2) {
        FileDialogFilter f{parts[i], {}};
        for (const std::string& mask : Split(parts[i + 1], ';')) {
            const std::string_view m = TrimBlanks<char>(mask);
            if (!m.empty()) f.patterns.emplace_back(m);
        }
        entries.push_back(std::move(f));
    }
    return entries;
}

// Cut to at most max bytes without splitting a UTF-8 character.
std::string CutUtf8(const std::string& s, std::size_t max) {
    if (s.size() <= max) return s;
    std::size_t n = max;
    while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80)
        --n;
    return s.substr(0, n);
}

}  // namespace

FileDialogRequest MakeFileDialogRequest(int mode, const std::string& name, const std::string& title,
                                        const std::string& filter) {
    FileDialogRequest r;
    if (mode != 0 && mode != 1) return r;
    r.show = true;
    r.save = mode == 1;

    const std::size_t dot = name.rfind('.');
    const std::string ext(dot == std::string::npos ? "" : TrimBlanks<char>(name.substr(dot)));
    const std::string base = dot == std::string::npos ? "" : name.substr(0, dot);
    const std::size_t slash = name.rfind('/');
    r.initialDir = slash == std::string::npos ? "" : name.substr(0, slash + 1);

    std::string f(TrimBlanks<char>(filter));
    int index = 0;
    if (!ext.empty() && !f.empty()) {
        if (f.back() != '|') {
            f += '|';
            index = FilterIndex(f, ext);
        }
    } else {
        f = Upper(ext.empty() ? "" : ext.substr(1)) + "-Datei|*" + ext + "|";
    }
    r.filters = Entries(f);
    r.selectedFilter = index >= 2 && std::size_t(index) <= r.filters.size() ? index - 1 : 0;

    if (r.save) {
        const std::size_t baseSlash = base.rfind('/');
        r.initialName =
            CutUtf8(baseSlash == std::string::npos ? base : base.substr(baseSlash + 1), 255);
    }
    r.defaultSuffix = ext.empty() ? "" : ext.substr(1);
    r.title = !title.empty() ? title : r.save ? "Datei speichern ..." : "Datei öffnen ...";
    return r;
}

}  // namespace tsy
