#include "window/MainWindowLayout.h"

#include "convert/Recipe.h"
#include "output/FileFormats.h"

#include <QActionGroup>
#include <QButtonGroup>
#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QStyleOptionFrame>
#include <QToolButton>
#include <algorithm>

#include "window/CaptionButtons.h"
#include "window/PictureView.h"

namespace tsy {

namespace {

// A frame without caption: a plain box around its controls. (The style's
// group-box primitive keeps room for a caption above the box, which cut
// through the controls of the top row.)
class GroupFrame : public QFrame {
public:
    using QFrame::QFrame;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        QStyleOptionFrame opt;
        opt.initFrom(this);
        opt.lineWidth = 1;
        opt.midLineWidth = 0;
        opt.frameShape = QFrame::StyledPanel;
        style()->drawPrimitive(QStyle::PE_Frame, &opt, &p, this);
    }
};

// The top row's controls fill their frames from the top edge; moved down by
// a few pixels they leave the box visible above them. (Their widths are those
// their captions need, so they keep them.)
void InsetChildren(QWidget* frame, int inset) {
    for (QWidget* c : frame->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        const QRect g = c->geometry();
        c->setGeometry(g.left(), g.top() + inset, g.width(),
                       std::min(g.height(), frame->height() - 2 * inset - g.top()));
    }
}

QFrame* MakeFrame(QWidget* parent, const char* name, QRect geometry) {
    auto* frame = new GroupFrame(parent);
    frame->setObjectName(name);
    frame->setGeometry(geometry);
    return frame;
}

template <class W>
W* Place(W* widget, const char* name, QRect geometry, const char* toolTip = nullptr) {
    widget->setObjectName(name);
    widget->setGeometry(geometry);
    if (toolTip) widget->setToolTip(QString::fromUtf8(toolTip));
    return widget;
}

QFont WindowFont(bool bold) {
    // DejaVu Sans comes with every Debian desktop that has Qt. It runs wider
    // than the narrow face the layout was drawn for, so 10 pixels take the
    // room that 11 would there.
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(10);
    font.setBold(bold);
    return font;
}

QFont SmallFont() {
    QFont font = WindowFont(false);
    font.setPixelSize(9);
    return font;
}

QScrollBar* MakeScrollBar(QWidget* parent, Qt::Orientation o, const char* name, QRect geometry,
                          int minimum, int maximum, int pageStep) {
    auto* bar = Place(new QScrollBar(o, parent), name, geometry);
    bar->setRange(minimum, maximum);
    bar->setSingleStep(1);
    bar->setPageStep(pageStep);
    bar->setValue(0);
    // The value changes once the thumb is let go; while it moves only the
    // text follows it (sliderMoved), so a drag costs one rebuild.
    bar->setTracking(false);
    bar->setFocusPolicy(Qt::StrongFocus);
    // Arrow keys move the thumb the way they point: right and down increase.
    bar->setInvertedControls(o == Qt::Vertical);
    return bar;
}

QLineEdit* MakeTextBox(QWidget* parent, const char* name, QRect geometry, int maxLength) {
    auto* box = Place(new QLineEdit(QStringLiteral("0"), parent), name, geometry);
    box->setMaxLength(maxLength);
    box->setFont(WindowFont(true));
    box->setFrame(false);
    box->setTextMargins(1, 0, 1, 0);
    box->setAutoFillBackground(true);
    QPalette pal = box->palette();
    pal.setColor(QPalette::Base, pal.color(QPalette::Button));
    box->setPalette(pal);
    return box;
}

QLabel* MakeLabel(QWidget* parent, const char* name, QRect geometry, const char* text, bool bold) {
    auto* label = Place(new QLabel(QString::fromUtf8(text), parent), name, geometry);
    label->setFont(WindowFont(bold));
    return label;
}

}  // namespace

void MainWindowLayout::setupUi(QWidget* w) {
    w->setFont(WindowFont(false));
    w->setFixedSize(kClientWidth, kClientHeight);
    const QCursor hand(Qt::PointingHandCursor);

    // Picture area first, so the top row lies above it where they touch.
    Frame0 = MakeFrame(w, "Frame0", {4, 48, 219, 165});
    Frame1 = MakeFrame(w, "Frame1", {4, 218, 219, 165});
    Frame2 = MakeFrame(w, "Frame2", {228, 48, 445, 335});
    PicView0 = Place(new PictureView(w), "PicView0", {6, 50, 214, 160}, " Image 1 ");
    PicView1 = Place(new PictureView(w), "PicView1", {6, 220, 214, 160}, " Image 2 ");
    PicView2 = Place(new PictureView(w), "PicView2", {230, 50, 440, 330},
                     " Anaglyph Image | Click here for preview ... ");
    const QColor dark = w->palette().color(QPalette::Dark);
    PicView0->setBackColor(dark);
    PicView1->setBackColor(dark);
    PicView2->setBackColor(w->palette().color(QPalette::Button));
    PicView0->setAcceptDrops(true);
    PicView1->setAcceptDrops(true);
    PicView2->setCursor(hand);
    VS = MakeScrollBar(w, Qt::Vertical, "VS", {678, 48, 17, 335}, 0, 0, 5);

    // The top row from the left; the option groups take what their tables
    // need and the save button keeps the right edge.
    constexpr int kGap = 5, kGlassWidth = 41, kColorWidth = 49;
    int x = 4;
    FrameImages = MakeFrame(w, "FrameImages", {x, 4, 176, 43});
    cOpen1 = Place(new QPushButton(QStringLiteral("Open Img &1"), FrameImages), "cOpen1",
                   {0, 0, 63, 39}, " Open Image 1 ... ");
    cOpen2 = Place(new QPushButton(QStringLiteral("Open Img &2"), FrameImages), "cOpen2",
                   {64, 0, 63, 39}, " Open Image 2 ... ");
    CkSBS = Place(new CheckBox(QStringLiteral("Side-&By-Side"), FrameImages), "CkSBS",
                  {132, 0, 44, 39}, " Image 1 is a Side-By-Side Image ");
    // The arrow sits beside the box's indicator, where the wrapped caption
    // leaves room.
    LayoutMenu = new QMenu(w);
    LayoutMenu->setObjectName(QStringLiteral("LayoutMenu"));
    auto* layouts = new QActionGroup(LayoutMenu);
    for (const LayoutInfo& row : Layouts()) {
        if (!row.layout.InOnePicture()) continue;
        const QString name = QString::fromUtf8(row.name.data(), qsizetype(row.name.size()));
        QAction* a =
            LayoutMenu->addAction(name + QStringLiteral("  \u2013  ") +
                                  QString::fromUtf8(row.help.data(), qsizetype(row.help.size())));
        a->setObjectName(name);
        a->setCheckable(true);
        layouts->addAction(a);
    }
    cLayout = Place(new QToolButton(FrameImages), "cLayout", {162, 0, 13, 13},
                    " How Image 1 holds the two views ... ");
    cLayout->setArrowType(Qt::DownArrow);
    cLayout->setAutoRaise(true);
    cLayout->setPopupMode(QToolButton::InstantPopup);
    cLayout->setMenu(LayoutMenu);
    cLayout->setFocusPolicy(Qt::NoFocus);
    x += FrameImages->width() + kGap;
    // The two check boxes are as narrow as their wrapped captions allow.
    CkSwap = Place(new CheckBox(QStringLiteral("S&wap Images"), w), "CkSwap", {x, 4, 40, 39},
                   " Swap Images ");
    x += CkSwap->width() + 1;
    CkAlign = Place(new CheckBox(QStringLiteral("Auto-A&lign"), w), "CkAlign", {x, 4, 32, 39},
                    " Align Image 2 with Image 1 (height, tilt and size) and put the nearest "
                    "point on the screen ");
    x += CkAlign->width() + kGap;

    // One option per row of the tables; neighbours share a pixel.
    FrameGlasses = MakeFrame(w, "FrameGlasses",
                             {x, 4, (kGlassWidth - 1) * (kGlassesCount - 1) + kGlassWidth, 43});
    OpGlassGroup = new QButtonGroup(w);
    OpGlassGroup->setObjectName(QStringLiteral("OpGlass"));
    for (int i = 0; i < kGlassesCount; ++i) {
        const GlassesInfo& g = kGlasses[i];
        const QByteArray name = "OpGlass" + QByteArray::number(i);
        OpGlass[size_t(i)] =
            Place(new OptionButton(QString::fromUtf8(g.caption), FrameGlasses), name.constData(),
                  {(kGlassWidth - 1) * i, 0, kGlassWidth, 39}, g.toolTip);
        OpGlassGroup->addButton(OpGlass[size_t(i)], i);
    }
    OpGlass[size_t(Declaration(Setting::Glasses).byDefault)]->setChecked(true);
    x += FrameGlasses->width() + kGap;

    FrameColor = MakeFrame(w, "FrameColor",
                           {x, 4, (kColorWidth - 1) * (kColourMethodCount - 1) + kColorWidth, 43});
    // The table gives each method its place in the row; the index is what
    // counts elsewhere.
    OpColorGroup = new QButtonGroup(w);
    OpColorGroup->setObjectName(QStringLiteral("OpColor"));
    for (int column = 0; column < kColourMethodCount; ++column)
        for (int i = 0; i < kColourMethodCount; ++i) {
            const ColourMethodInfo& m = kColourMethods[i];
            if (m.column != column) continue;
            const QByteArray name = "OpColor" + QByteArray::number(i);
            OpColor[size_t(i)] =
                Place(new OptionButton(QString::fromUtf8(m.caption), FrameColor), name.constData(),
                      {(kColorWidth - 1) * m.column, 0, kColorWidth, 39}, m.toolTip);
            OpColor[size_t(i)]->setFont(SmallFont());
            OpColorGroup->addButton(OpColor[size_t(i)], i);
        }
    OpColor[size_t(Declaration(Setting::Method).byDefault)]->setChecked(true);

    cSave = Place(new QPushButton(QStringLiteral("&Save Img."), w), "cSave", {636, 4, 59, 39},
                  " Save 3D-Image ... ");
    for (QFrame* frame : {FrameImages, FrameGlasses, FrameColor})
        InsetChildren(frame, 2);

    // Contrast has no effect on the pixels; it shares brightness's range.
    const SettingDecl& brightness = Declaration(Setting::Brightness);
    HSB = MakeScrollBar(w, Qt::Horizontal, "HSB", {4, 388, 217, 17}, brightness.min, brightness.max, 8);
    HSC = MakeScrollBar(w, Qt::Horizontal, "HSC", {106, 388, 117, 17}, brightness.min, brightness.max, 8);
    HSC->hide();
    HS = MakeScrollBar(w, Qt::Horizontal, "HS", {228, 388, 445, 17}, 0, 0, 5);
    cReset = Place(new QPushButton(QStringLiteral("&R"), w), "cReset", {678, 388, 17, 17},
                   " Reset Brightness & X-/Y-Offset ");

    // The bottom row's boxes sit side by side, their captions in the middle.
    FrameBriCon = MakeFrame(w, "FrameBriCon", {4, 408, 106, 33});
    lBrL = MakeLabel(FrameBriCon, "lBrL", {8, 9, 64, 15}, "Brightness:", false);
    tBr = MakeTextBox(FrameBriCon, "tBr", {72, 9, 31, 15}, 4);
    Frame3 = MakeFrame(w, "Frame3", {112, 408, 111, 33});
    lCoL = MakeLabel(Frame3, "lCoL", {8, 9, 56, 15}, "Contrast:", false);
    lCo = MakeLabel(Frame3, "lCo", {76, 9, 27, 15}, "0", true);
    lCo->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    for (QLabel* hidden : {lCoL, lCo}) {
        hidden->hide();
        hidden->setEnabled(false);
    }
    // Cropping takes the room the hidden contrast leaves in its frame.
    CkCrop = Place(new QCheckBox(QStringLiteral("&Crop Edges"), Frame3), "CkCrop", {8, 9, 98, 15},
                   " Crop the aligned pair to the picture both eyes see ");
    CkCrop->setChecked(Declaration(Setting::Crop).storedDefault == "1");
    FrameInfo = MakeFrame(w, "FrameInfo", {228, 408, 256, 33});
    lDiL = MakeLabel(FrameInfo, "lDiL", {8, 9, 104, 15}, "Image Dimensions:", false);
    // Right-aligned so that long sizes ("6000 x 4000  =  24.0 mp") still fit.
    lDi = MakeLabel(FrameInfo, "lDi", {110, 9, 141, 15}, "0 x 0  =  0 mp", true);
    lDi->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    FrameOffsetX = MakeFrame(w, "FrameOffsetX", {487, 408, 101, 33});
    lXoL = MakeLabel(FrameOffsetX, "lXoL", {6, 9, 50, 15}, "X-Offset:", false);
    tXo = MakeTextBox(FrameOffsetX, "tXo", {54, 9, 43, 15}, 6);
    FrameOffsetY = MakeFrame(w, "FrameOffsetY", {591, 408, 104, 33});
    lYoL = MakeLabel(FrameOffsetY, "lYoL", {6, 9, 50, 15}, "Y-Offset:", false);
    tYo = MakeTextBox(FrameOffsetY, "tYo", {54, 9, 43, 15}, 6);

    CkStretch =
        Place(new CheckBox(QStringLiteral("Stretch &Images"), w), "CkStretch", {0, 0, 100, 17});
    CkStretch->setChecked(true);
    CkStretch->setEnabled(false);
    CkStretch->hide();

    for (QWidget* c :
         std::initializer_list<QWidget*>{cOpen1, cOpen2, CkSBS, cLayout, CkSwap, CkAlign, cSave,
                                         HSB, HSC, HS, VS, cReset, CkCrop})
        c->setCursor(hand);
    for (OptionButton* b : OpGlass)
        b->setCursor(hand);
    for (OptionButton* b : OpColor)
        b->setCursor(hand);

    const QList<QWidget*> order = tabOrder();
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

QList<QWidget*> MainWindowLayout::tabOrder() const {
    QList<QWidget*> order = {cOpen1, cOpen2, CkSBS, CkSwap, CkAlign};
    order.append(QList<QWidget*>(OpGlass.begin(), OpGlass.end()));
    order.append(QList<QWidget*>(OpColor.begin(), OpColor.end()));
    order.append({cSave, HSB, HS, VS, cReset, tBr, CkCrop, tXo, tYo});
    return order;
}

QList<QWidget*> MainWindowLayout::busyControls() const {
    QList<QWidget*> controls = {cOpen1, cOpen2,  FrameGlasses, FrameColor,
                                CkSwap, CkAlign, CkSBS,        cLayout};
    controls.append(QList<QWidget*>(OpGlass.begin(), OpGlass.end()));
    controls.append(QList<QWidget*>(OpColor.begin(), OpColor.end()));
    controls.append({cSave, HSB, HSC, HS, VS, cReset, CkCrop, PicView1, PicView2, lDi});
    return controls;
}

}  // namespace tsy
