#include "window/PictureView.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>

namespace tsy {

PictureView::PictureView(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    syncCanvas();
}

QSize PictureView::innerSize() const {
    return (QSizeF(size()) * devicePixelRatioF()).toSize().expandedTo(QSize(1, 1));
}

const QImage& PictureView::canvas() {
    syncCanvas();
    return canvas_;
}

void PictureView::setBackColor(const QColor& color) {
    backColor_ = color;
    clearPicture();
}

void PictureView::syncCanvas() {
    const qreal dpr = devicePixelRatioF();
    const QSize size = innerSize();
    if (canvas_.size() == size && canvas_.devicePixelRatio() == dpr) return;
    QImage canvas(size, QImage::Format_RGB32);
    canvas.fill(backColor_);
    if (!canvas_.isNull()) {
        // What was drawn stays anchored at the top-left corner.
        QPainter p(&canvas);
        p.drawImage(QPoint(0, 0), canvas_);
    }
    canvas.setDevicePixelRatio(dpr);
    canvas_ = canvas;
}

void PictureView::clearPicture() {
    syncCanvas();
    canvas_.fill(backColor_);
    repaintNow();
}

void PictureView::drawPicture(const QImage& picture, QPoint pos) {
    syncCanvas();
    QPainter p(&canvas_);
    QImage unscaled = picture;
    unscaled.setDevicePixelRatio(canvas_.devicePixelRatio());
    p.drawImage(QPointF(pos) / canvas_.devicePixelRatio(), unscaled);
    update();
}

void PictureView::drawPicture(const QImage& picture, const QRect& source, const QRect& target) {
    syncCanvas();
    QPainter p(&canvas_);
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    const qreal dpr = canvas_.devicePixelRatio();
    p.drawImage(QRectF(target.topLeft() / dpr, target.size() / dpr), picture, source);
    update();
}

void PictureView::fillRect(const QRect& rect, const QColor& color) {
    if (rect.isEmpty()) return;
    syncCanvas();
    QPainter p(&canvas_);
    const qreal dpr = canvas_.devicePixelRatio();
    p.fillRect(QRectF(rect.topLeft() / dpr, rect.size() / dpr), color);
    update();
}

void PictureView::showText(const QString& text) {
    syncCanvas();
    QPainter p(&canvas_);
    p.setPen(palette().color(QPalette::BrightText));
    p.setFont(font());
    const QRectF area = QRectF(QPointF(0, 0), QSizeF(size())).adjusted(6, 6, -6, -6);
    p.drawText(area, Qt::AlignCenter | Qt::TextWordWrap, text);
    repaintNow();
}

QColor PictureView::pointColor(QPoint point) const {
    if (!canvas_.rect().contains(point) || canvas_.size() != innerSize()) return backColor_;
    return QColor(canvas_.pixel(point));
}

void PictureView::repaintNow() {
    if (isVisible()) repaint();
}

void PictureView::paintEvent(QPaintEvent*) {
    syncCanvas();
    QPainter p(this);
    p.drawImage(QPoint(0, 0), canvas_);
}

void PictureView::mousePressEvent(QMouseEvent* event) {
    pressed_ = event->button() == Qt::LeftButton;
    QWidget::mousePressEvent(event);
}

void PictureView::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = pressed_ && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    pressed_ = false;
    if (click) emit clicked();
}

void PictureView::dragEnterEvent(QDragEnterEvent* event) {
    event->acceptProposedAction();
}

void PictureView::dragMoveEvent(QDragMoveEvent* event) {
    event->acceptProposedAction();
}

void PictureView::dropEvent(QDropEvent* event) {
    event->acceptProposedAction();
    emit dropped(event->mimeData());
}

}  // namespace tsy
