#include <QButtonGroup>
#include <QPushButton>
#include <algorithm>
#include <cstdio>
#include <iterator>
#include <string_view>

#include "base/Exists.h"
#include "base/SysTempDir.h"
#include "output/BmpWriter.h"
#include "output/JpegWriter.h"
#include "output/FileFormats.h"
#include "output/SaveName.h"
#include "platform/Platform.h"
#include "platform/Resource.h"
#include "window/CaptionButtons.h"
#include "window/FrmMain.h"
#include "window/LocaleText.h"
#include "window/rules/FileDialogRequest.h"
#include "window/rules/NumberText.h"
#include "window/rules/PngScript.h"
#include "window/rules/SaveCheck.h"

namespace tsy {

namespace {

QString Latin1(std::string_view text) {
    return QString::fromLatin1(text.data(), qsizetype(text.size()));
}

// A writer's message for the caption: the folder is the one just chosen, so
// the file's own name says enough.
QString Reason(std::string message, const std::string& path) {
    const std::string name = path.substr(path.rfind('/') + 1);
    for (std::size_t at; (at = message.find(path)) != std::string::npos;)
        message.replace(at, path.size(), name);
    return QString::fromStdString(message);
}

// "only .jpg, .png and .bmp are written"
QString WrittenSuffixes() {
    QString text = QStringLiteral("only ");
    const auto formats = SaveFormats();
    for (std::size_t i = 0; i < formats.size(); ++i) {
        if (i > 0) text += i + 1 < formats.size() ? ", " : " and ";
        text += QString::fromStdString(formats[i]->Suffix());
    }
    return text + " are written";
}

}  // namespace

QString FrmMain::ReadSetting(Setting setting) {
    const SettingDecl& d = Declaration(setting);
    return platform_.settings.Read(SettingsAppName, ProgramTitle, Latin1(d.storedKey),
                                   Latin1(d.storedDefault));
}

void FrmMain::WriteSetting(Setting setting, const QString& value) {
    platform_.settings.Write(SettingsAppName, ProgramTitle, Latin1(Declaration(setting).storedKey),
                             value);
}

void FrmMain::cSave_Click() {
    SetCap(QString());
    EnableButtons(false);
    saveFormat_ = ReadSetting(Setting::Format);
    const std::string proposal = ProposedSaveName(Image1Path.toStdString(),
                                                  kGlasses[ui.OpGlassGroup->checkedId()].saveSuffix,
                                                  saveFormat_.toStdString());
    const QString name = platform_.dialogs.FileDialog(
        this, MakeFileDialogRequest(1, proposal, "Save Image as ...", SaveDialogFilter()));
    if (TrimBlanks(name).isEmpty()) {
        SetCap(QStringLiteral("Aborted!"));
        EnableButtons(true);
        return;
    }
    // The window's own routes for the formats it has always written (the
    // PNG one through the carried optimiser); a name this program cannot
    // write (".jpeg", ".gif", none) must not end in silence as if something
    // had happened.
    static constexpr struct {
        std::string_view format;
        void (FrmMain::*save)(const QString&);
    } kRoutes[] = {{"bmp", &FrmMain::SaveBmpImage},
                   {"png", &FrmMain::SavePngImage},
                   {"jpg", &FrmMain::SaveJpgImage}};
    const FileFormat* format = SaveFormatBySuffix(FileTypeOf(name.toStdString()));
    const auto route = std::find_if(std::begin(kRoutes), std::end(kRoutes), [format](const auto& r) {
        return format && r.format == format->name;
    });
    if (route == std::end(kRoutes))
        ReportSave(false, WrittenSuffixes());
    else
        (this->*route->save)(name);
    WriteSetting(Setting::Format, saveFormat_);
    EnableButtons(true);
}

void FrmMain::ReportSave(bool written, const QString& reason) {
    if (written) {
        SetCap(QStringLiteral("Image successfully saved!"));
    } else {
        platform_.dialogs.Beep();
        SetCap(QStringLiteral("Image NOT saved!") +
               (reason.isEmpty() ? QString() : "  (" + reason + ")"));
    }
}

void FrmMain::SaveBmpImage(const QString& name) {
    SetCap(QStringLiteral("Saving BMP Image ..."));
    saveFormat_ = QStringLiteral(".bmp");
    const std::string path = name.toStdString();
    const FileStamp before = StampOf(path);
    std::string error;
    SaveInput input;
    input.anaglyph = &PicBuf2;
    SavePicture(*SaveFormatByName("bmp"), input, path, {}, true, error);
    ReportSave(WrittenSince(before, path), Reason(error, path));
}

void FrmMain::SavePngImage(const QString& name) {
    SetCap(QStringLiteral("Saving Temporary Image ..."));
    saveFormat_ = QStringLiteral(".png");
    const PngSavePaths temp = PngSavePathsIn(SysTempDir());
    const std::string path = name.toStdString();
    const FileStamp before = StampOf(path);
    std::string error;
    const auto removeTemporaries = [&temp] {
        for (const std::string& p : {temp.image, temp.optimiser, temp.script})
            std::remove(p.c_str());
    };

    SaveBmp(PicBuf2, temp.image, error);
    WriteResource(QStringLiteral("PNGOUT.EXE"), 1, QString::fromStdString(temp.optimiser));
    // Without the optimiser or the picture there is nothing to run; say so
    // and leave nothing behind.
    if (Exists(temp.optimiser) < 0 || Exists(temp.image) < 0) {
        removeTemporaries();
        ReportSave(false);
        return;
    }
    const std::string script = PngSaveScript(temp, path);
    if (!WriteFileNoFollow(
            temp.script,
            std::span(reinterpret_cast<const std::uint8_t*>(script.data()), script.size()),
            error) ||
        Exists(temp.script) < 0) {
        removeTemporaries();
        ReportSave(false);
        return;
    }
    const QString compressing = QStringLiteral("Compressing PNG Image, please wait ...");
    SetCap(compressing);
    // The optimiser prints how far it has come; the window stays busy but
    // repaints and shows it. Its other lines say why it failed.
    QString failure;
    platform_.processes.ShellWait(
        QStringLiteral("/bin/sh"), {QString::fromStdString(temp.script)},
        [this, &compressing, &failure](const QString& line) {
            bool number = false;
            const int percent = line.endsWith('%') ? line.chopped(1).toInt(&number) : -1;
            if (number && percent >= 0 && percent <= 100)
                SetCap(compressing + " " + QString::number(percent) + "%");
            else if (!line.isEmpty())
                failure = line.section(QStringLiteral(": "), 1);
        });
    ReportSave(WrittenSince(before, path), Reason(failure.toStdString(), path));
}

void FrmMain::SaveJpgImage(const QString& name) {
    saveFormat_ = QStringLiteral(".jpg");
    double quality = ParseNumber(ReadSetting(Setting::Quality).toStdString());
    const QString entry = platform_.dialogs.InputBox(
        this, QStringLiteral("  Set JPEG Quality Level  (1-100, Default=95):"),
        QStringLiteral(" Saving JPG Image ..."), LocaleNumber(quality),
        frameGeometry().topLeft() + QPoint(32, 48));
    if (TrimBlanks(entry).isEmpty() || (quality = ParseNumber(entry.toStdString())) <= 0) {
        SetCap(QStringLiteral("Aborted!"));
        platform_.dialogs.Beep();
        return;
    }
    const SettingDecl& range = Declaration(Setting::Quality);
    quality = std::min(quality, double(range.max));
    SetCap(QStringLiteral("Saving JPG Image ..."));
    WriteSetting(Setting::Quality, QString::fromStdString(FormatNumber(quality)));
    const std::string path = name.toStdString();
    const FileStamp before = StampOf(path);
    const int code = SaveJpeg(PicBuf2, path, RoundHalfEven(quality, 0, range.max));
    if (code != 0)
        platform_.dialogs.MessageBox(this, MessageIcon::Critical, ProgramTitle,
                                     QString::fromStdString(JpegFailureText(code)));
    ReportSave(WrittenSince(before, path));
}

}  // namespace tsy
