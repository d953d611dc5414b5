#include <QApplication>
#include <QButtonGroup>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalBlocker>
#include <new>

#include "window/CaptionButtons.h"
#include "window/FrmMain.h"
#include "window/LocaleText.h"
#include "window/PictureView.h"
#include "platform/Platform.h"
#include "window/ShowFitted.h"
#include "render/BlendPipeline.h"
#include "window/rules/StatusText.h"
#include "render/EngineErrors.h"

namespace tsy {

void FrmMain::WindowProgress::SetCap(const std::string& text) {
    window_.SetCap(QString::fromStdString(text));
}

void FrmMain::WindowProgress::LetEventsRun() {
    QApplication::processEvents();
}

void FrmMain::WindowProgress::ReportError(int number, const std::string& detail) {
    window_.ShowEngineError(number,
                            QString::fromStdString(EngineErrorText(EngineError(number), detail)));
}

void FrmMain::ShowEngineError(int number, const QString& message) {
    platform_.dialogs.MessageBox(this, MessageIcon::Critical,
                                 QStringLiteral(" ERROR #") + QString::number(number),
                                 "  " + message + ".  \r\n ");
}

// Both groups: the rebuild reads the selected buttons itself.
void FrmMain::OpColor_Click(int index) {
    chosenColour_ = index;
    SetCap(QString());
    Blend();
}

// Glasses without a form of the chosen method take its stand-in, in the same
// rebuild; glasses that have it bring it back.
void FrmMain::OpGlass_Click(int index) {
    const GlassesInfo& g = kGlasses[index];
    const int method = g.lacks == chosenColour_ ? g.instead : chosenColour_;
    if (method >= 0 && method != ui.OpColorGroup->checkedId()) {
        const QSignalBlocker quiet(ui.OpColorGroup);
        ui.OpColor[size_t(method)]->setChecked(true);
    }
    SetCap(QString());
    Blend();
}

Recipe FrmMain::RecipeOfControls() const {
    Recipe r;
    r.Set(Setting::Glasses, ui.OpGlassGroup->checkedId());
    r.Set(Setting::Method, ui.OpColorGroup->checkedId());
    r.Set(Setting::Brightness, ui.HSB->value());
    r.Set(Setting::OffsetX, ui.HS->value());
    r.Set(Setting::OffsetY, ui.VS->value());
    r.Set(Setting::Swap, ui.CkSwap->isChecked());
    r.Set(Setting::Align, int(ui.CkAlign->isChecked() ? AlignMode::On : AlignMode::Off));
    r.Set(Setting::Crop, int(ui.CkCrop->isChecked() ? CropMode::Auto : CropMode::Off));
    ParseSetting(Setting::Layout, ui.CkSBS->isChecked() ? LayoutName(SplitLayout()) : "auto", r);
    return r;
}

void FrmMain::OfferColourMethods() {
    const int glasses = ui.OpGlassGroup->checkedId();
    for (int i = 0; i < kColourMethodCount; ++i)
        if (MethodNumberFor(glasses, i) == 0) ui.OpColor[size_t(i)]->setEnabled(false);
}

void FrmMain::PicBlend() {
    if (SuppressUpdates) return;
    if (!perfCounter_.StartCounter())
        platform_.dialogs.MessageBox(
            this, MessageIcon::Information, ProgramTitle,
            QStringLiteral("Your hardware doesn't support a high-resolution performance counter!"));
    SetCap(QStringLiteral("Processing, please wait ..."));

    ui.PicView0->clearPicture();
    ui.PicView1->clearPicture();
    PicBuf2.clear();

    try {
        // PicW x PicH is the working size already: a split records its views'.
        SizeWorkingBuffers(PicBuf0, PicBuf1, PicBuf2, PicW, PicH, true);
    } catch (const std::bad_alloc&) {
        ShowEngineError(int(EngineError::OutOfMemory),
                        QString::fromStdString(EngineErrorText(EngineError::OutOfMemory)));
        SetCap(QStringLiteral("Not enough memory for a %1 x %2 picture!").arg(PicW).arg(PicH));
        emit blendFinished();
        return;
    }

    bool viewsDrawn = PicAspectCopy(PicBuf0, *ui.PicView0, 1.0f);
    viewsDrawn = PicAspectCopy(PicBuf1, *ui.PicView1, 1.0f) && viewsDrawn;

    const Recipe recipe = RecipeOfControls();
    AnaglyphSettings settings;
    settings.methodNumber = recipe.MethodNumber();
    settings.brightness = recipe.brightness();
    settings.contrast = ui.HSC->value();
    settings.offsetX = recipe.offsetX();
    settings.offsetY = recipe.offsetY();
    // Cut views hold the offsets; the thumbnails keep the whole pictures.
    const CropPlan plan = PlanViewCrop(recipe);
    bool cut = false;
    try {
        cut = plan.cut && CutCopies(PicBuf0, PicBuf1, plan.rect, settings.offsetX, settings.offsetY,
                                    cut1_, cut2_);
    } catch (const std::bad_alloc&) {
        cut = false;
    }
    if (cut) settings.offsetX = settings.offsetY = 0;
    BuildAnaglyph(cut ? cut1_ : PicBuf0, cut ? cut2_ : PicBuf1, PicBuf2, settings, progress_);
    if (!cut) cut1_ = PictureBuffer(), cut2_ = PictureBuffer();

    viewsDrawn = PicAspectCopy(PicBuf2, *ui.PicView2, 1.0f) && viewsDrawn;
    ui.lDi->setText(
        QString::fromStdString(DimensionsText(PicBuf2.width(), PicBuf2.height(), DecimalPoint())));

    ui.tXo->setText(QString::number(ui.HS->value()));
    ui.tYo->setText(QString::number(ui.VS->value()));
    ui.tBr->setText(QString::number(ui.HSB->value()));
    ui.lCo->setText(QString::number(ui.HSC->value()));
    repaint();

    const double seconds = perfCounter_.ElapsedSeconds();
    if (!viewsDrawn)
        SetCap(QStringLiteral("Not enough memory to show the pictures!"));
    else if (!alignStatus_.isEmpty())
        SetCap(alignStatus_ + AlignmentNote(recipe, plan));
    else
        SetCap(QString::fromStdString(ReadyText(seconds, DecimalPoint())));
    alignStatus_.clear();
    emit blendFinished();
}

}  // namespace tsy
