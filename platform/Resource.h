#pragma once

#include <QString>

namespace tsy {

// Writes the resource carried in the program under type and number (":/type/
// number") as the complete content of path, creating or replacing it, never
// through a symbolic link, and makes it runnable by its owner. False on any
// failure.
bool WriteResource(const QString& type, int number, const QString& path);

}  // namespace tsy
