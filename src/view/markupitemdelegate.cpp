// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/markupitemdelegate.h"

#include <QApplication>
#include <QPainter>

#include "view/markuprenderer.h"

namespace settree {

namespace {

// Room between the cell's edge and its text, as the style leaves it for plain text.
constexpr int kTextMargin = 3;

} // namespace

void MarkupItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                               const QModelIndex& index) const {
    QStyleOptionViewItem item(option);
    initStyleOption(&item, index);
    const QByteArray text = item.text.toUtf8();
    item.text.clear();
    const QWidget* widget = item.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &item, painter, widget);

    const bool selected = (item.state & QStyle::State_Selected) != 0;
    const QPalette::ColorGroup group =
        (item.state & QStyle::State_Enabled) == 0 ? QPalette::Disabled : QPalette::Active;
    const MarkupRenderer::Cell cell{
        item.font, item.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text),
        item.palette};
    const QRect room = style->subElementRect(QStyle::SE_ItemViewItemText, &item, widget)
                           .adjusted(kTextMargin, 0, -kTextMargin, 0);
    MarkupRenderer::Draw(*painter, room, std::string_view(text.constData(), size_t(text.size())),
                         cell, true);
}

QSize MarkupItemDelegate::sizeHint(const QStyleOptionViewItem& option,
                                   const QModelIndex& index) const {
    QStyleOptionViewItem item(option);
    initStyleOption(&item, index);
    const QByteArray text = item.text.toUtf8();
    const QSize size = MarkupRenderer::Measure(
        std::string_view(text.constData(), size_t(text.size())), item.font, true);
    return {size.width() + 2 * kTextMargin, size.height() + 2};
}

} // namespace settree
