#include <QScrollBar>

#include "window/CaptionButtons.h"
#include "window/FrmMain.h"
#include "window/PictureView.h"
#include "prepare/SideBySide.h"
#include "render/BlendPipeline.h"

namespace tsy {

void FrmMain::ConnectSwitches() {
    // toggled, not clicked: unticking a box from the program runs its handling too.
    connect(ui.CkSBS, &QCheckBox::toggled, this, &FrmMain::CkSBS_Click);
    connect(ui.CkSwap, &QCheckBox::toggled, this, &FrmMain::CkSwap_Click);
    connect(ui.CkStretch, &QCheckBox::toggled, this, &FrmMain::CkStretch_Click);
    connect(ui.CkAlign, &QCheckBox::toggled, this, &FrmMain::CkAlign_Click);
    connect(ui.CkCrop, &QCheckBox::toggled, this, &FrmMain::CkCrop_Click);
}

void FrmMain::PicSplit() {
    ui.PicView0->clearPicture();
    ui.PicView1->clearPicture();
    PicBuf2.clear();
    const bool stretch = ui.CkStretch->isChecked();
    SplitSideBySide(PicBufSBS, PicW, PicH, stretch, PicBuf0, PicBuf1);
    PicBuf2.resize(WorkingWidth(PicW, stretch), PicH);
    PicBuf2.clear();
}

void FrmMain::CkSBS_Click() {
    SetCap(QString());
    EnableButtons(false);
    repaint();
    LetEventsRun();
    DropAlignment();
    if (ui.CkSBS->isChecked()) {
        PicBufSBS.copyFrom(PicBuf0);
        PicBufSBS.resize(PicW, PicH);
        for (PictureBuffer* b : {&PicBuf0, &PicBuf1, &PicBuf2})
            b->clear();
        PicSplit();
        ui.CkStretch->setEnabled(true);
    } else {
        for (PictureBuffer* b : {&PicBuf0, &PicBuf1, &PicBuf2})
            b->clear();
        PicBuf0.copyFrom(PicBufSBS);
        PicBufSBS.clear();
        ui.CkStretch->setEnabled(false);
    }
    AutoAlign();
    PicBlend();
    EnableButtons(true);
}

void FrmMain::CkSwap_Click() {
    SetCap(QString());
    EnableButtons(false);
    repaint();
    LetEventsRun();
    DropAlignment();
    PicBuf0.swap(PicBuf1);
    PicBuf2.clear();
    // The views keep their relative position: both offsets change sign
    // without a rebuild each.
    SuppressUpdates = true;
    ui.VS->setValue(-ui.VS->value());
    ui.HS->setValue(-ui.HS->value());
    SuppressUpdates = false;
    AutoAlign();
    PicBlend();
    EnableButtons(true);
}

void FrmMain::CkStretch_Click() {
    DropAlignment();
    PicSplit();
    AutoAlign();
    PicBlend();
}

}  // namespace tsy
