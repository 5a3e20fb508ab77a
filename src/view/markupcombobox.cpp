// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/markupcombobox.h"

#include <QAbstractItemView>
#include <QStyleOptionComboBox>
#include <QStylePainter>

#include "view/markupitemdelegate.h"
#include "view/markuprenderer.h"

namespace settree {

MarkupComboBox::MarkupComboBox(QWidget* parent) : QComboBox(parent) {
    setItemDelegate(new MarkupItemDelegate(this));
}

void MarkupComboBox::showPopup() {
    QComboBox::showPopup();
    if (dropDownSize_.isEmpty())
        return;
    QWidget* popup = view()->window();
    const QRect box(mapToGlobal(QPoint(0, 0)), size());
    const bool above = popup->geometry().bottom() <= box.top();
    popup->resize(dropDownSize_);
    if (above) // opened above the box: it keeps touching the box
        popup->move(popup->x(), box.top() - popup->height());
}

void MarkupComboBox::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionComboBox option;
    initStyleOption(&option);
    const QByteArray text = option.currentText.toUtf8();
    option.currentText.clear();
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    painter.drawControl(QStyle::CE_ComboBoxLabel, option);
    const QRect field =
        style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
    const MarkupRenderer::Cell cell{font(), palette().color(QPalette::ButtonText), palette()};
    MarkupRenderer::Draw(painter, field.adjusted(2, 0, -2, 0),
                         std::string_view(text.constData(), size_t(text.size())), cell, true);
}

} // namespace settree
