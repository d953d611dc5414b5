#include "WindowFixture.h"
#include "output/FileFormats.h"

class SplitTest : public QObject {
    Q_OBJECT

private slots:
    // Off again, the loaded picture comes back exactly; a separately loaded
    // image 2 does not. Switched off while swapped, unticking swap swaps once more.
    void turningItOffRestoresThePictureExactly() {
        const QImage sbs = Columns(300, 40);
        for (bool swapped : {false, true}) {
            Window t(sbs, Uniform(300, 40, Qt::green));
            Click(t.c.CkSBS);
            if (swapped) Click(t.c.CkSwap);
            Click(t.c.CkSBS);
            QVERIFY(!t.c.CkSBS->isChecked() && !t.c.CkStretch->isEnabled());
            QVERIFY(t.c.CkSwap->isChecked() == swapped && t.blends.size() == (swapped ? 3 : 2));
            QCOMPARE(Picture(t.w.image1()), sbs);
            QVERIFY(!t.w.image2().hasImage() && !t.w.sideBySideSource().hasImage());
            if (!swapped) continue;
            Click(t.c.CkSwap);
            QVERIFY(!t.w.image1().hasImage());
            QCOMPARE(Picture(t.w.image2()), sbs);
        }
    }

    void swapNegatesOffsetsWithOneRebuild() {
        Window t(Uniform(100, 60, Qt::red), Uniform(100, 60, Qt::cyan));
        t.w.SetSuppressUpdates(true);
        t.c.HS->setValue(12);
        t.c.VS->setValue(-3);
        t.w.SetSuppressUpdates(false);
        for (int sign : {-1, 1}) {
            Click(t.c.CkSwap);
            QCOMPARE(t.blends.size(), sign < 0 ? 1 : 2);
            QVERIFY(t.c.HS->value() == 12 * sign && t.c.VS->value() == -3 * sign);
            QCOMPARE(t.c.tXo->text(), QString::number(12 * sign));
            QCOMPARE(Window::At(t.w.image1(), 1, 1), QColor(sign < 0 ? Qt::cyan : Qt::red));
            QCOMPARE(Window::At(t.w.image2(), 1, 1), QColor(sign < 0 ? Qt::red : Qt::cyan));
        }
    }

    // Each layout chosen from the menu ticks the box (or splits again) and
    // takes the views where it says, an odd middle column in both halves:
    // the first from the start, the second ending at the far edge, squeezed
    // ones stretched back by repeating pixels. The working pictures take the
    // views' size; unticking gives the whole picture back.
    void everyLayoutOfTheMenuSplitsWhereItSays() {
        const int W = 121, H = 81;
        Window t(Columns(W, H));
        Click(t.c.CkSBS);  // by hand: squeezed side by side, as ever
        QVERIFY(t.c.CkStretch->isEnabled() && t.blends.size() == 1);
        QCOMPARE(t.w.RecipeOfControls().layout(), LayoutByName("sbs-lr-half")->layout);
        for (const LayoutInfo& row : Layouts()) {
            if (!row.layout.InOnePicture()) continue;
            const QString name = QString::fromLatin1(row.name.data(), row.name.size());
            t.c.LayoutMenu->findChild<QAction*>(name)->trigger();
            const StereoLayout& l = row.layout;
            QVERIFY(t.c.CkSBS->isChecked() && t.c.CkStretch->isChecked() == l.half);
            QCOMPARE(t.w.RecipeOfControls().layout(), l);
            const bool sbs = l.arrangement == Arrangement::SideBySide;
            const int whole = sbs ? W : H, half = (whole + 1) / 2;
            const QSize view = l.half ? QSize(W, H) : sbs ? QSize(half, H) : QSize(W, half);
            QCOMPARE(QSize(t.w.pictureWidth(), t.w.pictureHeight()), view);
            for (const bool left : {true, false}) {
                const PictureBuffer& b = left ? t.w.image1() : t.w.image2();
                QCOMPARE(QSize(b.width(), b.height()), view);
                const int start = left == l.leftFirst ? 0 : whole - half;
                for (const QPoint p :
                     {QPoint(0, 0), QPoint(7, 33), QPoint(view.width() - 1, view.height() - 1)}) {
                    const int along = sbs ? p.x() : p.y();
                    const int from = start + (l.half ? along * half / whole : along);
                    const QColor c = Window::At(b, p.x(), p.y());
                    QVERIFY2(
                        ColumnOf(c) == (sbs ? from : p.x()) && c.blue() == (sbs ? p.y() : from),
                        qPrintable(name));
                }
            }
            QCOMPARE(QSize(t.w.anaglyph().width(), t.w.anaglyph().height()), view);
        }
        Click(t.c.CkSBS);
        QCOMPARE(Picture(t.w.image1()), Columns(W, H));
        QCOMPARE(QSize(t.w.pictureWidth(), t.w.pictureHeight()), QSize(W, H));
    }

    void sideBySideWhileSwappedSplitsWhatImageOneHolds() {
        Window t(Uniform(80, 20, Qt::red), Columns(80, 20));
        Click(t.c.CkSwap);
        Click(t.c.CkSBS);
        // Split at the loaded image 1's width (80), stretched.
        QCOMPARE(ColumnOf(Window::At(t.w.image1(), 10, 3)), 5);
        QCOMPARE(ColumnOf(Window::At(t.w.image2(), 10, 3)), 45);
    }
};

TSY_GUI_TEST(SplitTest)
#include "SplitTest.moc"
