#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QtTest>

#include "WindowFixture.h"

using namespace tsy;
using namespace tsy::test;

class AdjustTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void rangesFollowImageOne();
    void typedValuesAreParsedClampedAndRounded_data();
    void typedValuesAreParsedClampedAndRounded();
    void enterThenTabRunsTwiceButRebuildsOnce();
    void leavingTheBrightnessBarRebuilds();
    void draggingEchoesAndRebuildsOnRelease();
    void pageAndArrowSteps();
    void resetRebuildsOnceAndKeepsContrast();
    void hugePicturesGetTheLargestRange();

private:
    void Type(Window& t, QLineEdit* box, const QString& text);
};

void AdjustTest::init() {
    QLocale::setDefault(QLocale::c());
}

void AdjustTest::Type(Window& t, QLineEdit* box, const QString& text) {
    t.w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&t.w));
    box->setFocus();
    QTRY_VERIFY(box->hasFocus());
    box->selectAll();
    QTest::keyClicks(box, text);
    QTest::keyClick(box, Qt::Key_Return);
}

void AdjustTest::rangesFollowImageOne() {
    Window t;
    t.Feed(Uniform(1920, 1080, Qt::gray), Uniform(1920, 1080, Qt::gray));
    QCOMPARE(t.w.controls().HS->minimum(), -1920);
    QCOMPARE(t.w.controls().HS->maximum(), 1920);
    QCOMPARE(t.w.controls().VS->minimum(), -1080);
    QCOMPARE(t.w.controls().VS->maximum(), 1080);
    QCOMPARE(t.w.controls().HS->value(), 0);
    QCOMPARE(t.w.controls().HSB->value(), 0);
}

void AdjustTest::typedValuesAreParsedClampedAndRounded_data() {
    QTest::addColumn<int>("before");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("rebuilds");
    QTest::newRow("above the range") << 0 << "300" << 128 << "128" << 1;
    QTest::newRow("below the range") << 0 << "-999" << -128 << "-128" << 1;
    QTest::newRow("leading number") << 0 << "-5x" << -5 << "-5" << 1;
    QTest::newRow("no number") << 0 << "abc" << 0 << "0" << 0;
    QTest::newRow("half down to even") << 3 << "2.5" << 2 << "2" << 1;
    QTest::newRow("half unchanged") << 2 << "2.5" << 2 << "2.5" << 0;
    QTest::newRow("hexadecimal") << 0 << "&H1F" << 31 << "31" << 1;
    QTest::newRow("exponent") << 0 << "1e2" << 100 << "100" << 1;
}

void AdjustTest::typedValuesAreParsedClampedAndRounded() {
    QFETCH(int, before);
    QFETCH(QString, typed);
    QFETCH(int, value);
    QFETCH(QString, text);
    QFETCH(int, rebuilds);
    Window t;
    t.Feed(Uniform(64, 48, Qt::gray), Uniform(64, 48, Qt::gray));
    t.w.controls().HSB->setValue(before);
    t.blends.clear();
    Type(t, t.w.controls().tBr, typed);
    QCOMPARE(t.w.controls().HSB->value(), value);
    QCOMPARE(t.w.controls().tBr->text(), text);
    QCOMPARE(t.blends.size(), rebuilds);
    QVERIFY(t.w.controls().tBr->hasFocus());
    QCOMPARE(t.w.controls().tBr->selectedText(), text);
}

void AdjustTest::enterThenTabRunsTwiceButRebuildsOnce() {
    Window t;
    t.Feed(Uniform(100, 80, Qt::gray), Uniform(100, 80, Qt::gray));
    Type(t, t.w.controls().tXo, QStringLiteral("12"));
    QCOMPARE(t.w.controls().HS->value(), 12);
    QCOMPARE(t.blends.size(), 1);
    QTest::keyClick(t.w.controls().tXo, Qt::Key_Tab);
    QVERIFY(!t.w.controls().tXo->hasFocus());
    QCOMPARE(t.blends.size(), 1);

    // Tabbing away with a new text takes it without Enter.
    t.w.controls().tYo->setFocus();
    QTRY_VERIFY(t.w.controls().tYo->hasFocus());
    t.w.controls().tYo->selectAll();
    QTest::keyClicks(t.w.controls().tYo, QStringLiteral("-7"));
    QTest::keyClick(t.w.controls().tYo, Qt::Key_Tab);
    QCOMPARE(t.w.controls().VS->value(), -7);
    QCOMPARE(t.blends.size(), 2);
}

void AdjustTest::leavingTheBrightnessBarRebuilds() {
    Window t;
    t.Feed(Uniform(30, 20, Qt::gray), Uniform(30, 20, Qt::gray));
    t.w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&t.w));
    t.w.controls().HSB->setFocus();
    QTRY_VERIFY(t.w.controls().HSB->hasFocus());
    QTest::keyClick(t.w.controls().HSB, Qt::Key_Right);
    QCOMPARE(t.w.controls().HSB->value(), 1);
    QCOMPARE(t.blends.size(), 1);
    t.w.controls().VS->setFocus();  // nothing changed, yet the bar's validation rebuilds
    QCOMPARE(t.blends.size(), 2);
    QTest::keyClick(t.w.controls().VS, Qt::Key_Down);
    QCOMPARE(t.w.controls().VS->value(), 1);
    QTest::keyClick(t.w.controls().VS, Qt::Key_PageUp);
    QCOMPARE(t.w.controls().VS->value(), -4);
}

void AdjustTest::draggingEchoesAndRebuildsOnRelease() {
    Window t;
    t.Feed(Uniform(200, 100, Qt::gray), Uniform(200, 100, Qt::gray));
    QScrollBar* hs = t.w.controls().HS;
    hs->setSliderDown(true);
    for (int p : {3, 9, 17})
        hs->setSliderPosition(p);
    QCOMPARE(t.w.controls().tXo->text(), QStringLiteral("17"));
    QCOMPARE(t.blends.size(), 0);
    hs->setSliderDown(false);
    QCOMPARE(hs->value(), 17);
    QCOMPARE(t.blends.size(), 1);

    QScrollBar* hsb = t.w.controls().HSB;
    hsb->setSliderDown(true);
    hsb->setSliderPosition(-40);
    QCOMPARE(t.w.controls().tBr->text(), QStringLiteral("-40"));
    hsb->setSliderDown(false);
    QCOMPARE(t.blends.size(), 2);
}

void AdjustTest::pageAndArrowSteps() {
    Window t;
    t.Feed(Uniform(200, 100, Qt::gray), Uniform(200, 100, Qt::gray));
    t.w.controls().HS->triggerAction(QAbstractSlider::SliderPageStepAdd);
    QCOMPARE(t.w.controls().HS->value(), 5);
    QCOMPARE(t.blends.size(), 1);
    t.w.controls().HS->triggerAction(QAbstractSlider::SliderSingleStepSub);
    QCOMPARE(t.w.controls().HS->value(), 4);
    QCOMPARE(t.blends.size(), 2);
    t.w.controls().HSB->triggerAction(QAbstractSlider::SliderPageStepAdd);
    QCOMPARE(t.w.controls().HSB->value(), 8);
    QCOMPARE(t.w.controls().tBr->text(), QStringLiteral("8"));
    t.w.controls().VS->triggerAction(QAbstractSlider::SliderPageStepSub);
    QCOMPARE(t.w.controls().VS->value(), -5);
    QCOMPARE(t.blends.size(), 4);
}

void AdjustTest::resetRebuildsOnceAndKeepsContrast() {
    Window t;
    t.Feed(Uniform(100, 80, Qt::gray), Uniform(100, 80, Qt::gray));
    t.w.SetSuppressUpdates(true);
    t.w.controls().HSB->setValue(20);
    t.w.controls().HS->setValue(12);
    t.w.controls().VS->setValue(-3);
    t.w.controls().HSC->setValue(7);
    t.w.SetSuppressUpdates(false);
    QTest::mouseClick(t.w.controls().cReset, Qt::LeftButton);
    QCOMPARE(t.blends.size(), 1);
    QCOMPARE(t.w.controls().HSB->value(), 0);
    QCOMPARE(t.w.controls().HS->value(), 0);
    QCOMPARE(t.w.controls().VS->value(), 0);
    QCOMPARE(t.w.controls().HSC->value(), 7);
    for (QLineEdit* box : {t.w.controls().tBr, t.w.controls().tXo, t.w.controls().tYo})
        QCOMPARE(box->text(), QStringLiteral("0"));
    QCOMPARE(t.w.controls().lCo->text(), QStringLiteral("7"));
}

void AdjustTest::hugePicturesGetTheLargestRange() {
    Window t;
    PictureBuffer huge;
    huge.resize(40000, 3);
    t.w.TakePair(std::move(huge), {});
    t.w.SetScroll();
    QCOMPARE(t.w.controls().HS->minimum(), -32767);
    QCOMPARE(t.w.controls().HS->maximum(), 32767);
    QCOMPARE(t.w.controls().VS->maximum(), 3);
    QCOMPARE(t.blends.size(), 0);  // the program's own changes rebuild nothing
}

QTEST_MAIN(AdjustTest)
#include "AdjustTest.moc"
