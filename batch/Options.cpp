#include "batch/Options.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <string_view>
#include <system_error>

#include "output/SaveFormats.h"
#include "render/BlendPipeline.h"
#include "render/Methods.h"

namespace tsy {

namespace {

constexpr int kMaxJobs = 1024;

bool ParseInt(std::string text, int lo, int hi, int& value) {
    if (!text.empty() && text[0] == '+') text.erase(0, 1);
    int v = 0;
    const char* end = text.data() + text.size();
    const auto [p, ec] = std::from_chars(text.data(), end, v);
    if (text.empty() || ec != std::errc() || p != end || v < lo || v > hi) return false;
    value = v;
    return true;
}

int IndexOf(const std::vector<std::string>& names, const std::string& text) {
    for (std::size_t i = 0; i < names.size(); ++i)
        if (text == names[i]) return int(i);
    return -1;
}

// "a|b|c" for the help, "a, b or c" for a refusal.
std::string Joined(const std::vector<std::string>& names, bool prose) {
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) text += !prose ? "|" : i + 1 == names.size() ? " or " : ", ";
        text += names[i];
    }
    return text;
}

template <class Row, std::size_t N>
std::vector<std::string> NamesOf(const Row (&rows)[N]) {
    std::vector<std::string> names;
    for (const Row& row : rows)
        names.emplace_back(row.name);
    return names;
}

// "\n(optimized has no amber-blue form)" for each pair of glasses that lacks a method.
std::string Lacking() {
    std::string text;
    for (const GlassesInfo& g : kGlasses)
        if (g.lacks >= 0)
            text.append("\n(")
                .append(kColourMethods[g.lacks].name)
                .append(" has no ")
                .append(g.name)
                .append(" form)");
    return text;
}

std::vector<std::string> FormatNames() {
    std::vector<std::string> names;
    for (const SaveFormat& f : SaveFormats())
        names.emplace_back(f.name);
    return names;
}

// A whole number in [lo, hi] into field.
auto Number(int BatchOptions::*field, int lo, int hi, std::string wanted) {
    return [=](BatchOptions& o, const std::string& v) {
        return ParseInt(v, lo, hi, o.*field) ? std::string() : wanted;
    };
}

auto Choice(int BatchOptions::*field, const std::vector<std::string>& names) {
    return [=](BatchOptions& o, const std::string& v) {
        const int i = IndexOf(names, v);
        if (i < 0) return Joined(names, true);
        o.*field = i;
        return std::string();
    };
}

auto Flag(bool BatchOptions::*field, bool value) {
    return [=](BatchOptions& o, const std::string&) {
        o.*field = value;
        return std::string();
    };
}

auto Text(std::string BatchOptions::*field, std::string wanted) {
    return [=](BatchOptions& o, const std::string& v) {
        if (v.empty()) return wanted;
        o.*field = v;
        return std::string();
    };
}

using T = BatchOption::Takes;

std::vector<BatchOption> MakeTable() {
    const std::string offset = "a whole number of pixels from -32767 to 32767";
    const std::vector<std::string> formats = FormatNames();
    const std::vector<std::string> methods = NamesOf(kColourMethods), glasses = NamesOf(kGlasses);
    const BatchOptions defaults;
    return {
        {.name = "--method",
         .value = Joined(methods, false),
         .takes = T::Value,
         .help =
             std::string("colour method (default ") + kColourMethods[defaults.method].name + ")",
         .apply = Choice(&BatchOptions::method, methods)},
        {.name = "--glasses",
         .value = Joined(glasses, false),
         .takes = T::Value,
         .help =
             std::string("glasses (default ") + kGlasses[defaults.glasses].name + ")" + Lacking(),
         .apply = Choice(&BatchOptions::glasses, glasses)},
        {.name = "--brightness",
         .value = "N",
         .takes = T::Value,
         .help = "-128 to 128 (default 0)",
         .apply = Number(&BatchOptions::brightness, -128, 128, "a whole number from -128 to 128")},
        {.name = "--dx",
         .value = "N",
         .takes = T::Value,
         .help = "horizontal offset between the views in pixels,\n"
                 "as the window's X box shows it (default 0); auto: the stereo\n"
                 "window, the nearest point at the screen; camera: the\n"
                 "parallax the camera stored in the MPO file",
         .apply =
             [offset](BatchOptions& o, const std::string& v) {
                 if (v == "auto" || v == "camera") {
                     o.dxFrom = v == "auto" ? BatchOptions::Dx::Auto : BatchOptions::Dx::Camera;
                     return std::string();
                 }
                 o.dxFrom = BatchOptions::Dx::Given;
                 return Number(&BatchOptions::dx, -kMaxOffset, kMaxOffset,
                               offset + ", auto or camera")(o, v);
             }},
        {.name = "--dy",
         .value = "N",
         .takes = T::Value,
         .help = "vertical offset, as the window's Y box shows it (default 0)",
         .apply = Number(&BatchOptions::dy, -kMaxOffset, kMaxOffset, offset)},
        {.name = "--align",
         .value = "strict",
         .takes = T::OptionalValue,
         .help = "align image 2 with image 1 (height, tilt, size) and print\n"
                 "\"aligned FILE: vertical V px, roll A deg, scale S, window X\n"
                 "px, residual E px, inliers N\" on standard output; --dx\n"
                 "defaults to auto. A file that cannot be aligned is\n"
                 "converted unaligned with a warning, or fails with strict",
         .apply =
             [](BatchOptions& o, const std::string& v) {
                 if (!v.empty() && v != "strict") return std::string("nothing or strict");
                 o.align = true;
                 o.alignStrict = v == "strict";
                 return std::string();
             }},
        {.name = "--swap",
         .help = "exchange the left and right views",
         .apply = Flag(&BatchOptions::swap, true)},
        {.name = "--sbs",
         .help = "each FILE holds both views side by side",
         .apply = Flag(&BatchOptions::sideBySide, true)},
        {.name = "--no-stretch",
         .help = "with --sbs: keep each view at half the width",
         .apply = Flag(&BatchOptions::stretch, false)},
        {.name = "--right",
         .value = "FILE",
         .takes = T::Value,
         .help = "image 2 for the one FILE given",
         .apply = Text(&BatchOptions::right, "a file"),
         .once = true,
         .path = true},
        {.name = "--format",
         .value = Joined(formats, false),
         .takes = T::Value,
         .help = "output format (default jpg)",
         .apply =
             [formats](BatchOptions& o, const std::string& v) {
                 const std::string name = v == "jpeg" ? "jpg" : v;
                 if (!SaveFormatByName(name)) return Joined(formats, true);
                 o.format = name;
                 return std::string();
             }},
        {.name = "--quality",
         .value = "Q",
         .takes = T::Value,
         .help = "JPEG quality, 1 to 100 (default 95)",
         .apply = Number(&BatchOptions::quality, 1, 100, "a whole number from 1 to 100")},
        {.name = "--out",
         .value = "DIR",
         .takes = T::Value,
         .help = "write into DIR (made if missing), not beside each input",
         .apply = Text(&BatchOptions::outDir, "a folder"),
         .path = true},
        {.name = "--jobs",
         .value = "N",
         .takes = T::Value,
         .help = "convert up to N files at once (default: one per core);\n"
                 "a file waits while the others hold the memory it needs\n"
                 "(about 16 bytes a pixel as its header tells: 0.8 GB at\n"
                 "48 megapixels), so the run never takes more than was\n"
                 "available (MemAvailable) at its start; a file that needs\n"
                 "more than that fails before it is read",
         .apply = Number(&BatchOptions::jobs, 1, kMaxJobs, "a number from 1 to 1024")},
        {.name = "--overwrite",
         .help = "replace existing output files",
         .apply = Flag(&BatchOptions::overwrite, true)},
        {.name = "--skip-existing",
         .help = "count an existing output as done (to resume a stopped run)",
         .apply = Flag(&BatchOptions::skipExisting, true)},
        {.name = "--help", .alias = "-h", .help = "show this help", .command = BatchCommand::Help},
        {.name = "--version", .help = "show the version", .command = BatchCommand::Version},
    };
}

const BatchOption* Find(const std::string& arg) {
    for (const BatchOption& row : BatchOptionTable())
        if (arg == row.name || (!row.alias.empty() && arg == row.alias)) return &row;
    return nullptr;
}

BatchCommand UsageError(std::string& message, std::string text) {
    message = std::move(text);
    return BatchCommand::UsageError;
}

}  // namespace

const std::vector<BatchOption>& BatchOptionTable() {
    static const std::vector<BatchOption> table = MakeTable();
    return table;
}

BatchCommand ParseBatchArguments(const std::vector<std::string>& args, BatchOptions& options,
                                 std::string& message) {
    BatchOptions o;
    bool onlyFiles = false;
    std::vector<const BatchOption*> seen;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        if (onlyFiles || arg.size() < 2 || arg[0] != '-') {
            o.files.push_back(arg);
            continue;
        }
        if (arg == "--") {
            onlyFiles = true;
            continue;
        }
        // "--name value" or "--name=value".
        std::string value;
        const std::size_t eq = arg.find('=');
        const bool hasValue = arg.rfind("--", 0) == 0 && eq != std::string::npos;
        if (hasValue) {
            value = arg.substr(eq + 1);
            arg.erase(eq);
        }
        const BatchOption* row = Find(arg);
        if (!row || (hasValue && row->takes == T::Nothing))
            return UsageError(message, "unknown option " + args[i]);
        if (row->command != BatchCommand::Run) return row->command;
        if (row->takes == T::Value && !hasValue) {
            if (i + 1 >= args.size()) return UsageError(message, arg + " needs a value");
            value = args[++i];
        }
        if (row->once && std::find(seen.begin(), seen.end(), row) != seen.end())
            return UsageError(message, arg + " may be given once only");
        seen.push_back(row);
        // Names of methods, glasses and formats count in any case.
        const std::string given = value;
        if (!row->path)
            for (char& c : value)
                c = char(std::tolower(static_cast<unsigned char>(c)));
        if (const std::string wanted = row->apply(o, value); !wanted.empty())
            return UsageError(message, arg + " wants " + wanted + ", not \"" + given + "\"");
    }

    if (MethodNumberFor(o.glasses, o.method) == 0)
        return UsageError(message, std::string("--method ") + kColourMethods[o.method].name +
                                       " has no " + kGlasses[o.glasses].name + " form");
    const bool dxGiven = std::any_of(seen.begin(), seen.end(),
                                     [](const BatchOption* r) { return r->name == "--dx"; });
    if (o.align && !dxGiven) o.dxFrom = BatchOptions::Dx::Auto;
    if (o.files.empty()) return UsageError(message, "no input files");
    if (!o.right.empty() && o.sideBySide)
        return UsageError(message,
                          "--right and --sbs exclude each other: a side-by-side picture holds "
                          "both views");
    if (!o.right.empty() && o.files.size() != 1)
        return UsageError(message, "--right pairs one file with one image 2, but " +
                                       std::to_string(o.files.size()) + " files were given");
    if (o.overwrite && o.skipExisting)
        return UsageError(message, "--overwrite and --skip-existing exclude each other");
    if (!o.stretch && !o.sideBySide)
        return UsageError(message, "--no-stretch applies to side-by-side pictures only (--sbs)");
    options = std::move(o);
    return BatchCommand::Run;
}

}  // namespace tsy
