#pragma once

#include <QString>
#include <QStringList>

namespace tsy {

class ProcessRunner {
public:
    virtual ~ProcessRunner() = default;
    // Starts the program without a window and waits, without a time limit,
    // until it has ended. Returns at once when it cannot be started.
    virtual void ShellWait(const QString& program, const QStringList& arguments) = 0;
};

}  // namespace tsy
