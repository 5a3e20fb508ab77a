// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Bytes as the widgets show them, and names of files between bytes and Qt strings. The text the
// program keeps is bytes: valid UTF-8 shows as UTF-8, anything else as Latin-1.

#include <QString>
#include <string>
#include <string_view>

namespace settree {

// Bytes for display: valid UTF-8 as UTF-8, anything else as Latin-1; bytes that hold both
// encodings (see HoldsBothEncodings) each run as it was meant.
QString BytesToDisplay(std::string_view bytes);
// Bytes for display in a known encoding: UTF-8 when utf8, else Latin-1.
QString BytesToDisplay(std::string_view bytes, bool utf8);
// Shown text back to bytes in a known encoding. Without utf8, characters past Latin-1 have no
// byte and give false.
bool DisplayToBytes(const QString& text, bool utf8, std::string& bytes);

// File names go between bytes and QString the way the file system stores them.
QString FileNameToQString(const std::string& fileName);
std::string QStringToFileName(const QString& fileName);

} // namespace settree
