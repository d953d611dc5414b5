#pragma once

#include <QMap>
#include <QStringList>
#include <functional>

#include "input/FileDialogRequest.h"
#include "platform/Platform.h"

namespace tsy::test {

// Platform services that answer without a person and remember what was asked.
// Dialog answers are taken in order; an empty or missing one means Cancel.
struct FakeDialogs : Dialogs {
    struct Message {
        MessageIcon icon;
        QString text;
    };
    QList<Message> messages;
    int beeps = 0;
    QStringList inputAnswers, fileAnswers;
    QStringList proposals;  // what each input box offered
    QList<FileDialogRequest> fileRequests;

    void MessageBox(QWidget*, MessageIcon icon, const QString&, const QString& text) override {
        messages.append({icon, text});
    }
    QString InputBox(QWidget*, const QString&, const QString&, const QString& proposal,
                     QPoint) override {
        proposals << proposal;
        return inputAnswers.isEmpty() ? QString() : inputAnswers.takeFirst();
    }
    QString FileDialog(QWidget*, const FileDialogRequest& request) override {
        fileRequests.append(request);
        return fileAnswers.isEmpty() ? QString() : fileAnswers.takeFirst();
    }
    void Beep() override { ++beeps; }
};

struct MemorySettings : SettingsStore {
    QMap<QString, QString> values;  // "app/section/key" -> text
    int writes = 0;
    QString Read(const QString& app, const QString& section, const QString& key,
                 const QString& defaultValue) override {
        return values.value(app + "/" + section + "/" + key, defaultValue);
    }
    void Write(const QString& app, const QString& section, const QString& key,
               const QString& value) override {
        values[app + "/" + section + "/" + key] = value;
        ++writes;
    }
};

struct FakeClock : Clock {
    double now = 12 * 3600.0;
    double SecondsSinceMidnight() override { return now; }
};

struct FakeScreen : ScreenInfo {
    int depth = 24;
    int Depth() override { return depth; }
};

// Runs nothing; hands the caller the lines the program would print.
struct FakeProcesses : ProcessRunner {
    std::function<void()> onRun;
    QStringList printed;
    void ShellWait(const QString&, const QStringList&, const LineSink& onLine) override {
        if (onRun) onRun();
        for (const QString& line : printed)
            if (onLine) onLine(line);
    }
};

// All fakes together as a Platform; a test that runs programs gives the real runner.
struct FakePlatform {
    FakeDialogs dialogs;
    MemorySettings settings;
    FakeClock clock;
    FakeScreen screen;
    FakeProcesses processes;
    Platform platform;
    explicit FakePlatform(ProcessRunner* runner = nullptr)
        : platform{dialogs, settings, clock, screen, runner ? *runner : processes} {}
};

}  // namespace tsy::test
