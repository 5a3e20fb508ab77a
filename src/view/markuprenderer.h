// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QRect>
#include <QSize>
#include <QString>
#include <string_view>

#include "view/markup.h"

class QPainter;

namespace settree {

// Measures and draws cell texts with their colour markup (markup.h), in a cell's font and
// colours. Used by the tree view, its tool tips and the chooser lists.
class MarkupRenderer {
public:
    // The cell a text is drawn in: its font, its starting text colour, and the palette that
    // system colour identifiers are taken from.
    struct Cell {
        QFont font;
        QColor text;
        QPalette palette;
    };

    // Both draw and measure the first 4096 bytes of a longer text, followed by "...".
    //
    // Width of the widest line and the sum of the line heights. With singleLine, line feeds
    // start no new line.
    static QSize Measure(std::string_view text, const QFont& font, bool singleLine);
    // Draws text left-aligned and vertically centred in rect, clipped to it.
    static void Draw(QPainter& painter, const QRect& rect, std::string_view text, const Cell& cell,
                     bool singleLine);

    // The colour a markup colour stands for in a cell; invalid for the cell's own background.
    static QColor Resolve(const MarkupColour& colour, const Cell& cell);
    static QColor SystemColourOf(SystemColour role, const QPalette& palette);
};

} // namespace settree
