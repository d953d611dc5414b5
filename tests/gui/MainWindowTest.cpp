#include "WindowFixture.h"

// Busy controls other than Open Image 1, and the number boxes, all follow `on`.
static void ExpectWorking(const FrmMain& w, bool on) {
    for (QWidget* c : w.controls().busyControls())
        if (c != w.controls().cOpen1 || on)
            QVERIFY2(c->isEnabled() == on, qPrintable(c->objectName()));
    for (QLineEdit* box : {w.controls().tBr, w.controls().tXo, w.controls().tYo})
        QVERIFY(box->isReadOnly() == !on && box->isEnabled() == on);
}

// A group's buttons in the order Tab visits them: the selected one first.
static QList<QWidget*> Run(const auto& group, bool back) {
    QList<QWidget*> buttons(group.begin(), group.end());
    if (back) std::reverse(buttons.begin(), buttons.end());
    std::stable_partition(buttons.begin(), buttons.end(),
                          [](QWidget* b) { return static_cast<QAbstractButton*>(b)->isChecked(); });
    return buttons;
}

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void controlsFitTheClientAreaWithWholeCaptions() {
        FakePlatform fp;
        FrmMain w(fp.platform);
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
    }

    void tabVisitsEveryOptionStartingWithTheSelected() {
        Window t(Uniform(8, 8, Qt::red));
        t.w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&t.w));
        const MainWindowLayout& c = t.c;
        const QList<QWidget*> orders[] = {
            QList<QWidget*>{c.cOpen1, c.cOpen2, c.CkSBS, c.CkSwap, c.CkAlign} +
                Run(c.OpGlass, false) + Run(c.OpColor, false) +
                QList<QWidget*>{c.cSave, c.HSB, c.HS, c.VS, c.cReset},
            QList<QWidget*>{c.cReset, c.VS, c.HS, c.HSB, c.cSave} + Run(c.OpColor, true) +
                Run(c.OpGlass, true) +
                QList<QWidget*>{c.CkAlign, c.CkSwap, c.CkSBS, c.cOpen2, c.cOpen1}};
        for (const bool back : {false, true}) {
            const QList<QWidget*>& want = orders[back];
            want.front()->setFocus(Qt::OtherFocusReason);
            for (int i = 1; i < want.size(); ++i) {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab,
                                back ? Qt::ShiftModifier : Qt::NoModifier);
                QCOMPARE(QApplication::focusWidget(), want[i]);
            }
        }
    }

    void screenDepthDecidesWhetherTheWindowStarts() {
        for (int depth : {8, 16, 24, 32, 4, 0}) {
            const bool starts = depth != 8 && depth != 16;
            FakePlatform fp;
            fp.screen.depth = depth;
            FrmMain w(fp.platform);
            QVERIFY(w.Form_Load() == starts && w.isVisible() == starts);
            QCOMPARE(fp.dialogs.messages.size(), starts ? 0 : 1);
            if (starts) {
                ExpectWorking(w, false);  // only Open Image 1 until a picture is there
                QVERIFY(w.isEnabled() && w.controls().cOpen1->isEnabled());
            } else {
                const FakeDialogs::Message& m = fp.dialogs.messages[0];
                QVERIFY(m.icon == MessageIcon::Critical &&
                        m.text.contains(QString(" %1 bits").arg(depth)));
            }
            w.close();
            QCOMPARE(fp.settings.writes, starts ? 2 : 0);  // a refused start stores nothing
        }
    }

    // Closing stores the normal position, whatever the state.
    void storedSettingsAreAppliedAndClosingStoresThePosition() {
        const struct {
            const char *top, *left, *align;
            QPoint expected;
            Qt::WindowState state;
        } cases[] = {{"120", "300", "1", {300, 120}, Qt::WindowNoState},
                     {"-5000", "9000", "0", {9000, -5000}, Qt::WindowMaximized},
                     {"abc", "", "1", {16, 16}, Qt::WindowMinimized},
                     {" 12.5 ", "13.5", "0", {14, 12}, Qt::WindowNoState},  // half to even
                     {"1e999", "nan", "0", {16, 16}, Qt::WindowNoState}};
        for (const auto& p : cases) {
            FakePlatform fp;
            fp.settings.values = {{kKey + "WinTop", p.top},
                                  {kKey + "WinLeft", p.left},
                                  {kKey + "AutoAlign", p.align}};
            FrmMain w(fp.platform);
            QVERIFY(w.Form_Load());
            QCOMPARE(w.pos(), p.expected);
            QCOMPARE(w.controls().CkAlign->isChecked(), *p.align == '1');
            QCOMPARE(fp.settings.writes, 0);
            QVERIFY(QTest::qWaitForWindowExposed(&w));
            w.move(70, 50);
            QTRY_COMPARE(w.pos(), QPoint(70, 50));
            w.setWindowState(p.state);
            QTest::qWait(50);
            w.close();
            QCOMPARE(fp.settings.values[kKey + "WinTop"], QStringLiteral("50"));
            QCOMPARE(fp.settings.values[kKey + "WinLeft"], QStringLiteral("70"));
            QCOMPARE(fp.settings.writes, 2);  // the position only
        }
    }

    // Ticks come every second; a status lives five seconds from when it was set,
    // and the timer runs while one is shown.
    void statusExpiresAfterFiveSecondsEvenOverMidnight() {
        Window t;
        const struct {
            double now;
            const char *set, *shown;  // set: nullptr for a tick
        } steps[] = {{43200, "Saved!", "Saved!"},
                     {43201, nullptr, "Saved!"},
                     {43204.99, nullptr, "Saved!"},
                     {43205, nullptr, ""},
                     {43210, "one", "one"},  // a new status restarts the count
                     {43213, " ", " "},
                     {43216, nullptr, " "},
                     {43217, "", ""},  // empty text clears at once
                     {86398, "Aborted!", "Aborted!"},
                     {86399, nullptr, "Aborted!"},
                     {0.2, nullptr, ""}};
        for (const auto& s : steps) {
            t.fp.clock.now = s.now;
            s.set ? t.w.SetCap(QString::fromLatin1(s.set)) : t.w.Timer1_Timer();
            QCOMPARE(t.Status(), QString::fromLatin1(s.shown));
            QCOMPARE(t.w.statusTimer().isActive(), *s.shown != 0);
        }
    }

    void busySwitchFollowsItsRules() {
        Window t;
        t.w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&t.w));
        for (bool on : {true, false}) {
            t.w.EnableButtons(on);
            QCOMPARE(t.w.isEnabled(), on);
            ExpectWorking(t.w, on);
            QVERIFY(!t.c.CkStretch->isEnabled());  // never touched here
        }
        // While the program sets scroll bars itself, nothing changes, not even
        // the window-wide state.
        t.w.SetSuppressUpdates(true);
        t.w.EnableButtons(true);
        QVERIFY(!t.w.isEnabled() && !t.c.cSave->isEnabled() && t.c.tBr->isReadOnly());
        t.w.SetSuppressUpdates(false);
        t.w.EnableButtons(true);
        QVERIFY(t.w.isEnabled() && t.c.cSave->isEnabled() && !t.c.tBr->isReadOnly());
        // Focus stays in a text box through busy work.
        t.c.tXo->setFocus();
        QTRY_VERIFY(t.c.tXo->hasFocus());
        t.w.EnableButtons(false);
        t.w.EnableButtons(true);
        QVERIFY(t.c.tXo->hasFocus());
    }
};

TSY_GUI_TEST(MainWindowTest)
#include "MainWindowTest.moc"
