#include "window/ShowFitted.h"

#include <QImage>
#include <new>

#include "base/PictureBuffer.h"
#include "window/PictureView.h"
#include "base/WorkerPool.h"
#include "prepare/AreaScale.h"
#include "prepare/FitInView.h"

namespace tsy {

namespace {

// The scaled copy of source, from the view's cache when nothing changed.
QImage ScaledCopy(const PictureBuffer& source, QSize size, PictureView& view) {
    PictureView::ScaledCopy& cache = view.scaledCopy();
    if (cache.sourceGeneration == source.generation() && cache.size == size &&
        !cache.image.isNull())
        return cache.image;
    QImage image(size, QImage::Format_RGB32);
    if (image.isNull()) return image;
    if (source.hasImage()) {
        if (!AreaScale(source.bits(), source.width(), source.height(), source.stride(),
                       image.bits(), size.width(), size.height(), size_t(image.bytesPerLine()),
                       HardwareThreads()))
            return QImage();
    } else {
        image.fill(QColor(Qt::black));
    }
    cache = {source.generation(), size, image};
    return image;
}

}  // namespace

bool PicAspectCopy(const PictureBuffer& source, PictureView& destination, float) {
    const QSize inner = destination.innerSize();
    const QSize outer = destination.outerSize();
    const AspectFit fit = FitAspect(source.width(), source.height(), inner.width(), inner.height(),
                                    outer.width(), outer.height());
    const QColor band = destination.pointColor(QPoint(0, 0));

    if (fit.copyWidth > 0 && fit.copyHeight > 0) {
        QImage copy;
        try {
            copy = ScaledCopy(source, QSize(fit.copyWidth, fit.copyHeight), destination);
        } catch (const std::bad_alloc&) {
            copy = QImage();
        }
        if (copy.isNull()) return false;
        destination.drawPicture(copy, QPoint(0, 0));
        destination.drawPicture(copy, QPoint(fit.x, fit.y));
    }
    destination.fillRect(QRect(0, 0, outer.width(), fit.y), band);
    destination.fillRect(QRect(0, fit.y, fit.x, fit.height), band);
    destination.repaintNow();
    return true;
}

}  // namespace tsy
