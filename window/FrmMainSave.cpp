#include <QButtonGroup>
#include <QPushButton>
#include <algorithm>
#include <cstdio>
#include <iterator>
#include <new>
#include <string_view>
#include <vector>

#include "base/AsciiCase.h"
#include "base/Exists.h"
#include "base/SysTempDir.h"
#include "base/WorkerPool.h"
#include "convert/Convert.h"
#include "input/JpegHeaders.h"
#include "input/MappedFile.h"
#include "input/MpIndex.h"
#include "output/BmpWriter.h"
#include "output/FileFormats.h"
#include "output/JpegWriter.h"
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
QString WrittenSuffixes(const std::vector<const FileFormat*>& rows) {
    QStringList suffixes;
    for (const FileFormat* f : rows)
        if (!suffixes.contains(QString::fromStdString(f->Suffix())))
            suffixes << QString::fromStdString(f->Suffix());
    QString text = QStringLiteral("only ");
    for (qsizetype i = 0; i < suffixes.size(); ++i) {
        if (i > 0) text += i + 1 < suffixes.size() ? ", " : " and ";
        text += suffixes[i];
    }
    return text + " are written";
}

bool EndsWith(const std::string& name, const FileFormat& row) {
    const std::string suffix = row.Suffix();
    return name.size() >= suffix.size() &&
           SameIgnoringCase(std::string_view(name).substr(name.size() - suffix.size()), suffix);
}

// What the stored format names: an anaglyph's suffix (".png"), as it always
// was, or a stereo row's name ("mpo"). Null for a suffix of no row offered,
// whose name then proposes it as before; a stereo row not offered now gives
// way to the default.
const FileFormat* RememberedRow(const std::string& stored,
                                const std::vector<const FileFormat*>& offered) {
    const bool suffix = !stored.empty() && stored[0] == '.';
    const FileFormat* row = suffix ? SaveFormatBySuffix(stored) : SaveFormatByName(stored);
    if (std::find(offered.begin(), offered.end(), row) != offered.end()) return row;
    if (suffix) return nullptr;
    const FileFormat* fallback =
        SaveFormatBySuffix(std::string(Declaration(Setting::Format).storedDefault));
    return std::find(offered.begin(), offered.end(), fallback) != offered.end() ? fallback
                                                                                : nullptr;
}

// The entry picked when the name ends as its files do; else the first row
// offered whose files end so (".jpg" is the anaglyph's); else none.
const FileFormat* ChosenRow(const std::string& name, const FileFormat* picked,
                            const std::vector<const FileFormat*>& offered) {
    if (picked && EndsWith(name, *picked)) return picked;
    for (const FileFormat* f : offered)
        if (EndsWith(name, *f)) return f;
    return nullptr;
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
    const std::vector<const FileFormat*> offered = DialogSaveFormats(PicBuf1.hasImage());
    const FileFormat* last = RememberedRow(saveFormat_.toStdString(), offered);
    const std::string image1 = Image1Path.toStdString();
    const char* glasses = kGlasses[ui.OpGlassGroup->checkedId()].saveSuffix;
    const std::string proposal = last
                                     ? ProposedSaveName(image1, glasses, *last)
                                     : ProposedSaveName(image1, glasses, saveFormat_.toStdString());
    FileDialogRequest request =
        MakeFileDialogRequest(1, proposal, "Save Image as ...", SaveDialogFilter(offered));
    // Several entries write ".jpg": the one used last is preselected by its
    // place. Without a proposal the dialog shows its own single entry.
    const bool ours = request.filters.size() == offered.size();
    if (ours && last)
        request.selectedFilter =
            int(std::find(offered.begin(), offered.end(), last) - offered.begin());
    for (const FileFormat* row : offered) {
        if (!ours || proposal.empty()) break;
        const std::string path = ProposedSaveName(image1, glasses, *row);
        const std::string file = path.substr(path.rfind('/') + 1);
        request.filterNames.push_back(file.substr(0, file.size() - row->Suffix().size()));
    }
    int picked = -1;
    const QString name = platform_.dialogs.FileDialog(this, request, &picked);
    if (TrimBlanks(name).isEmpty()) {
        SetCap(QStringLiteral("Aborted!"));
        EnableButtons(true);
        return;
    }
    // The window's own routes for the formats it has always written (the
    // PNG one through the carried optimiser); a name this program cannot
    // write (".jpeg", ".tif", none) must not end in silence as if something
    // had happened.
    static constexpr struct {
        std::string_view format;
        void (FrmMain::*save)(const QString&);
    } kRoutes[] = {{"bmp", &FrmMain::SaveBmpImage},
                   {"png", &FrmMain::SavePngImage},
                   {"jpg", &FrmMain::SaveJpgImage}};
    const bool known = ours && picked >= 0 && std::size_t(picked) < offered.size();
    const FileFormat* format =
        ChosenRow(name.toStdString(), known ? offered[std::size_t(picked)] : nullptr, offered);
    const auto route =
        std::find_if(std::begin(kRoutes), std::end(kRoutes), [format](const auto& r) {
            return format && format->written == Written::Anaglyph && r.format == format->name;
        });
    if (format && format->written == Written::Views)
        SaveStereoImage(name, *format);
    else if (route == std::end(kRoutes))
        ReportSave(false, WrittenSuffixes(offered));
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

bool FrmMain::AskJpegQuality(int& quality, const QString& what) {
    double entered = ParseNumber(ReadSetting(Setting::Quality).toStdString());
    const QString entry = platform_.dialogs.InputBox(
        this, QStringLiteral("  Set JPEG Quality Level  (1-100, Default=95):"),
        " Saving " + what + " Image ...", LocaleNumber(entered),
        frameGeometry().topLeft() + QPoint(32, 48));
    if (TrimBlanks(entry).isEmpty() || (entered = ParseNumber(entry.toStdString())) <= 0) {
        SetCap(QStringLiteral("Aborted!"));
        platform_.dialogs.Beep();
        return false;
    }
    const SettingDecl& range = Declaration(Setting::Quality);
    entered = std::min(entered, double(range.max));
    WriteSetting(Setting::Quality, QString::fromStdString(FormatNumber(entered)));
    quality = RoundHalfEven(entered, 0, range.max);
    return true;
}

void FrmMain::SaveJpgImage(const QString& name) {
    saveFormat_ = QStringLiteral(".jpg");
    int quality = 0;
    if (!AskJpegQuality(quality, QStringLiteral("JPG"))) return;
    SetCap(QStringLiteral("Saving JPG Image ..."));
    const std::string path = name.toStdString();
    const FileStamp before = StampOf(path);
    const int code = SaveJpeg(PicBuf2, path, quality);
    if (code != 0)
        platform_.dialogs.MessageBox(this, MessageIcon::Critical, ProgramTitle,
                                     QString::fromStdString(JpegFailureText(code)));
    ReportSave(WrittenSince(before, path));
}

bool FrmMain::ViewsToSave(PictureBuffer& cut1, PictureBuffer& cut2, SaveInput& views,
                          std::string& error) const {
    const Recipe recipe = RecipeOfControls();
    const int dx = recipe.offsetX(), dy = recipe.offsetY();
    views.left = &PicBuf0;
    views.right = &PicBuf1;
    try {
        // Cut as the result shows them, or moved apart by the offsets; a
        // pair that needs neither is written from the window's own views.
        const CropPlan plan = PlanViewCrop(recipe);
        if (!(plan.cut && CutCopies(PicBuf0, PicBuf1, plan.rect, dx, dy, cut1, cut2))) {
            if (dx == 0 && dy == 0) return true;
            CropRect shared;
            if (!SharedByOffsets(PicBuf0.width(), PicBuf0.height(), dx, dy, shared, error) ||
                !CutCopies(PicBuf0, PicBuf1, shared, dx, dy, cut1, cut2))
                return false;
        }
    } catch (const std::bad_alloc&) {
        error = "not enough memory for the views";
        return false;
    }
    views.left = &cut1;
    views.right = &cut2;
    return true;
}

void FrmMain::SaveStereoImage(const QString& name, const FileFormat& row) {
    saveFormat_ = Latin1(row.name);
    SaveSettings settings;
    if (row.CodedAsJpeg() && !AskJpegQuality(settings.quality, Latin1(row.word))) return;
    SetCap("Saving " + Latin1(row.word) + " ...");
    settings.threads = HardwareThreads();
    Recipe stored;  // the wiggle's settings, as kept and checked by their declarations
    for (const Setting s : {Setting::FrameMs, Setting::WebWidth})
        ParseSetting(s, ReadSetting(s).toStdString(), stored);
    settings.stereo.frameMs = stored.frameMs();
    settings.stereo.webWidth = stored.webWidth();
    // Image 1's camera notes go along where the format keeps them, and a
    // stereo file's geometry where both views came from it.
    MappedFile source;
    std::string error;
    if (!Image1Path.isEmpty() && source.open(Image1Path.toStdString(), error)) {
        const JpegHeaders headers = WalkJpegHeaders(source.bytes());
        settings.stereo.sourceExif = headers.exif;
        if (!mpoPairPath_.isEmpty()) {
            const MpGeometry camera = ReadMpGeometry(headers);
            settings.stereo.convergenceDegrees = camera.convergenceDegrees;
            settings.stereo.baselineMetres = camera.baselineMetres;
        }
    }
    error.clear();
    const std::string path = name.toStdString();
    PictureBuffer cut1, cut2;
    SaveInput views;
    const bool written = ViewsToSave(cut1, cut2, views, error) &&
                         SavePicture(row, views, path, settings, true, error);
    ReportSave(written, Reason(error, path));
}

}  // namespace tsy
