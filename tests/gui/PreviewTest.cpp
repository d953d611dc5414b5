#include <QtTest>

#include "WindowFixture.h"
#include "window/PictureView.h"
#include "window/FrmPreView.h"

using namespace tsy;
using namespace tsy::test;

class PreviewTest : public QObject {
    Q_OBJECT

private slots:
    void opensMaximisedAndFitsTheResult();
    void redrawsFittedAfterAResize();
    void anyKeyOrButtonCloses();
    void secondClickRaisesTheSamePreview();
    void minimisedComesBackAndRestoresToHalfTheScreen();
    void closingTheMainWindowClosesIt();
};

static FrmPreView* Open(Window& t) {
    QTest::mouseClick(t.w.controls().PicView2, Qt::LeftButton);
    FrmPreView* p = t.w.preview();
    if (p) (void)QTest::qWaitForWindowExposed(p);
    return p;
}

void PreviewTest::opensMaximisedAndFitsTheResult() {
    Window t;
    t.Feed(Uniform(400, 100, QColor(250, 0, 0)), Uniform(400, 100, QColor(0, 250, 250)));
    FrmPreView* p = Open(t);
    QVERIFY(p);
    QVERIFY(p->windowState() & Qt::WindowMaximized);
    QCOMPARE(p->windowTitle(), QStringLiteral("Form2"));
    QCOMPARE(p->Pic->geometry(), p->rect());
    QCOMPARE(p->Pic->toolTip(), QStringLiteral(" Click to close ... "));
    QVERIFY(!p->Pic->isEnabled());
    // Wider than the screen's proportion: full width, centred vertically.
    const QImage& c = p->Pic->canvas();
    const int h = c.width() / 4;
    const int top = (c.height() - h) / 2;
    QCOMPARE(QColor(c.pixel(c.width() / 2, top + 1)), QColor(250, 250, 250));
    QCOMPARE(QColor(c.pixel(c.width() / 2, top - 2)), QColor(Qt::black));
    QCOMPARE(QColor(c.pixel(c.width() / 2, top + h + 1)), QColor(Qt::black));
    p->close();
}

void PreviewTest::redrawsFittedAfterAResize() {
    Window t;
    t.Feed(Uniform(100, 400, QColor(250, 0, 0)), Uniform(100, 400, QColor(0, 250, 250)));
    FrmPreView* p = Open(t);
    p->setWindowState(Qt::WindowNoState);
    p->resize(300, 200);
    QTRY_COMPARE(p->Pic->innerSize(), QSize(300, 200));
    const QImage& c = p->Pic->canvas();
    // Taller: full height, 50 wide, centred horizontally; black beside it.
    QCOMPARE(QColor(c.pixel(150, 100)), QColor(250, 250, 250));
    QCOMPARE(QColor(c.pixel(126, 100)), QColor(250, 250, 250));
    QCOMPARE(QColor(c.pixel(124, 100)), QColor(Qt::black));
    QCOMPARE(QColor(c.pixel(176, 100)), QColor(Qt::black));
    p->close();
}

void PreviewTest::anyKeyOrButtonCloses() {
    Window t;
    t.Feed(Uniform(40, 30, Qt::red), Uniform(40, 30, Qt::cyan));
    QPointer<FrmPreView> p = Open(t);
    QTest::keyClick(p, Qt::Key_Shift);
    QTRY_VERIFY(!p);
    p = Open(t);
    QTest::mouseClick(p, Qt::RightButton, {}, QPoint(30, 30));
    QTRY_VERIFY(!p);
    p = Open(t);
    QTest::mouseClick(p->Pic, Qt::LeftButton);  // on the picture itself
    QTRY_VERIFY(!p);
    QVERIFY(t.w.isVisible());
}

void PreviewTest::secondClickRaisesTheSamePreview() {
    Window t;
    t.Feed(Uniform(40, 30, Qt::red), Uniform(40, 30, Qt::cyan));
    FrmPreView* first = Open(t);
    QTest::mouseClick(t.w.controls().PicView2, Qt::LeftButton);
    QCOMPARE(t.w.preview(), first);
    const auto windows = QApplication::topLevelWidgets();
    QCOMPARE(
        std::count_if(windows.begin(), windows.end(),
                      [](QWidget* w) { return qobject_cast<FrmPreView*>(w) && w->isVisible(); }),
        1);
    first->close();
}

void PreviewTest::minimisedComesBackAndRestoresToHalfTheScreen() {
    Window t;
    t.Feed(Uniform(4000, 1000, Qt::red), Uniform(4000, 1000, Qt::cyan));
    FrmPreView* p = Open(t);
    const QSize half = p->screen()->availableGeometry().size() / 2;
    const QRect normal = p->normalGeometry();
    QCOMPARE(normal.width(), half.width());  // a wide picture fills the width
    QVERIFY(qAbs(normal.height() - half.width() / 4) <= 1);
    p->showMinimized();
    QTRY_VERIFY(p->isMinimized());
    QTest::mouseClick(t.w.controls().PicView2, Qt::LeftButton);
    QTRY_VERIFY(!p->isMinimized());
    QVERIFY(p->isVisible());
    QCOMPARE(p->windowState() & Qt::WindowMaximized, Qt::WindowMaximized);
    p->showNormal();
    QTRY_COMPARE(p->size(), normal.size());
    p->close();
}

void PreviewTest::closingTheMainWindowClosesIt() {
    Window t;
    t.Feed(Uniform(40, 30, Qt::red), Uniform(40, 30, Qt::cyan));
    QPointer<FrmPreView> p = Open(t);
    t.w.close();
    QTRY_VERIFY(!p);
}

QTEST_MAIN(PreviewTest)
#include "PreviewTest.moc"
