// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/textfile.h"

#include "model/memorybudget.h"
#include "model/parallel.h"
#include "model/prefetch.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <pthread.h>
#include <random>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace settree {

FileError::FileError(const std::string& message, int systemError)
    : std::runtime_error(message), systemError_(systemError) {}

std::string FileError::Reason() const {
    return systemError_ == 0 ? std::string() : std::string(std::strerror(systemError_));
}

std::string FileError::Detailed() const {
    const std::string reason = Reason();
    return reason.empty() ? std::string(what()) : std::string(what()) + ": " + reason;
}

NotARegularFile::NotARegularFile(const std::string& fileName)
    : FileError("Cannot open file " + fileName) {}

NotEnoughMemory::NotEnoughMemory(const std::string& fileName)
    : std::runtime_error("not enough memory to load " + fileName) {}

namespace {

// Closes a descriptor on every way out.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    // Closes now; the errno of a failed close, else 0.
    int close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0 ? 0 : errno;
    }

private:
    int fd_;
};

constexpr size_t kReadPiece = size_t{1} << 16;

// The most bytes a file read may take: half the memory the program may use, as for the element
// text it makes. A FIFO or a device that never ends stops here.
size_t readLimit() {
    return MemoryBudget() / 2;
}

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

// The line, counted from 1, in which position pos of text lies: lines end at CR LF, CR or LF.
size_t lineAt(std::string_view text, size_t pos) {
    size_t line = 1;
    for (size_t i = 0; i < pos && i < text.size(); ++i)
        if (text[i] == '\n' || (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n')))
            ++line;
    return line;
}

// Whether bytes begin as UTF-16 text without a byte order mark: among the first pairs, one byte
// of each is NUL far more often than not, and the other never.
bool looksLikeUtf16(std::string_view bytes) {
    const size_t n = std::min<size_t>(bytes.size(), 64) & ~size_t{1};
    size_t even = 0;
    size_t odd = 0;
    for (size_t i = 0; i < n; i += 2) {
        even += bytes[i] == '\0';
        odd += bytes[i + 1] == '\0';
    }
    return n >= 2 && ((even * 4 >= n && odd == 0) || (odd * 4 >= n && even == 0));
}

[[noreturn]] void refuseText(const std::string& name, size_t line, std::string_view reason) {
    throw TextFormError("Cannot read file " + name + ": line " + std::to_string(line) + ": " +
                        std::string(reason));
}

// Checks the first bytes of a text for a byte order mark of UTF-16 or UTF-32.
void checkStart(std::string_view bytes, const std::string& name) {
    const auto starts = [&](std::string_view mark) { return bytes.substr(0, mark.size()) == mark; };
    using namespace std::string_view_literals;
    if (starts("\xFF\xFE\0\0"sv) || starts("\0\0\xFE\xFF"sv))
        refuseText(name, 1, "UTF-32 text; save the file as UTF-8");
    if (starts("\xFF\xFE"sv) || starts("\xFE\xFF"sv))
        refuseText(name, 1, "UTF-16 text; save the file as UTF-8");
}

// Raises TextFormError for the NUL byte at pos of text.
[[noreturn]] void refuseNul(std::string_view text, size_t pos, const std::string& name) {
    if (looksLikeUtf16(text))
        refuseText(name, 1, "UTF-16 text; save the file as UTF-8");
    refuseText(name, lineAt(text, pos), "a NUL byte, which no text file holds");
}

// Reads fd to its end. With text, stops at a NUL byte or UTF-16 text (TextFormError); a read
// beyond the limit raises NotEnoughMemory. sizeHint: the file's size where it is known.
std::string readAll(int fd, const std::string& name, const std::string& openError, bool text,
                    size_t sizeHint) {
    const size_t limit = readLimit();
    if (sizeHint > limit)
        throw NotEnoughMemory(name);
    std::string bytes;
    try {
        // The pages of the second half of a large file are made ready on a second thread while
        // the first half is read into its own: each page's first write costs about as much as
        // reading its bytes.
        std::optional<WorkBeside> backing;
        if (sizeHint > 0)
            bytes.reserve(sizeHint);
        if (sizeHint >= kParallelBytes)
            backing.emplace([second = bytes.data() + sizeHint / 2, size = sizeHint - sizeHint / 2] {
                BackBeforeWriting(second, size);
            });
        std::vector<char> buffer(kReadPiece);
        bool startChecked = false;
        for (;;) {
            const ssize_t n = ::read(fd, buffer.data(), buffer.size());
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                throw FileError(openError, errno);
            if (n == 0)
                break;
            if (bytes.size() + static_cast<size_t>(n) > limit)
                throw NotEnoughMemory(name);
            if (bytes.size() + static_cast<size_t>(n) > bytes.capacity())
                backing.reset(); // the bytes move: no page of theirs is to be made ready now
            const size_t at = bytes.size();
            bytes.append(buffer.data(), static_cast<size_t>(n));
            if (!text)
                continue;
            if (!startChecked && bytes.size() >= 4) {
                checkStart(bytes, name);
                startChecked = true;
            }
            if (const void* nul = std::memchr(bytes.data() + at, 0, static_cast<size_t>(n))) {
                checkStart(bytes, name);
                refuseNul(bytes, static_cast<size_t>(static_cast<const char*>(nul) - bytes.data()),
                          name);
            }
        }
        if (text && !startChecked)
            checkStart(bytes, name);
    } catch (const std::bad_alloc&) {
        throw NotEnoughMemory(name);
    }
    if (text && std::string_view(bytes).substr(0, kUtf8Mark.size()) == kUtf8Mark)
        bytes.erase(0, kUtf8Mark.size());
    return bytes;
}

// Opens a file for reading: a folder is refused, and with regularOnly anything but a regular
// file, without waiting for a FIFO's writer.
int openForReading(const std::string& fileName, bool regularOnly, struct stat& info) {
    const std::string error = "Cannot open file " + fileName;
    const int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC | (regularOnly ? O_NONBLOCK : 0));
    if (fd < 0)
        throw FileError(error, errno);
    if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        const int failure = S_ISDIR(info.st_mode) ? EISDIR : errno;
        ::close(fd);
        throw FileError(error, failure);
    }
    if (regularOnly) {
        if (!S_ISREG(info.st_mode)) {
            ::close(fd);
            throw NotARegularFile(fileName);
        }
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    }
    return fd;
}

std::string readFile(const std::string& fileName, bool regularOnly, bool text) {
    struct stat info {};
    const Descriptor fd(openForReading(fileName, regularOnly, info));
    const size_t size = S_ISREG(info.st_mode) ? static_cast<size_t>(info.st_size) : 0;
    return readAll(fd.get(), fileName, "Cannot open file " + fileName, text, size);
}

} // namespace

std::string ReadFileBytes(const std::string& fileName) {
    return readFile(fileName, false, false);
}

std::string ReadTextFile(const std::string& fileName, bool regularOnly) {
    return readFile(fileName, regularOnly, true);
}

std::string ReadTextStream(int fd, const std::string& name) {
    return readAll(fd, name, "Cannot open file " + name, true, 0);
}

std::string_view TextOfBytes(std::string_view bytes, const std::string& name) {
    checkStart(bytes, name);
    const size_t nul = bytes.find('\0');
    if (nul != std::string_view::npos)
        refuseNul(bytes, nul, name);
    if (bytes.substr(0, kUtf8Mark.size()) == kUtf8Mark)
        bytes.remove_prefix(kUtf8Mark.size());
    return bytes;
}

namespace {

// The temporary file being written, for an interrupt to remove (see GuardSaves). The name is
// complete before the flag says so.
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

// Files are written in pieces of this size, and the disk asked to start on each.
constexpr size_t kWritePiece = size_t{4} << 20;

// Writes all bytes from the descriptor's position on. A large file is written in pieces, and the
// disk is asked to start on each piece at once: the sync that follows then waits for the last
// pieces only. Returns the errno of the failure, 0 when all went.
int writeAll(int fd, std::string_view bytes, bool startEachPiece) {
    constexpr size_t kPiece = kWritePiece;
    size_t written = 0;
    size_t started = 0; // bytes the disk was asked to take
    while (written < bytes.size()) {
        const size_t piece = std::min(kPiece, bytes.size() - written);
        const ssize_t n = ::write(fd, bytes.data() + written, piece);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno;
        if (n == 0)
            return EIO;
        written += static_cast<size_t>(n);
        if (startEachPiece && written - started >= kPiece) {
            // Only a hint: where it is not supported the sync does all the work.
            (void)::sync_file_range(fd, static_cast<off_t>(started),
                                    static_cast<off_t>(written - started), SYNC_FILE_RANGE_WRITE);
            started = written;
        }
    }
    return 0;
}

// Follows symlinks from fileName to the name of the file they lead to, which need not exist
// (a dangling link's file is created). info and exists describe that file. Returns the errno of
// a failure, 0 otherwise.
int resolveTarget(const std::string& fileName, std::string& target, struct stat& info,
                  bool& exists) {
    constexpr int kMaxLinks = 40;
    target = fileName;
    for (int links = 0;; ++links) {
        if (::lstat(target.c_str(), &info) != 0) {
            if (errno != ENOENT)
                return errno;
            exists = false;
            return 0;
        }
        if (!S_ISLNK(info.st_mode)) {
            exists = true;
            return 0;
        }
        if (links == kMaxLinks)
            return ELOOP;
        std::string link(PATH_MAX, '\0');
        const ssize_t n = ::readlink(target.c_str(), link.data(), link.size());
        if (n < 0)
            return errno;
        if (static_cast<size_t>(n) >= link.size())
            return ENAMETOOLONG;
        link.resize(static_cast<size_t>(n));
        target = !link.empty() && link.front() == '/' ? link : ExtractFilePath(target) + link;
    }
}

// A FIFO, a device or a socket takes the bytes as a stream.
int writeStream(const std::string& target, std::string_view bytes) {
    const int fd = ::open(target.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    Descriptor file(fd);
    const int failure = writeAll(fd, bytes, false);
    const int closed = file.close();
    return failure != 0 ? failure : closed;
}

// Rewrites an existing regular file in place, for a file whose hard links or owner a new file
// would not keep. Room is made first, so that a size limit or a full disk stops the write before
// its first byte changes, and interrupts wait until it is done.
int writeInPlace(const std::string& target, const struct stat& info, std::string_view bytes) {
    const InterruptsHeld held;
    rlimit sizeLimit{};
    if (::getrlimit(RLIMIT_FSIZE, &sizeLimit) == 0 && sizeLimit.rlim_cur != RLIM_INFINITY &&
        bytes.size() > sizeLimit.rlim_cur)
        return EFBIG;
    const int fd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    Descriptor file(fd);
    if (bytes.size() > static_cast<size_t>(info.st_size) &&
        ::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(bytes.size())) != 0 &&
        errno != EOPNOTSUPP && errno != ENOSYS)
        return errno;
    int failure = writeAll(fd, bytes, true);
    if (failure == 0 && ::ftruncate(fd, static_cast<off_t>(bytes.size())) != 0)
        failure = errno;
    if (failure == 0 && ::fsync(fd) != 0)
        failure = errno;
    const int closed = file.close();
    return failure != 0 ? failure : closed;
}

// Creates a temporary file in the folder of target: with the mode and owner of the existing
// target from the start (its content is never open to more users than the target's), else as a
// new file. Returns the descriptor, or -1 with failure set: ownerKept is false when the owner
// could not be given, and then no file is left.
int createTemporaryFile(const std::string& target, const struct stat* existing, std::string& temp,
                        int& failure, bool& ownerKept) {
    ownerKept = true;
    std::random_device random;
    int fd = -1;
    {
        // An interrupt between creating the temporary file and remembering its name would leave
        // the file behind: the signals wait until the name is known.
        const InterruptsHeld held;
        const mode_t mode = existing ? existing->st_mode & 0777 : 0666;
        for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
            temp = ExtractFilePath(target) + ".settree-" + std::to_string(random()) + ".tmp";
            // Read as well: a writer in pieces may take its bytes back (see FileWriter).
            fd = ::open(temp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, mode);
            if (fd < 0 && errno != EEXIST)
                break;
        }
        failure = fd < 0 ? errno : 0;
        if (fd >= 0)
            rememberTemporaryFile(temp);
    }
    if (fd < 0 || !existing)
        return fd;
    struct stat made {};
    if (::fstat(fd, &made) == 0 &&
        (made.st_uid != existing->st_uid || made.st_gid != existing->st_gid) &&
        ::fchown(fd, existing->st_uid, existing->st_gid) != 0) {
        ::close(fd);
        ::unlink(temp.c_str());
        forgetTemporaryFile();
        ownerKept = false;
        return -1;
    }
    // The bits the process's file mode mask took off, and those a change of owner clears.
    (void)::fchmod(fd, existing->st_mode & 07777);
    return fd;
}

} // namespace

void GuardSaves() {
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
    std::signal(SIGXFSZ, SIG_IGN);
}

FileWriter::FileWriter(const std::string& fileName) : error_("Cannot create file " + fileName) {
    if (fileName.empty()) {
        failure_ = ENOENT;
        return;
    }
    struct stat info {};
    bool exists = false;
    if ((failure_ = resolveTarget(fileName, target_, info, exists)) != 0)
        return;
    if (exists && S_ISDIR(info.st_mode)) {
        failure_ = EISDIR;
        return;
    }
    if (exists && !S_ISREG(info.st_mode)) {
        way_ = Way::stream;
        return;
    }
    // A folder that lets the user replace a file does not make the file the user's to write.
    if (exists && ::faccessat(AT_FDCWD, target_.c_str(), W_OK, AT_EACCESS) != 0) {
        failure_ = errno;
        return;
    }
    if (exists && info.st_nlink > 1) {
        way_ = Way::inPlace;
        existing_ = info;
        return;
    }
    bool ownerKept = true;
    fd_ = createTemporaryFile(target_, exists ? &info : nullptr, temp_, failure_, ownerKept);
    if (!ownerKept) {
        failure_ = 0;
        way_ = Way::inPlace;
        existing_ = info;
    }
}

FileWriter::~FileWriter() {
    if (fd_ < 0)
        return;
    ::close(fd_);
    ::unlink(temp_.c_str());
    forgetTemporaryFile();
}

void FileWriter::append(std::string_view bytes) {
    if (failure_ != 0 || bytes.empty())
        return;
    if (way_ != Way::replace) {
        held_.append(bytes);
        return;
    }
    if ((failure_ = writeAll(fd_, bytes, false)) != 0)
        return;
    written_ += bytes.size();
    if (written_ - started_ >= kWritePiece) {
        // Only a hint: where it is not supported the sync at the end does all the work.
        (void)::sync_file_range(fd_, static_cast<off_t>(started_),
                                static_cast<off_t>(written_ - started_), SYNC_FILE_RANGE_WRITE);
        started_ = written_;
    }
}

std::string FileWriter::takeBack() {
    std::string bytes = std::exchange(held_, std::string());
    if (way_ != Way::replace || failure_ != 0 || written_ == 0)
        return bytes;
    bytes.resize(written_);
    size_t done = 0;
    while (done < written_ && failure_ == 0) {
        const ssize_t n =
            ::pread(fd_, bytes.data() + done, written_ - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR)
            continue;
        failure_ = n < 0 ? errno : n == 0 ? EIO : 0;
        if (n > 0)
            done += static_cast<size_t>(n);
    }
    if (failure_ == 0 && (::ftruncate(fd_, 0) != 0 || ::lseek(fd_, 0, SEEK_SET) != 0))
        failure_ = errno;
    written_ = 0;
    started_ = 0;
    return bytes;
}

void FileWriter::commit(std::string_view last) {
    if (failure_ == 0) {
        // The bytes held for the end are written from where they lie when nothing came before.
        std::string_view bytes = last;
        if (way_ != Way::replace && !held_.empty()) {
            held_.append(last);
            bytes = held_;
        }
        switch (way_) {
        case Way::stream:
            failure_ = writeStream(target_, bytes);
            break;
        case Way::inPlace:
            failure_ = writeInPlace(target_, existing_, bytes);
            break;
        case Way::replace:
            append(bytes);
            if (failure_ == 0 && ::fsync(fd_) != 0)
                failure_ = errno;
            if (const int closed = ::close(std::exchange(fd_, -1)); failure_ == 0)
                failure_ = closed == 0 ? 0 : errno;
            if (failure_ == 0 && std::rename(temp_.c_str(), target_.c_str()) != 0)
                failure_ = errno;
            if (failure_ != 0)
                ::unlink(temp_.c_str());
            forgetTemporaryFile();
            break;
        }
    }
    if (failure_ != 0)
        throw FileError(error_, failure_);
}

void WriteFileAtomically(const std::string& fileName, std::string_view bytes) {
    FileWriter(fileName).commit(bytes);
}

bool FileExists(const std::string& fileName) {
    struct stat info {};
    return !fileName.empty() && stat(fileName.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

bool IsRegularFile(const std::string& fileName) {
    struct stat info {};
    return !fileName.empty() && stat(fileName.c_str(), &info) == 0 && S_ISREG(info.st_mode);
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

// The position of the first CR or LF at or after pos; text.size() when there is none. Where the
// processor has SSE2 (every x86-64 one), sixteen bytes are compared at once, the mask of the
// bytes that are CR or LF telling the first. Eight bytes are tested at once after that: a byte
// equal to c leaves a zero byte in the word xor c, and a word has a zero byte exactly when
// (v - 0x01..01) & ~v & 0x80..80 is not zero. That value has the high bit of the lowest zero byte
// set, and none below it (the borrow runs on only above a zero byte), so in memory order its
// lowest set bit tells the byte.
size_t lineEndFrom(std::string_view text, size_t pos) {
#if defined(__SSE2__)
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    while (text.size() - pos >= 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + pos));
        const auto ends = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(bytes, cr), _mm_cmpeq_epi8(bytes, lf))));
        if (ends != 0)
            return pos + static_cast<size_t>(std::countr_zero(ends));
        pos += 16;
    }
#endif
    constexpr uint64_t kOnes = 0x0101010101010101ull;
    constexpr uint64_t kHigh = 0x8080808080808080ull;
    const auto zeroBytes = [](uint64_t v) { return (v - kOnes) & ~v & kHigh; };
    while (text.size() - pos >= 8) {
        uint64_t word = 0;
        std::memcpy(&word, text.data() + pos, 8);
        const uint64_t ends = zeroBytes(word ^ (kOnes * '\n')) | zeroBytes(word ^ (kOnes * '\r'));
        if (ends != 0) {
            if constexpr (std::endian::native == std::endian::little)
                return pos + static_cast<size_t>(std::countr_zero(ends)) / 8;
            break; // in these eight bytes
        }
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
