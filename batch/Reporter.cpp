#include "batch/Reporter.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <utility>

#include "base/FixedText.h"

namespace tsy {

namespace {

// Seconds with two decimals and a point whatever the locale: log lines are
// read by scripts as often as by people.
std::string Seconds(double s) {
    return FixedText(s, 2);
}

std::string Clockface(double seconds) {
    const auto total = std::int64_t(std::max(0.0, seconds) + 0.5);
    const std::int64_t h = total / 3600, m = total / 60 % 60, s = total % 60;
    auto two = [](std::int64_t v) {
        std::string text(v < 10 ? 1 : 0, '0');
        return text += std::to_string(v);
    };
    return h > 0 ? std::to_string(h) + ":" + two(m) + ":" + two(s)
                 : std::to_string(m) + ":" + two(s);
}

}  // namespace

std::string OneLine(const std::string& text) {
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                if (c < 0x20 || c == 0x7F)
                    out.append("\\x").append(1, kHex[c >> 4]).append(1, kHex[c & 15]);
                else
                    out += ch;
        }
    }
    return out;
}

BatchReporter::BatchReporter(std::ostream& log, bool terminal, int width, int total, Now now)
    : log_(log),
      terminal_(terminal),
      width_(std::max(width, 30)),
      total_(total),
      now_(std::move(now)),
      start_(now_()) {}

void BatchReporter::Started(std::size_t index, const std::string& input) {
    std::lock_guard lock(mutex_);
    if (stopped_) return;
    const Clock::time_point now = now_();
    running_[index] = {input, now, now};
    current_ = OneLine(std::filesystem::path(input).filename().string());
    Draw();
}

void BatchReporter::Finished(std::size_t index, const FileOutcome& o) {
    std::lock_guard lock(mutex_);
    running_.erase(index);
    if (stopped_) return;
    ++done_;
    if (!o.ok()) ++failed_;
    if (o.skipped) ++skipped_;
    if (terminal_) {
        // Failures and warnings stay on screen above the bar; the rest only
        // moves it.
        if (!o.ok() || !o.warnings.empty()) {
            log_ << "\r\033[K";
            Line(o);
        }
        Draw();
    } else {
        Line(o);
    }
    log_.flush();
}

void BatchReporter::Tick() {
    std::lock_guard lock(mutex_);
    if (stopped_) return;
    if (terminal_) {
        Draw();
        return;
    }
    constexpr auto kQuiet = std::chrono::seconds(10);
    const Clock::time_point now = now_();
    for (auto& [index, r] : running_) {
        if (now - r.lastLine < kQuiet) continue;
        r.lastLine = now;
        log_ << "busy    " << OneLine(r.input) << " ("
             << std::chrono::duration_cast<std::chrono::seconds>(now - r.start).count()
             << " s so far)\n";
    }
    log_.flush();
}

void BatchReporter::Summary() {
    std::lock_guard lock(mutex_);
    if (stopped_) return;
    if (terminal_) log_ << "\r\033[K";
    const int converted = done_ - failed_ - skipped_;
    log_ << "tessaly-batch: ";
    if (failed_ == 0)
        log_ << converted << (converted == 1 ? " file" : " files") << " converted";
    else
        log_ << converted << " of " << done_ << " files converted, " << failed_ << " failed";
    if (skipped_ > 0) log_ << ", " << skipped_ << " skipped (output there already)";
    log_ << " (" << Seconds(Elapsed()) << " s)\n";
    log_.flush();
}

void BatchReporter::Stopped(int converted) {
    std::lock_guard lock(mutex_);
    if (stopped_) return;
    stopped_ = true;
    if (terminal_) log_ << "\r\033[K";
    log_ << "tessaly-batch: stopped: " << converted << " of " << total_ << " files converted";
    if (failed_ > 0) log_ << ", " << failed_ << " failed";
    if (skipped_ > 0) log_ << ", " << skipped_ << " skipped";
    log_ << "; unfinished files were not written (" << Seconds(Elapsed()) << " s)\n";
    log_.flush();
}

double BatchReporter::Elapsed() const {
    return std::chrono::duration<double>(now_() - start_).count();
}

void BatchReporter::Line(const FileOutcome& o) {
    const std::string input = OneLine(o.input);
    for (const std::string& w : o.warnings)
        log_ << "warning " << input << ": " << OneLine(w) << "\n";
    if (o.skipped)
        log_ << "skipped " << input << ": " << OneLine(o.output) << " exists";
    else if (o.ok())
        log_ << "ok      " << input << " -> " << OneLine(o.output);
    else
        log_ << "FAILED  " << input << ": " << OneLine(o.error);
    log_ << " (" << Seconds(o.seconds) << " s)\n";
}

void BatchReporter::Draw() {
    if (!terminal_) return;
    constexpr int kBar = 20;
    const int filled = total_ > 0 ? done_ * kBar / total_ : kBar;
    std::string bar = "[";
    bar.append(std::size_t(filled), '#').append(std::size_t(kBar - filled), '-') += "] ";
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
        name.replace(0, from, "...");
    }
    log_ << "\r\033[K" << bar << name << left;
    log_.flush();
}

}  // namespace tsy
