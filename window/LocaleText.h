#pragma once

#include <QString>
#include <string>

namespace tsy {

// The user's decimal point, for every number the window shows.
std::string DecimalPoint();

// v as FormatNumber writes it, with the user's decimal point.
QString LocaleNumber(double v);

}  // namespace tsy
