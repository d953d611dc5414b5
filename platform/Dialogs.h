#pragma once

#include <QPoint>
#include <QString>

class QWidget;

namespace tsy {

struct FileDialogRequest;

enum class MessageIcon { Critical, Information };

// Modal dialogs and the beep. Window code reaches them only through this
// interface, so tests can answer them without a person.
class Dialogs {
public:
    virtual ~Dialogs() = default;
    virtual void MessageBox(QWidget* owner, MessageIcon icon, const QString& title,
                            const QString& text) = 0;
    // The entered text; empty on Cancel. topLeft is in screen coordinates.
    virtual QString InputBox(QWidget* owner, const QString& prompt, const QString& title,
                             const QString& proposal, QPoint topLeft) = 0;
    // The chosen path; empty on Cancel or when the request shows no dialog.
    // chosenFilter, when given, receives the index of the entry the user
    // left chosen in request.filters (-1 when unknown).
    virtual QString FileDialog(QWidget* owner, const FileDialogRequest& request,
                               int* chosenFilter = nullptr) = 0;
    virtual void Beep() = 0;
};

}  // namespace tsy
