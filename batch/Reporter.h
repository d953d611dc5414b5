#pragma once

#include <chrono>
#include <mutex>
#include <ostream>
#include <string>

namespace tsy {

struct FileOutcome {
    std::string input;
    std::string output;  // where it was (or would have been) written
    std::string error;   // empty on success
    double seconds = 0;
    bool ok() const { return error.empty(); }
};

// The bar (on a terminal) or one line per file, and the summary. Called from
// every worker, so everything happens under one lock.
class BatchReporter {
public:
    using Clock = std::chrono::steady_clock;

    BatchReporter(std::ostream& log, bool terminal, int width, int total);

    void Started(const std::string& input);
    void Finished(const FileOutcome& outcome);
    void Tick();
    void Summary();

private:
    double Elapsed() const;
    void Line(const FileOutcome& o);
    void Draw();

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

}  // namespace tsy
