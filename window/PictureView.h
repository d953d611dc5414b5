#pragma once

#include <QColor>
#include <QImage>
#include <QWidget>

class QMimeData;

namespace tsy {

// A visible picture holder (PicView0..2, the preview's Pic). It keeps what it
// shows in a canvas of its own size in device pixels, so drawing happens once
// and a repaint only copies. It has no border: inner and outer size agree.
class PictureView : public QWidget {
    Q_OBJECT

public:
    explicit PictureView(QWidget* parent = nullptr);

    void setBackColor(const QColor& color);
    QColor backColor() const { return backColor_; }

    // The drawing area in pixels (device pixels on a scaled screen).
    QSize innerSize() const;
    QSize outerSize() const { return innerSize(); }

    // Erases everything drawn and shows the back colour.
    void clearPicture();
    // Draws a picture at pos at its own size; no smoothing.
    void drawPicture(const QImage& picture, QPoint pos);
    // Draws a source rectangle of picture into target, repeating pixels when widening.
    void drawPicture(const QImage& picture, const QRect& source, const QRect& target);
    void fillRect(const QRect& rect, const QColor& color);
    // Writes a short message in the middle of the view (why it is empty).
    void showText(const QString& text);
    // The colour shown at a point; the back colour outside the view.
    QColor pointColor(QPoint point) const;
    // What the view shows.
    const QImage& canvas();
    // Makes what was drawn visible before the caller goes on.
    void repaintNow();

    // A scaled copy made for this view and the picture it came from, so an
    // unchanged picture is not scaled again on the next rebuild.
    struct ScaledCopy {
        quint64 sourceGeneration = 0;
        QSize size;
        QImage image;
    };
    ScaledCopy& scaledCopy() { return scaledCopy_; }

signals:
    void clicked();
    // Anything dropped on the view; the window decides what it means.
    void dropped(const QMimeData* data);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // The canvas follows the widget's size (also while hidden) and scale.
    void syncCanvas();

    QColor backColor_ = Qt::black;
    QImage canvas_;
    ScaledCopy scaledCopy_;
    bool pressed_ = false;
};

}  // namespace tsy
