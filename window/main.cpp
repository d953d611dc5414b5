#include <QApplication>

#include "window/FrmMain.h"
#include "platform/Platform.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    tsy::FrmMain window(tsy::QtPlatform());
    if (!window.Form_Load()) return 0;
    return app.exec();
}
