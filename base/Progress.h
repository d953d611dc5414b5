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
    // A failure that stops the work: its number and the detail its reason
    // names; the receiver makes the text.
    virtual void ReportError(int number, const std::string& detail) {
        (void)number;
        (void)detail;
    }
};

// For callers that show nothing (the batch program, benchmarks).
class SilentProgress final : public ProgressSink {
public:
    void SetCap(const std::string&) override {}
};

}  // namespace tsy
