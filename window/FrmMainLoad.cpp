#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QPushButton>
#include <QSignalBlocker>
#include <QUrl>
#include <optional>
#include <utility>

#include "base/Exists.h"
#include "base/WorkerPool.h"
#include "output/FileFormats.h"
#include "platform/PairLoader.h"
#include "platform/Platform.h"
#include "window/CaptionButtons.h"
#include "window/FrmMain.h"
#include "window/PictureView.h"
#include "window/ShowFitted.h"
#include "window/rules/FileDialogRequest.h"

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

LoadOutcome FrmMain::LoadSlot(int slot, const QString& path, std::span<const std::uint8_t> bytes) {
    PictureBuffer& buffer = slot == 1 ? PicBuf0 : PicBuf1;
    PictureView& view = slot == 1 ? *ui.PicView0 : *ui.PicView1;
    openFolder_ = QFileInfo(path).absolutePath() + '/';
    const LoadOutcome load = LoadPictureFrom({path, bytes}, buffer);
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

bool FrmMain::LoadViews(const PairSource& source, const QString& path1, const QString& path2) {
    std::optional<SecondViewLoad> second;
    if (!source.view2().empty())
        second.emplace(PictureSource{path2, source.view2(), source.oneFile()}, PicBuf1, true);
    const LoadOutcome first = LoadSlot(1, path1, source.view1());
    if (!second) return first.ok;

    SetCap(QStringLiteral("Loading Image 2 ..."));
    LetEventsRun();
    const LoadOutcome two = second->Wait(first);
    if (!first.ok) {
        PicBuf1.clear();
    } else if (!two.ok) {
        NoteLoadFailure(2, path2, two.error);
    } else {
        loadDamaged_ = loadDamaged_ || !two.warning.isEmpty();
        PicAspectCopy(PicBuf1, *ui.PicView1, 1.0f);
        ui.PicView1->repaintNow();
        LetEventsRun();
    }
    return first.ok && two.ok;
}

void FrmMain::LoadNewPair(const QString& image1Path, const QString& image2Path,
                          bool clearImage1View, bool fileFirst, const StereoLayout& asked) {
    UntickSwapAndSideBySide();
    if (clearImage1View) ui.PicView0->clearPicture();
    ui.PicView1->clearPicture();
    ui.PicView2->clearPicture();
    LetEventsRun();
    for (PictureBuffer* b : {&PicBuf0, &PicBuf1, &PicBuf2, &PicBufSBS})
        b->clear();
    mpoPairPath_.clear();
    loadNote_.clear();
    SetSplitLayout(kHandLayout);

    // The file's own views first; a second file takes the place of view 2,
    // unless the first is to be split.
    PairSource source;
    std::vector<std::string> notes;
    std::string error;
    const std::string path1 = image1Path.toStdString(), path2 = image2Path.toStdString();
    if (!source.Open(asked, path1, fileFirst ? std::string() : path2, notes, error, &progress_)) {
        NoteLoadFailure(1, image1Path, QString::fromStdString(error));
        RecordPictureSize(0, 0);
        return;
    }
    const bool second = !image2Path.isEmpty() && fileFirst && source.view2().empty();
    if (second && !Usable(image2Path))
        NoteLoadFailure(2, image2Path, QStringLiteral("the file cannot be found"));
    else if (second && !asked.InOnePicture() && !source.TakeSecondFile(path2, error))
        NoteLoadFailure(2, image2Path, QString::fromStdString(error));
    if (source.oneFile()) mpoPairPath_ = image1Path;

    SetCap(QStringLiteral("Loading Image 1 ..."));
    const bool loaded = LoadViews(source, image1Path, source.oneFile() ? image1Path : image2Path);
    RecordPictureSize(PicBuf0.width(), PicBuf0.height());
    if (loaded && !source.view2().empty()) {
        // Views stored right first are put in order, a smaller right view scaled.
        PictureBuffer unused;
        source.MakeViews(PicBuf0, PicBuf1, unused, HardwareThreads(), notes, error);
    } else if (loaded && image2Path.isEmpty()) {
        const LayoutGuess guess = source.Layout(PicBuf0);
        if (guess.pair) {
            SetSplitLayout(guess.layout);
            const QSignalBlocker quiet(ui.CkSBS);
            ui.CkSBS->setChecked(true);
            const QString refusal = SplitImage1();
            // The title bar has room for the verdict, not for its reasons.
            const std::string why = guess.message.substr(0, guess.message.find("; "));
            notes.push_back(refusal.isEmpty() ? "read as " + LayoutName(guess.layout) +
                                                    (why.empty() ? "" : ": ") + why
                                              : refusal.toStdString());
        }
    }
    for (const std::string& note : notes)
        loadNote_ += (loadNote_.isEmpty() ? "" : "; ") + QString::fromStdString(note);
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
    const QString note = std::exchange(loadNote_, QString());
    if (!ReportLoadFailures()) return false;
    if (!note.isEmpty()) SetCap(note.front().toUpper() + note.mid(1));
    return true;
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
    LoadNewPair(path, image2Path, true, true,
                sideBySide ? kHandLayout : StereoLayout{Arrangement::Auto});
    return FinishLoad(false);
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

    const QString f1 = paths.value(0);
    const QString f2 = paths.value(1);
    if (!f1.isEmpty() && Usable(f1)) {
        // A stereo file brings its own image 2; otherwise the second dropped file is it.
        LoadNewPair(f1, Usable(f2) ? f2 : QString(), true, true);
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
