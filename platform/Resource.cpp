#include "platform/Resource.h"

#include <sys/stat.h>
#include <QFile>
#include <span>

#include "base/SysTempDir.h"

static void InitOptimiserResource() {
    Q_INIT_RESOURCE(optimiser);
}

namespace tsy {

bool WriteResource(const QString& type, int number, const QString& path) {
    InitOptimiserResource();
    QFile resource(QStringLiteral(":/%1/%2").arg(type).arg(number));
    if (!resource.open(QIODevice::ReadOnly)) return false;
    const QByteArray bytes = resource.readAll();
    if (bytes.isEmpty()) return false;
    std::string error;
    const std::string target = path.toStdString();
    if (!WriteFileNoFollow(target,
                           std::span(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                     std::size_t(bytes.size())),
                           error))
        return false;
    return ::chmod(target.c_str(), 0700) == 0;
}

}  // namespace tsy
