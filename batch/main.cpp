// tessaly-batch: the window's anaglyph pipeline over many files from the
// command line. See BatchUsage() for what it takes.
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <iostream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "batch/BatchConverter.h"

namespace {

int TerminalWidth() {
    winsize size{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    return 80;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    tsy::BatchOptions options;
    std::string message;
    switch (tsy::ParseBatchArguments(args, options, message)) {
        case tsy::BatchCommand::Help:
            std::cout << tsy::BatchUsage();
            return 0;
        case tsy::BatchCommand::Version:
            std::cout << tsy::BatchVersionText() << "\n";
            return 0;
        case tsy::BatchCommand::UsageError:
            std::cerr << "tessaly-batch: " << message << "\n"
                      << "Try 'tessaly-batch --help' for more information.\n";
            return 2;
        case tsy::BatchCommand::Run:
            break;
    }
    // A file-size limit (ulimit -f) would end the program with SIGXFSZ and no
    // summary; ignored, the write fails with EFBIG and its file is reported
    // like any other that cannot be written.
    ::signal(SIGXFSZ, SIG_IGN);
    for (const std::string& note : options.notes)
        std::cerr << "tessaly-batch: " << note << "\n";
    // No application object: the picture reader finds its format plugins
    // (GIF) without one, and none of the display machinery is wanted.
    const bool terminal = ::isatty(STDERR_FILENO) == 1;
    tsy::BatchConverter converter(std::move(options));

    // SIGINT and SIGTERM go to one thread that stops the run between files
    // being put in place; blocked before any worker exists, so every thread
    // inherits the mask.
    sigset_t stops;
    sigemptyset(&stops);
    sigaddset(&stops, SIGINT);
    sigaddset(&stops, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stops, nullptr);
    // Static: a signal during the exit must not find them gone.
    static std::mutex finishing;
    static bool finished = false;
    std::thread([&converter, stops] {
        int signal = 0;
        if (sigwait(&stops, &signal) != 0) return;
        std::lock_guard lock(finishing);
        if (finished) return;
        converter.Stop();
        ::_exit(128 + signal);  // as a shell reports a program its signal ended
    }).detach();

    const bool ok = converter.Run(std::cerr, terminal, terminal ? TerminalWidth() : 80, &std::cout);
    std::lock_guard lock(finishing);
    finished = true;
    return ok ? 0 : 1;
}
