// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <vector>

namespace settree {

// A file that cannot be read ("Cannot open file %s") or written ("Cannot create file %s"). The
// message is the one the window shows; Reason gives the system's reason when there is one ("No
// space left on device", "Permission denied"), for the command lines to add after it.
class FileError : public std::runtime_error {
public:
    // systemError: the errno value that made the operation fail, 0 when there is none.
    explicit FileError(const std::string& message, int systemError = 0);
    int SystemError() const { return systemError_; }
    // The system's text for SystemError(); empty when there is none.
    std::string Reason() const;
    // The message followed by ": " and the reason, or the message alone when there is none.
    std::string Detailed() const;

private:
    int systemError_;
};

// A file that is not a regular file (a FIFO, a device, a socket) where only a regular file is
// read: "Cannot open file %s".
class NotARegularFile : public FileError {
public:
    explicit NotARegularFile(const std::string& fileName);
};

// A file whose bytes no text form can hold: a NUL byte, or UTF-16 or UTF-32 text. The message
// names the file, the line and the reason.
class TextFormError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A file that does not fit in the memory the program may use: "not enough memory to load %s".
class NotEnoughMemory : public std::runtime_error {
public:
    explicit NotEnoughMemory(const std::string& fileName);
};

// The whole file as bytes, as they are. Raises FileError "Cannot open file <name>".
std::string ReadFileBytes(const std::string& fileName);

// What every reader of element text, tuples and catalog files reads: the file's bytes with a
// leading UTF-8 byte order mark left out. Reading stops at the memory the program may use
// (NotEnoughMemory) and at the first NUL byte; a NUL byte anywhere, or text that begins as UTF-16
// or UTF-32 does, raises TextFormError. A file that cannot be read raises FileError. With
// regularOnly, anything but a regular file raises NotARegularFile without waiting for it (a FIFO
// with no writer); otherwise a FIFO or a device is read to its end. "-" is not standard input
// here: see ReadTextStream.
std::string ReadTextFile(const std::string& fileName, bool regularOnly = false);
// The same for an open stream, such as standard input; name stands for it in messages.
std::string ReadTextStream(int fd, const std::string& name);
// The text of bytes held already, checked as ReadTextFile checks a file: a view into bytes
// without a leading byte order mark. name stands for the bytes in messages.
std::string_view TextOfBytes(std::string_view bytes, const std::string& name);

// Writes bytes to fileName so that a failure never leaves a part of them. A regular file is
// replaced by a complete new one through a temporary file in its folder, created with the
// target's final mode and owner and renamed over it once complete, so a failed write leaves the
// old file as it was. What the target is, is kept: a symlink stays a symlink and the file it
// points at gets the content (in that file's folder); a FIFO, a device or a socket is written to
// as a stream, never replaced; a file with several hard links, or whose owner the new file could
// not be given, is rewritten in place (checked for room first, and not interrupted by SIGINT,
// SIGTERM or SIGHUP). A file the user may not write is refused. Raises FileError
// "Cannot create file <name>" with the system's reason.
void WriteFileAtomically(const std::string& fileName, std::string_view bytes);

// A file written as WriteFileAtomically writes it, its bytes given in pieces as they are made. A
// regular file that is replaced takes each piece at once into the temporary file; a FIFO, a
// device or a socket, and a file rewritten in place, take them all at the end, since either would
// show a part of them before. Nothing changes under fileName unless commit succeeds; a writer
// destroyed without it leaves no temporary file. A failure (of the name, of the folder, of the
// disk) is held until commit, so that whatever stops the maker of the bytes comes first.
class FileWriter {
public:
    explicit FileWriter(const std::string& fileName);
    ~FileWriter();
    FileWriter(const FileWriter&) = delete;
    FileWriter& operator=(const FileWriter&) = delete;

    void append(std::string_view bytes);
    // Gives back every byte appended so far and forgets them: for a maker that has to make them
    // over.
    std::string takeBack();
    // Appends last, then completes the file as WriteFileAtomically does. Raises FileError
    // "Cannot create file <name>" with the system's reason. Called once.
    void commit(std::string_view last = {});

private:
    enum class Way { replace, stream, inPlace };
    std::string error_; // the message of a failure
    std::string target_;
    Way way_ = Way::replace;
    int failure_ = 0; // errno of the first failure, held until commit
    int fd_ = -1;     // of the temporary file
    std::string temp_;
    struct stat existing_ {}; // of a file rewritten in place
    std::string held_;        // the bytes of a stream or a rewrite in place
    size_t written_ = 0;      // to the temporary file
    size_t started_ = 0;      // bytes the disk was asked to take
};

// Prepares the process for WriteFileAtomically: SIGINT, SIGTERM and SIGHUP remove the temporary
// file of a write under way before the process ends as the signal ends it, and SIGXFSZ is
// ignored, so that a write past the file size limit fails with its reason instead of ending the
// process with the temporary file left behind. For a program whose saves run on its main thread
// and that handles none of these signals itself.
void GuardSaves();

bool FileExists(const std::string& fileName);
// Whether the name leads to a regular file (following symlinks).
bool IsRegularFile(const std::string& fileName);
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
