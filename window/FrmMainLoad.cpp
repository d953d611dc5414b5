#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QPushButton>
#include <QUrl>
#include <optional>
#include <utility>

#include "window/CaptionButtons.h"
#include "window/FrmMain.h"
#include "window/PictureView.h"
#include "base/Exists.h"
#include "window/rules/FileDialogRequest.h"
#include "input/MpoReader.h"
#include "output/FileFormats.h"
#include "base/SysTempDir.h"
#include "platform/PairLoader.h"
#include "platform/Platform.h"
#include "window/ShowFitted.h"

namespace tsy {

namespace {

bool Usable(const QString& path) {
    return Exists(path.toStdString()) > 0;
}

// The local files of a drop, in order; a drop of anything else is no list.
std::pair<QStringList, bool> FilesOf(const QMimeData* data) {
    QStringList paths;
    if (data && data->hasUrls())
        for (const QUrl& url : data->urls())
            if (url.isLocalFile()) paths << url.toLocalFile();
    return {paths, !paths.isEmpty()};
}

}  // namespace

void FrmMain::ConnectLoading() {
    connect(ui.cOpen1, &QPushButton::clicked, this, &FrmMain::cOpen1_Click);
    connect(ui.cOpen2, &QPushButton::clicked, this, &FrmMain::cOpen2_Click);
    // The drop is handled once the drag has ended, so the program the files
    // came from is not kept waiting while they load.
    for (const auto& [view, drop] : {std::pair{ui.PicView0, &FrmMain::PicView0_Drop},
                                     std::pair{ui.PicView1, &FrmMain::PicView1_Drop}}) {
        connect(view, &PictureView::dropped, this, [this, drop = drop](const QMimeData* data) {
            auto [paths, isList] = FilesOf(data);
            QMetaObject::invokeMethod(
                this,
                [this, drop, paths = paths, isList = isList] { (this->*drop)(paths, isList); },
                Qt::QueuedConnection);
        });
    }
}

void FrmMain::LetEventsRun() {
    QApplication::processEvents();
}

QString FrmMain::ExtractMpoImage2(const QString& path) {
    return QString::fromStdString(
        tsy::ExtractMpoImage2(path.toStdString(), SysTempDir(), progress_));
}

void FrmMain::UntickSwapAndSideBySide() {
    // Unticking runs the box's own handling, which ends by making the window
    // ready; the load is not finished, so it becomes busy again.
    const bool ran = ui.CkSwap->isChecked() || ui.CkSBS->isChecked();
    ui.CkSwap->setChecked(false);
    ui.CkSBS->setChecked(false);
    if (ran) EnableButtons(false);
}

void FrmMain::NoteLoadFailure(int slot, const QString& path, const QString& reason) {
    (slot == 1 ? PicBuf0 : PicBuf1).clear();
    if (slot == 1) PicBuf0.resize(0, 0);
    failedSlots_ << slot;
    loadFailures_ << QStringLiteral("%1:\n%2").arg(QFileInfo(path).fileName(), reason);
}

bool FrmMain::ReportLoadFailures() {
    if (loadFailures_.isEmpty()) {
        const bool damaged = std::exchange(loadDamaged_, false);
        if (damaged) SetCap(QStringLiteral("Image damaged, shown as far as it could be read!"));
        return !damaged;
    }
    loadDamaged_ = false;
    for (int i = 0; i < failedSlots_.size(); ++i)
        (failedSlots_[i] == 1 ? ui.PicView0 : ui.PicView1)->showText(loadFailures_[i]);
    loadFailures_.clear();
    failedSlots_.clear();
    platform_.dialogs.Beep();
    SetCap(QStringLiteral("Image NOT loaded!"));
    return false;
}

LoadOutcome FrmMain::LoadSlot(int slot, const QString& path) {
    PictureBuffer& buffer = slot == 1 ? PicBuf0 : PicBuf1;
    PictureView& view = slot == 1 ? *ui.PicView0 : *ui.PicView1;
    openFolder_ = QFileInfo(path).absolutePath() + '/';
    const LoadOutcome load = LoadPictureFrom({path, {}}, buffer);
    if (!load.ok) {
        NoteLoadFailure(slot, path, load.error);
        return load;
    }
    loadDamaged_ = loadDamaged_ || !load.warning.isEmpty();
    PicAspectCopy(buffer, view, 1.0f);
    view.repaintNow();
    LetEventsRun();
    return load;
}

bool FrmMain::LoadPair(const QString& image1Path, const QString& image2Path, bool oneFile) {
    std::optional<SecondViewLoad> second;
    if (!image2Path.isEmpty() && Usable(image2Path))
        second.emplace(PictureSource{image2Path, {}, oneFile}, PicBuf1, true);
    const LoadOutcome first = LoadSlot(1, image1Path);
    if (!second) return first.ok;

    SetCap(QStringLiteral("Loading Image 2 ..."));
    LetEventsRun();
    const LoadOutcome two = second->Wait(first);
    if (!first.ok) {
        PicBuf1.clear();
    } else if (!two.ok) {
        NoteLoadFailure(2, image2Path, two.error);
    } else {
        loadDamaged_ = loadDamaged_ || !two.warning.isEmpty();
        PicAspectCopy(PicBuf1, *ui.PicView1, 1.0f);
        ui.PicView1->repaintNow();
        LetEventsRun();
    }
    return first.ok;
}

void FrmMain::LoadNewPair(const QString& image1Path, const QString& image2Path,
                          bool clearImage1View, bool oneFile) {
    UntickSwapAndSideBySide();
    if (clearImage1View) ui.PicView0->clearPicture();
    ui.PicView1->clearPicture();
    ui.PicView2->clearPicture();
    LetEventsRun();
    for (PictureBuffer* b : {&PicBuf0, &PicBuf1, &PicBuf2, &PicBufSBS})
        b->clear();
    LoadPair(image1Path, image2Path, oneFile);
    PicW = PicBuf0.width();
    PicH = PicBuf0.height();
}

void FrmMain::TakePair(PictureBuffer image1, PictureBuffer image2, const QString& image1Path) {
    PicBuf0 = std::move(image1);
    PicBuf1 = std::move(image2);
    PicBuf2.clear();
    PicBufSBS.clear();
    image2Aligned_ = false;
    unaligned2_.clear();
    mpoPairPath_.clear();
    Image1Path = image1Path;
    RecordPictureSize(PicBuf0.width(), PicBuf0.height());
}

void FrmMain::RecordPictureSize(int width, int height) {
    PicW = width;
    PicH = height;
}

bool FrmMain::FinishLoad(bool untickSwap) {
    if (untickSwap && ui.CkSwap->isChecked()) {
        ui.CkSwap->setChecked(false);
        EnableButtons(false);
    }
    SetScroll();
    // Image 2 is new (or gone): nothing aligned is left to bring back.
    image2Aligned_ = false;
    unaligned2_.clear();
    AutoAlign();
    PicBlend();
    EnableButtons(true);
    return ReportLoadFailures();
}

FileDialogRequest FrmMain::OpenRequest(const char* title, const std::string& filter) const {
    FileDialogRequest request = MakeFileDialogRequest(0, "*.*", title, filter);
    request.initialDir = openFolder_.toStdString();
    return request;
}

void FrmMain::cOpen1_Click() {
    SetCap(QString());
    const QString path = TrimBlanks(
        platform_.dialogs.FileDialog(this, OpenRequest("Open Image 1 ...", OpenDialogFilter(1))));
    if (!Usable(path)) return;
    OpenImage1(path, QString(), false);
}

bool FrmMain::OpenImage1(const QString& path, const QString& image2Path, bool sideBySide) {
    ui.PicView0->clearPicture();
    ui.PicView1->clearPicture();
    ui.PicView2->clearPicture();
    LetEventsRun();
    EnableButtons(false);
    Image1Path = path;
    const QString extracted = sideBySide ? QString() : ExtractMpoImage2(path);
    SetCap(QStringLiteral("Loading Image 1 ..."));
    LoadNewPair(path, extracted.isEmpty() ? image2Path : extracted, true, !extracted.isEmpty());
    if (!extracted.isEmpty()) QFile::remove(extracted);
    mpoPairPath_ = extracted.isEmpty() ? QString() : path;
    // A named image 2 that is not there is a failure to show, not to ignore.
    if (extracted.isEmpty() && !image2Path.isEmpty() && !Usable(image2Path))
        NoteLoadFailure(2, image2Path, QStringLiteral("the file cannot be found"));
    const bool clean = FinishLoad(false);
    // Ticking runs the split and the rebuild, as a click does.
    if (sideBySide && PicBuf0.hasImage()) ui.CkSBS->setChecked(true);
    return clean;
}

void FrmMain::OpenFromCommandLine(const CommandLine& line) {
    SetCap(QString());
    const bool clean = OpenImage1(QFile::decodeName(line.image1.c_str()),
                                  QFile::decodeName(line.image2.c_str()), line.sideBySide);
    // A file manager's "Open with" on a selection passes every file.
    if (clean && line.leftOut > 0)
        SetCap(QStringLiteral("%1 more file%2 left out: one stereo pair is opened at a time")
                   .arg(line.leftOut)
                   .arg(line.leftOut == 1 ? "" : "s"));
}

void FrmMain::cOpen2_Click() {
    SetCap(QString());
    const QString path =
        platform_.dialogs.FileDialog(this, OpenRequest("Open Image 2 ...", OpenDialogFilter(2)));
    if (!Usable(path)) return;
    SetCap(QStringLiteral("Loading Image 2 ..."));
    ui.PicView1->clearPicture();
    ui.PicView2->clearPicture();
    LetEventsRun();
    EnableButtons(false);
    if (ui.CkSwap->isChecked()) {
        ui.CkSwap->setChecked(false);
        EnableButtons(false);
    }
    LoadSlot(2, path);
    mpoPairPath_.clear();
    FinishLoad(false);
}

void FrmMain::StartDropLoad() {
    // Files dropped from another program: come to the front, then be busy.
    raise();
    activateWindow();
    repaint();
    LetEventsRun();
    EnableButtons(false);
}

void FrmMain::PicView0_Drop(const QStringList& paths, bool isFileList) {
    SetCap(QString());
    if (!isFileList) return;
    StartDropLoad();

    QString extracted;
    const QString f1 = paths.value(0);
    const QString f2 = paths.value(1);
    if (!f1.isEmpty() && Usable(f1)) {
        extracted = ExtractMpoImage2(f1);
        SetCap(QStringLiteral("Loading Image 1 ..."));
        // An MPO brings its own image 2; otherwise the second dropped file is it.
        const QString second = extracted.isEmpty() && Usable(f2) ? f2 : extracted;
        LoadNewPair(f1, second, true, !extracted.isEmpty());
        if (!extracted.isEmpty()) QFile::remove(extracted);
        mpoPairPath_ = extracted.isEmpty() ? QString() : f1;
        Image1Path = f1;
    } else if (paths.size() >= 2 && Usable(f2)) {
        ui.PicView1->clearPicture();
        LetEventsRun();
        SetCap(QStringLiteral("Loading Image 2 ..."));
        LoadSlot(2, f2);
        mpoPairPath_.clear();
    }
    FinishLoad(true);
}

void FrmMain::PicView1_Drop(const QStringList& paths, bool isFileList) {
    if (!isFileList) return;
    StartDropLoad();

    const QString f1 = paths.value(0);
    const QString f2 = paths.value(1);
    const bool pair = !f1.isEmpty() && Usable(f1) && paths.size() >= 2 && Usable(f2);
    if (pair) {
        // Both become the pair: the first as image 1, the second as image 2.
        LoadNewPair(f1, f2, false, false);
        mpoPairPath_.clear();
    } else if (!f1.isEmpty() && Usable(f1)) {
        ui.PicView1->clearPicture();
        ui.PicView2->clearPicture();
        LetEventsRun();
        LoadSlot(2, f1);
        mpoPairPath_.clear();
    }
    FinishLoad(true);
}

}  // namespace tsy
