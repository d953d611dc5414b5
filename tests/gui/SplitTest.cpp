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
    void sideBySideSplitsAtTheMiddleColumn_data();
    void sideBySideSplitsAtTheMiddleColumn();
    void turningItOffRestoresThePictureExactly();
    void swapNegatesOffsetsWithOneRebuild();
    void sideBySideWhileSwappedSplitsWhatImageOneHolds();
    void offWhileSwappedThenUntickSwapsOnceMore();
};

void SplitTest::sideBySideSplitsAtTheMiddleColumn_data() {
    QTest::addColumn<int>("width");
    QTest::addColumn<bool>("stretch");
    for (int width : {2560, 2561})
        for (bool stretch : {true, false})
            QTest::addRow("%d %s", width, stretch ? "stretched" : "halves") << width << stretch;
}

// Image 2 starts at the source's middle column; an odd middle column goes to
// both halves. Stretching repeats each column.
void SplitTest::sideBySideSplitsAtTheMiddleColumn() {
    QFETCH(int, width);
    QFETCH(bool, stretch);
    Window t;
    t.Feed(Columns(width, 96), Uniform(50, 50, Qt::blue));
    QTest::mouseClick(t.w.controls().CkSBS, Qt::LeftButton);
    QVERIFY(t.w.controls().CkSBS->isChecked() && t.w.controls().CkStretch->isEnabled());
    QCOMPARE(t.blends.size(), 1);
    t.w.controls().CkStretch->setChecked(stretch);  // the hidden switch, as code may set it
    QCOMPARE(t.blends.size(), stretch ? 1 : 2);
    const int out = stretch ? width : (width + 1) / 2;
    for (const PictureBuffer* b : {&t.w.image1(), &t.w.image2(), &t.w.anaglyph()})
        QVERIFY(b->width() == out && b->height() == 96);
    for (int x : {0, 1, 2, 640, 1001, out - 2, out - 1}) {
        const int from = stretch ? x / 2 : x;
        QCOMPARE(ColumnOf(Window::At(t.w.image1(), x, 5)), from);
        QCOMPARE(ColumnOf(Window::At(t.w.image2(), x, 5)), width / 2 + from);
    }
    if (stretch)
        QCOMPARE(t.w.controls().lDi->text(), QStringLiteral("%1 x 96  =  0.2 mp").arg(width));
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
    QVERIFY(!t.w.image2().hasImage() && !t.w.sideBySideSource().hasImage());
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
    QVERIFY(t.w.controls().HS->value() == -12 && t.w.controls().VS->value() == 3);
    QCOMPARE(Window::At(t.w.image1(), 1, 1), QColor(Qt::cyan));
    QCOMPARE(Window::At(t.w.image2(), 1, 1), QColor(Qt::red));
    QCOMPARE(t.w.controls().tXo->text(), QStringLiteral("-12"));
    QTest::mouseClick(t.w.controls().CkSwap, Qt::LeftButton);
    QCOMPARE(t.blends.size(), 2);
    QVERIFY(t.w.controls().HS->value() == 12 && t.w.controls().VS->value() == -3);
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

QTEST_MAIN(SplitTest)
#include "SplitTest.moc"
