// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/textfile.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <pthread.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace settree {

std::string ReadFileBytes(const std::string& fileName) {
    const std::string error = "Cannot open file " + fileName;
    std::FILE* file = std::fopen(fileName.c_str(), "rb");
    if (!file)
        throw FileError(error);
    struct stat info {};
    if (fstat(fileno(file), &info) != 0 || S_ISDIR(info.st_mode)) {
        std::fclose(file);
        throw FileError(error);
    }
    std::string bytes;
    if (info.st_size > 0)
        bytes.reserve(static_cast<size_t>(info.st_size));
    char buffer[1 << 16];
    size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes.append(buffer, n);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed)
        throw FileError(error);
    return bytes;
}

namespace {

// The temporary file being written, for an interrupt to remove (see
// RemoveTemporaryFileOnInterrupt). The name is complete before the flag says so.
char temporaryFile[4096];
volatile std::sig_atomic_t temporaryFileSet = 0;

void rememberTemporaryFile(const std::string& name) {
    if (name.size() >= sizeof temporaryFile)
        return;
    std::memcpy(temporaryFile, name.c_str(), name.size() + 1);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    temporaryFileSet = 1;
}

void forgetTemporaryFile() {
    temporaryFileSet = 0;
    std::atomic_signal_fence(std::memory_order_seq_cst);
}

extern "C" void removeTemporaryFileAndEnd(int signal) {
    if (temporaryFileSet)
        ::unlink(temporaryFile);
    // The handler was reset on entry: the signal, raised again, ends the process as it would
    // have without the handler once this returns.
    ::raise(signal);
}

// Holds SIGINT, SIGTERM and SIGHUP back from the calling thread for its lifetime; one that
// arrives meanwhile is handled when it ends.
class InterruptsHeld {
public:
    InterruptsHeld() {
        sigset_t interrupts;
        sigemptyset(&interrupts);
        for (const int signal : {SIGINT, SIGTERM, SIGHUP})
            sigaddset(&interrupts, signal);
        held_ = ::pthread_sigmask(SIG_BLOCK, &interrupts, &previous_) == 0;
    }
    ~InterruptsHeld() {
        if (held_)
            ::pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
    }
    InterruptsHeld(const InterruptsHeld&) = delete;
    InterruptsHeld& operator=(const InterruptsHeld&) = delete;

private:
    sigset_t previous_{};
    bool held_ = false;
};

} // namespace

void RemoveTemporaryFileOnInterrupt() {
    struct sigaction action {};
    action.sa_handler = removeTemporaryFileAndEnd;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction previous {};
        // A signal that is ignored (a background job's SIGINT, nohup's SIGHUP) stays ignored.
        if (::sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler != SIG_IGN)
            ::sigaction(signal, &action, nullptr);
    }
}

void WriteFileAtomically(const std::string& fileName, std::string_view bytes) {
    const std::string error = "Cannot create file " + fileName;
    if (fileName.empty())
        throw FileError(error);
    struct stat target {};
    const bool exists = stat(fileName.c_str(), &target) == 0;
    if (exists && S_ISDIR(target.st_mode))
        throw FileError(error);

    std::random_device random;
    std::string temp;
    int fd = -1;
    {
        // An interrupt between creating the temporary file and remembering its name would leave
        // the file behind: the signals wait until the name is known.
        const InterruptsHeld held;
        for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
            temp = ExtractFilePath(fileName) + ".settree-" + std::to_string(random()) + ".tmp";
            fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd < 0 && errno != EEXIST)
                break;
        }
        if (fd >= 0)
            rememberTemporaryFile(temp);
    }
    if (fd < 0)
        throw FileError(error);

    // A large file is written in pieces, and the disk is asked to start on each piece at once:
    // the sync before the rename then waits for the last pieces only.
    constexpr size_t kPiece = size_t{4} << 20;
    bool ok = true;
    size_t written = 0;
    size_t started = 0; // bytes the disk was asked to take
    while (ok && written < bytes.size()) {
        const size_t piece = std::min(kPiece, bytes.size() - written);
        const ssize_t n = ::write(fd, bytes.data() + written, piece);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = false;
        } else {
            written += static_cast<size_t>(n);
            if (written - started >= kPiece) {
                // Only a hint: where it is not supported the sync below does all the work.
                (void)::sync_file_range(fd, static_cast<off_t>(started),
                                        static_cast<off_t>(written - started),
                                        SYNC_FILE_RANGE_WRITE);
                started = written;
            }
        }
    }
    if (ok && exists)
        (void)::fchmod(fd, target.st_mode & 07777); // keep the old permissions where allowed
    if (ok)
        ok = ::fsync(fd) == 0;
    if (::close(fd) != 0)
        ok = false;
    if (ok)
        ok = std::rename(temp.c_str(), fileName.c_str()) == 0;
    if (!ok)
        std::remove(temp.c_str());
    forgetTemporaryFile();
    if (!ok)
        throw FileError(error);
}

bool FileExists(const std::string& fileName) {
    struct stat info {};
    return !fileName.empty() && stat(fileName.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

bool DeleteFileIfExists(const std::string& fileName) {
    return std::remove(fileName.c_str()) == 0;
}

namespace {
size_t nameStart(const std::string& fileName) {
    const size_t slash = fileName.find_last_of('/');
    return slash == std::string::npos ? 0 : slash + 1;
}
size_t extStart(const std::string& fileName) {
    const size_t dot = fileName.find_last_of('.');
    if (dot == std::string::npos || dot < nameStart(fileName))
        return std::string::npos;
    return dot;
}
} // namespace

std::string ChangeFileExt(const std::string& fileName, std::string_view ext) {
    const size_t dot = extStart(fileName);
    std::string result = dot == std::string::npos ? fileName : fileName.substr(0, dot);
    result.append(ext);
    return result;
}

std::string ExtractFileExt(const std::string& fileName) {
    const size_t dot = extStart(fileName);
    return dot == std::string::npos ? std::string() : fileName.substr(dot);
}

std::string ExtractFilePath(const std::string& fileName) {
    return fileName.substr(0, nameStart(fileName));
}

namespace {

// The position of the first CR or LF at or after pos; text.size() when there is none. Eight bytes
// are tested at once: a byte equal to c leaves a zero byte in the word xor c, and a word has a
// zero byte exactly when (v - 0x01..01) & ~v & 0x80..80 is not zero.
size_t lineEndFrom(std::string_view text, size_t pos) {
    constexpr uint64_t kOnes = 0x0101010101010101ull;
    constexpr uint64_t kHigh = 0x8080808080808080ull;
    const auto hasZeroByte = [](uint64_t v) { return ((v - kOnes) & ~v & kHigh) != 0; };
    while (text.size() - pos >= 8) {
        uint64_t word = 0;
        std::memcpy(&word, text.data() + pos, 8);
        if (hasZeroByte(word ^ (kOnes * '\n')) || hasZeroByte(word ^ (kOnes * '\r')))
            break; // in these eight bytes
        pos += 8;
    }
    while (pos < text.size() && text[pos] != '\r' && text[pos] != '\n')
        ++pos;
    return pos;
}

} // namespace

bool NextLine(std::string_view text, size_t& pos, std::string_view& line) {
    if (pos >= text.size())
        return false;
    size_t end = lineEndFrom(text, pos);
    line = text.substr(pos, end - pos);
    if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n')
        ++end;
    pos = end + 1;
    return true;
}

std::vector<std::string> SplitLines(std::string_view text) {
    std::vector<std::string> lines;
    size_t pos = 0;
    std::string_view line;
    while (NextLine(text, pos, line))
        lines.emplace_back(line);
    return lines;
}

std::string JoinLines(const std::vector<std::string>& lines) {
    size_t size = 0;
    for (const auto& line : lines)
        size += line.size() + 2;
    std::string text;
    text.reserve(size);
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i > 0)
            text.append("\r\n");
        text.append(lines[i]);
    }
    return text;
}

} // namespace settree
