#include "WindowFixture.h"

class BlendTest : public QObject {
    Q_OBJECT

private slots:
    void optionsSelectTheMethodAndLeaveTheWindowReady() {
        Window t(Uniform(8, 6, QColor(200, 100, 50)), Uniform(8, 6, QColor(30, 60, 90)));
        QCOMPARE(Window::At(t.w.anaglyph(), 3, 3), QColor(200, 60, 90));  // full colour at start
        const struct {
            int glass, color;
            QColor expected;
        } cases[] = {{0, 0, QColor(125, 54, 54)}, {0, 1, QColor(125, 60, 90)},
                     {0, 3, QColor(85, 60, 90)},  {1, 0, QColor(54, 125, 54)},
                     {1, 1, QColor(30, 125, 90)}, {1, 2, QColor(30, 100, 90)},
                     {1, 3, QColor(30, 85, 90)},  {0, 2, QColor(200, 60, 90)}};
        for (const auto& c : cases) {
            t.blends.clear();
            Click(t.c.OpGlass[size_t(c.glass)]);
            Click(t.c.OpColor[size_t(c.color)]);
            QCOMPARE(Window::At(t.w.anaglyph(), 5, 2), c.expected);
            QVERIFY(t.w.isEnabled() && t.c.cSave->isEnabled() && t.c.OpColor[0]->isEnabled());
        }
        // A click on the option already selected changes nothing.
        t.blends.clear();
        Click(t.c.OpColor[2]);
        QCOMPARE(t.blends.size(), 0);
        // Amber/blue takes red and green from image 1, blue from image 2; it has no
        // optimized form, so choosing it there moves to Dubois in one rebuild.
        Click(t.c.OpColor[3]);
        t.blends.clear();
        Click(t.c.OpGlass[2]);
        QCOMPARE(t.blends.size(), 1);
        QVERIFY(t.c.OpColor[4]->isChecked() && t.c.OpColor[4]->isEnabled() &&
                !t.c.OpColor[3]->isEnabled());
        Click(t.c.OpColor[2]);
        QCOMPARE(Window::At(t.w.anaglyph(), 5, 2), QColor(200, 100, 90));
        QVERIFY(!t.c.OpColor[3]->isEnabled());  // still, after the rebuild
        Click(t.c.OpGlass[0]);
        QVERIFY(t.c.OpColor[3]->isEnabled());
    }

    // A method the glasses lack gives way to a stand-in until glasses that
    // have it come back; the last method clicked is the one that comes back.
    void theChosenMethodComesBackWithGlassesThatHaveIt() {
        Window t(Uniform(8, 6, QColor(200, 100, 50)), Uniform(8, 6, QColor(30, 60, 90)));
        const MainWindowLayout& c = t.c;
        Click(c.OpColor[3]);
        for (auto [glasses, shown] : {std::pair{2, 4}, {1, 3}, {2, 4}, {0, 3}}) {
            Click(c.OpGlass[size_t(glasses)]);
            QVERIFY2(c.OpColor[size_t(shown)]->isChecked(), qPrintable(QString::number(glasses)));
        }
        QCOMPARE(Window::At(t.w.anaglyph(), 5, 2), QColor(85, 60, 90));  // optimized red/cyan
        Click(c.OpGlass[2]);
        Click(c.OpColor[0]);
        Click(c.OpGlass[1]);
        QVERIFY(c.OpColor[0]->isChecked());
    }

    void controlsGiveBrightnessAndOffsetsWithTheirSigns() {
        Window t(Columns(40, 30), Columns(40, 30));
        // HS = 4 moves image 1 by -2 columns, VS = -2 image 2 by +1 row: the result's red
        // (image 1) shows column x - 2, its blue (image 2) row y - 1; brightness adds to both.
        t.c.HS->setValue(4);
        t.c.VS->setValue(-2);
        t.c.HSB->setValue(100);
        QCOMPARE(Window::At(t.w.anaglyph(), 10, 10), QColor(10 - 2 + 100, 100, 10 - 1 + 100));
    }

    void missingOrSmallerImageTwoIsBlack() {
        Window t(Uniform(10, 10, QColor(200, 100, 50)));
        t.c.HSB->setValue(40);
        QCOMPARE(Window::At(t.w.anaglyph(), 4, 4), QColor(240, 40, 40));
        t.c.HSB->setValue(0);
        t.Feed(Uniform(20, 10, QColor(200, 100, 50)), Uniform(12, 6, QColor(30, 60, 90)));
        QVERIFY(t.w.image2().width() == 20 && t.w.image2().height() == 10);
        QCOMPARE(Window::At(t.w.anaglyph(), 11, 5), QColor(200, 60, 90));
        QCOMPARE(Window::At(t.w.anaglyph(), 12, 5), QColor(200, 0, 0));
        QCOMPARE(Window::At(t.w.anaglyph(), 3, 6), QColor(200, 0, 0));
    }

    void sizeLabelAndStatusUseTheLocale() {
        Window t;
        for (bool german : {false, true}) {
            if (german) QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
            t.Feed(Uniform(1200, 800, Qt::gray), Uniform(1200, 800, Qt::gray));
            QLocale::setDefault(QLocale::c());
            const QString point = german ? "," : ".";
            QCOMPARE(t.c.lDi->text(), "1200 x 800  =  1" + point + "0 mp");
            const QRegularExpression status("^Ready!  \\(\\d+\\" + point + "\\d\\ds\\)$");
            QVERIFY2(status.match(t.Status()).hasMatch(), qPrintable(t.Status()));
        }
    }

    void suppressedOrFailedRebuildLeavesTheWindowUsable() {
        Window t(Uniform(8, 8, Qt::red), Uniform(8, 8, Qt::blue));
        t.w.SetCap(QString());
        t.w.SetSuppressUpdates(true);
        t.c.OpColor[1]->setChecked(true);
        t.w.PicBlend();
        t.w.SetSuppressUpdates(false);
        QVERIFY(t.w.windowTitle() == t.w.baseCaption() && t.blends.isEmpty());

        t.w.RecordPictureSize(1 << 20, 1 << 20);  // a size no buffer accepts
        Click(t.c.OpColor[0]);
        QVERIFY(t.fp.dialogs.messages.size() == 1 &&
                t.fp.dialogs.messages[0].text.contains(QStringLiteral("memory")));
        QVERIFY(t.w.isEnabled() && t.c.cOpen1->isEnabled() && t.c.OpColor[1]->isEnabled());
    }

    void thumbnailsAndResultAreShownFitted() {
        // 3000 x 1000 in a 214 x 160 view: 214 x 71 at row 44.
        Window t(Uniform(3000, 1000, QColor(250, 10, 10)),
                 Uniform(3000, 1000, QColor(10, 250, 250)));
        const QImage& v0 = t.c.PicView0->canvas();
        QCOMPARE(QColor(v0.pixel(100, 44)), QColor(250, 10, 10));
        QCOMPARE(QColor(v0.pixel(100, 114)), QColor(250, 10, 10));
        QCOMPARE(v0.pixel(100, 115), t.c.PicView0->backColor().rgb());
        QCOMPARE(QColor(t.c.PicView2->canvas().pixel(220, 165)), QColor(250, 250, 250));
    }
};

TSY_GUI_TEST(BlendTest)
#include "BlendTest.moc"
