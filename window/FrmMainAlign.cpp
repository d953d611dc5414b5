#include <QScrollBar>
#include <new>

#include "convert/Convert.h"
#include "input/MappedFile.h"
#include "prepare/DepthBudget.h"
#include "prepare/StereoAlign.h"
#include "window/CaptionButtons.h"
#include "window/FrmMain.h"
#include "window/LocaleText.h"
#include "window/rules/StatusText.h"

namespace tsy {

void FrmMain::CkAlign_Click() {
    WriteSetting(Setting::Align, ui.CkAlign->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
    if (!PicBuf0.hasImage() || !PicBuf1.hasImage()) return;
    SetCap(QString());
    EnableButtons(false);
    if (ui.CkAlign->isChecked()) {
        AutoAlign();
    } else if (image2Aligned_) {
        DropAlignment();
        // The stereo window went with the alignment.
        SuppressUpdates = true;
        ui.HS->setValue(0);
        SuppressUpdates = false;
    }
    PicBlend();
    EnableButtons(true);
}

void FrmMain::CkCrop_Click() {
    WriteSetting(Setting::Crop, ui.CkCrop->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
    if (!PicBuf0.hasImage()) return;
    SetCap(QString());
    EnableButtons(false);
    PicBlend();
    EnableButtons(true);
}

CropPlan FrmMain::PlanViewCrop(const Recipe& recipe) const {
    const int w = PicBuf0.width(), h = PicBuf0.height();
    if (recipe.crop() == CropMode::Off || (recipe.crop() == CropMode::Auto && !image2Aligned_)) {
        CropPlan whole;
        whole.rect = {0, 0, w, h};
        return whole;
    }
    return PlanCrop(w, h, image2Aligned_ ? &alignment_ : nullptr, recipe.offsetX(),
                    recipe.offsetY());
}

QString FrmMain::AlignmentNote(const Recipe& recipe, const CropPlan& plan) const {
    if (!image2Aligned_) return {};
    const std::string point = DecimalPoint();
    // In per cent of the width shown: the cut's, when cut.
    const DepthBudget depth = DepthOf(alignment_, recipe.offsetX(), PicBuf2.width(), point);
    std::string note = ", " + DepthText(depth, point);
    for (const std::string& more : {depth.warning, plan.refusal})
        if (!more.empty()) note += "; " + more;
    return QString::fromStdString(note);
}

void FrmMain::DropAlignment() {
    if (image2Aligned_) PicBuf1.swap(unaligned2_);
    image2Aligned_ = false;
    unaligned2_.clear();
}

void FrmMain::AutoAlign() {
    DropAlignment();
    if (!ui.CkAlign->isChecked() || !PicBuf0.hasImage() || !PicBuf1.hasImage()) return;
    SetCap(QStringLiteral("Aligning, please wait ..."));

    // The camera's parallax belongs to the file's own pair, views as stored.
    std::optional<double> camera;
    if (!mpoPairPath_.isEmpty() && !ui.CkSBS->isChecked()) {
        MappedFile file;
        std::string error;
        if (file.open(mpoPairPath_.toStdString(), error))
            camera = CameraOffsetX(file.bytes(), PicBuf1.width(), ui.CkSwap->isChecked());
    }

    // Aligned into the buffer that held image 2, which is kept as loaded.
    unaligned2_.swap(PicBuf1);
    AlignOutcome o;
    try {
        o = AlignPair(PicBuf0, unaligned2_, PicBuf1, camera, OffsetSource::Window, true, progress_);
    } catch (const std::bad_alloc&) {
        o = {};
        o.result.failure = "not enough memory";
    } catch (const std::exception&) {
        o = {};
        o.result.failure = "the pictures could not be compared";
    }
    if (o.result.aligned) {
        image2Aligned_ = true;
        alignment_ = o.result;
    } else {
        PicBuf1.swap(unaligned2_);
        unaligned2_.clear();
    }
    SuppressUpdates = true;
    if (o.result.aligned) ui.VS->setValue(0);
    if (o.offsetX) ui.HS->setValue(*o.offsetX);
    SuppressUpdates = false;
    alignStatus_ = QString::fromStdString(AlignStatusText(o, DecimalPoint()));
}

}  // namespace tsy
