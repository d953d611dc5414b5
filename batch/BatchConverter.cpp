#include "batch/BatchConverter.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <future>
#include <map>
#include <mutex>
#include <new>
#include <optional>
#include <ostream>
#include <span>
#include <system_error>
#include <thread>
#include <utility>

#include "base/Exists.h"
#include "base/FixedText.h"
#include "base/PictureBuffer.h"
#include "base/ProgVer.h"
#include "base/Progress.h"
#include "base/ReplaceFile.h"
#include "base/WorkerPool.h"
#include "input/BmpReader.h"
#include "input/CameraParallax.h"
#include "input/MappedFile.h"
#include "input/MpoReader.h"
#include "output/BmpWriter.h"
#include "output/JpegWriter.h"
#include "output/PngOptimiser.h"
#include "output/SaveName.h"
#include "platform/PairLoader.h"
#include "prepare/SideBySide.h"
#include "prepare/StereoAlign.h"
#include "render/BlendPipeline.h"

namespace tsy {

namespace fs = std::filesystem;
using Bytes = std::span<const std::uint8_t>;
using Clock = std::chrono::steady_clock;

namespace {

constexpr const char* kProgram = "tessaly-batch";
constexpr int kMaxJobs = 1024;

// "a|b|c" with sep "|", "a, b or c" with sep ", "; each one in quote.
template <class Row, std::size_t N>
std::string NamesOf(const Row (&rows)[N], const char* sep, const char* Row::*field = &Row::name,
                    const char* quote = "") {
    std::string text;
    for (std::size_t i = 0; i < N; ++i) {
        if (i > 0) text += i + 1 < N || sep[0] == '|' ? sep : " or ";
        text.append(quote).append(rows[i].*field).append(quote);
    }
    return text;
}

bool ParseInt(std::string text, int lo, int hi, int& value) {
    if (!text.empty() && text[0] == '+') text.erase(0, 1);
    int v = 0;
    const char* end = text.data() + text.size();
    const auto [p, ec] = std::from_chars(text.data(), end, v);
    if (text.empty() || ec != std::errc() || p != end || v < lo || v > hi) return false;
    value = v;
    return true;
}

template <std::size_t N>
int IndexOf(const char* const (&names)[N], const std::string& text) {
    for (std::size_t i = 0; i < N; ++i)
        if (text == names[i]) return int(i);
    return -1;
}

// Seconds with two decimals and a point whatever the locale: log lines are
// read by scripts as often as by people.
std::string Seconds(double s) {
    return FixedText(s, 2);
}

std::string Clockface(double seconds) {
    const auto total = std::int64_t(std::max(0.0, seconds) + 0.5);
    const std::int64_t h = total / 3600, m = total / 60 % 60, s = total % 60;
    // Not "0" + to_string(v): GCC 12 warns falsely about that at -O3.
    auto two = [](std::int64_t v) {
        char text[8];
        std::snprintf(text, sizeof text, "%02d", int(v));
        return std::string(text);
    };
    return h > 0 ? std::to_string(h) + ":" + two(m) + ":" + two(s)
                 : std::to_string(m) + ":" + two(s);
}

// The loaders put the path in front of their message; the report names the
// file already.
std::string WithoutPath(std::string message, const std::string& path) {
    if (message.rfind(path + ": ", 0) == 0) message.erase(0, path.size() + 2);
    return message;
}

// Engine failures arrive as error reports; the captions mean nothing here.
class QuietSink final : public ProgressSink {
public:
    void SetCap(const std::string&) override {}
    void ReportError(int number, const std::string& message) override {
        error = message + " (error " + std::to_string(number) + ")";
    }
    std::string error;
};

// A picture the decoder had to patch up is refused: a batch must not quietly
// write damaged results.
bool Accept(const LoadOutcome& load, PictureBuffer& out, std::string& error) {
    if (!load.ok) {
        error = load.error.toStdString();
        return false;
    }
    if (!load.warning.isEmpty()) {
        out.clear();
        error = "damaged picture: " + load.warning.toStdString();
        return false;
    }
    return true;
}

bool Decode(Bytes bytes, PictureBuffer& out, std::string& error) {
    return Accept(LoadPictureFrom({{}, bytes}, out), out, error);
}

// Both views, the second on its own thread when there is a core for it.
bool DecodePair(Bytes first, Bytes second, PictureBuffer& image1, PictureBuffer& image2,
                const std::string& secondName, bool oneFile, bool parallel, std::string& error) {
    // The views of one stereo file share image 1's camera orientation.
    SecondViewLoad load2({{}, second, oneFile}, image2, parallel);
    const LoadOutcome one = LoadPictureFrom({{}, first}, image1);
    if (!Accept(one, image1, error)) return false;
    std::string error2;
    if (Accept(load2.Wait(one), image2, error2)) return true;
    error = secondName + ": " + error2;
    return false;
}

bool OpenInput(const std::string& path, MappedFile& file, std::string& error) {
    if (!file.open(path, error)) {
        error = WithoutPath(error, path);
        return false;
    }
    if (file.size() == 0) {
        error = "the file is empty";
        return false;
    }
    return true;
}

// The result as the three-byte rows the PNG coder takes: what the window's
// optimiser reads back from the temporary BMP it is given.
RgbImage RgbOf(const PictureBuffer& picture) {
    RgbImage image{picture.width(), picture.height(), {}};
    image.rgb.resize(std::size_t(image.width) * std::size_t(image.height) * 3);
    std::uint8_t* out = image.rgb.data();
    for (int y = 0; y < image.height; ++y) {
        const std::uint8_t* p = picture.row(y);
        for (int x = 0; x < image.width; ++x, p += 4, out += 3) {
            out[0] = p[2];
            out[1] = p[1];
            out[2] = p[0];
        }
    }
    return image;
}

// The bar (on a terminal) or one line per file, and the summary. Called from
// every worker, so everything happens under one lock.
class Reporter {
public:
    Reporter(std::ostream& log, bool terminal, int width, int total)
        : log_(log),
          terminal_(terminal),
          width_(std::max(width, 30)),
          total_(total),
          start_(Clock::now()) {}

    void Started(const std::string& input) {
        std::lock_guard lock(mutex_);
        current_ = fs::path(input).filename().string();
        Draw();
    }

    void Finished(const FileOutcome& o) {
        std::lock_guard lock(mutex_);
        ++done_;
        if (!o.ok()) ++failed_;
        if (!o.warning.empty()) {
            if (terminal_) log_ << "\r\033[K";
            log_ << "warning " << o.input << ": " << o.warning << "\n";
        }
        if (terminal_) {
            // Failures stay on screen above the bar; successes only move it.
            if (!o.ok()) {
                log_ << "\r\033[K";
                Line(o);
            }
            Draw();
        } else {
            Line(o);
        }
        log_.flush();
    }

    void Tick() {
        std::lock_guard lock(mutex_);
        Draw();
    }

    void Summary() {
        std::lock_guard lock(mutex_);
        if (terminal_) log_ << "\r\033[K";
        const double seconds = Elapsed();
        log_ << kProgram << ": ";
        if (failed_ == 0)
            log_ << done_ << (done_ == 1 ? " file" : " files") << " converted";
        else
            log_ << done_ - failed_ << " of " << done_ << " files converted, " << failed_
                 << " failed";
        log_ << " (" << Seconds(seconds) << " s)\n";
        log_.flush();
    }

private:
    double Elapsed() const { return std::chrono::duration<double>(Clock::now() - start_).count(); }

    void Line(const FileOutcome& o) {
        if (o.ok())
            log_ << "ok      " << o.input << " -> " << o.output;
        else
            log_ << "FAILED  " << o.input << ": " << o.error;
        log_ << " (" << Seconds(o.seconds) << " s)\n";
    }

    void Draw() {
        if (!terminal_) return;
        constexpr int kBar = 20;
        const int filled = total_ > 0 ? done_ * kBar / total_ : kBar;
        std::string bar = "[" + std::string(std::size_t(filled), '#') +
                          std::string(std::size_t(kBar - filled), '-') + "] ";
        bar += std::to_string(done_) + "/" + std::to_string(total_) + "  ";
        std::string left = "  ";
        if (done_ == 0)
            left += "estimating";
        else
            left += Clockface(Elapsed() / done_ * (total_ - done_)) + " left";
        // The name gives way when the line would wrap.
        const int room = width_ - 1 - int(bar.size()) - int(left.size());
        std::string name = current_;
        if (room < 4)
            name.clear();
        else if (int(name.size()) > room) {
            std::size_t from = name.size() - std::size_t(room - 3);
            while (from < name.size() && (name[from] & 0xC0) == 0x80)
                ++from;  // not inside a UTF-8 character
            name = "..." + name.substr(from);
        }
        log_ << "\r\033[K" << bar << name << left;
        log_.flush();
    }

    std::mutex mutex_;
    std::ostream& log_;
    const bool terminal_;
    const int width_;
    const int total_;
    const Clock::time_point start_;
    int done_ = 0;
    int failed_ = 0;
    std::string current_;
};

}  // namespace

BatchCommand ParseBatchArguments(const std::vector<std::string>& args, BatchOptions& options,
                                 std::string& message) {
    BatchOptions o;
    bool onlyFiles = false;
    bool dxGiven = false;
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
        if (arg == "-h" || arg == "--help") return BatchCommand::Help;
        if (arg == "--version") return BatchCommand::Version;
        if (arg == "--swap") {
            o.swap = true;
            continue;
        }
        if (arg == "--sbs") {
            o.sideBySide = true;
            continue;
        }
        if (arg == "--no-stretch") {
            o.stretch = false;
            continue;
        }
        if (arg == "--overwrite") {
            o.overwrite = true;
            continue;
        }
        if (arg == "--align" || arg == "--align=strict") {
            o.align = true;
            o.alignStrict = arg != "--align";
            continue;
        }

        // Options with a value: "--name value" or "--name=value".
        std::string value;
        const std::size_t eq = arg.find('=');
        bool hasValue = false;
        if (arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = arg.substr(eq + 1);
            arg.erase(eq);
            hasValue = true;
        }
        static const char* const kWithValue[] = {"--method", "--glasses", "--brightness", "--dx",
                                                 "--dy",     "--format",  "--quality",    "--out",
                                                 "--jobs",   "--right"};
        if (IndexOf(kWithValue, arg) < 0) {
            message = "unknown option " + args[i];
            return BatchCommand::UsageError;
        }
        if (!hasValue) {
            if (i + 1 >= args.size()) {
                message = arg + " needs a value";
                return BatchCommand::UsageError;
            }
            value = args[++i];
        }
        auto bad = [&](const std::string& wanted) {
            message = arg + " wants " + wanted + ", not \"" + value + "\"";
            return BatchCommand::UsageError;
        };
        dxGiven = dxGiven || arg == "--dx";
        if (arg == "--method") {
            if ((o.method = IndexByName(kColourMethods, value)) < 0)
                return bad(NamesOf(kColourMethods, ", "));
        } else if (arg == "--glasses") {
            if ((o.glasses = IndexByName(kGlasses, value)) < 0) return bad(NamesOf(kGlasses, ", "));
        } else if (arg == "--brightness") {
            if (!ParseInt(value, -128, 128, o.brightness))
                return bad("a whole number from -128 to 128");
        } else if (arg == "--dx" && (value == "auto" || value == "camera")) {
            o.dxFrom = value == "auto" ? BatchOptions::Dx::Auto : BatchOptions::Dx::Camera;
        } else if (arg == "--dx" || arg == "--dy") {
            if (arg == "--dx") o.dxFrom = BatchOptions::Dx::Given;
            if (!ParseInt(value, -kMaxOffset, kMaxOffset, arg == "--dx" ? o.dx : o.dy))
                return bad("a whole number of pixels from -32767 to 32767");
        } else if (arg == "--format") {
            if (value == "jpeg") value = "jpg";
            if (value != "jpg" && value != "png" && value != "bmp") return bad("jpg, png or bmp");
            o.format = value;
        } else if (arg == "--quality") {
            if (!ParseInt(value, 1, 100, o.quality)) return bad("a whole number from 1 to 100");
        } else if (arg == "--jobs") {
            if (!ParseInt(value, 1, kMaxJobs, o.jobs)) return bad("a number from 1 to 1024");
        } else if (arg == "--out") {
            if (value.empty()) return bad("a folder");
            o.outDir = value;
        } else if (arg == "--right") {
            if (value.empty()) return bad("a file");
            o.right = value;
        }
    }

    if (MethodNumberFor(o.glasses, o.method) == 0) {
        message = std::string("--method ") + kColourMethods[o.method].name + " has no " +
                  kGlasses[o.glasses].name + " form";
        return BatchCommand::UsageError;
    }
    if (o.align && !dxGiven) o.dxFrom = BatchOptions::Dx::Auto;
    if (o.files.empty()) {
        message = "no input files";
        return BatchCommand::UsageError;
    }
    if (!o.right.empty() && o.sideBySide) {
        message = "--right and --sbs exclude each other: a side-by-side picture holds both views";
        return BatchCommand::UsageError;
    }
    if (!o.right.empty() && o.files.size() != 1) {
        message = "--right pairs one file with one image 2, but " + std::to_string(o.files.size()) +
                  " files were given";
        return BatchCommand::UsageError;
    }
    if (!o.stretch && !o.sideBySide) {
        message = "--no-stretch applies to side-by-side pictures only (--sbs)";
        return BatchCommand::UsageError;
    }
    options = std::move(o);
    return BatchCommand::Run;
}

std::string BatchUsage() {
    const BatchOptions defaults;
    std::string method = "  --method " + NamesOf(kColourMethods, "|");
    std::string glasses = "  --glasses " + NamesOf(kGlasses, "|");
    const std::size_t column = std::max(method.size(), glasses.size()) + 2;
    method.resize(column, ' ');
    glasses.resize(column, ' ');
    std::string lacking;
    for (const GlassesInfo& g : kGlasses)
        if (g.lacks >= 0)
            lacking += std::string(column, ' ') + "(" + kColourMethods[g.lacks].name + " has no " +
                       g.name + " form)\n";
    return "Usage: tessaly-batch [options] FILE...\n"
           "Turns stereo pictures into anaglyphs, as the Tessaly window does.\n"
           "\n"
           "Each FILE is a stereo file from a camera (an MPO, or a JPEG whose index holds\n"
           "a second view; both views are read from it) or, with --sbs, a side-by-side\n"
           "picture. --right pairs one FILE (image 1, left eye) with a second picture\n"
           "(image 2, right eye). JPEG, MPO, PNG, BMP, GIF, TIFF and WebP are read;\n"
           "pictures are turned upright as their camera orientation asks.\n"
           "\n"
           "Options:\n" +
           method + "colour method (default " + kColourMethods[defaults.method].name + ")\n" +
           glasses + "glasses (default " + kGlasses[defaults.glasses].name + ")\n" + lacking +
           "  --brightness N    -128 to 128 (default 0)\n"
           "  --dx N, --dy N    horizontal and vertical offset between the views in pixels,\n"
           "                    as the window's X and Y boxes show them (default 0)\n"
           "  --dx auto         the stereo window: the nearest point at the screen\n"
           "  --dx camera       the parallax the camera stored in the MPO file\n"
           "  --align[=strict]  align image 2 with image 1 (height, tilt, size) and print\n"
           "                    \"aligned FILE: vertical V px, roll A deg, scale S, window X px,\n"
           "                    residual E px, inliers N\" on standard output; --dx defaults\n"
           "                    to auto. A file that cannot be aligned is converted\n"
           "                    unaligned with a warning, or fails with strict\n"
           "  --swap            exchange the left and right views\n"
           "  --sbs             each FILE holds both views side by side\n"
           "  --no-stretch      with --sbs: keep each view at half the width\n"
           "  --right FILE      image 2 for the one FILE given\n"
           "  --format jpg|png|bmp  output format (default jpg)\n"
           "  --quality Q       JPEG quality, 1 to 100 (default 95)\n"
           "  --out DIR         write into DIR (made if missing), not beside each input\n"
           "  --jobs N          convert N files at once (default: one per core)\n"
           "  --overwrite       replace existing output files\n"
           "  -h, --help        show this help\n"
           "  --version         show the version\n"
           "\n" +
           "An output is named like its input with \"_3D\", " +
           NamesOf(kGlasses, ", ", &GlassesInfo::saveSuffix, "\"") +
           " and the\n"
           "format's extension: IMG_0042.MPO gives IMG_0042_3D-RC.jpg; a name without\n"
           "extension is kept whole (scan gives scan_3D-RC.jpg). Existing files are kept\n"
           "unless --overwrite is given.\n"
           "\n"
           "Exit status: 0 all files converted, 1 some failed, 2 wrong usage.\n";
}

std::string BatchVersionText() {
    return std::string(kProgram) + " " + ProgVer();
}

BatchConverter::BatchConverter(BatchOptions options) : options_(std::move(options)) {}

std::string BatchConverter::OutputPathFor(const std::string& input) const {
    const char* suffix = kGlasses[options_.glasses].saveSuffix;
    const std::string format = "." + options_.format;
    std::string name = ProposedSaveName(input, suffix, format);
    // Without an extension the window proposes nothing; a batch needs a name,
    // and a final dot makes the whole name the part before the extension.
    if (name.empty()) name = ProposedSaveName(input + ".", suffix, format);
    if (name.empty() || options_.outDir.empty()) return name;
    return (fs::path(options_.outDir) / fs::path(name).filename()).string();
}

struct BatchConverter::Workspace {
    PictureBuffer image1, image2, result;
};

namespace {

struct Job {
    const BatchOptions& o;
    const std::string& input;
    const std::string& output;
    int threads;

    // Image 1 and image 2 as the window holds them after loading, the
    // side-by-side split and the swap; false with the reason in error.
    bool Load(PictureBuffer& image1, PictureBuffer& image2, std::string& error) const {
        MappedFile file;
        if (!OpenInput(input, file, error)) return false;
        const bool parallel = threads >= 2;
        if (o.sideBySide) return Decode(file.bytes(), image1, error);
        if (!o.right.empty()) {
            MappedFile second;
            if (!OpenInput(o.right, second, error)) {
                error = o.right + ": " + error;
                return false;
            }
            return DecodePair(file.bytes(), second.bytes(), image1, image2, o.right, false,
                              parallel, error);
        }
        QuietSink quiet;
        const Bytes view2 = LocateMpoImage2(input, file.bytes(), quiet);
        if (view2.empty()) {
            if (!HasMpoName(input))
                error =
                    "not an MPO file (.mpo); use --sbs for side-by-side pictures or "
                    "--right for a pair";
            // Something that is no picture at all says so better than "no view".
            else if (Decode(file.bytes(), image1, error))
                error = "no second view found in this MPO file";
            return false;
        }
        // The first view decodes from the whole file: its decoder stops at
        // the view's end, as the window's load of image 1 does.
        return DecodePair(file.bytes(), view2, image1, image2, "second view", true, parallel,
                          error);
    }

    bool Save(const PictureBuffer& result, std::string& error) const {
        // The writers put their file in place by renaming over the name they
        // are given. Handing them the replacer's reserved name and committing
        // that makes "never replace without --overwrite" hold atomically.
        FileReplacer file(output);
        if (!file.Open(error)) return false;
        if (o.format == "jpg") {
            const int code = SaveJpeg(result, file.TempPath(), o.quality, threads);
            if (code == kJpegFileError) {
                error = "cannot write beside " + output;
                return false;
            }
            if (code != 0) {
                error = "the JPEG encoder failed (libjpeg message " + std::to_string(code) + ")";
                return false;
            }
        } else if (o.format == "bmp") {
            if (!SaveBmp(result, file.TempPath(), error)) return false;
        } else {
            // The window's PNG save runs the optimiser with /S2 /F5.
            PngOptions png;
            png.effort = 2;
            png.filter = 5;
            png.threads = threads;
            std::vector<std::uint8_t> bytes;
            if (!EncodePng(RgbOf(result), png, bytes, error) ||
                !file.Write(bytes.data(), bytes.size(), error))
                return false;
        }
        if (file.Commit(error, o.overwrite)) return true;
        if (!o.overwrite && KindOfPath(output) != PathKind::None)
            error = output + " exists already (--overwrite replaces it)";
        return false;
    }

    // The camera's parallax, for the views as they now stand.
    std::optional<double> CameraOffset(int width) const {
        MappedFile file;
        std::string ignored;
        if (o.sideBySide || !o.right.empty() || !file.open(input, ignored)) return std::nullopt;
        std::optional<double> camera = CameraOffsetX(file.bytes(), width);
        if (camera && o.swap) camera = -*camera;
        return camera;
    }

    // Aligns image 2 (with scratch as room) and picks dx as asked; notes
    // gets the line for standard output or a warning.
    bool Align(PictureBuffer& image1, PictureBuffer& image2, PictureBuffer& scratch, int& dx,
               FileOutcome& notes, std::string& error) const {
        const std::optional<double> camera = CameraOffset(image2.width());
        const bool fromCamera = o.dxFrom == BatchOptions::Dx::Camera;
        if (fromCamera && !o.align) {
            if (camera)
                dx = int(std::lround(*camera));
            else
                notes.warning = "no camera parallax in this file; --dx 0 used";
            return true;
        }
        SilentProgress quiet;
        const AlignOutcome a = AlignPair(image1, image2, scratch, camera,
                                         fromCamera ? OffsetSource::Camera : OffsetSource::Window,
                                         o.align, quiet, threads);
        if (!a.result.aligned && o.alignStrict) {
            error = "could not align: " + a.result.failure;
            return false;
        }
        if (o.dxFrom != BatchOptions::Dx::Given) dx = a.offsetX.value_or(0);
        if (!a.result.aligned)
            notes.warning =
                "could not align: " + a.result.failure +
                (a.fromCamera ? "; the camera's parallax used (--dx " + std::to_string(dx) + ")"
                              : "; left as it is");
        else if (fromCamera && !a.fromCamera)
            notes.warning = "no camera parallax in this file; the stereo window used";
        if (!o.align || !a.result.aligned) return true;
        image2.swap(scratch);
        const AlignResult& r = a.result;
        notes.aligned = "aligned " + input + ": vertical " +
                        FormatFixed(r.transform.verticalPx, 2) + " px, roll " +
                        FormatFixed(r.transform.rollDeg, 2) + " deg, scale " +
                        FormatFixed(r.transform.scale, 4) + ", window " + FormatFixed(dx, 2) +
                        " px, residual " + FormatFixed(r.residualPx, 2) + " px, inliers " +
                        std::to_string(r.inliers);
        return true;
    }

    bool Convert(PictureBuffer& image1, PictureBuffer& image2, PictureBuffer& result,
                 FileOutcome& notes, std::string& error) const {
        if (output.empty()) {
            error = "no output name can be made from this path";
            return false;
        }
        if (!o.overwrite && KindOfPath(output) != PathKind::None) {
            error = output + " exists already (--overwrite replaces it)";
            return false;
        }
        if (!Load(image1, image2, error)) return false;
        const int picW = image1.width();
        const int picH = image1.height();
        if (o.sideBySide) SplitSideBySide(image1, picW, picH, o.stretch, image1, image2);
        if (o.swap) image1.swap(image2);
        int dx = o.dx;
        if ((o.align || o.dxFrom != BatchOptions::Dx::Given) &&
            !Align(image1, image2, result, dx, notes, error))
            return false;
        SizeWorkingBuffers(image1, image2, result, picW, picH, o.stretch);

        AnaglyphSettings settings;
        settings.methodNumber = MethodNumberFor(o.glasses, o.method);
        settings.brightness = o.brightness;
        settings.offsetX = dx;
        settings.offsetY = o.dy;
        // As in the window, the engine starts from a result without picture.
        result.clear();
        QuietSink sink;
        if (!BuildAnaglyph(image1, image2, result, settings, sink, threads)) {
            error = "the anaglyph could not be built: " + sink.error;
            return false;
        }
        // A PNG takes seconds to code and needs room for its RGB rows: the
        // views go back to the system, whose fresh pages then cost the next
        // file a fraction of a per cent. JPEG keeps them.
        if (o.format == "png") image1 = PictureBuffer(), image2 = PictureBuffer();
        return Save(result, error);
    }
};

}  // namespace

FileOutcome BatchConverter::ConvertFile(const std::string& input, int threads) const {
    Workspace work;
    return Convert(input, threads, work);
}

FileOutcome BatchConverter::Convert(const std::string& input, int threads, Workspace& work) const {
    const auto start = Clock::now();
    FileOutcome outcome;
    outcome.input = input;
    outcome.output = OutputPathFor(input);
    try {
        std::string error;
        const Job job{options_, input, outcome.output, std::max(threads, 1)};
        if (!job.Convert(work.image1, work.image2, work.result, outcome, error))
            outcome.error = error.empty() ? "failed" : error;
    } catch (const std::bad_alloc&) {
        outcome.error = "not enough memory";
    } catch (const std::exception& e) {
        outcome.error = e.what();
    }
    outcome.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return outcome;
}

bool BatchConverter::Run(std::ostream& log, bool terminal, int terminalWidth,
                         std::ostream* results) {
    const std::vector<std::string>& files = options_.files;
    const int count = int(files.size());
    outcomes_.assign(files.size(), FileOutcome{});

    // Two inputs that map to one output would overwrite each other or fail
    // by chance of timing; the later ones fail before any work.
    std::map<std::string, std::string> claimed;
    std::vector<std::string> preset(files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::string out = OutputPathFor(files[i]);
        if (out.empty()) continue;
        std::error_code ec;
        fs::path key = fs::absolute(out, ec).lexically_normal();
        const auto [it, fresh] = claimed.emplace(key.string(), files[i]);
        if (!fresh) preset[i] = "same output name as " + it->second + " (" + out + ")";
    }

    if (!options_.outDir.empty()) {
        std::error_code ec;
        fs::create_directories(options_.outDir, ec);
        if (ec || !fs::is_directory(options_.outDir)) {
            log << kProgram << ": cannot make the folder " << options_.outDir << ": "
                << (ec ? ec.message() : "a file of that name is in the way") << "\n";
            for (std::size_t i = 0; i < files.size(); ++i)
                outcomes_[i] = {files[i], OutputPathFor(files[i]), "no output folder", 0, {}, {}};
            return false;
        }
    }

    const int cores = HardwareThreads();
    const int jobs = std::clamp(options_.jobs > 0 ? options_.jobs : cores, 1, std::max(count, 1));
    const int threads = std::max(1, cores / jobs);

    Reporter reporter(log, terminal, terminalWidth, count);
    std::atomic<int> next{0};
    std::mutex doneMutex;
    std::condition_variable doneSignal;
    int running = jobs;

    auto worker = [&] {
        Workspace work;
        for (int i; (i = next.fetch_add(1)) < count;) {
            const std::size_t k = std::size_t(i);
            reporter.Started(files[k]);
            FileOutcome o;
            if (!preset[k].empty())
                o = {files[k], OutputPathFor(files[k]), preset[k], 0, {}, {}};
            else
                o = Convert(files[k], threads, work);
            outcomes_[k] = o;
            if (results && !o.aligned.empty()) {
                std::lock_guard lock(doneMutex);
                *results << o.aligned << "\n" << std::flush;
            }
            reporter.Finished(o);
        }
        std::lock_guard lock(doneMutex);
        if (--running == 0) doneSignal.notify_all();
    };

    std::vector<std::thread> workers;
    for (int j = 0; j < jobs; ++j) {
        try {
            workers.emplace_back(worker);
        } catch (const std::system_error&) {
            std::lock_guard lock(doneMutex);
            --running;  // fewer workers; the others take its share
        }
    }
    if (workers.empty()) {
        running = 1;
        worker();
    }
    {
        // The time left keeps counting down between finished files.
        std::unique_lock lock(doneMutex);
        while (!doneSignal.wait_for(lock, std::chrono::milliseconds(500),
                                    [&] { return running == 0; }))
            if (terminal) reporter.Tick();
    }
    for (std::thread& t : workers)
        t.join();
    reporter.Summary();
    return std::all_of(outcomes_.begin(), outcomes_.end(),
                       [](const FileOutcome& o) { return o.ok(); });
}

}  // namespace tsy
