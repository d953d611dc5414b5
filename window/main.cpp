#include <QApplication>
#include <QFile>
#include <QTimer>
#include <iostream>

#include "platform/Platform.h"
#include "window/CommandLine.h"
#include "window/FrmMain.h"

int main(int argc, char* argv[]) {
    // Read before the toolkit starts: --help and --version need no display.
    const tsy::CommandLine line = tsy::ParseCommandLine({argv + 1, argv + argc});
    switch (line.action) {
        case tsy::CommandLine::Action::Help:
        case tsy::CommandLine::Action::Version:
            std::cout << line.message;
            return 0;
        case tsy::CommandLine::Action::Error:
            std::cerr << line.message << "\nTry 'tessaly --help'.\n";
            return 2;
        case tsy::CommandLine::Action::Run:
            break;
    }
    QApplication app(argc, argv);
    tsy::FrmMain window(tsy::QtPlatform());
    if (!window.Form_Load()) return 0;
    if (!line.image1.empty())
        // Once the window is up, so that the load shows its progress in it.
        QTimer::singleShot(0, &window, [&] { window.OpenFromCommandLine(line); });
    return app.exec();
}
