// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace settree {

// A file that cannot be read ("Cannot open file %s") or written ("Cannot create file %s").
class FileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The whole file as bytes. Raises FileError "Cannot open file <name>".
std::string ReadFileBytes(const std::string& fileName);

// Writes bytes to a temporary file in the target's folder and renames it over the target once
// complete, so a failed write leaves the old file as it was. Raises FileError
// "Cannot create file <name>".
void WriteFileAtomically(const std::string& fileName, std::string_view bytes);

// Lets SIGINT, SIGTERM and SIGHUP remove the temporary file of a WriteFileAtomically under way
// before the process ends as the signal ends it, so an interrupted save leaves nothing behind.
// For a program whose saves run on its main thread and that handles none of these signals
// itself (the converter).
void RemoveTemporaryFileOnInterrupt();

bool FileExists(const std::string& fileName);
// Deletes a file; returns false when it could not be deleted.
bool DeleteFileIfExists(const std::string& fileName);
// The name with the extension of its last path component (from its last dot on) replaced by
// ext; ext is appended when the name has no extension.
std::string ChangeFileExt(const std::string& fileName, std::string_view ext);
// The extension of the last path component, from its last dot on ("" when none).
std::string ExtractFileExt(const std::string& fileName);
// The folder part of a path, ending in a separator ("" when the name has no folder).
std::string ExtractFilePath(const std::string& fileName);

// Splits text into lines: a line ends at CR LF, at CR or at LF; a line end at the very end
// adds no empty line. Bytes are kept as they are.
std::vector<std::string> SplitLines(std::string_view text);
// The same lines one at a time, as views into text: the line that starts at pos, with pos moved
// past its line end. Returns false when pos is at the end of the text.
bool NextLine(std::string_view text, size_t& pos, std::string_view& line);
// Joins lines with CR LF between them and no line end after the last one.
std::string JoinLines(const std::vector<std::string>& lines);

} // namespace settree
