// SPDX-License-Identifier: GPL-3.0-or-later
// Preloaded into a program under test: right after the program creates one of its temporary
// files, the process sends itself the signal named by SETTREE_TEST_SIGNAL (TERM, INT or HUP).
// This lands a signal at the one moment between creating the file and remembering its name,
// every time, instead of hoping a timed kill hits it. With SETTREE_TEST_RECORD naming a file,
// the mode each temporary file has when it is created is appended to that file (octal, one a
// line): what others could read of it before anything else happens to it.
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using OpenFunction = int (*)(const char*, int, ...);

bool isTemporaryFile(const char* path) {
    const char* name = std::strrchr(path, '/');
    name = name ? name + 1 : path;
    return std::strncmp(name, ".settree-", 9) == 0;
}

int signalToSend() {
    const char* name = std::getenv("SETTREE_TEST_SIGNAL");
    if (!name)
        return 0;
    if (std::strcmp(name, "INT") == 0)
        return SIGINT;
    if (std::strcmp(name, "HUP") == 0)
        return SIGHUP;
    return SIGTERM;
}

void recordMode(OpenFunction open, const char* record, int fd) {
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        return;
    char line[16];
    const int n =
        std::snprintf(line, sizeof line, "%o\n", static_cast<unsigned>(info.st_mode & 07777));
    const int out = open(record, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (out < 0)
        return;
    if (::write(out, line, static_cast<size_t>(n)) != n) {
        // nothing to do: the test finds the line missing
    }
    ::close(out);
}

int openAndSignal(const char* symbol, const char* path, int flags, mode_t mode) {
    static OpenFunction next = nullptr;
    if (!next)
        next = reinterpret_cast<OpenFunction>(dlsym(RTLD_NEXT, symbol));
    const int fd = next(path, flags, mode);
    if (fd >= 0 && (flags & O_CREAT) && isTemporaryFile(path)) {
        if (const char* record = std::getenv("SETTREE_TEST_RECORD"))
            recordMode(next, record, fd);
        if (const int signal = signalToSend())
            ::kill(::getpid(), signal);
    }
    return fd;
}

mode_t modeArgument(int flags, va_list& arguments) {
    return (flags & (O_CREAT | O_TMPFILE)) ? static_cast<mode_t>(va_arg(arguments, int)) : 0;
}

} // namespace

extern "C" int open(const char* path, int flags, ...) {
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = modeArgument(flags, arguments);
    va_end(arguments);
    return openAndSignal("open", path, flags, mode);
}

extern "C" int open64(const char* path, int flags, ...) {
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = modeArgument(flags, arguments);
    va_end(arguments);
    return openAndSignal("open64", path, flags, mode);
}
