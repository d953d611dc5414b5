#include "WindowFixture.h"
#include "output/FileFormats.h"

class SplitTest : public QObject {
    Q_OBJECT

private slots:
    // Image 2 starts at the source's middle column; an odd middle column goes to
    // both halves. Stretching repeats each column.
    void sideBySideSplitsAtTheMiddleColumn() {
        for (int width : {2560, 2561})
            for (bool stretch : {true, false}) {
                Window t(Columns(width, 96), Uniform(50, 50, Qt::blue));
                Click(t.c.CkSBS);
                QVERIFY(t.c.CkSBS->isChecked() && t.c.CkStretch->isEnabled());
                t.c.CkStretch->setChecked(stretch);  // the hidden switch, as code may set it
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
                    QCOMPARE(t.c.lDi->text(), QStringLiteral("%1 x 96  =  0.2 mp").arg(width));
            }
    }

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
    // takes the views where it says: the first from the start, the second
    // ending at the far edge, squeezed ones stretched back by repeating
    // pixels. The working pictures take the views' size; unticking gives the
    // whole picture back.
    void everyLayoutOfTheMenuSplitsWhereItSays() {
        const int W = 121, H = 81;
        Window t(Columns(W, H));
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
