#pragma once

#include <qpa/qwindowsysteminterface.h>
#include <QBuffer>
#include <QFile>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <cstring>
#include <functional>
#include <memory>

#include "platform/Platform.h"
#include "window/CaptionButtons.h"
#include "window/FrmMain.h"
#include "window/PictureView.h"
#include "window/rules/FileDialogRequest.h"

namespace tsy::test {

// The window test classes share one program (test_gui, GuiTestMain.cpp);
// TSY_GUI_TEST takes the place of QTEST_MAIN.
bool RegisterGuiTest(const char* name, std::function<std::unique_ptr<QObject>()> make);
#define TSY_GUI_TEST(Class)                                            \
    static const bool kRegistered##Class = tsy::test::RegisterGuiTest( \
        #Class, [] { return std::unique_ptr<QObject>(std::make_unique<Class>()); });

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
    QList<int> filterAnswers;  // the entry each file answer picks; none: the preselected one
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
    QString FileDialog(QWidget*, const FileDialogRequest& request,
                       int* chosenFilter = nullptr) override {
        fileRequests.append(request);
        const int picked =
            filterAnswers.isEmpty() ? request.selectedFilter : filterAnswers.takeFirst();
        if (chosenFilter) *chosenFilter = picked;
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

// Where the window keeps its settings in the store.
inline const QString kKey = QStringLiteral("Brannoc-Software/Tessaly/");

inline void Click(QWidget* w) {
    QTest::mouseClick(w, Qt::LeftButton);
}

// A tap on w as the window system queues it: press and release wait together
// until the program next takes input, then come one after the other.
inline void QueueTap(QWidget* w) {
    QWidget* top = w->window();
    const QPointF at = w->mapTo(top, w->rect().center());
    const QPointF global = top->mapToGlobal(at);
    using Input = QWindowSystemInterface;
    for (const auto& [buttons, type] :
         {std::pair{Qt::MouseButtons(Qt::LeftButton), QEvent::MouseButtonPress},
          {Qt::MouseButtons(), QEvent::MouseButtonRelease}})
        Input::handleMouseEvent<Input::AsynchronousDelivery>(top->windowHandle(), at, global,
                                                             buttons, Qt::LeftButton, type);
}

// A started main window on fake platform services, fed pictures without files.
struct Window {
    FakePlatform fp;
    FrmMain w{fp.platform};
    const MainWindowLayout& c{w.controls()};
    QSignalSpy blends{&w, &FrmMain::blendFinished};
    QStringList statuses;  // every status shown, in order

    explicit Window(ProcessRunner* processes = nullptr) : fp(processes) {
        QObject::connect(&w, &QWidget::windowTitleChanged, [this] { statuses << Status(); });
        if (!w.Form_Load()) qFatal("the window did not start");
    }
    explicit Window(const QImage& left, const QImage& right = {}, const QString& image1Path = {},
                    ProcessRunner* processes = nullptr)
        : Window(processes) {
        Feed(left, right, image1Path);
    }

    // Puts a pair in place as a load does, then rebuilds once.
    void Feed(const QImage& left, const QImage& right = QImage(), const QString& image1Path = {}) {
        w.TakePair(Put(left), right.isNull() ? PictureBuffer() : Put(right), image1Path);
        w.SetScroll();
        w.PicBlend();
        w.EnableButtons(true);
        blends.clear();
    }

    void Open(const QString& path, int image = 1) {
        fp.dialogs.fileAnswers << path;
        Click(image == 1 ? c.cOpen1 : c.cOpen2);
    }

    static PictureBuffer Put(const QImage& image) {
        const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
        PictureBuffer buffer;  // rows without padding in both
        std::memcpy(buffer.assign(rgb.width(), rgb.height()), rgb.constBits(), rgb.sizeInBytes());
        return buffer;
    }

    static QColor At(const PictureBuffer& b, int x, int y) { return QColor(QRgb(b.pixel(x, y))); }

    QString Status() const {
        const QString head = w.baseCaption() + QStringLiteral("  -  "), t = w.windowTitle();
        return t.startsWith(head) ? t.mid(head.size()) : QString();
    }
};

// A buffer as an image; compares equal to an RGB32 image of the same pixels.
inline QImage Picture(const PictureBuffer& b) {
    return QImage(b.bits(), b.width(), b.height(), int(b.stride()), QImage::Format_RGB32).copy();
}

inline QImage Uniform(int w, int h, QColor c) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(c);
    return img;
}

// Each pixel tells its column (red, green) and row (blue).
inline QImage Columns(int w, int h) {
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, qRgb(x & 0xFF, (x >> 8) & 0xFF, y & 0xFF));
    return img;
}

inline int ColumnOf(QColor c) {
    return c.red() + 256 * c.green();
}

inline QByteArray Encoded(const QImage& image, const char* format, int quality = 95) {
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    image.save(&buf, format, quality);
    return bytes;
}

inline QString WriteFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) qFatal("cannot write");
    return path;
}

}  // namespace tsy::test

using namespace tsy;
using namespace tsy::test;
