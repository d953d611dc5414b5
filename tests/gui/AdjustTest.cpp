#include "WindowFixture.h"

// A started window with a plain pair, active so that keys reach it.
struct Adjusting : Window {
    Adjusting() {
        Feed(Uniform(200, 100, Qt::gray), Uniform(200, 100, Qt::gray));
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
    }
    void Type(QLineEdit* box, const QString& text, Qt::Key key = Qt::Key_Return) {
        box->setFocus();
        QTRY_VERIFY(box->hasFocus());
        box->selectAll();
        QTest::keyClicks(box, text);
        QTest::keyClick(box, key);
    }
};

class AdjustTest : public QObject {
    Q_OBJECT

private slots:
    void init() { QLocale::setDefault(QLocale::c()); }

    void rangesFollowImageOne() {
        for (auto [width, height, xRange] : {std::tuple{1920, 1080, 1920}, {40000, 3, 32767}}) {
            Window t;
            t.w.TakePair(Window::Put(Uniform(width, height, Qt::gray)), {});
            t.w.SetScroll();
            QVERIFY(t.c.HS->minimum() == -xRange && t.c.HS->maximum() == xRange);
            QVERIFY(t.c.VS->minimum() == -height && t.c.VS->maximum() == height);
            QCOMPARE(t.blends.size(), 0);  // the program's own changes rebuild nothing
        }
    }

    void typedValuesAreParsedClampedAndRounded() {
        const struct {
            int before;
            const char *typed, *shown;
            int rebuilds;
        } cases[] = {{0, "300", "128", 1}, {0, "-999", "-128", 1}, {0, "-5x", "-5", 1},
                     {0, "abc", "0", 0},   {3, "2.5", "2", 1},     {2, "2.5", "2.5", 0},
                     {0, "&H1F", "31", 1}, {0, "1e2", "100", 1}};  // halves go to even
        for (const auto& k : cases) {
            Adjusting t;
            t.c.HSB->setValue(k.before);
            t.blends.clear();
            t.Type(t.c.tBr, k.typed);
            const QString shown = QString::fromLatin1(k.shown);
            QCOMPARE(t.c.HSB->value(), int(shown.toDouble()));
            QVERIFY(t.c.tBr->text() == shown && t.blends.size() == k.rebuilds);
            QVERIFY(t.c.tBr->hasFocus() && t.c.tBr->selectedText() == shown);
        }
    }

    void keysTypeAndStepWithOneRebuildEach() {
        Adjusting t;
        // Enter then Tab runs the check twice but rebuilds once.
        t.Type(t.c.tXo, QStringLiteral("12"));
        QCOMPARE(t.c.HS->value(), 12);
        QTest::keyClick(t.c.tXo, Qt::Key_Tab);
        QVERIFY(!t.c.tXo->hasFocus() && t.blends.size() == 1);
        // Tabbing away with a new text takes it without Enter.
        t.Type(t.c.tYo, QStringLiteral("-7"), Qt::Key_Tab);
        QVERIFY(t.c.VS->value() == -7 && t.blends.size() == 2);

        t.c.HSB->setFocus();
        QTRY_VERIFY(t.c.HSB->hasFocus());
        QTest::keyClick(t.c.HSB, Qt::Key_Right);
        QVERIFY(t.c.HSB->value() == 1 && t.blends.size() == 3);
        t.c.VS->setFocus();  // nothing changed, yet the bar's validation rebuilds
        QCOMPARE(t.blends.size(), 4);
    }

    void barsEchoAndRebuildOncePerStepOrDrag() {
        Window t(Uniform(200, 100, Qt::gray), Uniform(200, 100, Qt::gray));
        const MainWindowLayout& c = t.c;
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
        for (const auto& s : steps) {
            t.blends.clear();
            s.bar->triggerAction(s.action);
            QCOMPARE(s.box->text(), QString::number(s.value));
            QVERIFY(s.bar->value() == s.value && t.blends.size() == 1);
        }
        // A drag echoes as it goes and rebuilds once, on release.
        for (auto [bar, box] : {std::pair{c.HS, c.tXo}, {c.HSB, c.tBr}}) {
            t.blends.clear();
            bar->setSliderDown(true);
            for (int p : {3, 9, -17})
                bar->setSliderPosition(p);
            QVERIFY(box->text() == QStringLiteral("-17") && t.blends.isEmpty());
            bar->setSliderDown(false);
            QVERIFY(bar->value() == -17 && t.blends.size() == 1);
        }
    }

    void resetRebuildsOnceAndKeepsContrast() {
        Window t(Uniform(100, 80, Qt::gray), Uniform(100, 80, Qt::gray));
        const MainWindowLayout& c = t.c;
        t.w.SetSuppressUpdates(true);
        for (auto [bar, value] : {std::pair{c.HSB, 20}, {c.HS, 12}, {c.VS, -3}, {c.HSC, 7}})
            bar->setValue(value);
        t.w.SetSuppressUpdates(false);
        Click(c.cReset);
        QCOMPARE(t.blends.size(), 1);
        for (auto [bar, box] : {std::pair{c.HSB, c.tBr}, {c.HS, c.tXo}, {c.VS, c.tYo}})
            QVERIFY(bar->value() == 0 && box->text() == QStringLiteral("0"));
        QVERIFY(c.HSC->value() == 7 && c.lCo->text() == QStringLiteral("7"));
    }

    // After a click on a bar's arrow, a tap elsewhere: its release comes in
    // while the window is busy (the press that takes the focus from the
    // brightness bar rebuilds), yet the control tapped gets its click.
    void aTapAfterABarsArrowIsNotLost() {
        Adjusting t;
        const MainWindowLayout& c = t.c;
        for (auto [bar, target] : {std::pair<QScrollBar*, QAbstractButton*>{c.HSB, c.OpColor[1]},
                                   {c.HS, c.OpColor[0]},
                                   {c.VS, c.OpGlass[1]},
                                   {c.HSB, c.CkSwap}}) {
            const bool across = bar->orientation() == Qt::Horizontal;
            const QPoint arrow = across ? QPoint(bar->width() - 4, bar->height() / 2)
                                        : QPoint(bar->width() / 2, bar->height() - 4);
            const int value = bar->value();
            QTest::mouseClick(bar, Qt::LeftButton, {}, arrow);
            QVERIFY(bar->value() == value + 1 && bar->hasFocus());
            QueueTap(target);
            QTRY_VERIFY2(target->isChecked(), qPrintable(target->objectName()));
            QVERIFY(!target->isDown() && t.w.isEnabled());
        }
    }
};

TSY_GUI_TEST(AdjustTest)
#include "AdjustTest.moc"
