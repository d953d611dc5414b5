#pragma once

#include <QString>

class QWidget;

namespace tsy {

struct FileDialogRequest;

// Shows the toolkit's open or save dialog as the request describes it; the
// chosen path, or empty on Cancel. chosenFilter as Dialogs::FileDialog.
QString ShowFileDialog(QWidget* owner, const FileDialogRequest& request,
                       int* chosenFilter = nullptr);

// A mask as the dialog should match it: file names on Linux differ in case,
// but cameras write ".JPG" and ".MPO", so "*.jpg" becomes "*.[jJ][pP][gG]".
QString CaseInsensitiveMask(const QString& mask);

}  // namespace tsy
