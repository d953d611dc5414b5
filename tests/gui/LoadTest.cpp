#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QtTest>

#include "WindowFixture.h"
#include "base/SysTempDir.h"
#include "platform/PictureLoader.h"
#include "window/CaptionButtons.h"
#include "window/CommandLine.h"
#include "window/PictureView.h"

using namespace tsy;
using namespace tsy::test;

class LoadTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void openingAnMpoFillsBothViews();
    void cancelledOrUnusableChoicesChangeNothing();
    void newImageOneDiscardsImageTwoAndUnticksSwitches();
    void imageTwoAloneReplacesOnlyImageTwo();
    void dropsOnImageOne();
    void dropsOnImageTwo();
    void nonFileDropsAreIgnored();
    void damagedFilesLeaveTheWindowReady_data();
    void damagedFilesLeaveTheWindowReady();
    void jpegCutInItsDataLoadsAndSaysSo();
    void commandLineNamesWhatToOpen();
    void commandLineSideBySideAndMissingImageTwo();
    void tiffAndWebpLoadAndTheRestAreRefusedByName();

private:
    QString Write(const QString& name, const QImage& image, const char* format);
    QString WriteBytes(const QString& name, const QByteArray& bytes);
    QString Mpo(const QString& name, QColor left, QColor right);
    static void Drop(PictureView* view, const QStringList& paths);
    static void DropText(PictureView* view);

    QTemporaryDir dir_;
    QTemporaryDir temp_;
};

void LoadTest::initTestCase() {
    QVERIFY(dir_.isValid() && temp_.isValid());
    // The temporary directory is found once per program: a private one here.
    qputenv("TEMP", temp_.path().toLocal8Bit());
    QCOMPARE(QString::fromStdString(SysTempDir()), temp_.path() + "/");
}

QString LoadTest::Write(const QString& name, const QImage& image, const char* format) {
    const QString path = dir_.filePath(name);
    if (!image.save(path, format, 95)) qFatal("cannot write %s", qPrintable(path));
    return path;
}

QString LoadTest::WriteBytes(const QString& name, const QByteArray& bytes) {
    const QString path = dir_.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) qFatal("cannot write");
    return path;
}

// Two JPEG streams back to back, as a stereo camera stores them.
QString LoadTest::Mpo(const QString& name, QColor left, QColor right) {
    QByteArray both;
    for (auto [color, width] : {std::pair{left, 64}, {right, 48}}) {
        QFile f(Write("part.jpg", Uniform(width, 40, color), "JPG"));
        f.open(QIODevice::ReadOnly);
        both += f.readAll();
    }
    return WriteBytes(name, both);
}

// A drag that enters the view and is let go there, as the window system
// delivers it.
static void Deliver(PictureView* view, const QMimeData& data) {
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(view, &enter);
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(view, &drop);
    QCoreApplication::processEvents();
}

void LoadTest::Drop(PictureView* view, const QStringList& paths) {
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& p : paths)
        urls << QUrl::fromLocalFile(p);
    data.setUrls(urls);
    Deliver(view, data);
}

void LoadTest::DropText(PictureView* view) {
    QMimeData data;
    data.setText(QStringLiteral("just some text"));
    Deliver(view, data);
}

static bool Near(QColor a, QColor b) {
    return std::abs(a.red() - b.red()) < 8 && std::abs(a.green() - b.green()) < 8 &&
           std::abs(a.blue() - b.blue()) < 8;
}

void LoadTest::openingAnMpoFillsBothViews() {
    Window t;
    QStringList statuses;
    connect(&t.w, &QWidget::windowTitleChanged, [&] { statuses << t.Status(); });
    t.fp.dialogs.fileAnswers << Mpo("pair.MPO", QColor(200, 40, 40), QColor(40, 200, 200));
    QTest::mouseClick(t.w.controls().cOpen1, Qt::LeftButton);

    const auto& request = t.fp.dialogs.fileRequests.value(0);
    QCOMPARE(QString::fromStdString(request.title), QStringLiteral("Open Image 1 ..."));
    QCOMPARE(request.filters.size(), size_t(8));
    QCOMPARE(request.selectedFilter, 0);

    QCOMPARE(t.w.image1().width(), 64);
    QVERIFY(t.w.image2().hasImage());
    QCOMPARE(t.w.pictureWidth(), 64);
    QCOMPARE(t.w.pictureHeight(), 40);
    QVERIFY(Near(Window::At(t.w.image2(), 10, 10), QColor(40, 200, 200)));
    QVERIFY(Near(Window::At(t.w.anaglyph(), 10, 10), QColor(200, 200, 200)));
    QVERIFY(t.w.image1Path().endsWith("pair.MPO"));
    QVERIFY(!QFile::exists(temp_.filePath("StereoR.jpg")));
    QCOMPARE(t.blends.size(), 1);
    QCOMPARE(t.w.controls().HS->maximum(), 64);
    QVERIFY(t.w.controls().cSave->isEnabled());
    for (const char* s : {"Searching for Image 2 ...", "Extracting Image 2 ...",
                          "Loading Image 1 ...", "Loading Image 2 ..."})
        QVERIFY2(statuses.contains(QString::fromLatin1(s)), s);
    QVERIFY(statuses.indexOf("Loading Image 1 ...") < statuses.indexOf("Loading Image 2 ..."));
    QVERIFY(t.Status().startsWith("Ready!"));
    // Both thumbnails show their picture.
    QVERIFY(Near(QColor(t.w.controls().PicView1->canvas().pixel(107, 80)), QColor(40, 200, 200)));
}

void LoadTest::cancelledOrUnusableChoicesChangeNothing() {
    Window t;
    t.w.SetCap(QStringLiteral("something"));
    for (const QString& answer :
         {QString(), WriteBytes("empty.jpg", {}), dir_.filePath("no.jpg")}) {
        t.fp.dialogs.fileAnswers << answer;
        QTest::mouseClick(t.w.controls().cOpen1, Qt::LeftButton);
        QCOMPARE(t.w.windowTitle(), t.w.baseCaption());
        QCOMPARE(t.blends.size(), 0);
        QVERIFY(t.w.image1Path().isEmpty());
        QVERIFY(!t.w.controls().cOpen2->isEnabled());
    }
}

void LoadTest::newImageOneDiscardsImageTwoAndUnticksSwitches() {
    Window t;
    t.fp.dialogs.fileAnswers << Mpo("a.mpo", Qt::red, Qt::cyan);
    QTest::mouseClick(t.w.controls().cOpen1, Qt::LeftButton);
    QTest::mouseClick(t.w.controls().CkSwap, Qt::LeftButton);
    QTest::mouseClick(t.w.controls().CkSBS, Qt::LeftButton);
    t.w.controls().HSB->setValue(30);
    t.fp.dialogs.fileAnswers << "  " + Write("plain.bmp", Uniform(30, 20, Qt::yellow), "BMP") + " ";
    QTest::mouseClick(t.w.controls().cOpen1, Qt::LeftButton);
    QVERIFY(!t.w.controls().CkSwap->isChecked());
    QVERIFY(!t.w.controls().CkSBS->isChecked());
    QVERIFY(!t.w.image2().hasImage());
    QCOMPARE(t.w.pictureWidth(), 30);
    QCOMPARE(t.w.controls().HSB->value(), 0);
    QVERIFY(t.w.image1Path().endsWith("plain.bmp"));  // blanks around the name removed
    QCOMPARE(Window::At(t.w.anaglyph(), 3, 3), QColor(255, 0, 0));
    QVERIFY(t.w.isEnabled());
}

void LoadTest::imageTwoAloneReplacesOnlyImageTwo() {
    Window t;
    t.fp.dialogs.fileAnswers << Write("one.jpg", Uniform(40, 30, Qt::white), "JPG");
    QTest::mouseClick(t.w.controls().cOpen1, Qt::LeftButton);
    const QString image1 = t.w.image1Path();
    // An MPO opened as image 2 gives its first view only.
    t.fp.dialogs.fileAnswers << Mpo("two.mpo", QColor(10, 10, 200), QColor(200, 10, 10));
    QTest::mouseClick(t.w.controls().cOpen2, Qt::LeftButton);
    QCOMPARE(QString::fromStdString(t.fp.dialogs.fileRequests.last().title),
             QStringLiteral("Open Image 2 ..."));
    QCOMPARE(t.fp.dialogs.fileRequests.last().filters.size(), size_t(7));
    QVERIFY(Near(Window::At(t.w.image2(), 5, 5), QColor(10, 10, 200)));
    QCOMPARE(t.w.image1Path(), image1);
    QCOMPARE(t.w.pictureWidth(), 40);
    QCOMPARE(t.w.image2().width(), 40);  // cut to image 1's size
    // GIF as image 2 (an 8 x 6 green one; the toolkit writes no GIF).
    static const char kGif[] =
        "GIF87a\x08\x00\x06\x00\x81\x00\x00\x00\xff\x00\x00\x00\x00\x00\x00\x00\x00"
        "\x00\x00\x2c\x00\x00\x00\x00\x08\x00\x06\x00\x00\x08\x0e\x00\x01\x08\x1c"
        "\x48\xb0\xa0\xc1\x83\x08\x13\x0e\x0c\x08\x00\x3b";
    t.fp.dialogs.fileAnswers << WriteBytes("g.gif", QByteArray(kGif, sizeof kGif - 1));
    QTest::mouseClick(t.w.controls().cOpen2, Qt::LeftButton);
    QCOMPARE(Window::At(t.w.image2(), 5, 5), QColor(0, 255, 0));
    QCOMPARE(Window::At(t.w.image2(), 9, 5), QColor(0, 0, 0));  // beyond the GIF: black
}

void LoadTest::dropsOnImageOne() {
    Window t;
    const QString a = Write("a.jpg", Uniform(50, 30, QColor(250, 0, 0)), "JPG");
    const QString b = Write("b.bmp", Uniform(50, 30, QColor(0, 0, 250)), "BMP");
    Drop(t.w.controls().PicView0, {a, b, dir_.filePath("ignored.jpg")});
    QVERIFY(Near(Window::At(t.w.image1(), 3, 3), QColor(250, 0, 0)));
    QCOMPARE(Window::At(t.w.image2(), 3, 3), QColor(0, 0, 250));
    QCOMPARE(t.w.image1Path(), a);
    QCOMPARE(t.blends.size(), 1);

    // An MPO brings its own image 2; a second dropped file is then ignored.
    const QString mpo = Mpo("drop.mpo", QColor(0, 250, 0), QColor(250, 250, 0));
    Drop(t.w.controls().PicView0, {mpo, b});
    QVERIFY(Near(Window::At(t.w.image2(), 3, 3), QColor(250, 250, 0)));
    QCOMPARE(t.w.image1Path(), mpo);
    QVERIFY(!QFile::exists(temp_.filePath("StereoR.jpg")));
    QVERIFY(t.w.isEnabled());
}

void LoadTest::dropsOnImageTwo() {
    Window t;
    const QString a = Write("a.jpg", Uniform(50, 30, QColor(250, 0, 0)), "JPG");
    const QString b = Write("b.bmp", Uniform(60, 20, QColor(0, 0, 250)), "BMP");
    const QString c = Write("c.bmp", Uniform(70, 10, QColor(0, 250, 0)), "BMP");
    t.fp.dialogs.fileAnswers << c;
    QTest::mouseClick(t.w.controls().cOpen1, Qt::LeftButton);
    t.blends.clear();

    Drop(t.w.controls().PicView1, {a});  // image 2 only
    QVERIFY(Near(Window::At(t.w.image2(), 3, 3), QColor(250, 0, 0)));
    QCOMPARE(t.w.pictureWidth(), 70);
    QCOMPARE(t.blends.size(), 1);

    Drop(t.w.controls().PicView1, {a, b});  // the pair: first as image 1, second as image 2
    QVERIFY(Near(Window::At(t.w.image1(), 3, 3), QColor(250, 0, 0)));
    QCOMPARE(Window::At(t.w.image2(), 3, 3), QColor(0, 0, 250));
    QCOMPARE(t.w.pictureWidth(), 50);
    QCOMPARE(t.w.image1Path(), c);  // a drop on image 2 never changes it
}

void LoadTest::nonFileDropsAreIgnored() {
    Window t;
    t.fp.dialogs.fileAnswers << Write("a.jpg", Uniform(50, 30, Qt::red), "JPG");
    QTest::mouseClick(t.w.controls().cOpen1, Qt::LeftButton);
    t.blends.clear();
    t.w.SetCap(QStringLiteral("kept"));
    DropText(t.w.controls().PicView1);
    QCOMPARE(t.Status(), QStringLiteral("kept"));
    DropText(t.w.controls().PicView0);
    QCOMPARE(t.w.windowTitle(), t.w.baseCaption());
    QCOMPARE(t.blends.size(), 0);
    QVERIFY(t.w.isEnabled());
}

void LoadTest::damagedFilesLeaveTheWindowReady_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("slot");
    QByteArray jpeg;
    {
        QBuffer buf(&jpeg);
        buf.open(QIODevice::WriteOnly);
        Uniform(64, 64, Qt::red).save(&buf, "JPG");
    }
    QByteArray bmp;
    {
        QBuffer buf(&bmp);
        buf.open(QIODevice::WriteOnly);
        Uniform(64, 64, Qt::red).save(&buf, "BMP");
    }
    QTest::newRow("jpeg cut in its header") << "cut.jpg" << jpeg.left(100) << 1;
    QTest::newRow("bmp cut short") << "cut.bmp" << bmp.left(200) << 1;
    QTest::newRow("garbage gif") << "bad.gif" << QByteArray("GIF89a\x01\x00garbage", 16) << 1;
    QTest::newRow("not a picture") << "text.jpg" << QByteArray("hello, world") << 1;
    QTest::newRow("damaged second view") << "bad.mpo" << jpeg + jpeg.left(120) << 2;
    QTest::newRow("damaged image 2 file") << "cut2.jpg" << jpeg.left(100) << 2;
}

void LoadTest::jpegCutInItsDataLoadsAndSaysSo() {
    QByteArray jpeg;
    QBuffer buf(&jpeg);
    buf.open(QIODevice::WriteOnly);
    Columns(256, 256).save(&buf, "JPG", 95);
    Window t;
    t.fp.dialogs.fileAnswers << WriteBytes("cut.jpg", jpeg.left(jpeg.size() * 2 / 3));
    QTest::mouseClick(t.w.controls().cOpen1, Qt::LeftButton);
    QCOMPARE(t.w.pictureWidth(), 256);
    QCOMPARE(t.Status(), QStringLiteral("Image damaged, shown as far as it could be read!"));
    QCOMPARE(t.fp.dialogs.beeps, 0);
}

void LoadTest::damagedFilesLeaveTheWindowReady() {
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(int, slot);
    Window t;
    const QString path = WriteBytes(name, bytes);
    if (name == "cut2.jpg") {
        t.fp.dialogs.fileAnswers << Write("fine.jpg", Uniform(64, 64, Qt::blue), "JPG") << path;
        QTest::mouseClick(t.w.controls().cOpen1, Qt::LeftButton);
        QTest::mouseClick(t.w.controls().cOpen2, Qt::LeftButton);
    } else {
        t.fp.dialogs.fileAnswers << path;
        QTest::mouseClick(t.w.controls().cOpen1, Qt::LeftButton);
    }
    QCOMPARE(t.Status(), QStringLiteral("Image NOT loaded!"));
    QCOMPARE(t.fp.dialogs.beeps, 1);
    QVERIFY(!(slot == 1 ? t.w.image1() : t.w.image2()).hasImage());
    if (slot == 1) QCOMPARE(t.w.pictureWidth(), 0);
    QVERIFY(!QFile::exists(temp_.filePath("StereoR.jpg")));
    QVERIFY(t.w.isEnabled());
    QVERIFY(t.w.controls().cOpen1->isEnabled());

    // The window goes on working.
    t.fp.dialogs.fileAnswers << Write("after.jpg", Uniform(32, 32, Qt::white), "JPG");
    QTest::mouseClick(t.w.controls().cOpen1, Qt::LeftButton);
    QCOMPARE(t.w.pictureWidth(), 32);
    QVERIFY(t.Status().startsWith("Ready!"));
}

void LoadTest::commandLineNamesWhatToOpen() {
    using A = CommandLine::Action;
    const struct {
        std::vector<std::string> args;
        A action;
        std::string image1, image2;
        bool sbs;
    } cases[] = {
        {{}, A::Run, "", "", false},
        {{"a.mpo"}, A::Run, "a.mpo", "", false},
        {{"l.jpg", "r.jpg"}, A::Run, "l.jpg", "r.jpg", false},
        {{"--sbs", "s.jpg"}, A::Run, "s.jpg", "", true},
        {{"--", "-x.jpg"}, A::Run, "-x.jpg", "", false},
        {{"a", "--help", "--bad"}, A::Help, "", "", false},
        {{"--version"}, A::Version, "", "", false},
        {{"--sbs"}, A::Error, "", "", true},
        {{"--sbs", "a", "b"}, A::Error, "", "", true},
        {{"a", "b", "c"}, A::Error, "", "", false},
        {{"-x"}, A::Error, "", "", false},
    };
    for (const auto& c : cases) {
        const CommandLine line = ParseCommandLine(c.args);
        QCOMPARE(line.action, c.action);
        if (c.action != A::Run) {
            QVERIFY(!line.message.empty());
            continue;
        }
        QCOMPARE(line.image1, c.image1);
        QCOMPARE(line.image2, c.image2);
        QCOMPARE(line.sideBySide, c.sbs);
    }
}

void LoadTest::commandLineSideBySideAndMissingImageTwo() {
    Window t;
    QImage sbs = Uniform(80, 30, Qt::red);
    for (int y = 0; y < 30; ++y)
        for (int x = 40; x < 80; ++x)
            sbs.setPixel(x, y, qRgb(0, 255, 255));
    t.w.OpenFromCommandLine(Write("sbs.png", sbs, "PNG"), {}, true);
    QVERIFY(t.w.controls().CkSBS->isChecked());
    QCOMPARE(Window::At(t.w.image1(), 1, 1), QColor(Qt::red));
    QCOMPARE(Window::At(t.w.image2(), 1, 1), QColor(Qt::cyan));

    t.w.OpenFromCommandLine(Write("l.png", Uniform(20, 10, Qt::red), "PNG"),
                            dir_.filePath("missing.png"), false);
    QVERIFY(!t.w.controls().CkSBS->isChecked());
    QVERIFY(t.w.image1().hasImage());
    QVERIFY(!t.w.image2().hasImage());
    QCOMPARE(t.Status(), QStringLiteral("Image NOT loaded!"));
    QCOMPARE(t.fp.dialogs.beeps, 1);
}

void LoadTest::tiffAndWebpLoadAndTheRestAreRefusedByName() {
    PictureBuffer b;
    QString error;
    for (const char* format : {"TIFF", "WEBP"}) {
        QVERIFY(LoadPicture(Write("p", Uniform(30, 20, Qt::blue), format), b, error));
        QCOMPARE(b.width(), 30);
    }
    QVERIFY(!LoadPicture(WriteBytes("x.txt", "not a picture at all"), b, error));
    QVERIFY2(error.contains(QStringLiteral("PNG, BMP, GIF, TIFF and WebP")), qPrintable(error));
}

QTEST_MAIN(LoadTest)
#include "LoadTest.moc"
