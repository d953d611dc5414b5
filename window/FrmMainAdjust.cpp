#include <QEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <algorithm>

#include "window/FrmMain.h"
#include "convert/Recipe.h"
#include "window/LocaleText.h"
#include "window/rules/NumberText.h"

namespace tsy {

namespace {

double Parse(const QLineEdit* box) {
    return ParseNumber(box->text().toStdString());
}

}  // namespace

void FrmMain::ConnectAdjustments() {
    connect(ui.HS, &QScrollBar::valueChanged, this, [this] { Blend(); });
    connect(ui.HS, &QScrollBar::sliderMoved, this, [this](int position) {
        ui.tXo->setText(QString::number(position));
        ui.tXo->repaint();
    });
    connect(ui.VS, &QScrollBar::valueChanged, this, [this] {
        ui.VS->repaint();
        Blend();
    });
    connect(ui.VS, &QScrollBar::sliderMoved, this, [this](int position) {
        ui.tYo->setText(QString::number(position));
        ui.tYo->repaint();
    });
    connect(ui.HSB, &QScrollBar::valueChanged, this, [this] { Blend(); });
    connect(ui.HSB, &QScrollBar::sliderMoved, this,
            [this](int position) { ui.tBr->setText(QString::number(position)); });
    connect(ui.HSC, &QScrollBar::valueChanged, this, [this] { Blend(); });
    connect(ui.cReset, &QPushButton::clicked, this, &FrmMain::cReset_Click);
    for (QObject* o : {static_cast<QObject*>(ui.HSB), static_cast<QObject*>(ui.tBr),
                       static_cast<QObject*>(ui.tXo), static_cast<QObject*>(ui.tYo)})
        o->installEventFilter(this);
}

void FrmMain::Blend() {
    EnableButtons(false);
    PicBlend();
    EnableButtons(true);
}

bool FrmMain::eventFilter(QObject* watched, QEvent* event) {
    QLineEdit* box = watched == ui.tBr   ? ui.tBr
                     : watched == ui.tXo ? ui.tXo
                     : watched == ui.tYo ? ui.tYo
                                         : nullptr;
    switch (event->type()) {
        case QEvent::FocusIn:
            if (box) TextBoxFocus(box, true);
            break;
        case QEvent::FocusOut: {
            // Leaving a control validates it, unless the focus only went
            // because the window became busy or lost its activation.
            const auto reason = static_cast<QFocusEvent*>(event)->reason();
            const bool validate =
                !busy_ && reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason;
            if (validate && watched == ui.HSB) Blend();
            if (box) {
                if (validate) TakeText(box, BarOf(box));
                TextBoxFocus(box, false);
            }
            break;
        }
        case QEvent::KeyPress: {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (box && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
                TakeText(box, BarOf(box));
                return true;
            }
            break;
        }
        default:
            break;
    }
    return QWidget::eventFilter(watched, event);
}

QScrollBar* FrmMain::BarOf(const QLineEdit* box) const {
    return box == ui.tBr ? ui.HSB : box == ui.tXo ? ui.HS : ui.VS;
}

void FrmMain::TextBoxFocus(QLineEdit* box, bool focused) {
    QPalette pal = box->palette();
    pal.setColor(QPalette::Base, palette().color(focused ? QPalette::Midlight : QPalette::Button));
    box->setPalette(pal);
    if (focused) box->setSelection(0, int(box->text().size()));
}

void FrmMain::TakeText(QLineEdit* box, QScrollBar* bar) {
    const double typed = Parse(box);
    const double value = std::clamp(typed, double(bar->minimum()), double(bar->maximum()));
    // Beyond the range the box shows the bound itself.
    if (value != typed) box->setText(QString::number(int(value)));
    // A change of value rebuilds through the bar's change event, and the
    // rebuild shows the bar's value in the box: what is left there counts.
    bar->setValue(RoundHalfEven(value, bar->minimum(), bar->maximum()));
    box->setText(LocaleNumber(Parse(box)));
    box->setSelection(0, int(box->text().size()));
}

void FrmMain::BrFromText() {
    TakeText(ui.tBr, ui.HSB);
}
void FrmMain::XoFromText() {
    TakeText(ui.tXo, ui.HS);
}
void FrmMain::YoFromText() {
    TakeText(ui.tYo, ui.VS);
}

void FrmMain::SetScroll() {
    SuppressUpdates = true;
    const int w = OffsetLimit(PicBuf0.width());
    const int h = OffsetLimit(PicBuf0.height());
    ui.HS->setRange(-w, w);
    ui.HS->setValue(0);
    ui.VS->setRange(-h, h);
    ui.VS->setValue(0);
    ui.HSB->setValue(0);
    SuppressUpdates = false;
}

void FrmMain::cReset_Click() {
    EnableButtons(false);
    SetScroll();
    PicBlend();
    EnableButtons(true);
}

}  // namespace tsy
