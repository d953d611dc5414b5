#include <QDropEvent>
#include <QMimeData>

#include "WindowFixture.h"
#include "output/FileFormats.h"
#include "platform/PictureLoader.h"
#include "window/CommandLine.h"

// A drag of files (or, with none, of text) that enters the view and is let
// go there, as the window system delivers it.
static void Drop(PictureView* view, const QStringList& paths = {}) {
    QMimeData data;
    if (paths.isEmpty()) data.setText(QStringLiteral("just some text"));
    for (const QString& p : paths)
        data.setUrls(data.urls() << QUrl::fromLocalFile(p));
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(view, &enter);
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(view, &drop);
    QCoreApplication::processEvents();
}

// JPEG is lossy: near enough.
static bool Near(QColor a, QColor b) {
    return std::abs(a.red() - b.red()) < 8 && std::abs(a.green() - b.green()) < 8 &&
           std::abs(a.blue() - b.blue()) < 8;
}

class LoadTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_, temp_;  // temp_: the program's own temporary folder

    QString Write(const QString& name, const QByteArray& bytes) {
        return WriteFile(dir_.filePath(name), bytes);
    }
    QString Write(const QString& name, const QImage& image, const char* format) {
        return Write(name, Encoded(image, format));
    }
    // Two JPEG streams back to back, as a stereo camera stores them.
    QString Mpo(const QString& name, QColor left, QColor right) {
        return Write(
            name, Encoded(Uniform(64, 40, left), "JPG") + Encoded(Uniform(48, 40, right), "JPG"));
    }

private slots:
    void initTestCase() { qputenv("TEMP", temp_.path().toLocal8Bit()); }

    void openingAnMpoFillsBothViews() {
        Window t;
        t.Open(Mpo("pair.MPO", QColor(200, 40, 40), QColor(40, 200, 200)));
        QCOMPARE(QSize(t.w.pictureWidth(), t.w.pictureHeight()), QSize(64, 40));
        QVERIFY(Near(Window::At(t.w.anaglyph(), 10, 10), QColor(200, 200, 200)));
        QVERIFY(Near(QColor(t.c.PicView1->canvas().pixel(107, 80)), QColor(40, 200, 200)));
        QVERIFY(t.w.image1Path().endsWith("pair.MPO") && t.c.cSave->isEnabled());
        QVERIFY(!QFile::exists(temp_.filePath("StereoR.jpg")));  // read in place
        QCOMPARE(t.blends.size(), 1);
    }

    // Stereo files open as their views: a JPS by its name (side by side,
    // right view first, whole views) or by its descriptor, two JPEG pictures
    // of one size back to back without an index. The status says how a
    // picture was split.
    void stereoFilesOpenAsTheirViews() {
        const QColor left(220, 30, 30), right(30, 30, 220);
        QImage sideBySide = Uniform(128, 40, right), overUnder = Uniform(64, 80, right);
        QPainter(&sideBySide).fillRect(64, 0, 64, 40, left);
        QPainter(&overUnder).fillRect(0, 40, 64, 40, left);
        // An APP3 stereo descriptor after the start marker: over-under, right view first.
        const QByteArray descriptor("\xFF\xE3\x00\x10_JPSJPS_\x00\x04\x00\x00\x03\x01", 18);
        const QByteArray tb = Encoded(overUnder, "JPG");
        const struct {
            const char* name;
            QByteArray bytes;
            const char* layout;
        } cases[] = {
            {"named.jps", Encoded(sideBySide, "JPG"), "sbs-rl"},
            {"marked.jpg", tb.left(2) + descriptor + tb.mid(2), "tb-rl"},
            {"two.jpg",
             Encoded(Uniform(64, 40, left), "JPG") + Encoded(Uniform(64, 40, right), "JPG"),
             "auto"}};
        for (const auto& k : cases) {
            Window t;
            t.Open(Write(k.name, k.bytes));
            const bool split = k.layout != std::string("auto");
            QVERIFY2(t.c.CkSBS->isChecked() == split, k.name);
            QCOMPARE(t.w.RecipeOfControls().layout(), LayoutByName(k.layout)->layout);
            QCOMPARE(QSize(t.w.pictureWidth(), t.w.pictureHeight()), QSize(64, 40));
            QVERIFY(Near(Window::At(t.w.image1(), 32, 20), left) &&
                    Near(Window::At(t.w.image2(), 32, 20), right));
            QVERIFY2(split == t.Status().startsWith(QStringLiteral("Read as ") + k.layout),
                     qPrintable(t.Status()));
        }
    }

    void cancelledOrUnusableChoicesChangeNothing() {
        Window t;
        t.w.SetCap(QStringLiteral("something"));
        for (const QString& answer :
             {QString(), Write("empty.jpg", QByteArray()), dir_.filePath("no.jpg")}) {
            t.Open(answer);
            QVERIFY(t.w.windowTitle() == t.w.baseCaption() && t.blends.isEmpty());
            QVERIFY(t.w.image1Path().isEmpty() && !t.c.cOpen2->isEnabled());
        }
    }

    void newImageOneDiscardsImageTwoAndUnticksSwitches() {
        Window t;
        t.Open(Mpo("a.mpo", Qt::red, Qt::cyan));
        Click(t.c.CkSwap);
        Click(t.c.CkSBS);
        t.c.HSB->setValue(30);
        t.Open("  " + Write("plain.bmp", Uniform(30, 20, Qt::yellow), "BMP") + " ");
        QVERIFY(!t.c.CkSwap->isChecked() && !t.c.CkSBS->isChecked() && !t.w.image2().hasImage());
        QVERIFY(t.w.pictureWidth() == 30 && t.w.image1Path().endsWith("plain.bmp"));  // trimmed
        QCOMPARE(Window::At(t.w.anaglyph(), 3, 3), QColor(255, 0, 0));  // no brightness left
    }

    void dropsOnEitherView() {
        Window t;
        const QString a = Write("a.jpg", Uniform(50, 30, QColor(250, 0, 0)), "JPG");
        const QString b = Write("b.bmp", Uniform(60, 20, QColor(0, 0, 250)), "BMP");
        const auto isPairAB = [&] {
            return Near(Window::At(t.w.image1(), 3, 3), QColor(250, 0, 0)) &&
                   Window::At(t.w.image2(), 3, 3) == QColor(0, 0, 250) && t.w.pictureWidth() == 50;
        };
        Drop(t.c.PicView0, {a, b, dir_.filePath("ignored.jpg")});
        QVERIFY(isPairAB() && t.w.image1Path() == a && t.blends.size() == 1);

        // An MPO brings its own image 2; a second dropped file is then ignored.
        const QString mpo = Mpo("drop.mpo", QColor(0, 250, 0), QColor(250, 250, 0));
        Drop(t.c.PicView0, {mpo, b});
        QVERIFY(Near(Window::At(t.w.image2(), 3, 3), QColor(250, 250, 0)));
        QCOMPARE(t.w.image1Path(), mpo);

        t.Open(Write("c.bmp", Uniform(70, 10, QColor(0, 250, 0)), "BMP"));
        t.blends.clear();
        // Image 2 only, cut to image 1's size; an MPO gives its first view.
        Drop(t.c.PicView1, {Mpo("two.mpo", QColor(10, 10, 200), QColor(200, 10, 10))});
        QVERIFY(Near(Window::At(t.w.image2(), 3, 3), QColor(10, 10, 200)));
        QVERIFY(t.w.pictureWidth() == 70 && t.w.image2().width() == 70 && t.blends.size() == 1);
        Drop(t.c.PicView1, {a, b});  // the pair: first as image 1, second as image 2
        QVERIFY(isPairAB() && t.w.image1Path().endsWith("c.bmp"));  // image 1's name kept

        // Text instead of files: image 2's view ignores it, image 1's clears the status.
        t.blends.clear();
        t.w.SetCap(QStringLiteral("kept"));
        Drop(t.c.PicView1);
        QCOMPARE(t.Status(), QStringLiteral("kept"));
        Drop(t.c.PicView0);
        QVERIFY(t.w.windowTitle() == t.w.baseCaption() && t.blends.isEmpty() && t.w.isEnabled());
    }

    void damagedFilesLeaveTheWindowReady() {
        const QByteArray jpeg = Encoded(Uniform(64, 64, Qt::red), "JPG");
        const struct {
            const char* name;
            QByteArray bytes;
            int openAs, lost;  // lost: the image left without a picture
        } cases[] = {{"cut-header.jpg", jpeg.left(100), 1, 1},
                     {"a.bmp", Encoded(Uniform(64, 64, Qt::red), "BMP").left(200), 1, 1},
                     {"a.gif", QByteArray("GIF89a\x01\x00garbage", 16), 1, 1},
                     {"text.jpg", QByteArray("hello, world"), 1, 1},
                     {"damaged-view-2.mpo", jpeg + jpeg.left(120), 1, 2},
                     {"damaged-image-2.jpg", jpeg.left(100), 2, 2}};
        for (const auto& k : cases) {
            Window t;
            if (k.openAs == 2) t.Open(Write("fine.jpg", Uniform(64, 64, Qt::blue), "JPG"));
            t.Open(Write(k.name, k.bytes), k.openAs);
            QVERIFY2(t.Status() == "Image NOT loaded!" && t.fp.dialogs.beeps == 1, k.name);
            QVERIFY(!(k.lost == 1 ? t.w.image1() : t.w.image2()).hasImage());
            QVERIFY(k.lost == 2 || t.w.pictureWidth() == 0);
            QVERIFY(t.w.isEnabled() && t.c.cOpen1->isEnabled());
            t.Open(Write("after.jpg", Uniform(32, 32, Qt::white), "JPG"));
            QVERIFY(t.w.pictureWidth() == 32 && t.Status().startsWith("Ready!"));
        }
    }

    void jpegCutInItsDataLoadsAndSaysSo() {
        const QByteArray jpeg = Encoded(Columns(256, 256), "JPG");
        Window t;
        t.Open(Write("cut.jpg", jpeg.left(jpeg.size() * 2 / 3)));
        QCOMPARE(t.Status(), QStringLiteral("Image damaged, shown as far as it could be read!"));
        QVERIFY(t.w.pictureWidth() == 256 && t.fp.dialogs.beeps == 0);
    }

    void commandLineNamesWhatToOpen() {
        using A = CommandLine::Action;
        // A file manager's "Open with" passes a whole selection: the first
        // pair (or picture) opens, the rest are counted.
        const struct {
            std::vector<std::string> args;
            A action = A::Error;
            std::string image1 = "", image2 = "";
            bool sbs = false;
            int leftOut = 0;
        } cases[] = {{{}, A::Run},
                     {{"l.jpg", "r.jpg"}, A::Run, "l.jpg", "r.jpg"},
                     {{"--sbs", "s.jpg"}, A::Run, "s.jpg", "", true},
                     {{"--", "-x.jpg"}, A::Run, "-x.jpg"},
                     {{"a", "--help", "--bad"}, A::Help},
                     {{"--sbs"}},
                     {{"--sbs", "a", "b"}, A::Run, "a", "", true, 1},
                     {{"a", "b", "c", "d"}, A::Run, "a", "b", false, 2},
                     {{"-x"}}};
        for (const auto& c : cases) {
            const CommandLine line = ParseCommandLine(c.args);
            QCOMPARE(line.action, c.action);
            QVERIFY(c.action != A::Run ? !line.message.empty()
                                       : line.image1 == c.image1 && line.image2 == c.image2 &&
                                             line.sideBySide == c.sbs && line.leftOut == c.leftOut);
        }
    }

    void commandLineWithMoreFilesOpensThePairAndSaysSo() {
        Window t;
        const QString l = Write("l.png", Uniform(20, 10, Qt::red), "PNG"),
                      r = Write("r.png", Uniform(20, 10, Qt::blue), "PNG");
        t.w.OpenFromCommandLine(ParseCommandLine({l.toStdString(), r.toStdString(), "x", "y"}));
        QVERIFY(Window::At(t.w.image2(), 3, 3) == QColor(Qt::blue) && t.c.cSave->isEnabled());
        QCOMPARE(t.Status(),
                 QStringLiteral("2 more files left out: one stereo pair is opened at a time"));
    }

    void commandLineSideBySideAndMissingImageTwo() {
        Window t;
        const QString sbs = Write("sbs.png", Columns(80, 30), "PNG");
        t.w.OpenFromCommandLine(ParseCommandLine({"--sbs", sbs.toStdString()}));
        QVERIFY(t.c.CkSBS->isChecked());
        QCOMPARE(ColumnOf(Window::At(t.w.image1(), 0, 1)), 0);
        QCOMPARE(ColumnOf(Window::At(t.w.image2(), 0, 1)), 40);

        const QString l = Write("l.png", Uniform(20, 10, Qt::red), "PNG");
        t.w.OpenFromCommandLine(
            ParseCommandLine({l.toStdString(), dir_.filePath("missing.png").toStdString(), "x"}));
        QVERIFY(!t.c.CkSBS->isChecked() && t.w.image1().hasImage() && !t.w.image2().hasImage());
        QVERIFY(t.Status() == "Image NOT loaded!" && t.fp.dialogs.beeps == 1);
    }

    // Each open dialog starts where the last picture opened came from,
    // however it was opened; the name stays "*.*".
    void openDialogsStartInTheFolderOfTheLastPicture() {
        Window t;
        QTemporaryDir other, dropped;
        t.Open(Write("a.png", Uniform(20, 10, Qt::red), "PNG"));
        t.Open(WriteFile(other.filePath("b.png"), Encoded(Uniform(20, 10, Qt::red), "PNG")), 2);
        t.Open(QString());
        Drop(t.c.PicView0,
             {WriteFile(dropped.filePath("c.png"), Encoded(Uniform(9, 9, Qt::red), "PNG"))});
        t.Open(QString(), 2);
        QStringList folders;
        for (const FileDialogRequest& r : t.fp.dialogs.fileRequests)
            folders << QString::fromStdString(r.initialDir);
        QCOMPARE(folders,
                 QStringList({"", dir_.path() + "/", other.path() + "/", dropped.path() + "/"}));
    }

    void gifTiffAndWebpLoadAndTheRestAreRefusedByName() {
        // An 8 x 6 green GIF: the toolkit writes none.
        static const char kGif[] =
            "GIF87a\x08\x00\x06\x00\x81\x00\x00\x00\xff\x00\x00\x00\x00\x00\x00\x00\x00"
            "\x00\x00\x2c\x00\x00\x00\x00\x08\x00\x06\x00\x00\x08\x0e\x00\x01\x08\x1c"
            "\x48\xb0\xa0\xc1\x83\x08\x13\x0e\x0c\x08\x00\x3b";
        PictureBuffer b;
        QString error;
        for (const QByteArray& bytes :
             {QByteArray(kGif, sizeof kGif - 1), Encoded(Uniform(8, 6, Qt::green), "TIFF"),
              Encoded(Uniform(8, 6, Qt::green), "WEBP")}) {
            QVERIFY2(LoadPicture(Write("p", bytes), b, error), qPrintable(error));
            QVERIFY(b.width() == 8 && b.height() == 6 && Near(Window::At(b, 5, 5), Qt::green));
        }
        QVERIFY(!LoadPicture(Write("x.txt", "not a picture at all"), b, error));
        QVERIFY2(error.contains(QStringLiteral("BMP, JPEG, MPO, JPS, GIF, PNG, TIFF and WebP")), qPrintable(error));
    }
};

TSY_GUI_TEST(LoadTest)
#include "LoadTest.moc"
