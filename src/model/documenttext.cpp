// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/documenttext.h"

#include "model/textfile.h"

#include <algorithm>
#include <utility>

namespace settree {

DocumentText::DocumentText(Sink sink, LongLines longLines)
    : sink_(std::move(sink)), longLines_(std::move(longLines)) {
    piece_.reserve(kPieceBytes);
}

void DocumentText::AddLine(std::string_view line) {
    if (stopped_)
        return;
    if (any_)
        append("\n");
    any_ = true;
    lastEmpty_ = line.empty();
    const size_t index = lines_++;
    if (longLines_.put && line.size() > longLines_.limit / 3) {
        const size_t tabs = static_cast<size_t>(std::count(line.begin(), line.end(), '\t'));
        if (line.size() + 2 * tabs > longLines_.limit) {
            std::string kept;
            kept.reserve(line.size() + 2 * tabs);
            for (const char c : line) {
                if (c == '\t')
                    kept.append("   ");
                else
                    kept.push_back(c);
            }
            append(longLines_.put(index, std::move(kept)));
            return;
        }
    }
    for (size_t tab = line.find('\t'); tab != std::string_view::npos; tab = line.find('\t')) {
        append(line.substr(0, tab));
        append("   ");
        line.remove_prefix(tab + 1);
    }
    append(line);
}

void DocumentText::Finish() {
    if (!stopped_ && any_ && lastEmpty_)
        append("\n");
    flush();
}

// A line longer than a piece is handed over in parts, so a huge line is not held twice.
void DocumentText::append(std::string_view bytes) {
    while (!stopped_ && piece_.size() + bytes.size() >= kPieceBytes) {
        const size_t room = kPieceBytes - piece_.size();
        piece_.append(bytes.substr(0, room));
        bytes.remove_prefix(room);
        flush();
    }
    piece_.append(bytes);
}

void DocumentText::flush() {
    if (!stopped_ && !piece_.empty())
        stopped_ = !sink_(piece_);
    piece_.clear();
}

void DocumentText::OfLines(const std::vector<std::string>& lines, const Sink& sink,
                           const LongLines& longLines) {
    DocumentText document(sink, longLines);
    for (size_t i = 0; i < lines.size() && !document.Stopped(); ++i)
        document.AddLine(lines[i]);
    document.Finish();
}

void DocumentText::OfText(std::string_view text, bool cutAtNul, const Sink& sink,
                          const LongLines& longLines) {
    if (cutAtNul)
        text = text.substr(0, text.find('\0'));
    DocumentText document(sink, longLines);
    size_t pos = 0;
    std::string_view line;
    while (!document.Stopped() && NextLine(text, pos, line))
        document.AddLine(line);
    document.Finish();
}

} // namespace settree
