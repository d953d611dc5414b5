#include <QScrollBar>
#include <new>

#include "convert/Convert.h"
#include "input/MappedFile.h"
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
