// The batch and the window make the same pixels from the same files and settings: the window
// driven through its controls, the batch converter writing a BMP with the values they show.

#include "TestStereoScene.h"
#include "WindowFixture.h"
#include "batch/BatchConverter.h"
#include "tests/batch/TestMpo.h"

// Busy enough that a column or row off, a channel from the wrong view or a
// rounding difference shows.
static std::vector<std::uint8_t> Photo(int w, int h, int seed) {
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y,
                         qRgb((x * 7 + y * 3 + seed * 40) & 0xFF, (x * x + y * 5 + seed) & 0xFF,
                              ((x ^ y) * 3 + seed * 90) & 0xFF));
    const QByteArray bytes = Encoded(img, "JPG", 90);
    return {bytes.begin(), bytes.end()};
}

class BatchWindowTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_, temp_;

    QString Write(const QString& name, const std::vector<std::uint8_t>& bytes) {
        return WriteFile(
            dir_.filePath(name),
            QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())));
    }

    void ExpectBatchMatchesWindow(Window& t, const QString& right = {}) {
        BatchOptions o;
        o.files = {t.w.image1Path().toStdString()};
        o.right = right.toStdString();
        Recipe& r = o.recipe;
        if (t.c.CkSBS->isChecked()) ParseSetting(Setting::Layout, "sbs-lr-half", r);
        r.Set(Setting::Swap, t.c.CkSwap->isChecked());
        r.Set(Setting::Glasses, t.c.OpGlassGroup->checkedId());
        r.Set(Setting::Method, t.c.OpColorGroup->checkedId());
        r.Set(Setting::Brightness, t.c.tBr->text().toInt());
        r.Set(Setting::OffsetX, t.c.tXo->text().toInt());
        r.Set(Setting::OffsetY, t.c.tYo->text().toInt());
        r.Set(Setting::Align, int(t.c.CkAlign->isChecked() ? AlignMode::On : AlignMode::Off));
        ParseSetting(Setting::Format, "bmp", r);
        o.outDir = dir_.path().toStdString();
        o.overwrite = true;
        const FileOutcome done = BatchConverter(o).ConvertFile(o.files[0], 2);
        QVERIFY2(done.ok(), done.error.c_str());
        const QImage written(QString::fromStdString(done.output), "BMP");
        QCOMPARE(written.convertToFormat(QImage::Format_RGB32), Picture(t.w.anaglyph()));
    }

private slots:
    void initTestCase() { qputenv("TEMP", temp_.path().toLocal8Bit()); }

    void mpoWithOptimizedGreenMagentaAndOffsets() {
        Window t;
        t.Open(Write("pair.mpo", JoinAsMpo(Photo(101, 67, 1), Photo(101, 67, 2))));
        Click(t.c.OpGlass[1]);
        Click(t.c.OpColor[3]);
        t.c.HSB->setValue(25);
        t.c.HS->setValue(6);
        t.c.VS->setValue(-3);
        ExpectBatchMatchesWindow(t);
    }

    void pairFromTwoFilesOfDifferentSizes() {
        Window t;
        t.Open(Write("left.jpg", Photo(101, 67, 3)));
        const QString right = Write("right.jpg", Photo(90, 75, 4));
        t.Open(right, 2);
        Click(t.c.OpColor[1]);
        t.c.HS->setValue(-5);  // odd: the halves round to even
        ExpectBatchMatchesWindow(t, right);
    }

    void sideBySideSwappedWithOffsets() {
        Window t;
        t.Open(Write("sbs.jpg", Photo(123, 50, 5)));  // odd width
        Click(t.c.CkSBS);
        t.c.HS->setValue(7);
        t.c.VS->setValue(2);
        Click(t.c.CkSwap);
        Click(t.c.OpColor[0]);
        // The window's swap turned the offsets round; the batch takes them as shown.
        QCOMPARE(t.c.tXo->text(), QStringLiteral("-7"));
        ExpectBatchMatchesWindow(t);
    }

    // Aligned, then cut where both eyes have picture: image 2 resampled whole
    // in the window, only where kept in the batch.
    void alignedPairCutToThePictureBothEyesSee() {
        PictureBuffer left, right;
        StereoScene({320, 240, 9, -1.2, 1.015}).Render(left, right);
        Window t;
        t.Open(WriteFile(dir_.filePath("l.png"), Encoded(Picture(left), "PNG")));
        const QString r = WriteFile(dir_.filePath("r.png"), Encoded(Picture(right), "PNG"));
        t.Open(r, 2);
        Click(t.c.CkAlign);
        QVERIFY(t.w.anaglyph().width() < 320);
        ExpectBatchMatchesWindow(t, r);
    }
};

TSY_GUI_TEST(BatchWindowTest)
#include "BatchWindowTest.moc"
