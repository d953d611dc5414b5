#include "platform/PictureLoader.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>

#include "base/PictureBuffer.h"
#include "input/BmpReader.h"
#include "input/ExifOrientation.h"
#include "input/JpegDecoder.h"
#include "input/MappedFile.h"
#include "output/FileFormats.h"
#include "prepare/Orientation.h"

namespace tsy {


namespace {

QString TooLarge(QSize size) {
    return QStringLiteral("the picture is too large (%1 x %2 pixels; at most %3 megapixels)")
        .arg(size.width())
        .arg(size.height())
        .arg(kMaxPicturePixels / 1'000'000);
}

// The toolkit's BMP reader makes up the rows a cut file lacks; such a file is
// damaged and refused here. Only uncompressed layouts have a known length.
QString BmpCutShort(std::span<const std::uint8_t> b) {
    BmpHeader header;
    std::string why;
    if (!ReadBmpHeader(b.data(), b.size(), header, why)) return {};
    const std::uint64_t needed = header.NeededBytes();
    if (needed == 0 || b.size() >= needed) return {};
    return QStringLiteral("the file is cut short (%1 of %2 bytes)").arg(b.size()).arg(needed);
}

bool LoadWithToolkit(std::span<const std::uint8_t> bytes, PictureBuffer& buffer, QString& error) {
    if (const QString cut = BmpCutShort(bytes); !cut.isEmpty()) {
        error = cut;
        return false;
    }
    QByteArray data = QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.data()),
                                              qsizetype(bytes.size()));
    QBuffer device(&data);
    device.open(QIODevice::ReadOnly);
    QImageReader reader(&device);
    reader.setAutoTransform(false);
    const QSize size = reader.size();
    if (size.isValid() && std::int64_t(size.width()) * size.height() > kMaxPicturePixels) {
        error = TooLarge(size);
        return false;
    }
    // The reader refuses pictures above 128 MiB by default; the limit above
    // is ours. Room for 4 bytes a pixel plus the decoder's own rows. Set once:
    // loads may run on several threads.
    static std::once_flag limit;
    std::call_once(limit, [] {
        QImageReader::setAllocationLimit(int(kMaxPicturePixels * 4 / (1024 * 1024) + 64));
    });
    QImage image = reader.read();
    if (image.isNull()) {
        error = reader.errorString();
        if (reader.error() == QImageReader::UnsupportedFormatError)
            error += QStringLiteral(" (Tessaly reads %1)").arg(QString::fromStdString(ReadableFormatsText()));
        return false;
    }
    image = image.convertToFormat(QImage::Format_RGB32);
    if (image.isNull()) {
        error = QStringLiteral("not enough memory");
        return false;
    }
    std::uint8_t* out = buffer.assign(image.width(), image.height());
    for (int y = 0; y < image.height(); ++y)
        std::memcpy(out + std::size_t(y) * buffer.stride(), image.constScanLine(y),
                    buffer.stride());
    return true;
}

}  // namespace

void PreparePictureLoading() {
    // An empty device matches no built-in format, so the reader asks, and so
    // loads, every plugin.
    QBuffer empty;
    empty.open(QIODevice::ReadOnly);
    QImageReader(&empty).canRead();
}

bool LoadPicture(const QString& path, PictureBuffer& buffer, QString& error, QString* warning,
                 int* orientation, bool refuseDamaged) {
    buffer.clear();
    error.clear();
    if (warning) warning->clear();
    MappedFile file;
    std::string why;
    if (!file.open(path.toStdString(), why)) {
        error = QString::fromStdString(why);
        return false;
    }
    return LoadPictureBytes(file.bytes(), buffer, error, warning, orientation, refuseDamaged);
}

bool LoadPictureBytes(std::span<const std::uint8_t> bytes, PictureBuffer& buffer, QString& error,
                      QString* warning, int* orientation, bool refuseDamaged) {
    buffer.clear();
    error.clear();
    if (warning) warning->clear();
    if (orientation) *orientation = 0;
    try {
        const bool jpeg =
            bytes.size() >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF;
        if (jpeg) {
            std::string why;
            const bool ok = DecodeJpeg(bytes, buffer, why, kMaxPicturePixels, refuseDamaged);
            // A decoder warning on a picture it still produced is no failure.
            if (!ok) {
                error = QString::fromStdString(why);
                return false;
            }
            if (warning) *warning = QString::fromStdString(why);
            const int turn = ExifOrientation(bytes);
            ApplyOrientation(buffer, turn);
            if (orientation) *orientation = turn;
            return true;
        }
        if (LoadWithToolkit(bytes, buffer, error)) return true;
    } catch (const std::bad_alloc&) {
        error = QStringLiteral("not enough memory");
    }
    buffer.clear();
    return false;
}

}  // namespace tsy
