#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <map>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

namespace tsy {

struct FileOutcome {
    std::string input;
    std::string output;  // where it was (or would have been) written
    std::string error;   // empty on success
    double seconds = 0;
    bool skipped = false;  // the output existed and counts as done
    std::vector<std::string> warnings{};
    std::string aligned{};  // the "aligned FILE: ..." line, when it was aligned
    bool ok() const { return error.empty(); }
};

// The text with backslashes and control characters written as in C (\\, \n,
// \t, \r, \xHH), so that a name or message keeps a report line one line.
std::string OneLine(const std::string& text);

// The bar (on a terminal) or one line per file, and the summary. Called from
// every worker, so everything happens under one lock.
class BatchReporter {
public:
    using Clock = std::chrono::steady_clock;
    using Now = std::function<Clock::time_point()>;

    BatchReporter(std::ostream& log, bool terminal, int width, int total, Now now = Clock::now);

    // index tells files apart while several run at once.
    void Started(std::size_t index, const std::string& input);
    void Finished(std::size_t index, const FileOutcome& outcome);
    // Redraws the bar; without a terminal, a line for a file that has run
    // 10 s or more, at most every 10 s, so a log shows the run is alive.
    void Tick();
    void Summary();
    // The summary of a run stopped by a signal; nothing is written after it.
    void Stopped(int converted);

private:
    struct Running {
        std::string input;
        Clock::time_point start, lastLine;
    };
    double Elapsed() const;
    void Line(const FileOutcome& o);
    void Draw();

    std::mutex mutex_;
    std::ostream& log_;
    const bool terminal_;
    const int width_;
    const int total_;
    const Now now_;
    const Clock::time_point start_;
    int done_ = 0;
    int failed_ = 0;
    int skipped_ = 0;
    bool stopped_ = false;
    std::string current_;
    std::map<std::size_t, Running> running_;
};

}  // namespace tsy
