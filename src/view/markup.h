// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The colour markup of cell texts, taken apart into runs without drawing anything. The drawing
// half (markuprenderer.h) turns the runs into fonts and colours of a widget.

#include <cstdint>
#include <string_view>
#include <vector>

namespace settree {

// Colour identifiers that stand for a role of the widget's palette; they are resolved only when
// drawn, so a palette change shows at once.
enum class SystemColour : uint8_t {
    Window,
    WindowText,
    Highlight,
    HighlightText,
    BtnFace,
    Menu,
    MenuBar,
    Background,
    AppWorkSpace,
    ScrollBar,
    BtnText,
    MenuText,
    CaptionText,
    InactiveCaptionText,
    BtnShadow,
    DkShadow3D,
    WindowFrame,
    ActiveBorder,
    InactiveBorder,
    BtnHighlight,
    Light3D,
    GrayText,
    InfoBk,
    InfoText,
    ActiveCaption,
    GradientActiveCaption,
    HotLight,
    MenuHighlight,
    InactiveCaption,
    GradientInactiveCaption,
};

struct MarkupColour {
    enum class Kind : uint8_t {
        CellText,       // the text colour the cell started with
        CellBackground, // the cell's own background: nothing is filled
        Rgb,            // rgb holds 0xRRGGBB
        System,         // a palette role
    };
    Kind kind = Kind::CellText;
    uint32_t rgb = 0;
    SystemColour system = SystemColour::Window;

    static MarkupColour FromRgb(uint8_t r, uint8_t g, uint8_t b) {
        return {Kind::Rgb, (uint32_t{r} << 16) | (uint32_t{g} << 8) | b, SystemColour::Window};
    }
    bool operator==(const MarkupColour&) const = default;
};

// Reads a colour value: "#" and hexadecimal digits in red-green-blue order, "$" and a colour
// number with blue in the high byte (at most $00FFFFFF), or a colour identifier (clGreen,
// clWindow, ...; any letter case). False, with colour untouched, when the value is unreadable.
bool ParseMarkupColour(std::string_view value, MarkupColour& colour);

// Font and text colour of a run, relative to the cell's font.
struct MarkupFont {
    std::string_view face; // bytes of the source text; empty: the cell's face
    int pixelSize = 0;     // 0: the cell's size
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    MarkupColour colour; // text colour
};

// A stretch of text drawn in one font and colour. Never contains "<" of a tag, CR or LF.
struct MarkupRun {
    std::string_view text; // bytes of the source text
    MarkupFont font;
    MarkupColour background{MarkupColour::Kind::CellBackground};
    int line = 0; // 0-based
};

struct MarkupText {
    std::vector<MarkupRun> runs; // in drawing order, none empty
    int lineCount = 1;
    bool utf8 = true; // the whole source is valid UTF-8; otherwise it is shown as Latin-1
};

// Takes markup text apart into runs. Linear in the length of the text. The runs point into text,
// which must outlive the result.
MarkupText ParseMarkup(std::string_view text);

} // namespace settree
