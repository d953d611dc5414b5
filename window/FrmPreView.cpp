#include "window/FrmPreView.h"

#include <QKeyEvent>
#include <QMouseEvent>

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
    setWindowState(Qt::WindowMaximized);
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
