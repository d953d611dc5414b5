#include "window/CaptionButtons.h"

#include <QStyleOptionButton>
#include <QStylePainter>
#include <algorithm>

namespace tsy {

namespace {

void PaintWrapped(QAbstractButton* button, QStyleOptionButton& opt, bool radio) {
    QStylePainter p(button);
    QStyle* style = button->style();
    const int flags = Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap | Qt::TextShowMnemonic;
    QRect indicator = style->subElementRect(
        radio ? QStyle::SE_RadioButtonIndicator : QStyle::SE_CheckBoxIndicator, &opt, button);
    // Indicator on top, caption centred below it: narrow buttons keep their
    // whole caption that way.
    const QRect textBounds =
        button->fontMetrics().boundingRect(button->rect(), flags, button->text());
    const int total = indicator.height() + 1 + textBounds.height();
    const int top = std::max(0, (button->height() - total) / 2);
    indicator.moveTopLeft(QPoint((button->width() - indicator.width()) / 2, top));

    QStyleOptionButton ind = opt;
    ind.rect = indicator;
    p.drawPrimitive(radio ? QStyle::PE_IndicatorRadioButton : QStyle::PE_IndicatorCheckBox, ind);

    const QRect textArea(0, indicator.bottom() + 2, button->width(),
                         button->height() - indicator.bottom() - 2);
    p.drawItemText(textArea, flags, opt.palette, button->isEnabled(), button->text(),
                   QPalette::WindowText);

    if (button->hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(button);
        focus.rect = style
                         ->itemTextRect(button->fontMetrics(), textArea, flags, button->isEnabled(),
                                        button->text())
                         .adjusted(-1, 0, 1, 0);
        p.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
    }
}

}  // namespace

void OptionButton::paintEvent(QPaintEvent*) {
    QStyleOptionButton opt;
    initStyleOption(&opt);
    PaintWrapped(this, opt, true);
}

void CheckBox::paintEvent(QPaintEvent*) {
    QStyleOptionButton opt;
    initStyleOption(&opt);
    PaintWrapped(this, opt, false);
}

}  // namespace tsy
