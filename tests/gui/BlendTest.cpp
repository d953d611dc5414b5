#include <QButtonGroup>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QtTest>

#include "WindowFixture.h"
#include "window/CaptionButtons.h"
#include "window/PictureView.h"

using namespace tsy;
using namespace tsy::test;

class BlendTest : public QObject {
    Q_OBJECT

private slots:
    void optionsSelectTheMethodAndLeaveTheWindowReady();
    void amberBlueOffersNoOptimizedForm();
    void controlsGiveBrightnessAndOffsetsWithTheirSigns();
    void missingOrSmallerImageTwoIsBlack();
    void sizeLabelAndStatusUseTheLocale();
    void suppressedOrFailedRebuildLeavesTheWindowUsable();
    void thumbnailsAndResultAreShownFitted();
};

void BlendTest::optionsSelectTheMethodAndLeaveTheWindowReady() {
    Window t;
    t.Feed(Uniform(8, 6, QColor(200, 100, 50)), Uniform(8, 6, QColor(30, 60, 90)));
    QCOMPARE(Window::At(t.w.anaglyph(), 3, 3), QColor(200, 60, 90));  // full colour at start

    struct Case {
        int glass, color;
        QColor expected;
    };
    const Case cases[] = {{0, 0, QColor(125, 54, 54)}, {0, 1, QColor(125, 60, 90)},
                          {0, 3, QColor(85, 60, 90)},  {1, 0, QColor(54, 125, 54)},
                          {1, 1, QColor(30, 125, 90)}, {1, 2, QColor(30, 100, 90)},
                          {1, 3, QColor(30, 85, 90)},  {0, 2, QColor(200, 60, 90)}};
    for (const Case& c : cases) {
        t.blends.clear();
        QTest::mouseClick(t.w.controls().OpGlass[size_t(c.glass)], Qt::LeftButton);
        QTest::mouseClick(t.w.controls().OpColor[size_t(c.color)], Qt::LeftButton);
        QVERIFY(t.blends.size() >= 1);
        QCOMPARE(Window::At(t.w.anaglyph(), 5, 2), c.expected);
        QVERIFY(t.w.isEnabled() && t.w.controls().cSave->isEnabled() &&
                t.w.controls().OpColor[0]->isEnabled());
    }
    // A click on the option already selected changes nothing.
    t.blends.clear();
    QTest::mouseClick(t.w.controls().OpColor[2], Qt::LeftButton);
    QCOMPARE(t.blends.size(), 0);
}

// Amber/blue takes red and green from image 1, blue from image 2; it has no
// optimized form, so choosing it there moves to Dubois in one rebuild.
void BlendTest::amberBlueOffersNoOptimizedForm() {
    Window t;
    t.Feed(Uniform(8, 6, QColor(200, 100, 50)), Uniform(8, 6, QColor(30, 60, 90)));
    QTest::mouseClick(t.w.controls().OpColor[3], Qt::LeftButton);
    t.blends.clear();
    QTest::mouseClick(t.w.controls().OpGlass[2], Qt::LeftButton);
    QCOMPARE(t.blends.size(), 1);
    QVERIFY(t.w.controls().OpColor[4]->isChecked());
    QVERIFY(!t.w.controls().OpColor[3]->isEnabled());
    QVERIFY(t.w.controls().OpColor[4]->isEnabled());
    QTest::mouseClick(t.w.controls().OpColor[2], Qt::LeftButton);
    QCOMPARE(Window::At(t.w.anaglyph(), 5, 2), QColor(200, 100, 90));
    QVERIFY(!t.w.controls().OpColor[3]->isEnabled());  // still, after the rebuild
    QTest::mouseClick(t.w.controls().OpGlass[0], Qt::LeftButton);
    QVERIFY(t.w.controls().OpColor[3]->isEnabled());
}

void BlendTest::controlsGiveBrightnessAndOffsetsWithTheirSigns() {
    Window t;
    t.Feed(Columns(40, 30), Columns(40, 30));
    // HS = 4 moves image 2 by +2 and image 1 by -2 columns: the result's
    // red (image 1) shows column x - 2, its green/blue (image 2) column x + 2.
    t.w.controls().HS->setValue(4);
    t.w.controls().VS->setValue(-2);
    const QColor c = Window::At(t.w.anaglyph(), 10, 10);
    QCOMPARE(c.red(), 10 - 2);
    QCOMPARE(c.blue(), (10 - 1) & 0xFF);  // row 10 + VS/2 of image 2
    QCOMPARE(t.w.controls().tXo->text(), QStringLiteral("4"));
    QCOMPARE(t.w.controls().tYo->text(), QStringLiteral("-2"));

    t.w.controls().HS->setValue(0);
    t.w.controls().VS->setValue(0);
    t.w.controls().HSB->setValue(100);
    QCOMPARE(Window::At(t.w.anaglyph(), 10, 10), QColor(110, 100, 110));
    QCOMPARE(t.w.controls().tBr->text(), QStringLiteral("100"));
}

void BlendTest::missingOrSmallerImageTwoIsBlack() {
    Window t;
    t.Feed(Uniform(10, 10, QColor(200, 100, 50)));
    QCOMPARE(Window::At(t.w.anaglyph(), 4, 4), QColor(200, 0, 0));
    t.w.controls().HSB->setValue(40);
    QCOMPARE(Window::At(t.w.anaglyph(), 4, 4), QColor(240, 40, 40));
    t.w.controls().HSB->setValue(0);
    t.Feed(Uniform(20, 10, QColor(200, 100, 50)), Uniform(12, 6, QColor(30, 60, 90)));
    QVERIFY(t.w.image2().width() == 20 && t.w.image2().height() == 10);
    QCOMPARE(Window::At(t.w.anaglyph(), 11, 5), QColor(200, 60, 90));
    QCOMPARE(Window::At(t.w.anaglyph(), 12, 5), QColor(200, 0, 0));
    QCOMPARE(Window::At(t.w.anaglyph(), 3, 6), QColor(200, 0, 0));
}

void BlendTest::sizeLabelAndStatusUseTheLocale() {
    Window t;
    t.Feed(Uniform(640, 480, Qt::gray), Uniform(640, 480, Qt::gray));
    QCOMPARE(t.w.controls().lDi->text(), QStringLiteral("640 x 480  =  0.3 mp"));
    const QRegularExpression c(QStringLiteral("^Ready!  \\(\\d+\\.\\d\\ds\\)$"));
    QVERIFY2(c.match(t.Status()).hasMatch(), qPrintable(t.Status()));
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    t.Feed(Uniform(1200, 800, Qt::gray), Uniform(1200, 800, Qt::gray));
    QLocale::setDefault(QLocale::c());
    QCOMPARE(t.w.controls().lDi->text(), QStringLiteral("1200 x 800  =  1,0 mp"));
    const QRegularExpression german(QStringLiteral("^Ready!  \\(\\d+,\\d\\ds\\)$"));
    QVERIFY2(german.match(t.Status()).hasMatch(), qPrintable(t.Status()));
}

void BlendTest::suppressedOrFailedRebuildLeavesTheWindowUsable() {
    Window t;
    t.Feed(Uniform(8, 8, Qt::red), Uniform(8, 8, Qt::blue));
    t.w.SetCap(QString());
    const QString caption = t.w.windowTitle();
    t.w.SetSuppressUpdates(true);
    t.w.controls().OpColor[1]->setChecked(true);
    t.w.PicBlend();
    t.w.SetSuppressUpdates(false);
    QCOMPARE(t.w.windowTitle(), caption);
    QCOMPARE(t.blends.size(), 0);

    t.w.RecordPictureSize(1 << 20, 1 << 20);  // a size no buffer accepts
    QTest::mouseClick(t.w.controls().OpColor[0], Qt::LeftButton);
    QCOMPARE(t.fp.dialogs.messages.size(), 1);
    QVERIFY(t.fp.dialogs.messages[0].text.contains(QStringLiteral("memory")));
    QVERIFY(t.w.isEnabled() && t.w.controls().cOpen1->isEnabled() &&
            t.w.controls().OpColor[1]->isEnabled());
}

void BlendTest::thumbnailsAndResultAreShownFitted() {
    Window t;
    // 3000 x 1000 in a 214 x 160 view: 214 x 71 at row 44.
    t.Feed(Uniform(3000, 1000, QColor(250, 10, 10)), Uniform(3000, 1000, QColor(10, 250, 250)));
    const QImage& v0 = t.w.controls().PicView0->canvas();
    QCOMPARE(QColor(v0.pixel(100, 44)), QColor(250, 10, 10));
    QCOMPARE(QColor(v0.pixel(100, 114)), QColor(250, 10, 10));
    QCOMPARE(v0.pixel(100, 115), t.w.controls().PicView0->backColor().rgb());
    const QImage& v2 = t.w.controls().PicView2->canvas();
    QCOMPARE(QColor(v2.pixel(220, 165)), QColor(250, 250, 250));
}

QTEST_MAIN(BlendTest)
#include "BlendTest.moc"
