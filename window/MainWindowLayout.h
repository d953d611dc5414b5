#pragma once

#include <QList>
#include <array>

#include "render/Methods.h"

class QButtonGroup;
class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QToolButton;
class QPushButton;
class QScrollBar;
class QWidget;

namespace tsy {

class CheckBox;
class OptionButton;
class PictureView;

// The controls of the main window, named as everywhere else in the program.
// setupUi() places them at fixed positions in a 700 x 445 client area.
struct MainWindowLayout {
    QFrame* FrameImages = nullptr;
    QPushButton* cOpen1 = nullptr;
    QPushButton* cOpen2 = nullptr;
    CheckBox* CkSBS = nullptr;
    // The layouts of one stereo picture, one checkable action each (named as
    // on the command line); from the arrow beside the box or its context menu.
    QMenu* LayoutMenu = nullptr;
    QToolButton* cLayout = nullptr;
    CheckBox* CkSwap = nullptr;
    CheckBox* CkAlign = nullptr;
    QFrame* FrameGlasses = nullptr;
    std::array<OptionButton*, kGlassesCount> OpGlass{};
    QButtonGroup* OpGlassGroup = nullptr;
    QFrame* FrameColor = nullptr;
    std::array<OptionButton*, kColourMethodCount> OpColor{};
    QButtonGroup* OpColorGroup = nullptr;
    QPushButton* cSave = nullptr;

    QFrame* Frame0 = nullptr;
    PictureView* PicView0 = nullptr;
    QFrame* Frame1 = nullptr;
    PictureView* PicView1 = nullptr;
    QFrame* Frame2 = nullptr;
    PictureView* PicView2 = nullptr;
    QScrollBar* VS = nullptr;

    QScrollBar* HSB = nullptr;
    QScrollBar* HSC = nullptr;
    QScrollBar* HS = nullptr;
    QPushButton* cReset = nullptr;
    QFrame* FrameBriCon = nullptr;
    QLabel* lBrL = nullptr;
    QLineEdit* tBr = nullptr;
    QFrame* Frame3 = nullptr;
    QLabel* lCoL = nullptr;
    QLabel* lCo = nullptr;
    QCheckBox* CkCrop = nullptr;  // in Frame3, which contrast leaves empty
    QFrame* FrameInfo = nullptr;
    QLabel* lDiL = nullptr;
    QLabel* lDi = nullptr;
    QFrame* FrameOffsetX = nullptr;
    QLabel* lXoL = nullptr;
    QLineEdit* tXo = nullptr;
    QFrame* FrameOffsetY = nullptr;
    QLabel* lYoL = nullptr;
    QLineEdit* tYo = nullptr;

    CheckBox* CkStretch = nullptr;

    static constexpr int kClientWidth = 700;
    static constexpr int kClientHeight = 445;

    void setupUi(QWidget* window);
    // Keyboard order of the working controls, the text boxes last.
    QList<QWidget*> tabOrder() const;
    // The controls the busy switch disables and enables, in its order.
    QList<QWidget*> busyControls() const;
};

}  // namespace tsy
