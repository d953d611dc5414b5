#include <QButtonGroup>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QtTest>

#include "FakePlatform.h"
#include "window/CaptionButtons.h"
#include "window/FrmMain.h"
#include "window/PictureView.h"

using namespace tsy;
using namespace tsy::test;

namespace {
const QString kBase = QStringLiteral("Brannoc Tessaly  v1.34");
const QString kKey = QStringLiteral("Brannoc-Software/Tessaly/");

// Busy controls other than Open Image 1, and the number boxes, all follow `on`.
void ExpectWorking(const FrmMain& w, bool on) {
    for (QWidget* c : w.controls().busyControls())
        if (c != w.controls().cOpen1 || on)
            QVERIFY2(c->isEnabled() == on, qPrintable(c->objectName()));
    for (QLineEdit* box : {w.controls().tBr, w.controls().tXo, w.controls().tYo})
        QVERIFY(box->isReadOnly() == !on && box->isEnabled() == on);
}
}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void controlsFitAndStartAsTheRestExpects();
    void tabVisitsEveryOptionStartingWithTheSelected();
    void screenDepthDecidesWhetherTheWindowStarts_data();
    void screenDepthDecidesWhetherTheWindowStarts();
    void storedPositionIsAppliedOrFallsBack_data();
    void storedPositionIsAppliedOrFallsBack();
    void closingWritesTheNormalPosition();
    void statusExpiresAfterFiveSecondsEvenOverMidnight();
    void busySwitchFollowsItsRules();
};

void MainWindowTest::controlsFitAndStartAsTheRestExpects() {
    FakePlatform fp;
    FrmMain w(fp.platform);
    const MainWindowLayout& c = w.controls();
    // Every visible control lies inside the client area and no caption is cut.
    for (QWidget* k : w.findChildren<QWidget*>()) {
        if (k->isHidden() || !k->parentWidget()) continue;
        QVERIFY2(w.rect().contains(QRect(k->mapTo(&w, QPoint()), k->size())),
                 qPrintable(k->objectName()));
        QString caption;
        if (auto* label = qobject_cast<QLabel*>(k)) caption = label->text();
        if (auto* button = qobject_cast<QPushButton*>(k)) caption = button->text().remove('&');
        QVERIFY2(k->fontMetrics().horizontalAdvance(caption) <= k->width(),
                 qPrintable(k->objectName()));
    }
    // Index, not position, names the colour method: 0, 2, 1, 3 from the left.
    QVERIFY(c.OpColor[0]->x() < c.OpColor[2]->x() && c.OpColor[2]->x() < c.OpColor[1]->x());
    QVERIFY(c.OpColor[1]->x() < c.OpColor[3]->x());
    QCOMPARE(c.OpColorGroup->id(c.OpColor[3]), 3);
    QVERIFY(c.OpGlass[0]->isChecked() && c.OpColor[2]->isChecked());
    QVERIFY(!c.CkSBS->isChecked() && !c.CkSwap->isChecked());
    // Side-by-side splits stretch unless code says otherwise; nobody clicks it.
    QVERIFY(c.CkStretch->isChecked() && c.CkStretch->isHidden() && !c.CkStretch->isEnabled());
    QVERIFY(c.HSC->isHidden() && c.lCo->isHidden() && c.lCoL->isHidden());
    QVERIFY(c.PicView0->acceptDrops() && c.PicView1->acceptDrops());
    QVERIFY(!w.statusTimer().isActive());
}

void MainWindowTest::tabVisitsEveryOptionStartingWithTheSelected() {
    FakePlatform fp;
    FrmMain w(fp.platform);
    QVERIFY(w.Form_Load());
    w.EnableButtons(true);
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    const MainWindowLayout& c = w.controls();
    // A group's run starts with its selected option ("Red/Cyan", "Full
    // Color"), then the others in their listed order.
    const auto run = [](const auto& group, bool back) {
        QList<QWidget*> buttons(group.begin(), group.end());
        if (back) std::reverse(buttons.begin(), buttons.end());
        std::stable_partition(buttons.begin(), buttons.end(), [](QWidget* b) {
            return static_cast<QAbstractButton*>(b)->isChecked();
        });
        return buttons;
    };
    const QList<QWidget*> forward =
        QList<QWidget*>{c.cOpen1, c.cOpen2, c.CkSBS, c.CkSwap, c.CkAlign} + run(c.OpGlass, false) +
        run(c.OpColor, false) + QList<QWidget*>{c.cSave, c.HSB, c.HS, c.VS, c.cReset};
    const QList<QWidget*> backward =
        QList<QWidget*>{c.cReset, c.VS, c.HS, c.HSB, c.cSave} + run(c.OpColor, true) +
        run(c.OpGlass, true) + QList<QWidget*>{c.CkAlign, c.CkSwap, c.CkSBS, c.cOpen2, c.cOpen1};
    for (const bool back : {false, true}) {
        const QList<QWidget*>& want = back ? backward : forward;
        want.front()->setFocus(Qt::OtherFocusReason);
        for (int i = 1; i < want.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab,
                            back ? Qt::ShiftModifier : Qt::NoModifier);
            QCOMPARE(QApplication::focusWidget(), want[i]);
        }
    }
}

void MainWindowTest::screenDepthDecidesWhetherTheWindowStarts_data() {
    QTest::addColumn<int>("depth");
    QTest::addColumn<bool>("starts");
    for (int d : {8, 16, 24, 32, 4, 0})
        QTest::newRow(qPrintable(QString::number(d))) << d << (d != 8 && d != 16);
}

void MainWindowTest::screenDepthDecidesWhetherTheWindowStarts() {
    QFETCH(int, depth);
    QFETCH(bool, starts);
    FakePlatform fp;
    fp.screen.depth = depth;
    FrmMain w(fp.platform);
    QCOMPARE(w.Form_Load(), starts);
    QCOMPARE(w.isVisible(), starts);
    if (starts) {
        QVERIFY(fp.dialogs.messages.isEmpty());
        QCOMPARE(w.windowTitle(), kBase + "   .:.   " + FrmMain::kMakerAddress);
        QVERIFY(w.isEnabled() && w.controls().PicView0->isEnabled());
        ExpectWorking(w, false);  // only Open Image 1 until a picture is there
        QVERIFY(w.controls().cOpen1->isEnabled());
    } else {
        QCOMPARE(fp.dialogs.messages.size(), 1);
        QCOMPARE(fp.dialogs.messages[0].icon, MessageIcon::Critical);
        QVERIFY(fp.dialogs.messages[0].text.contains(QStringLiteral(" %1 bits").arg(depth)));
    }
    w.close();
    QCOMPARE(fp.settings.writes, starts ? 2 : 0);  // a refused start stores nothing
}

void MainWindowTest::storedPositionIsAppliedOrFallsBack_data() {
    QTest::addColumn<QString>("top");
    QTest::addColumn<QString>("left");
    QTest::addColumn<QPoint>("expected");
    QTest::newRow("numbers") << "120"
                             << "300" << QPoint(300, 120);
    QTest::newRow("off every screen") << "-5000"
                                      << "9000" << QPoint(9000, -5000);
    QTest::newRow("not numbers") << "abc"
                                 << "" << QPoint(16, 16);
    QTest::newRow("half to even") << " 12.5 "
                                  << "13.5" << QPoint(14, 12);
    QTest::newRow("infinite") << "1e999"
                              << "nan" << QPoint(16, 16);
}

void MainWindowTest::storedPositionIsAppliedOrFallsBack() {
    QFETCH(QString, top);
    QFETCH(QString, left);
    QFETCH(QPoint, expected);
    FakePlatform fp;
    fp.settings.values[kKey + "WinTop"] = top;
    fp.settings.values[kKey + "WinLeft"] = left;
    FrmMain w(fp.platform);
    QVERIFY(w.Form_Load());
    QCOMPARE(w.pos(), expected);
    QCOMPARE(fp.settings.writes, 0);
}

void MainWindowTest::closingWritesTheNormalPosition() {
    for (Qt::WindowState state : {Qt::WindowNoState, Qt::WindowMaximized, Qt::WindowMinimized}) {
        FakePlatform fp;
        fp.settings.values[kKey + "WinTop"] = "30";
        FrmMain w(fp.platform);
        QVERIFY(w.Form_Load());
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.move(70, 50);
        QTRY_COMPARE(w.pos(), QPoint(70, 50));
        w.setWindowState(state);
        QTest::qWait(50);
        w.close();
        QCOMPARE(fp.settings.values[kKey + "WinTop"], QStringLiteral("50"));
        QCOMPARE(fp.settings.values[kKey + "WinLeft"], QStringLiteral("70"));
        QCOMPARE(fp.settings.writes, 2);  // the position only
    }
}

void MainWindowTest::statusExpiresAfterFiveSecondsEvenOverMidnight() {
    FakePlatform fp;
    FrmMain w(fp.platform);
    QVERIFY(w.Form_Load());
    w.SetCap(QStringLiteral("Saved!"));
    QVERIFY(w.statusTimer().isActive());
    // Ticks come every second; the status survives those before 5 s.
    for (double t : {1.0, 2.0, 3.0, 4.0, 4.99, 5.0}) {
        fp.clock.now = 12 * 3600.0 + t;
        w.Timer1_Timer();
        QCOMPARE(w.windowTitle(), t < 5 ? kBase + "  -  Saved!" : kBase);
    }
    QVERIFY(!w.statusTimer().isActive());
    // A new status restarts the five seconds; a blank text is a status too.
    w.SetCap(QStringLiteral("one"));
    fp.clock.now += 3;
    w.SetCap(QStringLiteral(" "));
    fp.clock.now += 3;
    w.Timer1_Timer();
    QCOMPARE(w.windowTitle(), kBase + "  -   ");
    // Empty text clears at once and stops the timer.
    w.SetCap(QString());
    QCOMPARE(w.windowTitle(), kBase);
    QVERIFY(!w.statusTimer().isActive());

    // A status set before midnight goes after it.
    fp.clock.now = 86400.0 - 2.0;
    w.SetCap(QStringLiteral("Aborted!"));
    fp.clock.now = 86400.0 - 1.0;
    w.Timer1_Timer();
    QCOMPARE(w.windowTitle(), kBase + "  -  Aborted!");
    fp.clock.now = 0.2;  // the clock has passed midnight
    w.Timer1_Timer();
    QCOMPARE(w.windowTitle(), kBase);
}

void MainWindowTest::busySwitchFollowsItsRules() {
    FakePlatform fp;
    FrmMain w(fp.platform);
    QVERIFY(w.Form_Load());
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    for (bool on : {true, false}) {
        w.EnableButtons(on);
        QCOMPARE(w.isEnabled(), on);
        ExpectWorking(w, on);
        QVERIFY(!w.controls().CkStretch->isEnabled());  // never touched here
    }
    // While the program sets scroll bars itself, nothing changes, not even
    // the window-wide state.
    w.SetSuppressUpdates(true);
    w.EnableButtons(true);
    QVERIFY(!w.isEnabled() && !w.controls().cSave->isEnabled() && w.controls().tBr->isReadOnly());
    w.SetSuppressUpdates(false);
    w.EnableButtons(true);
    QVERIFY(w.isEnabled() && w.controls().cSave->isEnabled() && !w.controls().tBr->isReadOnly());

    // Focus stays in a text box through busy work.
    w.controls().tXo->setFocus();
    QTRY_VERIFY(w.controls().tXo->hasFocus());
    w.EnableButtons(false);
    w.EnableButtons(true);
    QVERIFY(w.controls().tXo->hasFocus());
}

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
