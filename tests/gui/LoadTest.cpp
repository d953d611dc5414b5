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

static QByteArray Encoded(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    image.save(&buf, format, 95);
    return bytes;
}

class LoadTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void openingAnMpoFillsBothViews();
    void cancelledOrUnusableChoicesChangeNothing();
    void newImageOneDiscardsImageTwoAndUnticksSwitches();
    void imageTwoAloneReplacesOnlyImageTwo();
    void dropsOnEitherView();
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
    static void Open(Window& t, const QString& path, int image = 1);

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
    return WriteBytes(name, Encoded(image, format));
}

QString LoadTest::WriteBytes(const QString& name, const QByteArray& bytes) {
    const QString path = dir_.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) qFatal("cannot write");
    return path;
}

// Two JPEG streams back to back, as a stereo camera stores them.
QString LoadTest::Mpo(const QString& name, QColor left, QColor right) {
    return WriteBytes(
        name, Encoded(Uniform(64, 40, left), "JPG") + Encoded(Uniform(48, 40, right), "JPG"));
}

void LoadTest::Open(Window& t, const QString& path, int image) {
    t.fp.dialogs.fileAnswers << path;
    QTest::mouseClick(image == 1 ? t.w.controls().cOpen1 : t.w.controls().cOpen2, Qt::LeftButton);
}

// A drag of files (or, with none, of text) that enters the view and is let
// go there, as the window system delivers it.
static void Drop(PictureView* view, const QStringList& paths = {}) {
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& p : paths)
        urls << QUrl::fromLocalFile(p);
    paths.isEmpty() ? data.setText(QStringLiteral("just some text")) : data.setUrls(urls);
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(view, &enter);
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(view, &drop);
    QCoreApplication::processEvents();
}

static bool Near(QColor a, QColor b) {
    return std::abs(a.red() - b.red()) < 8 && std::abs(a.green() - b.green()) < 8 &&
           std::abs(a.blue() - b.blue()) < 8;
}

void LoadTest::openingAnMpoFillsBothViews() {
    Window t;
    QStringList statuses;
    connect(&t.w, &QWidget::windowTitleChanged, [&] { statuses << t.Status(); });
    Open(t, Mpo("pair.MPO", QColor(200, 40, 40), QColor(40, 200, 200)));

    QCOMPARE(QSize(t.w.pictureWidth(), t.w.pictureHeight()), QSize(64, 40));
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
        Open(t, answer);
        QCOMPARE(t.w.windowTitle(), t.w.baseCaption());
        QCOMPARE(t.blends.size(), 0);
        QVERIFY(t.w.image1Path().isEmpty());
        QVERIFY(!t.w.controls().cOpen2->isEnabled());
    }
}

void LoadTest::newImageOneDiscardsImageTwoAndUnticksSwitches() {
    Window t;
    Open(t, Mpo("a.mpo", Qt::red, Qt::cyan));
    QTest::mouseClick(t.w.controls().CkSwap, Qt::LeftButton);
    QTest::mouseClick(t.w.controls().CkSBS, Qt::LeftButton);
    t.w.controls().HSB->setValue(30);
    Open(t, "  " + Write("plain.bmp", Uniform(30, 20, Qt::yellow), "BMP") + " ");
    QVERIFY(!t.w.controls().CkSwap->isChecked() && !t.w.controls().CkSBS->isChecked());
    QVERIFY(!t.w.image2().hasImage());
    QCOMPARE(t.w.pictureWidth(), 30);
    QCOMPARE(t.w.controls().HSB->value(), 0);
    QVERIFY(t.w.image1Path().endsWith("plain.bmp"));  // blanks around the name removed
    QCOMPARE(Window::At(t.w.anaglyph(), 3, 3), QColor(255, 0, 0));
    QVERIFY(t.w.isEnabled());
}

void LoadTest::imageTwoAloneReplacesOnlyImageTwo() {
    Window t;
    Open(t, Write("one.jpg", Uniform(40, 30, Qt::white), "JPG"));
    const QString image1 = t.w.image1Path();
    // An MPO opened as image 2 gives its first view only.
    Open(t, Mpo("two.mpo", QColor(10, 10, 200), QColor(200, 10, 10)), 2);
    QVERIFY(Near(Window::At(t.w.image2(), 5, 5), QColor(10, 10, 200)));
    QCOMPARE(t.w.image1Path(), image1);
    QCOMPARE(t.w.pictureWidth(), 40);
    QCOMPARE(t.w.image2().width(), 40);  // cut to image 1's size
    // GIF as image 2 (an 8 x 6 green one; the toolkit writes no GIF).
    static const char kGif[] =
        "GIF87a\x08\x00\x06\x00\x81\x00\x00\x00\xff\x00\x00\x00\x00\x00\x00\x00\x00"
        "\x00\x00\x2c\x00\x00\x00\x00\x08\x00\x06\x00\x00\x08\x0e\x00\x01\x08\x1c"
        "\x48\xb0\xa0\xc1\x83\x08\x13\x0e\x0c\x08\x00\x3b";
    Open(t, WriteBytes("g.gif", QByteArray(kGif, sizeof kGif - 1)), 2);
    QCOMPARE(Window::At(t.w.image2(), 5, 5), QColor(0, 255, 0));
    QCOMPARE(Window::At(t.w.image2(), 9, 5), QColor(0, 0, 0));  // beyond the GIF: black
}

void LoadTest::dropsOnEitherView() {
    Window t;
    const QString a = Write("a.jpg", Uniform(50, 30, QColor(250, 0, 0)), "JPG");
    const QString b = Write("b.bmp", Uniform(60, 20, QColor(0, 0, 250)), "BMP");
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

    Open(t, Write("c.bmp", Uniform(70, 10, QColor(0, 250, 0)), "BMP"));
    t.blends.clear();
    Drop(t.w.controls().PicView1, {a});  // image 2 only
    QVERIFY(Near(Window::At(t.w.image2(), 3, 3), QColor(250, 0, 0)));
    QCOMPARE(t.w.pictureWidth(), 70);
    QCOMPARE(t.blends.size(), 1);
    Drop(t.w.controls().PicView1, {a, b});  // the pair: first as image 1, second as image 2
    QVERIFY(Near(Window::At(t.w.image1(), 3, 3), QColor(250, 0, 0)));
    QCOMPARE(Window::At(t.w.image2(), 3, 3), QColor(0, 0, 250));
    QCOMPARE(t.w.pictureWidth(), 50);
    QVERIFY(t.w.image1Path().endsWith("c.bmp"));  // a drop on image 2 never changes it

    // Text instead of files: image 2's view ignores it, image 1's clears the status.
    t.blends.clear();
    t.w.SetCap(QStringLiteral("kept"));
    Drop(t.w.controls().PicView1);
    QCOMPARE(t.Status(), QStringLiteral("kept"));
    Drop(t.w.controls().PicView0);
    QCOMPARE(t.w.windowTitle(), t.w.baseCaption());
    QCOMPARE(t.blends.size(), 0);
    QVERIFY(t.w.isEnabled());
}

void LoadTest::damagedFilesLeaveTheWindowReady_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("slot");
    const QByteArray jpeg = Encoded(Uniform(64, 64, Qt::red), "JPG");
    const QByteArray bmp = Encoded(Uniform(64, 64, Qt::red), "BMP");
    QTest::newRow("jpeg cut in its header") << "cut.jpg" << jpeg.left(100) << 1;
    QTest::newRow("bmp cut short") << "cut.bmp" << bmp.left(200) << 1;
    QTest::newRow("garbage gif") << "bad.gif" << QByteArray("GIF89a\x01\x00garbage", 16) << 1;
    QTest::newRow("not a picture") << "text.jpg" << QByteArray("hello, world") << 1;
    QTest::newRow("damaged second view") << "bad.mpo" << jpeg + jpeg.left(120) << 2;
    QTest::newRow("damaged image 2 file") << "cut2.jpg" << jpeg.left(100) << 2;
}

void LoadTest::jpegCutInItsDataLoadsAndSaysSo() {
    const QByteArray jpeg = Encoded(Columns(256, 256), "JPG");
    Window t;
    Open(t, WriteBytes("cut.jpg", jpeg.left(jpeg.size() * 2 / 3)));
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
    if (name == "cut2.jpg") Open(t, Write("fine.jpg", Uniform(64, 64, Qt::blue), "JPG"));
    Open(t, path, name == "cut2.jpg" ? 2 : 1);
    QCOMPARE(t.Status(), QStringLiteral("Image NOT loaded!"));
    QCOMPARE(t.fp.dialogs.beeps, 1);
    QVERIFY(!(slot == 1 ? t.w.image1() : t.w.image2()).hasImage());
    if (slot == 1) QCOMPARE(t.w.pictureWidth(), 0);
    QVERIFY(!QFile::exists(temp_.filePath("StereoR.jpg")));
    QVERIFY(t.w.isEnabled() && t.w.controls().cOpen1->isEnabled());
    // The window goes on working.
    Open(t, Write("after.jpg", Uniform(32, 32, Qt::white), "JPG"));
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
        QVERIFY(c.action != A::Run ? !line.message.empty()
                                   : line.image1 == c.image1 && line.image2 == c.image2 &&
                                         line.sideBySide == c.sbs);
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
    QVERIFY(t.w.image1().hasImage() && !t.w.image2().hasImage());
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
