// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/markup.h"

#include "model/caption.h"
#include "model/utf8.h"

#include <array>
#include <string>

namespace settree {

namespace {

struct NamedColour {
    std::string_view name;
    MarkupColour colour;
};

constexpr MarkupColour rgb(uint8_t r, uint8_t g, uint8_t b) {
    return {MarkupColour::Kind::Rgb, (uint32_t{r} << 16) | (uint32_t{g} << 8) | b,
            SystemColour::Window};
}

constexpr MarkupColour sys(SystemColour role) {
    return {MarkupColour::Kind::System, 0, role};
}

constexpr std::array kNamedColours{
    NamedColour{"clBlack", rgb(0, 0, 0)},
    NamedColour{"clMaroon", rgb(128, 0, 0)},
    NamedColour{"clGreen", rgb(0, 128, 0)},
    NamedColour{"clOlive", rgb(128, 128, 0)},
    NamedColour{"clNavy", rgb(0, 0, 128)},
    NamedColour{"clPurple", rgb(128, 0, 128)},
    NamedColour{"clTeal", rgb(0, 128, 128)},
    NamedColour{"clGray", rgb(128, 128, 128)},
    NamedColour{"clSilver", rgb(192, 192, 192)},
    NamedColour{"clRed", rgb(255, 0, 0)},
    NamedColour{"clLime", rgb(0, 255, 0)},
    NamedColour{"clYellow", rgb(255, 255, 0)},
    NamedColour{"clBlue", rgb(0, 0, 255)},
    NamedColour{"clFuchsia", rgb(255, 0, 255)},
    NamedColour{"clAqua", rgb(0, 255, 255)},
    NamedColour{"clWhite", rgb(255, 255, 255)},
    NamedColour{"clLtGray", rgb(192, 192, 192)},
    NamedColour{"clDkGray", rgb(128, 128, 128)},
    NamedColour{"clMoneyGreen", rgb(192, 220, 192)},
    NamedColour{"clSkyBlue", rgb(166, 202, 240)},
    NamedColour{"clCream", rgb(255, 251, 240)},
    NamedColour{"clMedGray", rgb(160, 160, 164)},
    NamedColour{"clWindow", sys(SystemColour::Window)},
    NamedColour{"clWindowText", sys(SystemColour::WindowText)},
    NamedColour{"clHighlight", sys(SystemColour::Highlight)},
    NamedColour{"clHighlightText", sys(SystemColour::HighlightText)},
    NamedColour{"clBtnFace", sys(SystemColour::BtnFace)},
    NamedColour{"clMenu", sys(SystemColour::Menu)},
    NamedColour{"clMenuBar", sys(SystemColour::MenuBar)},
    NamedColour{"clBackground", sys(SystemColour::Background)},
    NamedColour{"clAppWorkSpace", sys(SystemColour::AppWorkSpace)},
    NamedColour{"clScrollBar", sys(SystemColour::ScrollBar)},
    NamedColour{"clBtnText", sys(SystemColour::BtnText)},
    NamedColour{"clMenuText", sys(SystemColour::MenuText)},
    NamedColour{"clCaptionText", sys(SystemColour::CaptionText)},
    NamedColour{"clInactiveCaptionText", sys(SystemColour::InactiveCaptionText)},
    NamedColour{"clBtnShadow", sys(SystemColour::BtnShadow)},
    NamedColour{"cl3DDkShadow", sys(SystemColour::DkShadow3D)},
    NamedColour{"clWindowFrame", sys(SystemColour::WindowFrame)},
    NamedColour{"clActiveBorder", sys(SystemColour::ActiveBorder)},
    NamedColour{"clInactiveBorder", sys(SystemColour::InactiveBorder)},
    NamedColour{"clBtnHighlight", sys(SystemColour::BtnHighlight)},
    NamedColour{"cl3DLight", sys(SystemColour::Light3D)},
    NamedColour{"clGrayText", sys(SystemColour::GrayText)},
    NamedColour{"clInfoBk", sys(SystemColour::InfoBk)},
    NamedColour{"clInfoText", sys(SystemColour::InfoText)},
    NamedColour{"clActiveCaption", sys(SystemColour::ActiveCaption)},
    NamedColour{"clGradientActiveCaption", sys(SystemColour::GradientActiveCaption)},
    NamedColour{"clHotLight", sys(SystemColour::HotLight)},
    NamedColour{"clMenuHighlight", sys(SystemColour::MenuHighlight)},
    NamedColour{"clInactiveCaption", sys(SystemColour::InactiveCaption)},
    NamedColour{"clGradientInactiveCaption", sys(SystemColour::GradientInactiveCaption)},
};

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The hexadecimal number of digits, or false when there is none, a non-digit, or a value past
// 24 bits (leading zeros do not count).
bool readHex24(std::string_view digits, uint32_t& value) {
    if (digits.empty())
        return false;
    uint32_t v = 0;
    for (char c : digits) {
        const int d = hexDigit(c);
        if (d < 0)
            return false;
        v = (v << 4) | static_cast<uint32_t>(d);
        if (v > 0xFFFFFFu)
            return false;
    }
    value = v;
    return true;
}

bool isBlank(char c) {
    return static_cast<unsigned char>(c) <= 32;
}

std::string_view skipBlanks(std::string_view s) {
    size_t i = 0;
    while (i < s.size() && isBlank(s[i]))
        ++i;
    return s.substr(i);
}

// One attribute value at the start of s (blanks already skipped): in double quotes up to the
// closing quote, otherwise up to the next blank.
std::string_view takeValue(std::string_view s, size_t* consumed = nullptr) {
    if (!s.empty() && s.front() == '"') {
        const size_t close = s.find('"', 1);
        const size_t end = close == std::string_view::npos ? s.size() : close;
        if (consumed)
            *consumed = close == std::string_view::npos ? s.size() : close + 1;
        return s.substr(1, end - 1);
    }
    size_t end = 0;
    while (end < s.size() && !isBlank(s[end]))
        ++end;
    if (consumed)
        *consumed = end;
    return s.substr(0, end);
}

// The colour value of a COLOR or BGCOLOR tag: after the first "=" and any blanks.
std::string_view valueAfterEquals(std::string_view tag) {
    const size_t eq = tag.find('=');
    if (eq == std::string_view::npos)
        return {};
    return takeValue(skipBlanks(tag.substr(eq + 1)));
}

// Reads a SIZE= value: an optional sign and decimal digits; false for anything else or 0.
bool readPixelSize(std::string_view s, int& size) {
    size_t i = 0;
    if (i < s.size() && (s[i] == '-' || s[i] == '+'))
        ++i;
    if (i == s.size())
        return false;
    long v = 0;
    for (; i < s.size(); ++i) {
        if (s[i] < '0' || s[i] > '9')
            return false;
        v = v * 10 + (s[i] - '0');
        if (v > 100000)
            v = 100000;
    }
    if (v == 0)
        return false;
    // Heights beyond a screen make no sense and would only cost time when drawn.
    size = static_cast<int>(v > 2000 ? 2000 : v);
    return true;
}

class Parser {
public:
    explicit Parser(std::string_view text) : text_(text) {}

    MarkupText run() {
        out_.utf8 = IsValidUtf8(text_);
        size_t i = 0;
        const size_t n = text_.size();
        while (i < n) {
            const char c = text_[i];
            if (c == '\n') {
                ++line_;
                ++i;
            } else if (c == '\r') {
                ++i;
            } else if (c == '<') {
                i = tag(i);
            } else {
                size_t end = i;
                while (end < n && text_[end] != '<' && text_[end] != '\n' && text_[end] != '\r')
                    ++end;
                emit(text_.substr(i, end - i));
                i = end;
            }
        }
        out_.lineCount = line_ + 1;
        return std::move(out_);
    }

private:
    void emit(std::string_view text) {
        if (!text.empty())
            out_.runs.push_back({text, font_, background_, line_});
    }

    // Ordinary text that may hold line ends.
    void emitText(std::string_view text) {
        size_t i = 0;
        while (i < text.size()) {
            const size_t end = text.find_first_of("\r\n", i);
            emit(text.substr(i, end == std::string_view::npos ? std::string_view::npos : end - i));
            if (end == std::string_view::npos)
                break;
            if (text[end] == '\n')
                ++line_;
            i = end + 1;
        }
    }

    void popFont() {
        if (fonts_.empty())
            return;
        const MarkupFont& saved = fonts_.back();
        font_.face = saved.face;
        font_.pixelSize = saved.pixelSize;
        font_.colour = saved.colour;
        fonts_.pop_back();
    }

    // Handles the tag that starts at the "<" at position start; returns the position after it.
    size_t tag(size_t start) {
        const size_t close = text_.find('>', start + 1);
        const size_t end = close == std::string_view::npos ? text_.size() : close;
        const size_t next = close == std::string_view::npos ? text_.size() : close + 1;
        const std::string_view raw = text_.substr(start + 1, end - start - 1);
        const std::string upper = UpperCase(raw);

        if (const size_t at = upper.find("FONT "); at != std::string::npos) {
            fonts_.push_back(font_);
            fontAttributes(raw.substr(at + 5));
        } else if (upper.size() == 1 &&
                   (upper[0] == 'B' || upper[0] == 'I' || upper[0] == 'U' || upper[0] == 'S')) {
            style(upper[0]) = true;
        } else if (upper.size() == 2 && upper[0] == '/' &&
                   (upper[1] == 'B' || upper[1] == 'I' || upper[1] == 'U' || upper[1] == 'S')) {
            style(upper[1]) = false;
        } else if (upper == "/FONT") {
            popFont();
        } else if (upper.find("/BGCOLOR") != std::string::npos) {
            if (!backgrounds_.empty()) {
                background_ = backgrounds_.back();
                backgrounds_.pop_back();
            }
        } else if (upper.find("BGCOLOR") != std::string::npos) {
            backgrounds_.push_back(background_);
            if (!ParseMarkupColour(valueAfterEquals(raw), background_))
                background_ = MarkupColour{MarkupColour::Kind::CellText};
        } else if (upper.find("/COLOR") != std::string::npos) {
            popFont();
        } else if (upper.find("COLOR") != std::string::npos) {
            fonts_.push_back(font_);
            if (!ParseMarkupColour(valueAfterEquals(raw), font_.colour))
                font_.colour = MarkupColour{MarkupColour::Kind::CellText};
        } else {
            // Not a tag: the whole of it, brackets included, is ordinary text; a line feed in
            // it still starts a new line and a carriage return is still ignored.
            emitText(text_.substr(start, next - start));
        }
        return next;
    }

    bool& style(char letter) {
        switch (letter) {
        case 'B':
            return font_.bold;
        case 'I':
            return font_.italic;
        case 'U':
            return font_.underline;
        default:
            return font_.strikeOut;
        }
    }

    // FACE=, SIZE= and COLOR= attributes of a FONT tag, in any order and letter case.
    void fontAttributes(std::string_view s) {
        size_t i = 0;
        while (i < s.size()) {
            while (i < s.size() && isBlank(s[i]))
                ++i;
            const size_t nameStart = i;
            while (i < s.size() && !isBlank(s[i]) && s[i] != '=')
                ++i;
            const std::string_view name = s.substr(nameStart, i - nameStart);
            while (i < s.size() && isBlank(s[i]))
                ++i;
            if (i >= s.size() || s[i] != '=') {
                if (i == nameStart)
                    ++i; // a stray character: step over it
                continue;
            }
            ++i;
            while (i < s.size() && isBlank(s[i]))
                ++i;
            size_t consumed = 0;
            const std::string_view value = takeValue(s.substr(i), &consumed);
            i += consumed;
            if (CompareNoCase(name, "FACE") == 0)
                font_.face = value;
            else if (CompareNoCase(name, "SIZE") == 0)
                readPixelSize(value, font_.pixelSize);
            else if (CompareNoCase(name, "COLOR") == 0)
                ParseMarkupColour(value, font_.colour); // unreadable: unchanged
        }
    }

    std::string_view text_;
    MarkupText out_;
    MarkupFont font_;
    MarkupColour background_{MarkupColour::Kind::CellBackground};
    std::vector<MarkupFont> fonts_;
    std::vector<MarkupColour> backgrounds_;
    int line_ = 0;
};

} // namespace

bool ParseMarkupColour(std::string_view value, MarkupColour& colour) {
    if (value.empty())
        return false;
    uint32_t number = 0;
    if (value.front() == '#') {
        if (!readHex24(value.substr(1), number))
            return false;
        colour = MarkupColour{MarkupColour::Kind::Rgb, number, SystemColour::Window};
        return true;
    }
    if (value.front() == '$') {
        if (!readHex24(value.substr(1), number))
            return false;
        // Blue in the high byte.
        const uint32_t r = number & 0xFF, g = (number >> 8) & 0xFF, b = (number >> 16) & 0xFF;
        colour =
            MarkupColour{MarkupColour::Kind::Rgb, (r << 16) | (g << 8) | b, SystemColour::Window};
        return true;
    }
    if (value.front() == 'c' || value.front() == 'C') {
        for (const NamedColour& named : kNamedColours) {
            if (named.name.size() == value.size() && CompareNoCase(named.name, value) == 0) {
                colour = named.colour;
                return true;
            }
        }
    }
    return false;
}

MarkupText ParseMarkup(std::string_view text) {
    return Parser(text).run();
}

} // namespace settree
