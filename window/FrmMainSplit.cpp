#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QToolButton>

#include "base/WorkerPool.h"
#include "output/FileFormats.h"
#include "render/BlendPipeline.h"
#include "window/CaptionButtons.h"
#include "window/FrmMain.h"
#include "window/PictureView.h"

namespace tsy {

void FrmMain::ConnectSwitches() {
    // toggled, not clicked: unticking a box from the program runs its handling too.
    connect(ui.CkSBS, &QCheckBox::toggled, this, &FrmMain::CkSBS_Click);
    connect(ui.CkSwap, &QCheckBox::toggled, this, &FrmMain::CkSwap_Click);
    connect(ui.CkStretch, &QCheckBox::toggled, this, &FrmMain::CkStretch_Click);
    connect(ui.CkAlign, &QCheckBox::toggled, this, &FrmMain::CkAlign_Click);
    connect(ui.CkCrop, &QCheckBox::toggled, this, &FrmMain::CkCrop_Click);
    // The layouts: from the arrow beside the box, or the box's own context menu.
    connect(ui.LayoutMenu, &QMenu::triggered, this, [this](QAction* chosen) {
        if (const LayoutInfo* row = LayoutByName(chosen->objectName().toStdString()))
            ChooseSplitLayout(row->layout);
    });
    connect(ui.LayoutMenu, &QMenu::aboutToShow, this, &FrmMain::MarkSplitLayout);
    ui.CkSBS->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ui.CkSBS, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { ui.LayoutMenu->popup(ui.CkSBS->mapToGlobal(at)); });
}

StereoLayout FrmMain::SplitLayout() const {
    StereoLayout layout = splitLayout_;
    layout.half = ui.CkStretch->isChecked();
    return layout;
}

void FrmMain::SetSplitLayout(const StereoLayout& layout) {
    splitLayout_ = layout;
    const QSignalBlocker quiet(ui.CkStretch);
    ui.CkStretch->setChecked(layout.half);
}

void FrmMain::MarkSplitLayout() {
    StereoLayout shown = SplitLayout();
    shown.padding = 0;
    const LayoutInfo* row = LayoutRowOf(shown);
    for (QAction* a : ui.LayoutMenu->actions())
        a->setChecked(row && a->objectName() == QLatin1String(row->name.data(), row->name.size()));
}

QString FrmMain::PicSplit() {
    ui.PicView0->clearPicture();
    ui.PicView1->clearPicture();
    PicBuf2.clear();
    const SplitResult split =
        SplitStereo(PicBufSBS, SplitLayout(), PicBuf0, PicBuf1, HardwareThreads());
    if (!split.ok) {
        // Nothing to split: the picture is image 1 again, on its own.
        PicBuf0.swap(PicBufSBS);
        PicBuf1.clear();
        PicBufSBS.clear();
        const QSignalBlocker quiet(ui.CkSBS);
        ui.CkSBS->setChecked(false);
        ui.CkStretch->setEnabled(false);
    }
    RecordPictureSize(PicBuf0.width(), PicBuf0.height());
    PicBuf2.resize(PicW, PicH);
    PicBuf2.clear();
    return split.ok ? QString()
                    : QStringLiteral("Not split: ") + QString::fromStdString(split.message);
}

QString FrmMain::SplitImage1() {
    PicBufSBS.copyFrom(PicBuf0);
    PicBufSBS.resize(PicW, PicH);
    for (PictureBuffer* b : {&PicBuf0, &PicBuf1, &PicBuf2})
        b->clear();
    ui.CkStretch->setEnabled(true);
    return PicSplit();
}

void FrmMain::CkSBS_Click() {
    SetCap(QString());
    EnableButtons(false);
    repaint();
    LetEventsRun();
    DropAlignment();
    QString refusal;
    if (ui.CkSBS->isChecked()) {
        refusal = SplitImage1();
    } else {
        for (PictureBuffer* b : {&PicBuf0, &PicBuf1, &PicBuf2})
            b->clear();
        PicBuf0.copyFrom(PicBufSBS);
        RecordPictureSize(PicBufSBS.width(), PicBufSBS.height());
        PicBufSBS.clear();
        ui.CkStretch->setEnabled(false);
    }
    AutoAlign();
    PicBlend();
    EnableButtons(true);
    if (!refusal.isEmpty()) SetCap(refusal);
}

void FrmMain::ChooseSplitLayout(const StereoLayout& layout) {
    SetSplitLayout(layout);
    // Ticking splits; a picture split already is split again the new way.
    if (!ui.CkSBS->isChecked()) {
        ui.CkSBS->setChecked(true);
        return;
    }
    EnableButtons(false);
    CkStretch_Click();
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
    const QString refusal = PicSplit();
    AutoAlign();
    PicBlend();
    if (!refusal.isEmpty()) SetCap(refusal);
}

}  // namespace tsy
