#include <cmath>

#include "TestStereoScene.h"
#include "WindowFixture.h"

// A scene pair put in place as a load does; returns image 2 as loaded.
static QImage FeedScene(Window& t, const StereoPairSetup& setup) {
    PictureBuffer image1, image2;
    StereoScene(setup).Render(image1, image2);
    t.Feed(Picture(image1), Picture(image2));
    return Picture(image2);
}

// Whether the status shows the vertical offset and roll found, near enough,
// and the depth of the result.
static bool Shows(const QString& status, double vertical, double roll) {
    static const QRegularExpression form(QStringLiteral(
        "^Aligned: vertical (-?[0-9.]+) px, roll (-?[0-9.]+)\u00B0, scale [0-9.]+, residual "
        "[0-9.]+ px, depth [0-9.]+ % \\(near [-+]?[0-9.]+ %, far [-+]?[0-9.]+ %\\)"));
    const QRegularExpressionMatch m = form.match(status);
    return m.hasMatch() && std::abs(m.captured(1).toDouble() - vertical) < 0.15 &&
           std::abs(m.captured(2).toDouble() - roll) < 0.02;
}

class AlignTest : public QObject {
    Q_OBJECT

private slots:
    void tickingAlignsAndUntickingBringsImage2Back() {
        Window t;
        // Image 2 7 px high, turned 1 degree clockwise: corrected by (7, -1, 1.01).
        const QImage loaded = FeedScene(t, {400, 300, 7, -1, 1.01});
        t.c.VS->setValue(3);  // a vertical offset the alignment replaces
        t.blends.clear();
        Click(t.c.CkAlign);
        QCOMPARE(t.blends.size(), 1);
        QVERIFY2(Shows(t.Status(), -7 * std::cos(1 * M_PI / 180) / 1.01, 1),
                 qPrintable(t.Status()));
        QVERIFY(t.c.VS->value() == 0 && std::abs(t.c.HS->value() - int(-0.08 * 400)) <= 2);
        QVERIFY(Picture(t.w.image2()) != loaded);
        QCOMPARE(t.fp.settings.values.value(kKey + "AutoAlign"), QStringLiteral("1"));

        Click(t.c.CkAlign);
        QCOMPARE(Picture(t.w.image2()), loaded);
        QVERIFY(t.c.HS->value() == 0 && t.fp.settings.values.value(kKey + "AutoAlign") == "0");
    }

    // Cut to the picture both eyes see, planned afresh as the offset moves; the
    // thumbnails keep the whole views and the box brings the edges back.
    void theCropFollowsTheOffsetAndTheBox() {
        Window t;
        FeedScene(t, {400, 300, -12, 1.5, 0.98});
        Click(t.c.CkAlign);
        const int w = t.w.anaglyph().width(), h = t.w.anaglyph().height();
        QVERIFY(t.c.lDi->text().startsWith(QStringLiteral("%1 x %2 ").arg(w).arg(h)));
        QVERIFY(w < 400 && h < 300 && w * h > 60000 && t.w.image2().width() == 400);
        // Nearest disc at the screen, the ground's far end 8 % of 400 px behind it.
        const QRegularExpressionMatch far =
            QRegularExpression(QStringLiteral("far \\+([0-9.]+) %\\); too deep to view"))
                .match(t.Status());
        QVERIFY2(far.hasMatch() && std::abs(far.captured(1).toDouble() - 3200.0 / w) < 0.3,
                 qPrintable(t.Status()));

        t.c.HS->setValue(t.c.HS->value() - 20);  // the views further apart
        QVERIFY(t.w.anaglyph().width() < w &&
                t.c.lDi->text().startsWith(QString::number(t.w.anaglyph().width()) + " x "));
        Click(t.c.CkCrop);
        QVERIFY(t.c.lDi->text().startsWith(QStringLiteral("400 x 300 ")));
        QCOMPARE(t.fp.settings.values.value(kKey + "Crop"), QStringLiteral("0"));
    }

    void aFlatPairFailsAndStaysAsItWas() {
        Window t(Uniform(200, 150, Qt::gray), Uniform(200, 150, Qt::darkGray));
        Click(t.c.CkAlign);
        QCOMPARE(t.Status(), QStringLiteral("Could not align: only 0 matching points"));
        QCOMPARE(Picture(t.w.image2()), Uniform(200, 150, Qt::darkGray));
        QCOMPARE(t.c.HS->value(), 0);
    }

    void swapAlignsTheSwappedPairFromTheLoadedViews() {
        Window t;
        const QImage loaded = FeedScene(t, {400, 300, -5, 0.5, 1});
        Click(t.c.CkAlign);
        Click(t.c.CkSwap);
        // Image 1 is image 2 as loaded, not as aligned; the shift is the opposite one.
        QCOMPARE(Picture(t.w.image1()), loaded);
        QVERIFY2(Shows(t.Status(), -5, 0.5), qPrintable(t.Status()));
    }
};

TSY_GUI_TEST(AlignTest)
#include "AlignTest.moc"
