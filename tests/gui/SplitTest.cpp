#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QtTest>

#include "WindowFixture.h"
#include "window/CaptionButtons.h"

using namespace tsy;
using namespace tsy::test;

class SplitTest : public QObject {
    Q_OBJECT

private slots:
    void sideBySideWithStretchRepeatsColumns();
    void sideBySideWithoutStretchCopiesHalves();
    void turningItOffRestoresThePictureExactly();
    void swapNegatesOffsetsWithOneRebuild();
    void sideBySideWhileSwappedSplitsWhatImageOneHolds();
    void offWhileSwappedThenUntickSwapsOnceMore();
    void oddWidthsShareTheMiddleColumn();
};

void SplitTest::sideBySideWithStretchRepeatsColumns() {
    Window t;
    t.Feed(Columns(2560, 96), Uniform(50, 50, Qt::blue));
    QTest::mouseClick(t.w.controls().CkSBS, Qt::LeftButton);
    QVERIFY(t.w.controls().CkSBS->isChecked());
    QCOMPARE(t.blends.size(), 1);
    for (const PictureBuffer* b : {&t.w.image1(), &t.w.image2(), &t.w.anaglyph()}) {
        QCOMPARE(b->width(), 2560);
        QCOMPARE(b->height(), 96);
    }
    for (int x : {0, 1, 2, 1001, 2558, 2559}) {
        QCOMPARE(ColumnOf(Window::At(t.w.image1(), x, 5)), x / 2);
        QCOMPARE(ColumnOf(Window::At(t.w.image2(), x, 5)), 1280 + x / 2);
    }
    QVERIFY(t.w.controls().CkStretch->isEnabled());
    QVERIFY(t.w.controls().CkStretch->isHidden());
    QCOMPARE(t.w.controls().lDi->text(), QStringLiteral("2560 x 96  =  0.2 mp"));
}

void SplitTest::sideBySideWithoutStretchCopiesHalves() {
    Window t;
    t.Feed(Columns(2560, 96));
    QTest::mouseClick(t.w.controls().CkSBS, Qt::LeftButton);
    t.blends.clear();
    t.w.controls().CkStretch->setChecked(false);  // the hidden switch, as code may set it
    QCOMPARE(t.blends.size(), 1);
    for (const PictureBuffer* b : {&t.w.image1(), &t.w.image2(), &t.w.anaglyph()})
        QCOMPARE(b->width(), 1280);
    for (int x : {0, 1, 640, 1279}) {
        QCOMPARE(ColumnOf(Window::At(t.w.image1(), x, 7)), x);
        QCOMPARE(ColumnOf(Window::At(t.w.image2(), x, 7)), 1280 + x);
    }
}

void SplitTest::turningItOffRestoresThePictureExactly() {
    Window t;
    const QImage sbs = Columns(300, 40);
    t.Feed(sbs, Uniform(300, 40, Qt::green));
    QTest::mouseClick(t.w.controls().CkSBS, Qt::LeftButton);
    QTest::mouseClick(t.w.controls().CkSBS, Qt::LeftButton);
    QVERIFY(!t.w.controls().CkSBS->isChecked());
    QVERIFY(!t.w.controls().CkStretch->isEnabled());
    QCOMPARE(t.blends.size(), 2);
    QCOMPARE(t.w.image1().width(), 300);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 300; ++x)
            QCOMPARE(QRgb(t.w.image1().pixel(x, y)), sbs.pixel(x, y));
    // The separately loaded image 2 does not come back.
    QVERIFY(!t.w.image2().hasImage());
    QVERIFY(!t.w.sideBySideSource().hasImage());
}

void SplitTest::swapNegatesOffsetsWithOneRebuild() {
    Window t;
    t.Feed(Uniform(100, 60, Qt::red), Uniform(100, 60, Qt::cyan));
    t.w.SetSuppressUpdates(true);
    t.w.controls().HS->setValue(12);
    t.w.controls().VS->setValue(-3);
    t.w.SetSuppressUpdates(false);
    QTest::mouseClick(t.w.controls().CkSwap, Qt::LeftButton);
    QCOMPARE(t.blends.size(), 1);
    QCOMPARE(t.w.controls().HS->value(), -12);
    QCOMPARE(t.w.controls().VS->value(), 3);
    QCOMPARE(Window::At(t.w.image1(), 1, 1), QColor(Qt::cyan));
    QCOMPARE(Window::At(t.w.image2(), 1, 1), QColor(Qt::red));
    QCOMPARE(t.w.controls().tXo->text(), QStringLiteral("-12"));
    QTest::mouseClick(t.w.controls().CkSwap, Qt::LeftButton);
    QCOMPARE(t.blends.size(), 2);
    QCOMPARE(t.w.controls().HS->value(), 12);
    QCOMPARE(t.w.controls().VS->value(), -3);
    QCOMPARE(Window::At(t.w.image1(), 1, 1), QColor(Qt::red));
}

void SplitTest::sideBySideWhileSwappedSplitsWhatImageOneHolds() {
    Window t;
    t.Feed(Uniform(80, 20, Qt::red), Columns(80, 20));
    QTest::mouseClick(t.w.controls().CkSwap, Qt::LeftButton);
    QTest::mouseClick(t.w.controls().CkSBS, Qt::LeftButton);
    // PicW is still image 1's width as loaded (80).
    QCOMPARE(ColumnOf(Window::At(t.w.image1(), 10, 3)), 5);
    QCOMPARE(ColumnOf(Window::At(t.w.image2(), 10, 3)), 45);
}

void SplitTest::offWhileSwappedThenUntickSwapsOnceMore() {
    Window t;
    const QImage sbs = Columns(64, 16);
    t.Feed(sbs);
    QTest::mouseClick(t.w.controls().CkSBS, Qt::LeftButton);
    QTest::mouseClick(t.w.controls().CkSwap, Qt::LeftButton);
    QTest::mouseClick(t.w.controls().CkSBS, Qt::LeftButton);
    QVERIFY(t.w.controls().CkSwap->isChecked());
    QCOMPARE(QRgb(t.w.image1().pixel(63, 15)), sbs.pixel(63, 15));
    QTest::mouseClick(t.w.controls().CkSwap, Qt::LeftButton);
    QVERIFY(!t.w.image1().hasImage());
    QCOMPARE(QRgb(t.w.image2().pixel(63, 15)), sbs.pixel(63, 15));
}

void SplitTest::oddWidthsShareTheMiddleColumn() {
    Window t;
    t.Feed(Columns(2561, 8));
    QTest::mouseClick(t.w.controls().CkSBS, Qt::LeftButton);
    t.w.controls().CkStretch->setChecked(false);
    QCOMPARE(t.w.image1().width(), 1281);
    QCOMPARE(ColumnOf(Window::At(t.w.image1(), 1280, 0)), 1280);
    QCOMPARE(ColumnOf(Window::At(t.w.image2(), 0, 0)), 1280);
    QCOMPARE(ColumnOf(Window::At(t.w.image2(), 1280, 0)), 2560);
    t.w.controls().CkStretch->setChecked(true);
    QCOMPARE(t.w.image1().width(), 2561);
    QCOMPARE(ColumnOf(Window::At(t.w.image2(), 2560, 0)), 2560);
    QCOMPARE(ColumnOf(Window::At(t.w.image1(), 0, 0)), 0);
}

QTEST_MAIN(SplitTest)
#include "SplitTest.moc"
