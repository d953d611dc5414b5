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
    void init() { QLocale::setDefault(QLocale::c()); }
    void rangesFollowImageOne();
    void typedValuesAreParsedClampedAndRounded_data();
    void typedValuesAreParsedClampedAndRounded();
    void keysTypeAndStepWithOneRebuildEach();
    void barStepsEchoAndRebuildOnce();
    void draggingEchoesAndRebuildsOnRelease();
    void resetRebuildsOnceAndKeepsContrast();

private:
    void Type(Window& t, QLineEdit* box, const QString& text);
};

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
    for (auto [width, height, xRange] : {std::tuple{1920, 1080, 1920}, {40000, 3, 32767}}) {
        Window t;
        PictureBuffer picture;
        picture.resize(width, height);
        t.w.TakePair(std::move(picture), {});
        t.w.SetScroll();
        QVERIFY(t.w.controls().HS->minimum() == -xRange && t.w.controls().HS->maximum() == xRange);
        QVERIFY(t.w.controls().VS->minimum() == -height && t.w.controls().VS->maximum() == height);
        QCOMPARE(t.blends.size(), 0);  // the program's own changes rebuild nothing
    }
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

void AdjustTest::keysTypeAndStepWithOneRebuildEach() {
    Window t;
    t.Feed(Uniform(100, 80, Qt::gray), Uniform(100, 80, Qt::gray));
    // Enter then Tab runs the check twice but rebuilds once.
    Type(t, t.w.controls().tXo, QStringLiteral("12"));
    QCOMPARE(t.w.controls().HS->value(), 12);
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

    t.w.controls().HSB->setFocus();
    QTRY_VERIFY(t.w.controls().HSB->hasFocus());
    QTest::keyClick(t.w.controls().HSB, Qt::Key_Right);
    QCOMPARE(t.w.controls().HSB->value(), 1);
    QCOMPARE(t.blends.size(), 3);
    t.w.controls().VS->setFocus();  // nothing changed, yet the bar's validation rebuilds
    QCOMPARE(t.blends.size(), 4);
    QTest::keyClick(t.w.controls().VS, Qt::Key_Down);
    QCOMPARE(t.w.controls().VS->value(), -6);
    QTest::keyClick(t.w.controls().VS, Qt::Key_PageUp);
    QCOMPARE(t.w.controls().VS->value(), -11);
}

void AdjustTest::barStepsEchoAndRebuildOnce() {
    Window t;
    t.Feed(Uniform(200, 100, Qt::gray), Uniform(200, 100, Qt::gray));
    const MainWindowLayout& c = t.w.controls();
    using S = QAbstractSlider;
    const struct {
        QScrollBar* bar;
        QLineEdit* box;
        S::SliderAction action;
        int value;
    } steps[] = {{c.HS, c.tXo, S::SliderPageStepAdd, 5},
                 {c.HS, c.tXo, S::SliderSingleStepSub, 4},
                 {c.HSB, c.tBr, S::SliderPageStepAdd, 8},
                 {c.VS, c.tYo, S::SliderPageStepSub, -5}};
    for (int i = 0; i < 4; ++i) {
        steps[i].bar->triggerAction(steps[i].action);
        QCOMPARE(steps[i].bar->value(), steps[i].value);
        QCOMPARE(steps[i].box->text(), QString::number(steps[i].value));
        QCOMPARE(t.blends.size(), i + 1);
    }
}

void AdjustTest::draggingEchoesAndRebuildsOnRelease() {
    Window t;
    t.Feed(Uniform(200, 100, Qt::gray), Uniform(200, 100, Qt::gray));
    const MainWindowLayout& c = t.w.controls();
    for (auto [bar, box] : {std::pair{c.HS, c.tXo}, {c.HSB, c.tBr}}) {
        t.blends.clear();
        bar->setSliderDown(true);
        for (int p : {3, 9, -17})
            bar->setSliderPosition(p);
        QCOMPARE(box->text(), QStringLiteral("-17"));
        QCOMPARE(t.blends.size(), 0);
        bar->setSliderDown(false);
        QCOMPARE(bar->value(), -17);
        QCOMPARE(t.blends.size(), 1);
    }
}

void AdjustTest::resetRebuildsOnceAndKeepsContrast() {
    Window t;
    t.Feed(Uniform(100, 80, Qt::gray), Uniform(100, 80, Qt::gray));
    const MainWindowLayout& c = t.w.controls();
    t.w.SetSuppressUpdates(true);
    for (auto [bar, value] : {std::pair{c.HSB, 20}, {c.HS, 12}, {c.VS, -3}, {c.HSC, 7}})
        bar->setValue(value);
    t.w.SetSuppressUpdates(false);
    QTest::mouseClick(c.cReset, Qt::LeftButton);
    QCOMPARE(t.blends.size(), 1);
    for (auto [bar, box] : {std::pair{c.HSB, c.tBr}, {c.HS, c.tXo}, {c.VS, c.tYo}})
        QVERIFY(bar->value() == 0 && box->text() == QStringLiteral("0"));
    QCOMPARE(c.HSC->value(), 7);
    QCOMPARE(c.lCo->text(), QStringLiteral("7"));
}

QTEST_MAIN(AdjustTest)
#include "AdjustTest.moc"
