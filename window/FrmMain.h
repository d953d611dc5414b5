#pragma once

#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <memory>

class QLineEdit;
class QScrollBar;

#include "base/PictureBuffer.h"
#include "base/Progress.h"
#include "convert/Recipe.h"
#include "platform/PairLoader.h"
#include "prepare/StereoAlign.h"
#include "prepare/StereoCrop.h"
#include "prepare/StereoLayout.h"
#include "window/CommandLine.h"
#include "window/MainWindowLayout.h"
#include "window/rules/PerfCounter.h"

namespace tsy {

class FrmPreView;
struct FileDialogRequest;
struct Platform;

// The main window. It owns the pictures and the controls, and the controls
// are the model: the rebuild reads method, glasses, brightness and offsets
// from them each time. The event handlers of each subsystem live in that
// subsystem's folder (FrmMain*.cpp) but belong to this one class.
class FrmMain : public QWidget {
    Q_OBJECT

public:
    explicit FrmMain(Platform& platform, QWidget* parent = nullptr);
    ~FrmMain() override;

    // Start-up. False when the display is refused; the window is then never
    // shown and the program ends.
    bool Form_Load();

    // Status caption: BaseCaption + "  -  " + text; empty text clears it.
    void SetCap(const QString& text);
    // Busy switch of the working controls.
    void EnableButtons(bool enable);
    // Removes a status 5 to 6 seconds after it was set.
    void Timer1_Timer();

    // Rebuilds the anaglyph from the pictures and the controls.
    void PicBlend();
    void OpColor_Click(int index);
    void OpGlass_Click(int index);
    // Disables the colour options the selected glasses have no form of.
    void OfferColourMethods();
    // The conversion the controls describe.
    Recipe RecipeOfControls() const;

    // Adjustment controls: offset ranges follow image 1, brightness and
    // offsets return to 0; the text boxes take typed values into their bars.
    void SetScroll();
    void BrFromText();
    void XoFromText();
    void YoFromText();
    void cReset_Click();

    // Loading: the open buttons and files dropped on the thumbnails.
    void cOpen1_Click();
    void cOpen2_Click();
    void PicView0_Drop(const QStringList& paths, bool isFileList);
    void PicView1_Drop(const QStringList& paths, bool isFileList);
    // The files the command line names: image 1 (a stereo file brings image
    // 2 along), image 2 or none, whether image 1 is a side-by-side picture;
    // the status says how many more were left out.
    void OpenFromCommandLine(const CommandLine& line);

    // Side-by-side, swap and stretch switches. The stretch switch is the
    // layout's half flag: squeezed views are stretched back, whole ones not.
    void CkSBS_Click();
    void CkSwap_Click();
    void CkStretch_Click();
    // How image 1 holds the views when the box is ticked; choosing one ticks
    // it (or splits again).
    void ChooseSplitLayout(const StereoLayout& layout);
    StereoLayout SplitLayout() const;

    // Automatic alignment: ticking aligns the pair shown, unticking brings
    // back image 2 as loaded; while ticked every new pair is aligned.
    void CkAlign_Click();
    // Cropping of an aligned pair to the picture both eyes see, on or off.
    void CkCrop_Click();

    // Saving the result as BMP, PNG (through the carried optimiser) or JPEG,
    // or both views as a stereo file.
    void cSave_Click();

    // Opens the result full screen, or brings the open preview to the front.
    void PicView2_Click();
    FrmPreView* preview() const;

    // What tests and benchmarks see of the window: the controls (driven as a
    // user drives them), the hidden pictures and the few recorded values.
    const MainWindowLayout& controls() const { return ui; }
    const PictureBuffer& image1() const { return PicBuf0; }
    const PictureBuffer& image2() const { return PicBuf1; }
    const PictureBuffer& anaglyph() const { return PicBuf2; }
    const PictureBuffer& sideBySideSource() const { return PicBufSBS; }
    const QString& image1Path() const { return Image1Path; }
    const QString& baseCaption() const { return BaseCaption; }
    int pictureWidth() const { return PicW; }
    int pictureHeight() const { return PicH; }
    const QTimer& statusTimer() const { return Timer1; }

    // Puts a pair in place as a load does, without files (image 2 may hold no
    // picture); the caller rebuilds.
    void TakePair(PictureBuffer image1, PictureBuffer image2, const QString& image1Path = {});
    // The size the rebuild gives the working pictures; a load records image 1's.
    void RecordPictureSize(int width, int height);
    // While set, the program's own changes of the controls rebuild nothing.
    void SetSuppressUpdates(bool suppress) { SuppressUpdates = suppress; }

    static const char* const kMakerAddress;

    // Leading and trailing blanks removed (blanks only, as names may hold tabs).
    static QString TrimBlanks(QString text);

signals:
    // After every rebuild that ran (not the suppressed ones).
    void blendFinished();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Tab visits every option button; entering a group lands on its
    // selected option first.
    bool focusNextPrevChild(bool next) override;
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

private:
    MainWindowLayout ui;

    // Hidden picture holders: image 1, image 2, the anaglyph, the side-by-side source.
    PictureBuffer PicBuf0;
    PictureBuffer PicBuf1;
    PictureBuffer PicBuf2;
    PictureBuffer PicBufSBS;

    QString SettingsAppName;
    QString ProgramTitle;
    QString BaseCaption;
    float StatusTime = 0.0f;
    // True while the program sets scroll bars itself: change events, the
    // rebuild and EnableButtons then do nothing.
    bool SuppressUpdates = false;
    QString Image1Path;
    int PicW = 0;
    int PicH = 0;
    QTimer Timer1;

    void Form_Unload();
    void ConnectAdjustments();
    void Blend();  // EnableButtons(false), PicBlend, EnableButtons(true)
    void TakeText(QLineEdit* box, QScrollBar* bar);
    QScrollBar* BarOf(const QLineEdit* box) const;  // the bar a text box mirrors
    void TextBoxFocus(QLineEdit* box, bool focused);
    void ConnectLoading();
    // Opens a new image 1 as the Open button does, with image 2 from the
    // file itself or else from image2Path; true when the load reported no
    // failure or damage. The status then tells how the file was read.
    bool OpenImage1(const QString& path, const QString& image2Path, bool sideBySide);
    // An open dialog that starts in the folder of the last picture opened.
    FileDialogRequest OpenRequest(const char* title, const std::string& filter) const;
    void ConnectSwitches();
    // The layout quietly, the stretch switch with it.
    void SetSplitLayout(const StereoLayout& layout);
    // The menu's tick on the layout the box splits with.
    void MarkSplitLayout();
    // Image 1 as it is becomes the picture to split, and the views are made.
    QString SplitImage1();
    // The views from the picture held for the split; a refused split gives it
    // back as image 1 with the box unticked. The refusal for the status, or "".
    QString PicSplit();
    // Decodes image 1 from the source's view 1 and, when there is one, image
    // 2 from view 2 at the same time; shows each in its thumbnail. False when
    // image 1 could not be loaded. Failures of view 2 name path2.
    bool LoadViews(const PairSource& source, const QString& path1, const QString& path2);
    // What every load of a new pair does: no swap or side-by-side, empty
    // views and buffers, the views found in image 1's file (or image 2 from
    // image2Path, which comes first unless fileFirst) and loaded in order, a
    // single picture that holds a pair split, the working size recorded.
    // The note says what the user should know about how it was read.
    void LoadNewPair(const QString& image1Path, const QString& image2Path, bool clearImage1View,
                     bool fileFirst, const StereoLayout& asked = {Arrangement::Auto});
    // Decodes one picture into its slot; bytes, when given, hold it.
    LoadOutcome LoadSlot(int slot, const QString& path, std::span<const std::uint8_t> bytes = {});
    void NoteLoadFailure(int slot, const QString& path, const QString& reason);
    bool ReportLoadFailures();  // true when there was nothing to report
    void UntickSwapAndSideBySide();
    void StartDropLoad();
    // The end of every load: offsets reset, rebuild, ready, failures shown;
    // true when there were none.
    bool FinishLoad(bool untickSwap);
    void LetEventsRun();
    // Aligns image 2 with image 1 when the box is ticked and both are there;
    // the outcome is shown once the following rebuild has ended.
    void AutoAlign();
    // Image 2 as loaded again, when it was aligned.
    void DropAlignment();
    // Where the rebuild cuts the views for these controls: planned afresh
    // each time, as the offsets may have changed.
    CropPlan PlanViewCrop(const Recipe& recipe) const;
    // What the status adds to the alignment's text once the result is
    // built: the depth and why the pair was not cropped.
    QString AlignmentNote(const Recipe& recipe, const CropPlan& plan) const;
    void SaveBmpImage(const QString& name);
    void SavePngImage(const QString& name);
    void SaveJpgImage(const QString& name);
    // Stereo files (FrmMainSave.cpp): the quality box of the JPEG save, false
    // when aborted ("what" names the format in its title); the views as the result shows them, the window's own or
    // cut copies in cut1 and cut2; a save of them as `row`.
    bool AskJpegQuality(int& quality, const QString& what);
    bool ViewsToSave(PictureBuffer& cut1, PictureBuffer& cut2, SaveInput& views,
                     std::string& error) const;
    void SaveStereoImage(const QString& name, const FileFormat& row);
    // The result of a save: "Image successfully saved!" only when this save
    // wrote the file; otherwise a beep and "Image NOT saved!", with the reason
    // when one is known.
    void ReportSave(bool written, const QString& reason = {});
    void SaveFailed();
    // A recipe setting as the settings store keeps it.
    QString ReadSetting(Setting setting);
    void WriteSetting(Setting setting, const QString& value);
    int ReadPosition(const char* key);
    QPoint NormalPosition() const;

    // How core work shows progress and failures in this window.
    class WindowProgress final : public ProgressSink {
    public:
        explicit WindowProgress(FrmMain& window) : window_(window) {}
        void SetCap(const std::string& text) override;
        void LetEventsRun() override;
        void ReportError(int number, const std::string& message) override;

    private:
        FrmMain& window_;
    };

    void ShowEngineError(int number, const QString& message);

    Platform& platform_;
    WindowProgress progress_{*this};
    PerfCounter perfCounter_;
    // Where the focus was when the window became busy; it returns there.
    QPointer<QWidget> focusBeforeBusy_;
    // True between EnableButtons(false) and (true): focus changes caused by
    // disabling controls are not the user's and validate nothing.
    bool busy_ = false;
    // The release of a mouse press under way when the window became busy,
    // kept for the control pressed (FrmMain.cpp).
    class HeldRelease;
    std::unique_ptr<HeldRelease> heldRelease_;
    // The colour method the user chose last; glasses that lack it show a
    // stand-in until glasses that have it come back.
    int chosenColour_ = -1;
    // Folder of the last picture opened, with its "/"; where open dialogs start.
    QString openFolder_;
    // Why the last load left an image out, shown when the load has ended.
    QPointer<FrmPreView> preview_;
    // Format of the save under way: ".bmp", ".png", ".jpg" or a stereo row's name.
    QString saveFormat_;
    QStringList loadFailures_;
    bool loadDamaged_ = false;
    QList<int> failedSlots_;
    QPoint frameOffset_;
    // Image 2 as loaded while PicBuf1 holds it aligned.
    PictureBuffer unaligned2_;
    bool image2Aligned_ = false;
    AlignResult alignment_;  // while image2Aligned_
    // The cut views the engine takes; image 1 and 2 stay whole.
    PictureBuffer cut1_, cut2_;
    QString alignStatus_;
    // The MPO file both views came from, whose camera notes may give the
    // horizontal offset; empty otherwise.
    QString mpoPairPath_;
    // The layout a tick by hand splits with, as long as no other was chosen.
    static constexpr StereoLayout kHandLayout = {Arrangement::SideBySide, true, true};
    // The arrangement the split follows; the half flag is CkStretch's.
    StereoLayout splitLayout_ = kHandLayout;
    // How the last load read its file, shown once it has ended cleanly.
    QString loadNote_;
};

}  // namespace tsy
