#include "window/FrmMain.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "window/CaptionButtons.h"
#include "window/PictureView.h"
#include "base/ProgVer.h"
#include "window/FrmPreView.h"
#include "platform/Platform.h"
#include "window/rules/Blanks.h"

namespace tsy {

const char* const FrmMain::kMakerAddress = "www.brannoc-software.com";

namespace {

constexpr int kDefaultPosition = 16;

}  // namespace

// A press that becomes busy work (a bar's arrow; a tap that takes the focus
// from the brightness bar, whose validation rebuilds) has its release come in
// while the window is disabled, or before the press itself has reached the
// control tapped: the control would stay pressed and its click be lost. The
// release is held and delivered once the window is ready again, after the
// press. Other input during the work is dropped as always.
class FrmMain::HeldRelease final : public QObject {
public:
    explicit HeldRelease(QWidget* window) : window_(window) {}

    void Start() {
        if (QGuiApplication::mouseButtons() != Qt::NoButton) qApp->installEventFilter(this);
    }
    // Posted, so it comes after the press being delivered now, if any.
    void Deliver() {
        qApp->removeEventFilter(this);
        for (auto& [target, release] : held_)
            if (target) QCoreApplication::postEvent(target, release.release());
        held_.clear();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::MouseButtonRelease || !watched->isWidgetType()) return false;
        auto* target = static_cast<QWidget*>(watched);
        if (target->window() != window_) return false;
        held_.emplace_back(target, std::unique_ptr<QEvent>(event->clone()));
        return true;
    }

private:
    QWidget* window_;
    std::vector<std::pair<QPointer<QWidget>, std::unique_ptr<QEvent>>> held_;
};

FrmMain::FrmMain(Platform& platform, QWidget* parent)
    : QWidget(parent), platform_(platform), heldRelease_(std::make_unique<HeldRelease>(this)) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Tessaly"));
    ui.setupUi(this);
    chosenColour_ = ui.OpColorGroup->checkedId();
    Timer1.setInterval(1000);
    connect(&Timer1, &QTimer::timeout, this, &FrmMain::Timer1_Timer);
    ConnectAdjustments();
    ConnectLoading();
    ConnectSwitches();
    connect(ui.PicView2, &PictureView::clicked, this, &FrmMain::PicView2_Click);
    connect(ui.cSave, &QPushButton::clicked, this, &FrmMain::cSave_Click);
    connect(ui.OpColorGroup, &QButtonGroup::idToggled, this, [this](int index, bool checked) {
        if (checked) OpColor_Click(index);
    });
    connect(ui.OpGlassGroup, &QButtonGroup::idToggled, this, [this](int index, bool checked) {
        if (checked) OpGlass_Click(index);
    });
}

FrmMain::~FrmMain() = default;

QString FrmMain::TrimBlanks(QString text) {
    const std::u16string all = text.toStdU16String();
    const std::u16string_view kept = tsy::TrimBlanks<char16_t>(all);
    return text.mid(kept.data() - all.data(), qsizetype(kept.size()));
}

bool FrmMain::Form_Load() {
    const int depth = platform_.screen.Depth();
    if (depth == 8 || depth == 16) {
        platform_.dialogs.MessageBox(
            nullptr, MessageIcon::Critical, QStringLiteral(" ") + windowTitle() + " Fehler:",
            QStringLiteral("    The video resolution is currently set to ") +
                QString::number(depth) +
                " bits.    \r\n    However, this program requires 24 or 32 bits.    \r\n ");
        return false;
    }

    ProgramTitle = windowTitle();
    SettingsAppName = QStringLiteral("Brannoc-Software");
    BaseCaption =
        QStringLiteral("Brannoc ") + ProgramTitle + "  v" + QString::fromStdString(ProgVer());
    setWindowTitle(BaseCaption + "   .:.   " + kMakerAddress);

    {
        // Remembered, not a click: nothing to align yet, nothing to write.
        const QSignalBlocker quiet(ui.CkAlign), quietCrop(ui.CkCrop);
        ui.CkAlign->setChecked(ReadSetting(Setting::Align).trimmed() == QStringLiteral("1"));
        ui.CkCrop->setChecked(ReadSetting(Setting::Crop).trimmed() != QStringLiteral("0"));
    }

    const int top = ReadPosition("WinTop");
    const int left = ReadPosition("WinLeft");
    move(left, top);

    EnableButtons(false);
    ui.cOpen1->setEnabled(true);
    setEnabled(true);
    show();
    return true;
}

int FrmMain::ReadPosition(const char* key) {
    const QString text = platform_.settings.Read(
        SettingsAppName, ProgramTitle, QString::fromLatin1(key), QString::number(kDefaultPosition));
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value)) return kDefaultPosition;
    // X11 window coordinates are 16-bit.
    return int(std::nearbyint(std::clamp(value, -32768.0, 32767.0)));
}

void FrmMain::closeEvent(QCloseEvent* event) {
    Form_Unload();
    event->accept();
}

void FrmMain::moveEvent(QMoveEvent* event) {
    if (windowState() == Qt::WindowNoState && isVisible())
        frameOffset_ = geometry().topLeft() - frameGeometry().topLeft();
    QWidget::moveEvent(event);
}

QPoint FrmMain::NormalPosition() const {
    if (windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen)) {
        const QRect normal = normalGeometry();
        if (normal.isValid()) return normal.topLeft() - frameOffset_;
    }
    return pos();
}

void FrmMain::Form_Unload() {
    // The preview shows this window's picture; it does not outlive it.
    if (preview_) preview_->close();
    const QPoint position = NormalPosition();
    setWindowState(Qt::WindowNoState);
    hide();
    if (windowState() != Qt::WindowNoState || SettingsAppName.isEmpty()) return;
    platform_.settings.Write(SettingsAppName, ProgramTitle, QStringLiteral("WinTop"),
                             QString::number(position.y()));
    platform_.settings.Write(SettingsAppName, ProgramTitle, QStringLiteral("WinLeft"),
                             QString::number(position.x()));
}

bool FrmMain::focusNextPrevChild(bool next) {
    QList<QWidget*> chain = ui.tabOrder();
    if (!next) std::reverse(chain.begin(), chain.end());
    // The toolkit skips the unselected buttons of a group; here each group's
    // run of buttons starts with its selected one instead.
    for (QButtonGroup* group : {ui.OpGlassGroup, ui.OpColorGroup}) {
        QAbstractButton* selected = group->checkedButton();
        const qsizetype from = chain.indexOf(selected);
        qsizetype first = from;
        while (first > 0 && group->buttons().contains(chain[first - 1]))
            --first;
        if (from > first) chain.move(from, first);
    }
    const qsizetype at = chain.indexOf(QApplication::focusWidget());
    if (at < 0) return QWidget::focusNextPrevChild(next);
    for (qsizetype i = 1; i < chain.size(); ++i) {
        QWidget* w = chain[(at + i) % chain.size()];
        // A group leaves Tab focus only to one of its buttons; click focus tells.
        if (w->isEnabled() && w->isVisible() && w->focusPolicy() != Qt::NoFocus) {
            w->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
            return true;
        }
    }
    return false;
}

FrmPreView* FrmMain::preview() const {
    return preview_;
}

void FrmMain::PicView2_Click() {
    if (!preview_) preview_ = new FrmPreView(PicBuf2);
    preview_->Bring();
}

void FrmMain::SetCap(const QString& text) {
    if (text.isEmpty()) {
        setWindowTitle(BaseCaption);
        Timer1.stop();
        return;
    }
    setWindowTitle(BaseCaption + "  -  " + text);
    StatusTime = float(platform_.clock.SecondsSinceMidnight());
    if (!Timer1.isActive()) Timer1.start();
}

void FrmMain::Timer1_Timer() {
    const float elapsed = float(platform_.clock.SecondsSinceMidnight() - double(StatusTime));
    if (elapsed < 5.0f && elapsed >= 0.0f) return;
    Timer1.stop();
    SetCap(QString());
}

void FrmMain::EnableButtons(bool enable) {
    if (SuppressUpdates) return;
    if (!enable) {
        if (!busy_) {
            focusBeforeBusy_ = QApplication::focusWidget();
            heldRelease_->Start();
        }
        busy_ = true;
        setEnabled(false);
    }
    for (QWidget* c : ui.busyControls())
        c->setEnabled(enable);
    if (enable) OfferColourMethods();
    for (QLineEdit* box : {ui.tBr, ui.tXo, ui.tYo})
        box->setReadOnly(!enable);
    for (QLineEdit* box : {ui.tBr, ui.tXo, ui.tYo})
        box->setEnabled(enable);
    if (enable) {
        setEnabled(true);
        if (focusBeforeBusy_ && focusBeforeBusy_->isEnabled() && isActiveWindow())
            focusBeforeBusy_->setFocus(Qt::OtherFocusReason);
        focusBeforeBusy_.clear();
        busy_ = false;
    }
    repaint();
    QApplication::processEvents();
    if (enable) heldRelease_->Deliver();
}

}  // namespace tsy
