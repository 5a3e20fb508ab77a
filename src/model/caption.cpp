// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/caption.h"

#include "model/utf8.h"

#include <cstdint>
#include <cstring>

namespace settree {

namespace {

bool isTrimmable(char c) {
    return static_cast<unsigned char>(c) <= 32;
}
bool isQuote(char c) {
    return c == '"' || c == '\'';
}
char upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

} // namespace

std::string MakeCaption(std::string_view name) {
    std::string caption;
    AssignCaption(caption, name);
    return caption;
}

std::string MakeCaption(std::string_view name, std::string_view description) {
    std::string caption;
    AssignCaption(caption, name, description);
    return caption;
}

void AssignCaption(std::string& caption, std::string_view name) {
    caption.clear();
    caption.reserve(kNameOpen.size() + name.size() + kNameClose.size());
    caption.append(kNameOpen).append(name).append(kNameClose);
}

void AssignCaption(std::string& caption, std::string_view name, std::string_view description) {
    caption.clear();
    caption.reserve(kNameOpen.size() + name.size() + kNameClose.size() + kDescriptionOpen.size() +
                    description.size() + kDescriptionClose.size());
    caption.append(kNameOpen).append(name).append(kNameClose);
    caption.append(kDescriptionOpen).append(description).append(kDescriptionClose);
}

std::string_view TrimView(std::string_view s) {
    // Deep lines begin with long runs of blanks: eight bytes are tested at once. Adding 0x5f to a
    // byte below 0x80 sets its high bit exactly when the byte is above 32, and a byte from 0x80
    // on has that bit already; the word holds only trimmable bytes when no high bit is set.
    constexpr uint64_t kAbove32 = 0x5f5f5f5f5f5f5f5full;
    constexpr uint64_t kHigh = 0x8080808080808080ull;
    size_t begin = 0;
    size_t end = s.size();
    while (end - begin >= 8) {
        uint64_t word = 0;
        std::memcpy(&word, s.data() + begin, 8);
        if (((word + kAbove32) | word) & kHigh)
            break;
        begin += 8;
    }
    while (begin < end && isTrimmable(s[begin]))
        ++begin;
    while (end > begin && isTrimmable(s[end - 1]))
        --end;
    return s.substr(begin, end - begin);
}

std::string Trim(std::string_view s) {
    return std::string(TrimView(s));
}

std::string UpperCase(std::string_view s) {
    std::string r(s);
    for (char& c : r)
        c = upper(c);
    return r;
}

int CompareNoCase(std::string_view a, std::string_view b) {
    const size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
        const auto x = static_cast<unsigned char>(upper(a[i]));
        const auto y = static_cast<unsigned char>(upper(b[i]));
        if (x != y)
            return x < y ? -1 : 1;
    }
    if (a.size() == b.size())
        return 0;
    return a.size() < b.size() ? -1 : 1;
}

std::string StripTags(std::string_view s) {
    std::string r(s);
    for (;;) {
        const size_t p = r.find('<');
        const size_t q = r.find('>');
        if (p == std::string::npos || q == std::string::npos || q < p)
            return r;
        r.erase(p, q - p + 1);
    }
}

std::string DoubleToSingleQuotes(std::string_view s) {
    std::string r(s);
    for (char& c : r)
        if (c == '"')
            c = '\'';
    return r;
}

std::string_view DoubleToSingleQuotesView(std::string_view s, std::string& storage) {
    if (s.find('"') == std::string_view::npos)
        return s;
    storage = DoubleToSingleQuotes(s);
    return storage;
}

std::string_view StripOuterQuotes(std::string_view s) {
    std::string_view r = TrimView(s);
    if (!r.empty() && isQuote(r.front()))
        r.remove_prefix(1);
    if (!r.empty() && isQuote(r.back()))
        r.remove_suffix(1);
    return r;
}

std::string Unquote(std::string_view s) {
    return DoubleToSingleQuotes(StripOuterQuotes(s));
}

std::string ShiftForMarker(std::string_view line) {
    if (!line.empty() && line.front() == ' ')
        return std::string(line.substr(line.size() < 2 ? line.size() : 2));
    return std::string(line);
}

std::string CutAtParen(std::string_view s) {
    const size_t p = s.find('(');
    return std::string(p == std::string_view::npos ? s : s.substr(0, p));
}

std::string PlainName(std::string_view caption) {
    const size_t p = caption.find(kDescriptionOpen);
    if (p != std::string_view::npos)
        return StripTags(TrimView(caption.substr(0, p)));
    return StripTags(caption);
}

bool UntaggedName(std::string_view caption, std::string_view& name) {
    if (caption.substr(0, kNameOpen.size()) != kNameOpen)
        return false;
    const std::string_view rest = caption.substr(kNameOpen.size());
    const size_t tag = rest.find('<');
    if (tag == std::string_view::npos || rest.substr(tag, kNameClose.size()) != kNameClose ||
        HoldsAnyByte<'>'>(rest.substr(0, tag)))
        return false;
    // What follows the name's closing tag: nothing, or the description's opening.
    const std::string_view after = rest.substr(tag + kNameClose.size());
    if (!after.empty() && after.substr(0, kDescriptionOpen.size()) != kDescriptionOpen)
        return false;
    name = rest.substr(0, tag);
    return true;
}

CaptionParts SplitCaption(std::string_view caption) {
    const CaptionViews parts = SplitCaptionViews(caption);
    return {std::string(parts.name), std::string(parts.description)};
}

CaptionViews SplitCaptionViews(std::string_view caption) {
    std::string_view t = TrimView(caption);
    std::string_view d;
    const size_t p = t.find(kDescriptionOpen);
    if (p != std::string_view::npos) {
        d = t.substr(p + kDescriptionOpen.size());
        t = t.substr(0, p);
    }
    t.remove_prefix(t.size() < kNameOpen.size() ? t.size() : kNameOpen.size());
    if (t.size() >= kNameClose.size())
        t.remove_suffix(kNameClose.size());
    if (!d.empty() && d.size() >= kDescriptionClose.size())
        d.remove_suffix(kDescriptionClose.size());
    return {t, d};
}

bool NameHoldsMarkup(std::string_view name) {
    return HoldsAnyByte<'<', '>'>(name);
}

std::string MarkupNameReason(std::string_view name) {
    return "The element name \"" + ShortForMessage(name) +
           "\" holds \"<\" or \">\", which the tree would show as markup and save as another "
           "name";
}

} // namespace settree
