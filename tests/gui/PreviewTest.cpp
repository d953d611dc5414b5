#include <QtTest>

#include "WindowFixture.h"
#include "window/FrmPreView.h"
#include "window/PictureView.h"

using namespace tsy;
using namespace tsy::test;

class PreviewTest : public QObject {
    Q_OBJECT

private slots:
    void opensMaximisedAndFitsTheResult();
    void redrawsFittedAfterAResize();
    void anyKeyOrButtonOrTheMainWindowCloses();
    void anotherClickRestoresTheSamePreviewToHalfTheScreen();
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
    QVERIFY(p && (p->windowState() & Qt::WindowMaximized));
    QCOMPARE(p->Pic->geometry(), p->rect());
    // Wider than the screen's proportion: full width, centred vertically.
    const QImage& c = p->Pic->canvas();
    const int h = c.width() / 4;
    const int top = (c.height() - h) / 2;
    for (auto [y, color] : {std::pair{top + 1, QColor(250, 250, 250)},
                            {top - 2, Qt::black},
                            {top + h + 1, Qt::black}})
        QCOMPARE(QColor(c.pixel(c.width() / 2, y)), color);
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
    for (auto [x, color] : {std::pair{150, QColor(250, 250, 250)},
                            {126, QColor(250, 250, 250)},
                            {124, QColor(Qt::black)},
                            {176, QColor(Qt::black)}})
        QCOMPARE(QColor(c.pixel(x, 100)), color);
    p->close();
}

void PreviewTest::anyKeyOrButtonOrTheMainWindowCloses() {
    Window t;
    t.Feed(Uniform(40, 30, Qt::red), Uniform(40, 30, Qt::cyan));
    for (int way = 0; way < 3; ++way) {
        QPointer<FrmPreView> p = Open(t);
        if (way == 0) QTest::keyClick(p, Qt::Key_Shift);
        if (way == 1) QTest::mouseClick(p, Qt::RightButton, {}, QPoint(30, 30));
        if (way == 2) QTest::mouseClick(p->Pic, Qt::LeftButton);  // on the picture itself
        QTRY_VERIFY(!p);
    }
    QVERIFY(t.w.isVisible());
    // Closing the main window takes an open preview with it.
    QPointer<FrmPreView> p = Open(t);
    t.w.close();
    QTRY_VERIFY(!p);
}

void PreviewTest::anotherClickRestoresTheSamePreviewToHalfTheScreen() {
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
    QCOMPARE(t.w.preview(), p);
    const auto windows = QApplication::topLevelWidgets();
    QCOMPARE(
        std::count_if(windows.begin(), windows.end(),
                      [](QWidget* w) { return qobject_cast<FrmPreView*>(w) && w->isVisible(); }),
        1);
    QCOMPARE(p->windowState() & Qt::WindowMaximized, Qt::WindowMaximized);
    p->showNormal();
    QTRY_COMPARE(p->size(), normal.size());
    p->close();
}

QTEST_MAIN(PreviewTest)
#include "PreviewTest.moc"
