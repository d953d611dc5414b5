#include "platform/QtFileDialog.h"

#include <QFileDialog>
#include <QLineEdit>

#include "window/rules/FileDialogRequest.h"

namespace tsy {

QString CaseInsensitiveMask(const QString& mask) {
    QString out;
    for (QChar c : mask) {
        if (c.isLetter() && c.toLower() != c.toUpper())
            out += QStringLiteral("[%1%2]").arg(c.toLower(), c.toUpper());
        else
            out += c;
    }
    return out;
}

namespace {

// The dialog names a filter by its description alone, its details hidden,
// and with its blanks simplified.
int FilterIndex(const FileDialogRequest& request, const QString& chosen) {
    for (std::size_t k = 0; k < request.filters.size(); ++k)
        if (QString::fromStdString(request.filters[k].description).simplified() ==
            chosen.simplified())
            return int(k);
    return -1;
}

}  // namespace

QString ShowFileDialog(QWidget* owner, const FileDialogRequest& request, int* chosenFilter) {
    if (chosenFilter) *chosenFilter = -1;
    if (!request.show) return {};
    QFileDialog dialog(owner, QString::fromStdString(request.title));
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(request.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    // The descriptions already name their patterns; the masks follow in the
    // last parentheses, where the dialog looks for them, and stay hidden.
    dialog.setOption(QFileDialog::HideNameFilterDetails);

    QStringList filters;
    for (const FileDialogFilter& f : request.filters) {
        QStringList masks;
        for (const std::string& p : f.patterns)
            masks << CaseInsensitiveMask(QString::fromStdString(p));
        filters << QString::fromStdString(f.description) + " (" + masks.join(' ') + ")";
    }
    dialog.setNameFilters(filters);
    if (request.selectedFilter >= 0 && request.selectedFilter < filters.size())
        dialog.selectNameFilter(filters[request.selectedFilter]);
    if (!request.initialDir.empty())
        dialog.setDirectory(QString::fromStdString(request.initialDir));
    if (request.save) {
        // Only a real extension; a dot in a folder name yields none.
        const QString suffix = QString::fromStdString(request.defaultSuffix);
        if (!suffix.isEmpty() && !suffix.contains('/') && !suffix.contains('*'))
            dialog.setDefaultSuffix(suffix);
        if (!request.initialName.empty())
            dialog.selectFile(QString::fromStdString(request.initialName));
        // A name typed without extension gets the one of the chosen type;
        // a name still as proposed becomes the chosen type's proposal.
        QObject::connect(
            &dialog, &QFileDialog::filterSelected, &dialog,
            [&dialog, &request, shown = QString::fromStdString(request.initialName)](
                const QString& chosen) mutable {
                const int i = FilterIndex(request, chosen);
                if (i < 0) return;
                auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
                if (edit && std::size_t(i) < request.filterNames.size() && edit->text() == shown) {
                    shown = QString::fromStdString(request.filterNames[std::size_t(i)]);
                    edit->setText(shown);
                }
                const auto& patterns = request.filters[size_t(i)].patterns;
                if (!patterns.empty() && patterns[0].rfind("*.", 0) == 0 &&
                    patterns[0].find_first_of("*?[", 2) == std::string::npos)
                    dialog.setDefaultSuffix(QString::fromStdString(patterns[0].substr(2)));
            });
    }
    if (dialog.exec() != QDialog::Accepted) return {};
    if (chosenFilter) *chosenFilter = FilterIndex(request, dialog.selectedNameFilter());
    return dialog.selectedFiles().value(0);
}

}  // namespace tsy
