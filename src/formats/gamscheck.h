// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "formats/elementtext.h"

namespace settree {

// What GAMS would reject, or show otherwise than written, in the element names, descriptions and
// weights of a classification: its element text and tuples end up in GAMS source as set
// elements with explanatory texts and as data with values.
//
// GAMS takes a label (element name) of at most 63 bytes, without control characters and without
// both quote kinds; an explanatory text (description) of at most 255 bytes without control
// characters; a value it can read as a number. Labels are compared without regard to letter
// case, and the first spelling met is the one GAMS shows. Nothing here changes a conversion: the
// checks only report.
enum class GamsRule : uint8_t {
    EmptyName,        // an element without a name
    LongName,         // a name of more than 63 bytes
    NameControl,      // a control character in a name
    NameQuotes,       // a name with both a single and a double quote
    LongText,         // a description of more than 255 bytes
    TextControl,      // a control character in a description
    UnreadableWeight, // a weight that is no number GAMS can read
    MissingWeight,    // a tuple without a weight where other tuples have one
    OtherSpelling,    // a repeated name in other letter case than its first occurrence (a note)
};

inline constexpr size_t kGamsMaxLabelBytes = 63;
inline constexpr size_t kGamsMaxTextBytes = 255;

// One problem of one line. The views are valid during the report call only.
struct GamsProblem {
    GamsRule rule = GamsRule::EmptyName;
    size_t line = 0;         // index of the line, from 0
    size_t at = 0;           // the bytes of the line the problem lies in
    size_t size = 0;         // (for an element without a name: the whole element)
    std::string_view name;   // the element's name as the line gives it
    std::string_view detail; // UnreadableWeight: the weight; OtherSpelling: the first spelling
    size_t bytes = 0;        // LongName, LongText: the length in bytes
    size_t firstLine = 0;    // OtherSpelling: the line of the first spelling
};

// Receives the problems of a check in the order of their lines.
using GamsReport = std::function<void(const GamsProblem&)>;

// Whether a rule's problems are warnings (GAMS rejects them); the others are notes.
bool IsGamsWarning(GamsRule rule);

// The reason of a problem, without the element's name: "its name is 64 bytes long; a GAMS label
// has at most 63". Control characters and bytes of no printable kind are shown escaped, so the
// text stays one line.
std::string GamsReason(const GamsProblem& problem);

// The problem as a compiler would report it, one line without a line end:
// "FILE:LINE: warning: element 'NAME': REASON" (or "note:"), LINE counted from 1.
std::string GamsMessage(std::string_view fileName, const GamsProblem& problem);

// Checks element text lines (the text pane's, or a .tree file's as ReadTreeText gives them),
// normalised or not: each element as the parser reads it. A repeated name, marked or not, is
// compared with its first occurrence on any earlier line.
void CheckElementTextForGams(const TextLines& lines, const GamsReport& report);
// The same for the lines of a whole text, which end at CR LF, CR or LF (as the text pane's
// document holds them), read where they stand.
void CheckElementTextForGams(std::string_view text, const GamsReport& report);

// Checks the tuples of a .PC file: each line's child name (its parent is the child of another
// line) and weight, the description of an "@" annotation, and the spelling of both names. Lines
// that are no tuples are left to the tuple reader. Lines are counted as the reader counts them:
// a line ends at CR, CR LF or LF, and byte 26 ends the input.
void CheckTuplesForGams(std::string_view bytes, const GamsReport& report);

} // namespace settree
