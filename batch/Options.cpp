#include "batch/Options.h"

#include <algorithm>
#include <charconv>
#include <string_view>
#include <system_error>

#include "base/AsciiCase.h"
#include "base/FixedText.h"
#include "prepare/DepthBudget.h"
#include "render/Methods.h"

namespace tsy {

namespace {

constexpr int kMaxJobs = 1024;

void Replace(std::string& text, std::string_view what, const std::string& with) {
    for (std::size_t at = 0; (at = text.find(what, at)) != std::string::npos; at += with.size())
        text.replace(at, what.size(), with);
}

// A declaration's help with its range and default filled in.
std::string HelpOf(const SettingDecl& d) {
    std::string help(d.help);
    const std::vector<std::string> names = ChoiceNames(d.id);
    Replace(help, "{min}", std::to_string(d.min));
    Replace(help, "{max}", std::to_string(d.max));
    Replace(help, "{comfort}", FixedText(kComfortableDepthPct, 1, "."));
    Replace(help, "{default}",
            names.empty() ? std::to_string(d.byDefault) : names[std::size_t(d.byDefault)]);
    return help;
}

// "\n(optimized has no amber-blue form: dubois is used)" for each pair of
// glasses that lacks a method.
std::string Lacking() {
    std::string text;
    for (const GlassesInfo& g : kGlasses)
        if (g.lacks >= 0)
            text.append("\n(")
                .append(kColourMethods[g.lacks].name)
                .append(" has no ")
                .append(g.name)
                .append(" form: ")
                .append(kColourMethods[g.instead].name)
                .append(" is used)");
    return text;
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

BatchOption RowOf(const SettingDecl& d) {
    BatchOption row;
    row.name = d.option;
    row.help = HelpOf(d);
    const Setting id = d.id;
    const std::vector<std::string> names = ChoiceNames(id);
    row.value = names.empty() ? std::string(d.valueName) : JoinedNames(names, false);
    row.takes = T::Value;
    row.apply = [id](BatchOptions& o, const std::string& v) { return ParseSetting(id, v, o.recipe); };
    if (id == Setting::Glasses) row.help += Lacking();
    if (id == Setting::Format) row.value = d.valueName;
    if (id == Setting::Layout) {
        row.value = d.valueName;
        for (const LayoutInfo& l : Layouts())
            row.help.append("\n  ").append(l.name).append(std::string(13 - l.name.size(), ' ')).append(l.help);
    }
    if (id == Setting::Swap) {
        row.takes = T::Nothing;
        row.apply = [](BatchOptions& o, const std::string&) {
            o.recipe.Set(Setting::Swap, 1);
            return std::string();
        };
    }
    if (id == Setting::Crop) {
        row.takes = T::Nothing;
        row.apply = [](BatchOptions& o, const std::string&) {
            o.recipe.Set(Setting::Crop, int(CropMode::On));
            return std::string();
        };
    }
    if (id == Setting::Align) {
        row.value = d.valueName;
        row.takes = T::OptionalValue;
        row.apply = [](BatchOptions& o, const std::string& v) {
            if (!v.empty() && !SameIgnoringCase(v, "strict")) return std::string("nothing or strict");
            o.recipe.Set(Setting::Align, int(v.empty() ? AlignMode::On : AlignMode::Strict));
            return std::string();
        };
    }
    return row;
}

// Spellings the command line had before layouts were named.
void AddLayoutShortcuts(std::vector<BatchOption>& rows) {
    rows.push_back({.name = "--sbs",
                    .help = "each FILE holds both views side by side (--layout sbs-lr-half)",
                    .apply = [](BatchOptions& o, const std::string&) {
                        return ParseSetting(Setting::Layout, "sbs-lr-half", o.recipe);
                    }});
    rows.push_back({.name = "--no-stretch",
                    .help = "with --sbs: keep each view at half the width (--layout sbs-lr)",
                    // Read once all options are: it changes what --sbs chose.
                    .apply = [](BatchOptions&, const std::string&) { return std::string(); }});
    rows.push_back({.name = "--right",
                    .value = "FILE",
                    .takes = T::Value,
                    .help = "image 2 for the one FILE given",
                    .apply = Text(&BatchOptions::right, "a file"),
                    .once = true});
}

std::vector<BatchOption> MakeTable() {
    std::vector<BatchOption> rows;
    for (const SettingDecl& d : Declarations()) {
        if (d.option.empty()) continue;
        rows.push_back(RowOf(d));
        if (d.id == Setting::Layout) AddLayoutShortcuts(rows);
        if (d.id == Setting::Crop)
            rows.push_back({.name = "--no-crop",
                            .help = "keep the whole picture, edges with one view only included",
                            .apply = [](BatchOptions& o, const std::string&) {
                                o.recipe.Set(Setting::Crop, int(CropMode::Off));
                                return std::string();
                            }});
    }
    rows.push_back({.name = "--out",
                    .value = "DIR",
                    .takes = T::Value,
                    .help = "write into DIR (made if missing), not beside each input",
                    .apply = Text(&BatchOptions::outDir, "a folder")});
    rows.push_back({.name = "--jobs",
                    .value = "N",
                    .takes = T::Value,
                    .help = "convert up to N files at once (default: one per core);\n"
                            "a file waits while the others hold the memory it needs\n"
                            "(about 16 bytes a pixel as its header tells: 0.8 GB at\n"
                            "48 megapixels), so the run never takes more than was\n"
                            "available (MemAvailable) at its start; a file that needs\n"
                            "more than that fails before it is read",
                    .apply = [](BatchOptions& o, const std::string& v) {
                        int n = 0;
                        const auto [p, ec] = std::from_chars(v.data(), v.data() + v.size(), n);
                        if (v.empty() || ec != std::errc() || p != v.data() + v.size() || n < 1 ||
                            n > kMaxJobs)
                            return std::string("a number from 1 to 1024");
                        o.jobs = n;
                        return std::string();
                    }});
    rows.push_back({.name = "--overwrite",
                    .help = "replace existing output files",
                    .apply = Flag(&BatchOptions::overwrite, true)});
    rows.push_back({.name = "--skip-existing",
                    .help = "count an existing output as done (to resume a stopped run)",
                    .apply = Flag(&BatchOptions::skipExisting, true)});
    rows.push_back(
        {.name = "--help", .alias = "-h", .help = "show this help", .command = BatchCommand::Help});
    rows.push_back(
        {.name = "--version", .help = "show the version", .command = BatchCommand::Version});
    return rows;
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
        if (const std::string wanted = row->apply(o, value); !wanted.empty())
            return UsageError(message, arg + " wants " + wanted + ", not \"" + value + "\"");
    }

    const auto given = [&seen](std::string_view name) {
        return std::any_of(seen.begin(), seen.end(),
                           [name](const BatchOption* r) { return r->name == name; });
    };
    Recipe& r = o.recipe;
    if (r.GiveMethodToGlasses())
        o.notes.push_back(std::string(kColourMethods[kGlasses[r.glasses()].lacks].name) +
                          " has no " + kGlasses[r.glasses()].name + " form; " +
                          kColourMethods[r.method()].name + " is used");
    if (r.align() != AlignMode::Off && !given("--dx"))
        r.Set(Setting::OffsetFrom, int(OffsetFrom::Window));
    if (o.files.empty()) return UsageError(message, "no input files");
    if (!o.right.empty() && r.layout().InOnePicture())
        return UsageError(message, "--right and --layout " + LayoutName(r.layout()) +
                                       " exclude each other: a stereo picture holds both views");
    if (!o.right.empty() && o.files.size() != 1)
        return UsageError(message, "--right pairs one file with one image 2, but " +
                                       std::to_string(o.files.size()) + " files were given");
    if (o.overwrite && o.skipExisting)
        return UsageError(message, "--overwrite and --skip-existing exclude each other");
    if (given("--no-stretch")) {
        if (r.layout() != LayoutByName("sbs-lr-half")->layout)
            return UsageError(message,
                              "--no-stretch applies to side-by-side pictures only (--sbs)");
        ParseSetting(Setting::Layout, "sbs-lr", r);
    }
    options = std::move(o);
    return BatchCommand::Run;
}

}  // namespace tsy
