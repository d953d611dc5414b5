#include <QApplication>
#include <QGuiApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QProcess>
#include <QScreen>
#include <QSettings>
#include <QTime>

#include "platform/Platform.h"
#include "platform/QtFileDialog.h"

namespace tsy {

namespace {

class QtDialogs final : public Dialogs {
public:
    void MessageBox(QWidget* owner, MessageIcon icon, const QString& title,
                    const QString& text) override {
        QMessageBox box(
            icon == MessageIcon::Critical ? QMessageBox::Critical : QMessageBox::Information, title,
            text, QMessageBox::Ok, owner);
        box.exec();
    }

    QString InputBox(QWidget* owner, const QString& prompt, const QString& title,
                     const QString& proposal, QPoint topLeft) override {
        QInputDialog dialog(owner);
        dialog.setInputMode(QInputDialog::TextInput);
        dialog.setLabelText(prompt);
        dialog.setWindowTitle(title);
        dialog.setTextValue(proposal);
        dialog.move(topLeft);
        if (dialog.exec() != QDialog::Accepted) return {};
        return dialog.textValue();
    }

    QString FileDialog(QWidget* owner, const FileDialogRequest& request,
                       int* chosenFilter) override {
        return ShowFileDialog(owner, request, chosenFilter);
    }

    void Beep() override { QApplication::beep(); }
};

class QtSettingsStore final : public SettingsStore {
public:
    QString Read(const QString& app, const QString& section, const QString& key,
                 const QString& defaultValue) override {
        QSettings s(QSettings::NativeFormat, QSettings::UserScope, app);
        s.beginGroup(section);
        return s.value(key, defaultValue).toString();
    }
    void Write(const QString& app, const QString& section, const QString& key,
               const QString& value) override {
        QSettings s(QSettings::NativeFormat, QSettings::UserScope, app);
        s.beginGroup(section);
        s.setValue(key, value);
    }
};

class SystemClock final : public Clock {
public:
    double SecondsSinceMidnight() override {
        return QTime::currentTime().msecsSinceStartOfDay() / 1000.0;
    }
};

class QtScreenInfo final : public ScreenInfo {
public:
    int Depth() override {
        const QScreen* screen = QGuiApplication::primaryScreen();
        return screen ? screen->depth() : 0;
    }
};

class QtProcessRunner final : public ProcessRunner {
public:
    void ShellWait(const QString& program, const QStringList& arguments,
                   const LineSink& onLine) override {
        QProcess process;
        process.setProcessChannelMode(onLine ? QProcess::MergedChannels
                                             : QProcess::ForwardedChannels);
        process.start(program, arguments);
        if (!process.waitForStarted(-1)) return;
        if (!onLine) {
            process.waitForFinished(-1);
            return;
        }
        QEventLoop loop;
        const auto readLines = [&] {
            while (process.canReadLine())
                onLine(QString::fromLocal8Bit(process.readLine()).trimmed());
        };
        QObject::connect(&process, &QProcess::readyReadStandardOutput, &loop, readLines);
        QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
        // Input kept back here would reach the window once it is ready again
        // and start what the user did while it was busy.
        if (process.state() != QProcess::NotRunning) loop.exec();
        readLines();
    }
};

}  // namespace

Platform& QtPlatform() {
    static QtDialogs dialogs;
    static QtSettingsStore settings;
    static SystemClock clock;
    static QtScreenInfo screen;
    static QtProcessRunner processes;
    static Platform platform{dialogs, settings, clock, screen, processes};
    return platform;
}

}  // namespace tsy
