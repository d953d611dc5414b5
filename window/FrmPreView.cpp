#include "window/FrmPreView.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>

#include "base/PictureBuffer.h"
#include "window/PictureView.h"
#include "window/ShowFitted.h"

namespace tsy {

FrmPreView::FrmPreView(const PictureBuffer& result) : result_(result) {
    setObjectName(QStringLiteral("frmPreView"));
    setWindowTitle(QStringLiteral("Form2"));
    setAttribute(Qt::WA_DeleteOnClose);
    setCursor(Qt::PointingHandCursor);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    setPalette(pal);
    setAutoFillBackground(true);

    Pic = new PictureView(this);
    Pic->setObjectName(QStringLiteral("Pic"));
    Pic->setToolTip(QStringLiteral(" Click to close ... "));
    Pic->setBackColor(Qt::black);
    Pic->move(2, 2);
    // The window, not the picture, takes every press.
    Pic->setEnabled(false);
    Pic->setAttribute(Qt::WA_TransparentForMouseEvents);
    // Restored from maximised, the window shows the picture fitted in half
    // the screen, in the middle.
    const QRect screenArea = screen()->availableGeometry();
    QSize size = screenArea.size() / 2;
    if (result.width() > 0 && result.height() > 0)
        size = QSize(result.width(), result.height()).scaled(size, Qt::KeepAspectRatio);
    resize(size.expandedTo(QSize(64, 48)));
    move(screenArea.center() - rect().center());
    setWindowState(Qt::WindowMaximized);
}

void FrmPreView::Bring() {
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
}

void FrmPreView::resizeEvent(QResizeEvent*) {
    Pic->setGeometry(rect());
    // Start from black: what a larger window showed before must not stay
    // beside the smaller picture.
    Pic->clearPicture();
    PicAspectCopy(result_, *Pic, 1.0f);
}

void FrmPreView::keyPressEvent(QKeyEvent*) {
    close();
}

void FrmPreView::mousePressEvent(QMouseEvent*) {
    close();
}

}  // namespace tsy
