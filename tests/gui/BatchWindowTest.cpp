// The batch program and the window must make the same pixels from the same
// files and settings: the window is driven through its controls, the batch
// converter writes a BMP with the values those controls show, and every
// pixel is compared with PicBuf2.
#include <QBuffer>
#include <QButtonGroup>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QtTest>

#include "WindowFixture.h"
#include "batch/BatchConverter.h"
#include "input/BmpReader.h"
#include "tests/batch/TestMpo.h"
#include "window/CaptionButtons.h"

using namespace tsy;
using namespace tsy::test;

namespace {

// Busy enough that a column or row off, a channel from the wrong view or a
// rounding difference shows.
std::vector<std::uint8_t> Photo(int w, int h, int seed) {
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y,
                         qRgb((x * 7 + y * 3 + seed * 40) & 0xFF, (x * x + y * 5 + seed) & 0xFF,
                              ((x ^ y) * 3 + seed * 90) & 0xFF));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    img.save(&buffer, "JPG", 90);
    return {bytes.begin(), bytes.end()};
}

}  // namespace

class BatchWindowTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void mpoWithOptimizedGreenMagentaAndOffsets();
    void pairFromTwoFilesOfDifferentSizes();
    void sideBySideSwappedWithOffsets();

private:
    QString Write(const QString& name, const std::vector<std::uint8_t>& bytes);
    QString DiffersFromWindow(Window& t, BatchOptions o);  // empty when equal

    QTemporaryDir dir_;
    QTemporaryDir temp_;
};

void BatchWindowTest::initTestCase() {
    QVERIFY(dir_.isValid() && temp_.isValid());
    qputenv("TEMP", temp_.path().toLocal8Bit());
    QVERIFY(QDir(dir_.path()).mkdir("out"));
}

QString BatchWindowTest::Write(const QString& name, const std::vector<std::uint8_t>& bytes) {
    QFile f(dir_.filePath(name));
    if (!f.open(QIODevice::WriteOnly) ||
        f.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size())) < 0)
        qFatal("cannot write %s", qPrintable(name));
    return f.fileName();
}

QString BatchWindowTest::DiffersFromWindow(Window& t, BatchOptions o) {
    o.files = {t.w.image1Path().toStdString()};
    o.glasses = t.w.controls().OpGlassGroup->checkedId();
    o.method = t.w.controls().OpColorGroup->checkedId();
    o.brightness = t.w.controls().tBr->text().toInt();
    o.dx = t.w.controls().tXo->text().toInt();
    o.dy = t.w.controls().tYo->text().toInt();
    o.format = "bmp";
    o.outDir = dir_.filePath("out").toStdString();
    o.overwrite = true;
    const FileOutcome r = BatchConverter(o).ConvertFile(o.files[0], 2);
    RgbImage out;
    std::string error = r.error;
    if (!r.ok() || !ReadBmp(r.output, out, error)) return QString::fromStdString(error);
    const PictureBuffer& b = t.w.anaglyph();
    if (out.width != b.width() || out.height != b.height())
        return QStringLiteral("written %1 x %2").arg(out.width).arg(out.height);
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x) {
            const std::uint8_t* p = &out.rgb[(std::size_t(y) * out.width + x) * 3];
            if (qRgb(p[0], p[1], p[2]) != (QRgb(b.pixel(x, y)) | 0xFF000000u))
                return QStringLiteral("pixel %1,%2 differs").arg(x).arg(y);
        }
    return {};
}

void BatchWindowTest::mpoWithOptimizedGreenMagentaAndOffsets() {
    Window t;
    t.fp.dialogs.fileAnswers << Write("pair.mpo", JoinAsMpo(Photo(101, 67, 1), Photo(101, 67, 2)));
    QTest::mouseClick(t.w.controls().cOpen1, Qt::LeftButton);
    QVERIFY(t.w.image2().hasImage());
    QTest::mouseClick(t.w.controls().OpGlass[1], Qt::LeftButton);
    QTest::mouseClick(t.w.controls().OpColor[3], Qt::LeftButton);
    t.w.controls().HSB->setValue(25);
    t.w.controls().HS->setValue(6);
    t.w.controls().VS->setValue(-3);
    QCOMPARE(t.w.controls().tYo->text(), QStringLiteral("-3"));
    QCOMPARE(DiffersFromWindow(t, {}), QString());
}

void BatchWindowTest::pairFromTwoFilesOfDifferentSizes() {
    Window t;
    t.fp.dialogs.fileAnswers << Write("left.jpg", Photo(101, 67, 3));
    QTest::mouseClick(t.w.controls().cOpen1, Qt::LeftButton);
    BatchOptions o;
    t.fp.dialogs.fileAnswers << Write("right.jpg", Photo(90, 75, 4));
    o.right = t.fp.dialogs.fileAnswers.last().toStdString();
    QTest::mouseClick(t.w.controls().cOpen2, Qt::LeftButton);
    QTest::mouseClick(t.w.controls().OpColor[1], Qt::LeftButton);
    t.w.controls().HS->setValue(-5);  // odd: the halves round to even
    QCOMPARE(DiffersFromWindow(t, o), QString());
}

void BatchWindowTest::sideBySideSwappedWithOffsets() {
    Window t;
    t.fp.dialogs.fileAnswers << Write("sbs.jpg", Photo(123, 50, 5));  // odd width
    QTest::mouseClick(t.w.controls().cOpen1, Qt::LeftButton);
    QTest::mouseClick(t.w.controls().CkSBS, Qt::LeftButton);
    t.w.controls().HS->setValue(7);
    t.w.controls().VS->setValue(2);
    QTest::mouseClick(t.w.controls().CkSwap, Qt::LeftButton);
    QTest::mouseClick(t.w.controls().OpColor[0], Qt::LeftButton);
    // The window's swap turned the offsets round; the batch takes them as shown.
    QCOMPARE(t.w.controls().tXo->text(), QStringLiteral("-7"));
    BatchOptions o;
    o.sideBySide = o.swap = true;
    QCOMPARE(DiffersFromWindow(t, o), QString());
}

QTEST_MAIN(BatchWindowTest)
#include "BatchWindowTest.moc"
