#pragma once

#include <QString>
#include <QStringList>
#include <functional>

namespace tsy {

class ProcessRunner {
public:
    virtual ~ProcessRunner() = default;
    // Each line the program prints on its standard output.
    using LineSink = std::function<void(const QString& line)>;

    // Starts the program without a window and waits, without a time limit,
    // until it has ended. Returns at once when it cannot be started. With
    // onLine, windows repaint while it runs and take input as usual (a busy
    // window drops it, nothing is kept for later), and onLine gets each line
    // the program prints, on either output; without, its output is passed
    // through.
    virtual void ShellWait(const QString& program, const QStringList& arguments,
                           const LineSink& onLine = {}) = 0;
};

}  // namespace tsy
