#include "WindowFixture.h"
#include "window/FrmPreView.h"

static FrmPreView* Open(Window& t) {
    Click(t.c.PicView2);
    FrmPreView* p = t.w.preview();
    if (p) (void)QTest::qWaitForWindowExposed(p);
    return p;
}

class PreviewTest : public QObject {
    Q_OBJECT

private slots:
    // Wide pictures are fitted the same way in the thumbnails.
    void opensMaximisedAndRedrawsFittedAfterAResize() {
        Window t(Uniform(100, 400, QColor(250, 0, 0)), Uniform(100, 400, QColor(0, 250, 250)));
        FrmPreView* p = Open(t);  // white where the picture is
        QVERIFY(p && (p->windowState() & Qt::WindowMaximized));
        QCOMPARE(p->Pic->geometry(), p->rect());
        p->setWindowState(Qt::WindowNoState);
        p->resize(300, 200);
        QTRY_COMPARE(p->Pic->innerSize(), QSize(300, 200));
        // Taller: full height, 50 wide, centred horizontally (125 to 174); black beside it.
        for (int x : {124, 126, 150, 176})
            QCOMPARE(QColor(p->Pic->canvas().pixel(x, 100)),
                     x == 124 || x == 176 ? QColor(Qt::black) : QColor(250, 250, 250));
        p->close();
    }

    void anyKeyOrButtonOrTheMainWindowCloses() {
        Window t(Uniform(40, 30, Qt::red), Uniform(40, 30, Qt::cyan));
        for (int way = 0; way < 4; ++way) {
            QPointer<FrmPreView> p = Open(t);
            if (way == 0) QTest::keyClick(p, Qt::Key_Shift);
            if (way == 1) QTest::mouseClick(p, Qt::RightButton, {}, QPoint(30, 30));
            if (way == 2) Click(p->Pic);  // on the picture itself
            if (way == 3) t.w.close();    // the main window takes it along
            QTRY_VERIFY(!p);
            QCOMPARE(t.w.isVisible(), way < 3);
        }
    }

    void anotherClickRestoresTheSamePreviewToHalfTheScreen() {
        Window t(Uniform(4000, 1000, Qt::red), Uniform(4000, 1000, Qt::cyan));
        FrmPreView* p = Open(t);
        const QSize half = p->screen()->availableGeometry().size() / 2;
        const QRect normal = p->normalGeometry();
        QCOMPARE(normal.width(), half.width());  // a wide picture fills the width
        QVERIFY(qAbs(normal.height() - half.width() / 4) <= 1);
        p->showMinimized();
        QTRY_VERIFY(p->isMinimized());
        Click(t.c.PicView2);
        QTRY_VERIFY(!p->isMinimized());
        QVERIFY(p->isVisible() && t.w.preview() == p && (p->windowState() & Qt::WindowMaximized));
        p->showNormal();
        QTRY_COMPARE(p->size(), normal.size());
        p->close();
    }
};

TSY_GUI_TEST(PreviewTest)
#include "PreviewTest.moc"
