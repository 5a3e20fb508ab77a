// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <functional>
#include <string>

#include "formats/elementtext.h"

class QWidget;

namespace settree {

// Asks whether a file is to be written as UTF-8; question says why. True: write UTF-8; false:
// write nothing.
using Utf8Question = std::function<bool(const QString& question)>;

// The question as a message box over parent, with the buttons "Write as UTF-8" and "Cancel".
bool AskWriteAsUtf8(QWidget* parent, const QString& question);

// A file is written in one encoding and never with a replacement character. When bytes hold
// text in both encodings (see HoldsBothEncodings), asks whether to write them as UTF-8 and
// makes them so; false when the user cancels (bytes are then as they were).
bool OneEncodingForFile(std::string& bytes, const std::string& fileName, const Utf8Question& ask);

// The lines of a text pane whose Latin-1 document took characters Latin-1 cannot store (its
// lines are UTF-8): Latin-1 again when every character fits, else, asked, UTF-8. False when the
// user cancels.
bool LinesForLatin1File(TextLines& lines, const std::string& fileName, const Utf8Question& ask);

} // namespace settree
