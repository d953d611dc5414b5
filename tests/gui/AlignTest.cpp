#include <QRegularExpression>
#include <QScrollBar>
#include <QtTest>
#include <cmath>
#include <cstring>

#include "TestStereoScene.h"
#include "WindowFixture.h"
#include "window/CaptionButtons.h"

using namespace tsy;
using namespace tsy::test;

namespace {

const char* const kSetting = "Brannoc-Software/Tessaly/AutoAlign";

QImage Picture(const PictureBuffer& b) {
    QImage image(b.width(), b.height(), QImage::Format_RGB32);
    for (int y = 0; y < b.height(); ++y)
        std::memcpy(image.scanLine(y), b.row(y), b.stride());
    return image;
}

bool Holds(const PictureBuffer& b, const QImage& image) {
    return Picture(b) == image;
}

// A scene pair put in place as a load does; returns image 2 as loaded.
QImage FeedScene(Window& t, const StereoPairSetup& setup) {
    PictureBuffer image1, image2;
    StereoScene(setup).Render(image1, image2);
    t.Feed(Picture(image1), Picture(image2));
    return Picture(image2);
}

// Vertical offset and roll as the status shows them; NaN when it shows none.
std::pair<double, double> Shown(const QString& status) {
    static const QRegularExpression form(QStringLiteral(
        "^Aligned: vertical (-?[0-9.]+) px, roll (-?[0-9.]+)\u00B0, scale [0-9.]+, residual "
        "[0-9.]+ px$"));
    const QRegularExpressionMatch m = form.match(status);
    if (!m.hasMatch()) return {std::nan(""), std::nan("")};
    return {m.captured(1).toDouble(), m.captured(2).toDouble()};
}

}  // namespace

class AlignTest : public QObject {
    Q_OBJECT

private slots:
    void tickingAlignsAndUntickingBringsImage2Back();
    void aFlatPairFailsAndStaysAsItWas();
    void swapAlignsTheSwappedPairFromTheLoadedViews();
    void theSettingIsRemembered();
};

void AlignTest::tickingAlignsAndUntickingBringsImage2Back() {
    Window t;
    const QImage loaded = FeedScene(t, {400, 300, 7, -1, 1.01});
    t.w.controls().VS->setValue(3);
    t.blends.clear();  // a vertical offset the alignment replaces
    QTest::mouseClick(t.w.controls().CkAlign, Qt::LeftButton);
    QCOMPARE(t.blends.size(), 1);
    const auto [vertical, roll] = Shown(t.Status());
    QVERIFY2(std::abs(vertical - 7) < 0.15 && std::abs(roll + 1) < 0.02, qPrintable(t.Status()));
    QCOMPARE(t.w.controls().VS->value(), 0);
    QVERIFY(std::abs(t.w.controls().HS->value() - int(-0.08 * 400)) <= 2);
    QVERIFY(!Holds(t.w.image2(), loaded));
    QCOMPARE(t.fp.settings.values.value(kSetting), QStringLiteral("1"));

    QTest::mouseClick(t.w.controls().CkAlign, Qt::LeftButton);
    QVERIFY(Holds(t.w.image2(), loaded));
    QCOMPARE(t.w.controls().HS->value(), 0);
    QCOMPARE(t.fp.settings.values.value(kSetting), QStringLiteral("0"));
}

void AlignTest::aFlatPairFailsAndStaysAsItWas() {
    Window t;
    t.Feed(Uniform(200, 150, Qt::gray), Uniform(200, 150, Qt::darkGray));
    QTest::mouseClick(t.w.controls().CkAlign, Qt::LeftButton);
    QCOMPARE(t.Status(), QStringLiteral("Could not align: only 0 matching points"));
    QVERIFY(Holds(t.w.image2(), Uniform(200, 150, Qt::darkGray)));
    QCOMPARE(t.w.controls().HS->value(), 0);
}

void AlignTest::swapAlignsTheSwappedPairFromTheLoadedViews() {
    Window t;
    const QImage loaded = FeedScene(t, {400, 300, -5, 0.5, 1});
    QTest::mouseClick(t.w.controls().CkAlign, Qt::LeftButton);
    QTest::mouseClick(t.w.controls().CkSwap, Qt::LeftButton);
    // Image 1 is image 2 as loaded, not as aligned; the other way round the
    // shift is the opposite one.
    QVERIFY(Holds(t.w.image1(), loaded));
    const auto [vertical, roll] = Shown(t.Status());
    QVERIFY2(std::abs(vertical - 5) < 0.15 && std::abs(roll + 0.5) < 0.02, qPrintable(t.Status()));
}

void AlignTest::theSettingIsRemembered() {
    for (const char* stored : {"1", "0"}) {
        FakePlatform fp;
        fp.settings.values[kSetting] = QString::fromLatin1(stored);
        FrmMain w(fp.platform);
        QVERIFY(w.Form_Load());
        QCOMPARE(w.controls().CkAlign->isChecked(), *stored == '1');
        QCOMPARE(fp.settings.writes, 0);
        w.close();
    }
}

QTEST_MAIN(AlignTest)
#include "AlignTest.moc"
