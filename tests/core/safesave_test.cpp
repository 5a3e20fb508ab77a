// SPDX-License-Identifier: GPL-3.0-or-later
// A save that cannot finish (folder not writable, disk full, process killed while writing) leaves
// the file that was there before exactly as it was and reports "Cannot create file <name>".
// Tests run as root too, where file modes do not stop writes: there a read-only mount in a
// private mount namespace stands in, when the system allows one, and a folder that is a regular
// file always does. A full disk is a file size limit (or a tiny memory file system) in a child
// process.

#include "formats/pcwriter.h"
#include "formats/treefile.h"
#include "model/caption.h"
#include "model/feedback.h"
#include "model/flynode.h"
#include "model/textfile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <sched.h>
#include <string>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace settree {
namespace {

namespace fs = std::filesystem;

const std::string kOldBytes = "\"level1\".\"OLD\".\"OLD\" 1\r\n";
constexpr rlim_t kSizeLimit = 64 * 1024; // well below what every saver below writes

// A tree whose files are a few hundred KiB in both forms.
const TFlyNodes& bigTree() {
    static TFlyNodes* tree = [] {
        auto* t = new TFlyNodes;
        TFlyNode* root = t->AddChild(nullptr, MakeCaption("ROOT", "a big classification"));
        for (int i = 0; i < 10000; ++i)
            t->AddChild(root, MakeCaption("E" + std::to_string(i), "element " + std::to_string(i)))
                ->SetCells(1, "1.5");
        return t;
    }();
    return *tree;
}

struct Saver {
    const char* name;
    std::function<void(const std::string&)> save;
};

const std::vector<Saver>& savers() {
    static const std::vector<Saver> all{
        {"SavePCFile", [](const std::string& f) { SavePCFile(bigTree(), f); }},
        {"SaveElementText",
         [](const std::string& f) {
             CollectingFeedback feedback;
             TextLines lines;
             WriteElementText(bigTree(), lines, feedback);
             SaveElementText(lines, f, feedback);
         }},
        {"WriteFileAtomically",
         [](const std::string& f) { WriteFileAtomically(f, std::string(1 << 20, 'x')); }},
        {"FileWriter",
         [](const std::string& f) {
             FileWriter file(f);
             for (int i = 0; i < 16; ++i)
                 file.append(std::string(1 << 16, 'x'));
             file.commit();
         }},
    };
    return all;
}

// A fresh folder for one case, removed with its content afterwards.
class Folder {
public:
    Folder() {
        std::string pattern = testing::TempDir() + "safesave-XXXXXX";
        if (char* made = ::mkdtemp(pattern.data()))
            path_ = made;
    }
    ~Folder() {
        ::chmod(path_.c_str(), 0755);
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    const std::string& Path() const { return path_; }
    std::string File(const char* name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

void writePlain(const std::string& file, const std::string& bytes) {
    std::FILE* f = std::fopen(file.c_str(), "wb");
    ASSERT_NE(f, nullptr) << file;
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

// Saves over a file that holds kOldBytes and tells what came of it: the error message, the state
// of the old file, and anything else left in its folder.
std::string attempt(const Saver& saver, const std::string& file) {
    std::string result;
    try {
        saver.save(file);
        result = "(saved)";
    } catch (const FileError& e) {
        result = e.what();
    }
    if (!FileExists(file))
        result += " | old file missing";
    else
        result += ReadFileBytes(file) == kOldBytes ? " | old file intact" : " | old file changed";
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(fs::path(file).parent_path(), error))
        if (entry.path() != fs::path(file))
            result += " | left behind: " + entry.path().filename().string();
    return result;
}

std::string expectedFor(const std::string& file) {
    return "Cannot create file " + file + " | old file intact";
}

// Runs work in a forked child and returns the text it produced. whileRunning, when given, runs
// in the parent with the child's id before the child's result is read.
struct ChildOutcome {
    std::string text;
    int signal = 0; // the signal that ended the child, 0 when it exited
};

ChildOutcome inChild(const std::function<std::string()>& work,
                     const std::function<void(pid_t)>& whileRunning = {}) {
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0)
        return {"(no pipe)", 0};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(pipeEnds[0]);
        std::string text;
        try {
            text = work();
        } catch (const std::exception& e) {
            text = std::string("(exception) ") + e.what();
        }
        for (size_t done = 0; done < text.size();) {
            const ssize_t n = ::write(pipeEnds[1], text.data() + done, text.size() - done);
            if (n <= 0)
                break;
            done += static_cast<size_t>(n);
        }
        ::_exit(0);
    }
    ::close(pipeEnds[1]);
    if (pid < 0) {
        ::close(pipeEnds[0]);
        return {"(no fork)", 0};
    }
    if (whileRunning)
        whileRunning(pid);
    ChildOutcome outcome;
    char buffer[4096];
    for (ssize_t n; (n = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
        outcome.text.append(buffer, static_cast<size_t>(n));
    ::close(pipeEnds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (WIFSIGNALED(status))
        outcome.signal = WTERMSIG(status);
    return outcome;
}

constexpr const char* kUnavailable = "(unavailable)";

bool writeProcFile(const char* path, const std::string& text) {
    const int fd = ::open(path, O_WRONLY);
    if (fd < 0)
        return false;
    const bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ::close(fd);
    return ok;
}

// In the child: a private mount namespace with a fresh memory file system over folder. Plain
// root makes one directly; anyone else (or a root without that privilege) goes through a user
// namespace in which it is root. False when the system allows neither.
bool mountPrivateTmpfs(const std::string& folder, const char* options) {
    const uid_t uid = ::getuid();
    const gid_t gid = ::getgid();
    if (::unshare(CLONE_NEWNS) != 0) {
        if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0)
            return false;
        writeProcFile("/proc/self/setgroups", "deny");
        if (!writeProcFile("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1") ||
            !writeProcFile("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1"))
            return false;
    }
    // Keep the mounts made here out of the parent's namespace.
    if (::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return false;
    return ::mount("settree-test", folder.c_str(), "tmpfs", 0, options) == 0;
}

TEST(SafeSave, UnwritableFolderKeepsTheOldFile) {
    int ways = 0;
    for (const Saver& saver : savers()) {
        SCOPED_TRACE(saver.name);

        // File modes, where they stop this user.
        {
            Folder folder;
            const std::string file = folder.File("kept.PC");
            writePlain(file, kOldBytes);
            ASSERT_EQ(::chmod(folder.Path().c_str(), 0555), 0);
            const std::string probe = folder.File("probe");
            const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
            if (fd >= 0) {
                ::close(fd); // root: the mode does not stop writes
                ::unlink(probe.c_str());
            } else {
                ++ways;
                EXPECT_EQ(attempt(saver, file), expectedFor(file));
            }
        }

        // A read-only mount.
        {
            Folder folder;
            const std::string file = folder.File("kept.tree");
            const ChildOutcome outcome = inChild([&] {
                if (!mountPrivateTmpfs(folder.Path(), "size=1m"))
                    return std::string(kUnavailable);
                std::FILE* f = std::fopen(file.c_str(), "wb");
                if (!f)
                    return std::string("(cannot write the old file)");
                std::fwrite(kOldBytes.data(), 1, kOldBytes.size(), f);
                std::fclose(f);
                if (::mount(nullptr, folder.Path().c_str(), nullptr, MS_REMOUNT | MS_RDONLY,
                            nullptr) != 0)
                    return std::string(kUnavailable);
                return attempt(saver, file);
            });
            if (outcome.text != kUnavailable) {
                ++ways;
                EXPECT_EQ(outcome.text, expectedFor(file));
            }
        }

        // A folder that is a regular file: nothing can be created in it, for anyone.
        {
            Folder folder;
            const std::string notAFolder = folder.File("plain");
            writePlain(notAFolder, kOldBytes);
            const std::string file = notAFolder + "/kept.PC";
            try {
                saver.save(file);
                ADD_FAILURE() << "saved into a regular file";
            } catch (const FileError& e) {
                EXPECT_EQ(std::string(e.what()), "Cannot create file " + file);
            }
            EXPECT_EQ(ReadFileBytes(notAFolder), kOldBytes);
        }
    }
    if (ways == 0)
        GTEST_SKIP() << "neither file modes nor a read-only mount stop writes here; only the "
                        "folder that is a regular file was tried";
}

TEST(SafeSave, TargetThatIsAFolderStaysAFolder) {
    Folder folder;
    const std::string target = folder.File("sub.PC");
    ASSERT_EQ(::mkdir(target.c_str(), 0755), 0);
    writePlain(target + "/inside", kOldBytes);
    for (const Saver& saver : savers()) {
        SCOPED_TRACE(saver.name);
        try {
            saver.save(target);
            ADD_FAILURE() << "saved over a folder";
        } catch (const FileError& e) {
            EXPECT_EQ(std::string(e.what()), "Cannot create file " + target);
        }
        EXPECT_EQ(ReadFileBytes(target + "/inside"), kOldBytes);
    }
}

TEST(SafeSave, FullDiskKeepsTheOldFile) {
    for (const Saver& saver : savers()) {
        SCOPED_TRACE(saver.name);

        // A file size limit: writes past it fail with EFBIG once SIGXFSZ is ignored.
        {
            Folder folder;
            const std::string file = folder.File("kept.PC");
            writePlain(file, kOldBytes);
            const ChildOutcome outcome = inChild([&] {
                const rlimit limit{kSizeLimit, kSizeLimit};
                ::setrlimit(RLIMIT_FSIZE, &limit);
                std::signal(SIGXFSZ, SIG_IGN);
                return attempt(saver, file);
            });
            EXPECT_EQ(outcome.signal, 0);
            EXPECT_EQ(outcome.text, expectedFor(file));
            EXPECT_EQ(ReadFileBytes(file), kOldBytes);
        }

        // A memory file system that fills up (ENOSPC), where one can be mounted.
        {
            Folder folder;
            const std::string file = folder.File("kept.tree");
            const ChildOutcome outcome = inChild([&] {
                if (!mountPrivateTmpfs(folder.Path(), "size=64k"))
                    return std::string(kUnavailable);
                std::FILE* f = std::fopen(file.c_str(), "wb");
                if (!f)
                    return std::string("(cannot write the old file)");
                std::fwrite(kOldBytes.data(), 1, kOldBytes.size(), f);
                std::fclose(f);
                return attempt(saver, file);
            });
            if (outcome.text != kUnavailable) {
                EXPECT_EQ(outcome.text, expectedFor(file));
            }
        }
    }
}

TEST(SafeSave, KilledWhileWritingKeepsAWholeFile) {
    for (const Saver& saver : savers()) {
        SCOPED_TRACE(saver.name);

        // Killed by the system in the middle of a write: SIGXFSZ ends the process at the write
        // that crosses the file size limit.
        {
            Folder folder;
            const std::string file = folder.File("kept.PC");
            writePlain(file, kOldBytes);
            const ChildOutcome outcome = inChild([&] {
                const rlimit limit{kSizeLimit, kSizeLimit};
                ::setrlimit(RLIMIT_FSIZE, &limit);
                const rlimit noCore{0, 0};
                ::setrlimit(RLIMIT_CORE, &noCore);
                saver.save(file);
                return std::string("(saved)");
            });
            EXPECT_EQ(outcome.signal, SIGXFSZ) << outcome.text;
            EXPECT_EQ(ReadFileBytes(file), kOldBytes);
        }
    }

    // Killed from outside as soon as anything is being written in the folder: the target holds
    // either the old bytes or all of the new ones, never a part.
    Folder folder;
    const std::string file = folder.File("kept.PC");
    writePlain(file, kOldBytes);
    const std::string fresh(32 << 20, 'n');
    const ChildOutcome outcome = inChild(
        [&] {
            WriteFileAtomically(file, fresh);
            return std::string("(saved)");
        },
        [&](pid_t pid) {
            for (int i = 0; i < 200000; ++i) {
                std::error_code error;
                bool writing = false;
                for (const auto& entry : fs::directory_iterator(folder.Path(), error))
                    writing |= entry.path() != fs::path(file) && entry.is_regular_file(error) &&
                               entry.file_size(error) > 0;
                if (writing || ReadFileBytes(file) != kOldBytes)
                    break;
                ::usleep(50);
            }
            ::kill(pid, SIGKILL);
        });
    const std::string after = ReadFileBytes(file);
    EXPECT_TRUE(after == kOldBytes || after == fresh)
        << "a file of " << after.size() << " bytes after the kill";
    if (outcome.signal != SIGKILL) {
        EXPECT_EQ(outcome.text, "(saved)");
    }
}

} // namespace
} // namespace settree

namespace settree {
namespace {

// Large files are written in pieces: the whole content arrives, and a disk that fills up after
// the first pieces still leaves the old file as it was.
TEST(SafeSave, LargeFileWrittenInPieces) {
    std::string bytes(size_t{9} << 20 | 3, '\0');
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>('a' + (i * 7 + i / 4096) % 26);

    Folder folder;
    const std::string file = folder.File("big.tree");
    writePlain(file, kOldBytes);
    WriteFileAtomically(file, bytes);
    EXPECT_TRUE(ReadFileBytes(file) == bytes); // no diff of 9 MB

    writePlain(file, kOldBytes);
    const Saver big{"nine megabytes", [&](const std::string& f) { WriteFileAtomically(f, bytes); }};
    const ChildOutcome outcome = inChild([&] {
        const rlim_t sixMegabytes = rlim_t{6} << 20; // past the first piece, short of the third
        const rlimit limit{sixMegabytes, sixMegabytes};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        std::signal(SIGXFSZ, SIG_IGN);
        return attempt(big, file);
    });
    EXPECT_EQ(outcome.signal, 0);
    EXPECT_EQ(outcome.text, expectedFor(file));
}

} // namespace
} // namespace settree

namespace settree {
namespace {

// A file with several names is rewritten in place, so every name sees the new content; on a
// disk without room for it, room is asked for first and the old content stays under every name.
TEST(SafeSave, HardLinkedFileKeepsItsLinks) {
    Folder folder;
    const std::string file = folder.File("kept.PC");
    const std::string other = folder.File("other.PC");
    writePlain(file, kOldBytes);
    ASSERT_EQ(::link(file.c_str(), other.c_str()), 0);
    WriteFileAtomically(file, "new");
    EXPECT_EQ(ReadFileBytes(other), "new");
    struct stat info {};
    ASSERT_EQ(::stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_nlink, 2u);

    Folder full;
    const std::string small = full.File("kept.PC");
    const std::string alias = full.File("other.PC");
    const ChildOutcome outcome = inChild([&] {
        if (!mountPrivateTmpfs(full.Path(), "size=64k"))
            return std::string(kUnavailable);
        writePlain(small, kOldBytes);
        if (::link(small.c_str(), alias.c_str()) != 0)
            return std::string("(no link)");
        std::string result;
        try {
            WriteFileAtomically(small, std::string(1 << 20, 'x'));
            result = "(saved)";
        } catch (const FileError& e) {
            result = e.Detailed();
        }
        return result + " | " + (ReadFileBytes(alias) == kOldBytes ? "intact" : "changed");
    });
    if (outcome.text != kUnavailable) {
        EXPECT_EQ(outcome.text,
                  "Cannot create file " + small + ": No space left on device | intact");
    }
}

// A file written in pieces shows none of them until it is complete, whether it is replaced or
// rewritten in place; a writer given up leaves the old file and nothing beside it; bytes taken
// back are not written; a failure waits for the end.
TEST(SafeSave, FileWrittenInPieces) {
    for (const bool hardLinked : {false, true}) {
        SCOPED_TRACE(hardLinked ? "rewritten in place" : "replaced");
        Folder folder;
        const std::string file = folder.File("made.tree");
        writePlain(file, kOldBytes);
        if (hardLinked) {
            ASSERT_EQ(::link(file.c_str(), folder.File("alias.tree").c_str()), 0);
        }
        const auto entries = [&] {
            std::vector<std::string> names;
            for (const auto& entry : fs::directory_iterator(folder.Path()))
                names.push_back(entry.path().filename().string());
            std::sort(names.begin(), names.end());
            return names;
        };
        const std::vector<std::string> before = entries();
        const std::string piece(5 << 20, 'p'); // more than the disk is asked to start on at once
        {
            FileWriter abandoned(file);
            abandoned.append(piece);
            EXPECT_EQ(ReadFileBytes(file), kOldBytes);
        }
        EXPECT_EQ(ReadFileBytes(file), kOldBytes);
        EXPECT_EQ(entries(), before);

        FileWriter writer(file);
        writer.append("taken ");
        writer.append(piece);
        EXPECT_TRUE(writer.takeBack() == "taken " + piece);
        writer.append("kept ");
        EXPECT_EQ(ReadFileBytes(file), kOldBytes);
        writer.commit("last");
        EXPECT_EQ(ReadFileBytes(file), "kept last");
        if (hardLinked) {
            EXPECT_EQ(ReadFileBytes(folder.File("alias.tree")), "kept last");
        }
        EXPECT_EQ(entries(), before);

        FileWriter nowhere(folder.File("missing/made.tree"));
        EXPECT_NO_THROW(nowhere.append("bytes"));
        EXPECT_THROW(nowhere.commit(), FileError);
    }
}

// Saving a file owned by someone else, where the saver may: the new file has the old owner,
// group and mode.
TEST(SafeSave, ReplacedFileKeepsOwnerAndMode) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can give a file to another user";
    Folder folder;
    const std::string file = folder.File("owned.tree");
    writePlain(file, kOldBytes);
    ASSERT_EQ(::chown(file.c_str(), 65534, 65534), 0);
    ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
    WriteFileAtomically(file, "new");
    struct stat info {};
    ASSERT_EQ(::stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, 65534u);
    EXPECT_EQ(info.st_gid, 65534u);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(ReadFileBytes(file), "new");
}

} // namespace
} // namespace settree
