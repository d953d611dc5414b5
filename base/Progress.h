#pragma once

#include <string>

namespace tsy {

// How long-running core work (the engine, the MPO search) talks to whoever
// shows it, without knowing about windows.
class ProgressSink {
public:
    virtual ~ProgressSink() = default;
    // A status text for the caption; empty clears it.
    virtual void SetCap(const std::string& text) = 0;
    // Lets the window repaint and handle queued input.
    virtual void LetEventsRun() {}
    // A failure that stops the work: number and message as the user sees them.
    virtual void ReportError(int number, const std::string& message) {
        (void)number;
        (void)message;
    }
};

// For callers that show nothing (the batch program, benchmarks).
class SilentProgress final : public ProgressSink {
public:
    void SetCap(const std::string&) override {}
};

}  // namespace tsy
