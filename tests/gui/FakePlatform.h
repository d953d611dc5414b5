#pragma once

#include <QMap>
#include <QStringList>
#include <functional>

#include "input/FileDialogRequest.h"
#include "platform/Platform.h"

namespace tsy::test {

// Platform services that answer without a person and remember what was asked.
class FakeDialogs : public Dialogs {
public:
    struct Message {
        MessageIcon icon;
        QString text;
    };
    QList<Message> messages;
    int beeps = 0;
    // Answers for the input box, taken in order; empty means Cancel.
    QStringList inputAnswers;
    QStringList proposals;  // what each input box offered

    void MessageBox(QWidget*, MessageIcon icon, const QString&, const QString& text) override {
        messages.append({icon, text});
    }
    QString InputBox(QWidget*, const QString&, const QString&, const QString& proposal,
                     QPoint) override {
        proposals << proposal;
        return inputAnswers.isEmpty() ? QString() : inputAnswers.takeFirst();
    }
    // Answers for file dialogs, taken in order; empty means Cancel.
    QStringList fileAnswers;
    QList<FileDialogRequest> fileRequests;

    QString FileDialog(QWidget*, const FileDialogRequest& request) override {
        fileRequests.append(request);
        return fileAnswers.isEmpty() ? QString() : fileAnswers.takeFirst();
    }
    void Beep() override { ++beeps; }
};

class MemorySettings : public SettingsStore {
public:
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

class FakeClock : public Clock {
public:
    double now = 12 * 3600.0;
    double SecondsSinceMidnight() override { return now; }
};

class FakeScreen : public ScreenInfo {
public:
    int depth = 24;
    int Depth() override { return depth; }
};

class FakeProcesses : public ProcessRunner {
public:
    std::function<void(const QString&, const QStringList&)> onRun;
    QStringList printed;  // what the program "prints", line by line
    void ShellWait(const QString& program, const QStringList& arguments,
                   const LineSink& onLine) override {
        if (onRun) onRun(program, arguments);
        if (onLine)
            for (const QString& line : printed)
                onLine(line);
    }
};

// All fakes together, handed to a window as its Platform.
struct FakePlatform {
    FakeDialogs dialogs;
    MemorySettings settings;
    FakeClock clock;
    FakeScreen screen;
    FakeProcesses processes;
    Platform platform{dialogs, settings, clock, screen, processes};
};

}  // namespace tsy::test
