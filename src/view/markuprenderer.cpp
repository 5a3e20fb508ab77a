// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/markuprenderer.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <vector>

#include "display/displaytext.h"

namespace settree {

namespace {

struct PlacedRun {
    const MarkupRun* run;
    QString text;
    QFont font;
    int x;
    int width;
    int line;
};

struct Line {
    int height = 0;
    int ascent = 0;
    int width = 0;
};

struct Layout {
    std::vector<PlacedRun> runs;
    std::vector<Line> lines;
    int width = 0;
    int height = 0;
};

bool sameFace(const MarkupFont& a, const MarkupFont& b) {
    return a.face == b.face && a.pixelSize == b.pixelSize && a.bold == b.bold &&
           a.italic == b.italic && a.underline == b.underline && a.strikeOut == b.strikeOut;
}

QFont fontFor(const MarkupFont& f, const QFont& base, bool utf8) {
    QFont font = base;
    if (!f.face.empty())
        font.setFamily(BytesToDisplay(f.face, utf8));
    if (f.pixelSize > 0)
        font.setPixelSize(f.pixelSize);
    if (f.bold)
        font.setBold(true);
    if (f.italic)
        font.setItalic(true);
    if (f.underline)
        font.setUnderline(true);
    if (f.strikeOut)
        font.setStrikeOut(true);
    return font;
}

Layout layOut(const MarkupText& parsed, const QFont& base, bool singleLine) {
    Layout layout;
    layout.lines.resize(static_cast<size_t>(singleLine ? 1 : parsed.lineCount));
    layout.runs.reserve(parsed.runs.size());
    const MarkupFont* lastFont = nullptr;
    QFont font;
    QFontMetrics metrics(base);
    for (const MarkupRun& run : parsed.runs) {
        if (!lastFont || !sameFace(*lastFont, run.font)) {
            font = fontFor(run.font, base, parsed.utf8);
            metrics = QFontMetrics(font);
            lastFont = &run.font;
        }
        const int lineIndex = singleLine ? 0 : run.line;
        Line& line = layout.lines[static_cast<size_t>(lineIndex)];
        QString text = BytesToDisplay(run.text, parsed.utf8);
        const int width = metrics.horizontalAdvance(text);
        layout.runs.push_back({&run, std::move(text), font, line.width, width, lineIndex});
        line.width += width;
        line.height = std::max(line.height, metrics.height());
        line.ascent = std::max(line.ascent, metrics.ascent());
    }
    const QFontMetrics baseMetrics(base);
    for (Line& line : layout.lines) {
        if (line.height == 0) {
            line.height = baseMetrics.height();
            line.ascent = baseMetrics.ascent();
        }
        layout.width = std::max(layout.width, line.width);
        layout.height += line.height;
    }
    return layout;
}

// Text without tags and line breaks is drawn in one piece.
bool isPlain(std::string_view text) {
    return text.find_first_of("<\r\n") == std::string_view::npos;
}

// The part of a text that is drawn: its first kDrawnBytes bytes, cut at the start of a
// character, and "..." after them. No cell shows more, and the text engine would otherwise
// shape a caption of megabytes glyph by glyph (and complain on standard error for each glyph
// it has no room for).
constexpr size_t kDrawnBytes = 4096;
std::string_view drawnPart(std::string_view text, std::string& storage) {
    if (text.size() <= kDrawnBytes)
        return text;
    size_t cut = kDrawnBytes;
    // A UTF-8 character begins at most three bytes before a continuation byte.
    for (int back = 0; back < 3 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80; ++back)
        --cut;
    storage.assign(text.substr(0, cut)).append("...");
    return storage;
}

} // namespace

QSize MarkupRenderer::Measure(std::string_view whole, const QFont& font, bool singleLine) {
    std::string storage;
    const std::string_view text = drawnPart(whole, storage);
    if (isPlain(text)) {
        const QFontMetrics metrics(font);
        return {metrics.horizontalAdvance(BytesToDisplay(text)), metrics.height()};
    }
    const MarkupText parsed = ParseMarkup(text);
    const Layout layout = layOut(parsed, font, singleLine);
    return {layout.width, layout.height};
}

void MarkupRenderer::Draw(QPainter& painter, const QRect& rect, std::string_view whole,
                          const Cell& cell, bool singleLine) {
    std::string storage;
    const std::string_view text = drawnPart(whole, storage);
    if (text.empty() || rect.width() <= 0 || rect.height() <= 0)
        return;
    painter.save();
    painter.setClipRect(rect, Qt::IntersectClip);
    if (isPlain(text)) {
        const QFontMetrics metrics(cell.font);
        const int top = rect.top() + (rect.height() - metrics.height()) / 2;
        painter.setFont(cell.font);
        painter.setPen(cell.text);
        painter.drawText(QPoint(rect.left(), top + metrics.ascent()), BytesToDisplay(text));
        painter.restore();
        return;
    }
    const MarkupText parsed = ParseMarkup(text);
    const Layout layout = layOut(parsed, cell.font, singleLine);
    std::vector<int> lineTops(layout.lines.size());
    int y = rect.top() + (rect.height() - layout.height) / 2;
    for (size_t i = 0; i < layout.lines.size(); ++i) {
        lineTops[i] = y;
        y += layout.lines[i].height;
    }
    for (const PlacedRun& placed : layout.runs) {
        const auto lineIndex = static_cast<size_t>(placed.line);
        const Line& line = layout.lines[lineIndex];
        const int left = rect.left() + placed.x;
        if (left >= rect.right() + 1)
            continue; // clipped away; later runs of this line too, but other lines may show
        const QColor background = Resolve(placed.run->background, cell);
        if (background.isValid())
            painter.fillRect(left, lineTops[lineIndex], placed.width, line.height, background);
        painter.setFont(placed.font);
        painter.setPen(Resolve(placed.run->font.colour, cell));
        painter.drawText(QPoint(left, lineTops[lineIndex] + line.ascent), placed.text);
    }
    painter.restore();
}

QColor MarkupRenderer::Resolve(const MarkupColour& colour, const Cell& cell) {
    switch (colour.kind) {
    case MarkupColour::Kind::CellText:
        return cell.text;
    case MarkupColour::Kind::CellBackground:
        return {};
    case MarkupColour::Kind::Rgb:
        return QColor::fromRgb(static_cast<QRgb>(0xFF000000u | colour.rgb));
    case MarkupColour::Kind::System:
        return SystemColourOf(colour.system, cell.palette);
    }
    return cell.text;
}

QColor MarkupRenderer::SystemColourOf(SystemColour role, const QPalette& palette) {
    using R = QPalette::ColorRole;
    switch (role) {
    case SystemColour::Window:
        return palette.color(R::Base);
    case SystemColour::WindowText:
        return palette.color(R::Text);
    case SystemColour::Highlight:
    case SystemColour::ActiveCaption:
    case SystemColour::GradientActiveCaption:
    case SystemColour::HotLight:
    case SystemColour::MenuHighlight:
        return palette.color(QPalette::Active, R::Highlight);
    case SystemColour::HighlightText:
        return palette.color(QPalette::Active, R::HighlightedText);
    case SystemColour::BtnFace:
        return palette.color(R::Button);
    case SystemColour::Menu:
    case SystemColour::MenuBar:
    case SystemColour::Background:
    case SystemColour::AppWorkSpace:
    case SystemColour::ScrollBar:
        return palette.color(R::Window);
    case SystemColour::BtnText:
        return palette.color(R::ButtonText);
    case SystemColour::MenuText:
    case SystemColour::CaptionText:
    case SystemColour::InactiveCaptionText:
        return palette.color(R::WindowText);
    case SystemColour::BtnShadow:
    case SystemColour::WindowFrame:
    case SystemColour::ActiveBorder:
    case SystemColour::InactiveBorder:
        return palette.color(R::Dark);
    case SystemColour::DkShadow3D:
        return palette.color(R::Shadow);
    case SystemColour::BtnHighlight:
        return palette.color(R::Light);
    case SystemColour::Light3D:
        return palette.color(R::Midlight);
    case SystemColour::GrayText:
        return palette.color(QPalette::Disabled, R::Text);
    case SystemColour::InfoBk:
        return palette.color(R::ToolTipBase);
    case SystemColour::InfoText:
        return palette.color(R::ToolTipText);
    case SystemColour::InactiveCaption:
    case SystemColour::GradientInactiveCaption: {
        const QColor active = palette.color(QPalette::Active, R::Highlight);
        const QColor inactive = palette.color(QPalette::Inactive, R::Highlight);
        if (inactive != active)
            return inactive;
        // The style gives no tone of its own: halfway between the highlight and the window.
        const QColor window = palette.color(R::Base);
        return QColor((active.red() + window.red()) / 2, (active.green() + window.green()) / 2,
                      (active.blue() + window.blue()) / 2);
    }
    }
    return palette.color(R::Text);
}

} // namespace settree
