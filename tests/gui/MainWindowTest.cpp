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
}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void controlsMatchTheLayoutTables();
    void tabOrderFollowsTheWorkingControls();
    void tabVisitsEveryOptionStartingWithTheSelected();
    void lowDepthIsRefusedWithoutWindowOrSettings_data();
    void lowDepthIsRefusedWithoutWindowOrSettings();
    void otherDepthsStartWithOnlyImageOneOpen_data();
    void otherDepthsStartWithOnlyImageOneOpen();
    void storedPositionIsAppliedOrFallsBack_data();
    void storedPositionIsAppliedOrFallsBack();
    void closingWritesTheNormalPosition_data();
    void closingWritesTheNormalPosition();
    void statusExpiresBetweenFiveAndSixSeconds();
    void statusSetBeforeMidnightGoesAfterIt();
    void busySwitchFollowsItsRules();
    void focusStaysInATextBoxThroughBusyWork();
};

void MainWindowTest::controlsMatchTheLayoutTables() {
    FakePlatform fp;
    FrmMain w(fp.platform);
    QCOMPARE(w.windowTitle(), QStringLiteral("Tessaly"));
    QCOMPARE(w.size(), QSize(700, 445));

    struct Expect {
        const char* name;
        const char* text;
        const char* toolTip;
    };
    const Expect controls[] = {
        {"cOpen1", "Open Img &1", " Open Image 1 ... "},
        {"cOpen2", "Open Img &2", " Open Image 2 ... "},
        {"CkSBS", "Side-&By-Side", " Image 1 is a Side-By-Side Image "},
        {"CkSwap", "S&wap Images", " Swap Images "},
        {"OpGlass0", "&Red/Cyan", " Red/Cyan Glasses "},
        {"OpGlass1", "&Green/Mag.", " Green/Magenta Glasses "},
        {"OpColor0", "Gr&ayscale", " Gray Anaglyphs (No color reproduction) "},
        {"OpColor2", "&Full Color",
         " Color Anaglyphs (Partial color reproduction. Retinal rivalry) "},
        {"OpColor1", "&Half Color",
         " Half Color Anaglyphs (Partial color reproduction, but not as good as color anaglyphs. "
         "Less retinal rivalry than color anaglyphs) "},
        {"OpColor3", "&Optimized",
         " Optimized Anaglyphs (Partial color reproduction, but not of red shades. Almost no "
         "retinal rivalry) "},
        {"cSave", "&Save Img.", " Save 3D-Image ... "},
        {"cReset", "&R", " Reset Brightness & X-/Y-Offset "},
        {"CkStretch", "Stretch &Images", ""},
    };
    for (const Expect& e : controls) {
        auto* b = w.findChild<QAbstractButton*>(e.name);
        QVERIFY2(b, e.name);
        QCOMPARE(b->text(), QString::fromUtf8(e.text));
        QCOMPARE(b->toolTip(), QString::fromUtf8(e.toolTip));
        if (QByteArray(e.name) != "CkStretch")
            QCOMPARE(b->cursor().shape(), Qt::PointingHandCursor);
    }
    const Expect views[] = {{"PicView0", "", " Image 1 "},
                            {"PicView1", "", " Image 2 "},
                            {"PicView2", "", " Anaglyph Image | Click here for preview ... "}};
    for (const Expect& e : views) {
        auto* v = w.findChild<PictureView*>(e.name);
        QVERIFY2(v, e.name);
        QCOMPARE(v->toolTip(), QString::fromUtf8(e.toolTip));
    }
    QCOMPARE(w.controls().PicView2->cursor().shape(), Qt::PointingHandCursor);
    QCOMPARE(w.controls().PicView0->cursor().shape(), Qt::ArrowCursor);
    QVERIFY(w.controls().PicView0->acceptDrops());
    QVERIFY(w.controls().PicView1->acceptDrops());
    QCOMPARE(w.controls().PicView0->innerSize(), QSize(214, 160));
    QCOMPARE(w.controls().PicView2->innerSize(), QSize(440, 330));

    // Index, not position, names the colour method: 0, 2, 1, 3 from the left.
    QVERIFY(w.controls().OpColor[0]->x() < w.controls().OpColor[2]->x());
    QVERIFY(w.controls().OpColor[2]->x() < w.controls().OpColor[1]->x());
    QVERIFY(w.controls().OpColor[1]->x() < w.controls().OpColor[3]->x());
    QCOMPARE(w.controls().OpColorGroup->id(w.controls().OpColor[3]), 3);
    QVERIFY(w.controls().OpGlass[0]->isChecked());
    QVERIFY(w.controls().OpColor[2]->isChecked());
    QVERIFY(!w.controls().CkSBS->isChecked());
    QVERIFY(!w.controls().CkSwap->isChecked());
    QVERIFY(w.controls().CkStretch->isChecked());
    QVERIFY(w.controls().CkStretch->isHidden());
    QVERIFY(!w.controls().CkStretch->isEnabled());

    struct Bar {
        QScrollBar* bar;
        int min, max, page;
        bool hidden;
    };
    for (const Bar& b : {Bar{w.controls().HSB, -128, 128, 8, false}, Bar{w.controls().HSC, -128, 128, 8, true},
                         Bar{w.controls().HS, 0, 0, 5, false}, Bar{w.controls().VS, 0, 0, 5, false}}) {
        QCOMPARE(b.bar->minimum(), b.min);
        QCOMPARE(b.bar->maximum(), b.max);
        QCOMPARE(b.bar->pageStep(), b.page);
        QCOMPARE(b.bar->singleStep(), 1);
        QCOMPARE(b.bar->value(), 0);
        QCOMPARE(b.bar->isHidden(), b.hidden);
        QCOMPARE(b.bar->cursor().shape(), Qt::PointingHandCursor);
    }
    QCOMPARE(w.controls().VS->orientation(), Qt::Vertical);

    for (auto [box, maxLength] : {std::pair{w.controls().tBr, 4}, {w.controls().tXo, 6}, {w.controls().tYo, 6}}) {
        QCOMPARE(box->text(), QStringLiteral("0"));
        QCOMPARE(box->maxLength(), maxLength);
        QVERIFY(box->font().bold());
    }
    QCOMPARE(w.controls().lDi->text(), QStringLiteral("0 x 0  =  0 mp"));
    QVERIFY(w.controls().lDi->font().bold());
    QCOMPARE(w.controls().lBrL->text(), QStringLiteral("Brightness:"));
    QCOMPARE(w.controls().lDiL->text(), QStringLiteral("Image Dimensions:"));
    QCOMPARE(w.controls().lXoL->text(), QStringLiteral("X-Offset:"));
    QCOMPARE(w.controls().lYoL->text(), QStringLiteral("Y-Offset:"));
    QCOMPARE(w.controls().lCoL->text(), QStringLiteral("Contrast:"));
    QVERIFY(w.controls().lCoL->isHidden() && !w.controls().lCoL->isEnabled());
    QVERIFY(w.controls().lCo->isHidden() && !w.controls().lCo->isEnabled());
    QVERIFY(!w.statusTimer().isActive());
    QCOMPARE(w.statusTimer().interval(), 1000);

    // Every visible control lies inside the client area and no caption is cut.
    for (QWidget* c : w.findChildren<QWidget*>()) {
        if (c->isHidden() || !c->parentWidget()) continue;
        const QRect inWindow(c->mapTo(&w, QPoint(0, 0)), c->size());
        QVERIFY2(QRect(0, 0, 700, 445).contains(inWindow), qPrintable(c->objectName()));
        if (auto* label = qobject_cast<QLabel*>(c))
            QVERIFY2(label->fontMetrics().horizontalAdvance(label->text()) <= label->width(),
                     qPrintable(label->objectName()));
        if (auto* button = qobject_cast<QPushButton*>(c)) {
            QString plain = button->text();
            plain.remove('&');
            QVERIFY2(button->fontMetrics().horizontalAdvance(plain) <= button->width(),
                     qPrintable(button->objectName()));
        }
    }
}

void MainWindowTest::tabOrderFollowsTheWorkingControls() {
    FakePlatform fp;
    FrmMain w(fp.platform);
    QList<QWidget*> expected = {w.controls().cOpen1, w.controls().cOpen2, w.controls().CkSBS, w.controls().CkSwap, w.controls().CkAlign};
    expected.append(QList<QWidget*>(w.controls().OpGlass.begin(), w.controls().OpGlass.end()));
    expected.append(QList<QWidget*>(w.controls().OpColor.begin(), w.controls().OpColor.end()));
    expected.append({w.controls().cSave, w.controls().HSB, w.controls().HS, w.controls().VS, w.controls().cReset});
    QWidget* c = w.controls().cOpen1;
    for (int i = 1; i < expected.size(); ++i) {
        do
            c = c->nextInFocusChain();
        while (c->focusPolicy() == Qt::NoFocus || c->isHidden());
        QCOMPARE(c, expected[i]);
    }
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
    QVERIFY(c.OpGlass[0]->isChecked() && c.OpColor[2]->isChecked());
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

void MainWindowTest::lowDepthIsRefusedWithoutWindowOrSettings_data() {
    QTest::addColumn<int>("depth");
    QTest::newRow("8 bits") << 8;
    QTest::newRow("16 bits") << 16;
}

void MainWindowTest::lowDepthIsRefusedWithoutWindowOrSettings() {
    QFETCH(int, depth);
    FakePlatform fp;
    fp.screen.depth = depth;
    FrmMain w(fp.platform);
    QVERIFY(!w.Form_Load());
    QVERIFY(!w.isVisible());
    QCOMPARE(fp.dialogs.messages.size(), 1);
    const auto& m = fp.dialogs.messages.first();
    QCOMPARE(m.icon, MessageIcon::Critical);
    QCOMPARE(m.title, QStringLiteral(" Tessaly Fehler:"));
    QCOMPARE(m.text, QStringLiteral("    The video resolution is currently set to %1 bits.    \r\n"
                                    "    However, this program requires 24 or 32 bits.    \r\n ")
                         .arg(depth));
    w.close();
    QCOMPARE(fp.settings.writes, 0);
}

void MainWindowTest::otherDepthsStartWithOnlyImageOneOpen_data() {
    QTest::addColumn<int>("depth");
    for (int d : {24, 32, 4, 0})
        QTest::newRow(qPrintable(QString::number(d))) << d;
}

void MainWindowTest::otherDepthsStartWithOnlyImageOneOpen() {
    QFETCH(int, depth);
    FakePlatform fp;
    fp.screen.depth = depth;
    FrmMain w(fp.platform);
    QVERIFY(w.Form_Load());
    QVERIFY(w.isVisible());
    QVERIFY(fp.dialogs.messages.isEmpty());
    QCOMPARE(w.windowTitle(), kBase + "   .:.   " + FrmMain::kMakerAddress);
    QCOMPARE(w.baseCaption(), kBase);
    QCOMPARE(w.pos(), QPoint(16, 16));
    QVERIFY(w.isEnabled());
    QVERIFY(w.controls().cOpen1->isEnabled());
    QVERIFY(w.controls().PicView0->isEnabled());
    for (QWidget* c : w.controls().busyControls())
        if (c != w.controls().cOpen1) QVERIFY2(!c->isEnabled(), qPrintable(c->objectName()));
    for (QLineEdit* box : {w.controls().tBr, w.controls().tXo, w.controls().tYo})
        QVERIFY(box->isReadOnly() && !box->isEnabled());
    QVERIFY(!w.statusTimer().isActive());
    QCOMPARE(fp.settings.writes, 0);
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
}

void MainWindowTest::closingWritesTheNormalPosition_data() {
    QTest::addColumn<int>("state");
    QTest::newRow("normal") << int(Qt::WindowNoState);
    QTest::newRow("maximised") << int(Qt::WindowMaximized);
    QTest::newRow("minimised") << int(Qt::WindowMinimized);
}

void MainWindowTest::closingWritesTheNormalPosition() {
    QFETCH(int, state);
    FakePlatform fp;
    fp.settings.values[kKey + "WinTop"] = "30";
    fp.settings.values[kKey + "WinLeft"] = "40";
    FrmMain w(fp.platform);
    QVERIFY(w.Form_Load());
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.move(70, 50);
    QTRY_COMPARE(w.pos(), QPoint(70, 50));
    w.setWindowState(Qt::WindowState(state));
    QTest::qWait(50);
    w.close();
    QCOMPARE(fp.settings.values[kKey + "WinTop"], QStringLiteral("50"));
    QCOMPARE(fp.settings.values[kKey + "WinLeft"], QStringLiteral("70"));
    QCOMPARE(fp.settings.writes, 2);  // the position only
}

void MainWindowTest::statusExpiresBetweenFiveAndSixSeconds() {
    FakePlatform fp;
    FrmMain w(fp.platform);
    QVERIFY(w.Form_Load());
    w.SetCap(QStringLiteral("Image successfully saved!"));
    QCOMPARE(w.windowTitle(), kBase + "  -  Image successfully saved!");
    QVERIFY(w.statusTimer().isActive());

    // Ticks come every second; the status survives those before 5 s.
    for (double t : {1.0, 2.0, 3.0, 4.0, 4.99}) {
        fp.clock.now = 12 * 3600.0 + t;
        w.Timer1_Timer();
        QCOMPARE(w.windowTitle(), kBase + "  -  Image successfully saved!");
    }
    fp.clock.now = 12 * 3600.0 + 5.0;
    w.Timer1_Timer();
    QCOMPARE(w.windowTitle(), kBase);
    QVERIFY(!w.statusTimer().isActive());

    // A new status restarts the five seconds; a blank text is a status too.
    w.SetCap(QStringLiteral("one"));
    fp.clock.now += 3;
    w.SetCap(QStringLiteral(" "));
    QCOMPARE(w.windowTitle(), kBase + "  -   ");
    fp.clock.now += 3;
    w.Timer1_Timer();
    QCOMPARE(w.windowTitle(), kBase + "  -   ");

    // Empty text clears at once and stops the timer.
    w.SetCap(QString());
    QCOMPARE(w.windowTitle(), kBase);
    QVERIFY(!w.statusTimer().isActive());
}

void MainWindowTest::statusSetBeforeMidnightGoesAfterIt() {
    FakePlatform fp;
    FrmMain w(fp.platform);
    QVERIFY(w.Form_Load());
    fp.clock.now = 86400.0 - 2.0;
    w.SetCap(QStringLiteral("Aborted!"));
    fp.clock.now = 86400.0 - 1.0;
    w.Timer1_Timer();
    QCOMPARE(w.windowTitle(), kBase + "  -  Aborted!");
    fp.clock.now = 0.2;  // the clock has passed midnight
    w.Timer1_Timer();
    QCOMPARE(w.windowTitle(), kBase);
    QVERIFY(!w.statusTimer().isActive());
}

void MainWindowTest::busySwitchFollowsItsRules() {
    FakePlatform fp;
    FrmMain w(fp.platform);
    QVERIFY(w.Form_Load());
    w.EnableButtons(true);
    for (QWidget* c : w.controls().busyControls())
        QVERIFY2(c->isEnabled(), qPrintable(c->objectName()));
    for (QLineEdit* box : {w.controls().tBr, w.controls().tXo, w.controls().tYo})
        QVERIFY(!box->isReadOnly() && box->isEnabled());
    QVERIFY(!w.controls().CkStretch->isEnabled());  // never touched here

    w.EnableButtons(false);
    QVERIFY(!w.isEnabled());
    for (QWidget* c : w.controls().busyControls())
        QVERIFY2(!c->isEnabled(), qPrintable(c->objectName()));
    for (QLineEdit* box : {w.controls().tBr, w.controls().tXo, w.controls().tYo})
        QVERIFY(box->isReadOnly() && !box->isEnabled());

    // While the program sets scroll bars itself, nothing changes, not even
    // the window-wide state.
    w.SetSuppressUpdates(true);
    w.EnableButtons(true);
    QVERIFY(!w.isEnabled());
    QVERIFY(!w.controls().cSave->isEnabled());
    QVERIFY(w.controls().tBr->isReadOnly());
    w.SetSuppressUpdates(false);
    w.EnableButtons(true);
    QVERIFY(w.isEnabled());
    QVERIFY(w.controls().cSave->isEnabled());
    QVERIFY(!w.controls().tBr->isReadOnly());
}

void MainWindowTest::focusStaysInATextBoxThroughBusyWork() {
    FakePlatform fp;
    FrmMain w(fp.platform);
    QVERIFY(w.Form_Load());
    w.EnableButtons(true);
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    w.controls().tXo->setFocus();
    QTRY_VERIFY(w.controls().tXo->hasFocus());
    w.EnableButtons(false);
    w.EnableButtons(true);
    QVERIFY(w.controls().tXo->hasFocus());
}

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
