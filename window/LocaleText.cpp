#include "window/LocaleText.h"

#include <QLocale>

#include "window/rules/NumberText.h"

namespace tsy {

std::string DecimalPoint() {
    return QLocale().decimalPoint().toStdString();
}

QString LocaleNumber(double v) {
    QString text = QString::fromStdString(FormatNumber(v));
    text.replace('.', QString::fromStdString(DecimalPoint()));
    return text;
}

}  // namespace tsy
