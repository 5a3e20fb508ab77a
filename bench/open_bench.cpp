// SPDX-License-Identifier: GPL-3.0-or-later
// Opening a file in the editor, as a user waits for it: the main window on the platform it is
// given (offscreen in `make bench`), a file opened by the pane's "Load" with the file dialog
// answered at once, until both panes are filled and have painted their first frame.
//
//   open_bench FILE           from a shown, empty window: "Load" of the text pane for element
//                             text, of the tree pane for a .PC file, until both panes have
//                             painted; then the tree pane's "Refresh" (tree to text) and the
//                             text pane's "Refresh" (text to tree), each until the window has
//                             handled every event it set off, its paints included (a pane
//                             whose content stays the same is not painted again)
//   open_bench --start FILE   from the program's start, FILE named on its command line, until
//                             the window has painted both panes
//
// Prints one line of figures on standard output, as KEY=VALUE pairs: milliseconds of each step,
// the peak resident memory of the process (peak_kb) and the resident memory of the shown,
// empty window (empty_kb; 0 with --start).

#include <QAbstractScrollArea>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QFileDialog>
#include <QObject>
#include <QString>
#include <QTimer>
#include <cstdio>
#include <ctime>
#include <optional>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

#include "app/application.h"
#include "app/commandline.h"
#include "app/tform1.h"
#include "model/caption.h"
#include "model/textfile.h"
#include "textpane/ttextpane.h"
#include "view/trapidtree.h"

namespace {

using settree::TForm1;

// Notes the first paint of the text pane and of the tree pane after each Arm().
class PaintWatch : public QObject {
public:
    explicit PaintWatch(TForm1& window)
        : text_(window.RxRichEdit1->viewport()), tree_(window.RapidTree4->viewport()) {
        text_->installEventFilter(this);
        tree_->installEventFilter(this);
    }
    void Arm() { textPainted_ = treePainted_ = false; }
    // Runs the event loop until both panes have painted; false after a minute without.
    bool Wait() {
        QElapsedTimer waited;
        waited.start();
        while (!(textPainted_ && treePainted_)) {
            if (waited.elapsed() > 60000)
                return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        }
        return true;
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            if (watched == text_)
                textPainted_ = true;
            else if (watched == tree_)
                treePainted_ = true;
        }
        return false;
    }

private:
    QObject* text_;
    QObject* tree_;
    bool textPainted_ = false;
    bool treePainted_ = false;
};

// Runs the event loop until everything posted so far has been handled: a timer of no delay
// fires once the events before it are done, paints included.
void settle() {
    bool done = false;
    QTimer::singleShot(0, [&done] { done = true; });
    while (!done)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
}

long peakKb() {
    struct rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

long residentKb() {
    long pages = 0;
    long resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// Milliseconds since the process started, as the system counts them (in clock ticks).
double sinceProcessStart() {
    unsigned long long startTicks = 0;
    if (FILE* f = std::fopen("/proc/self/stat", "r")) {
        char buffer[4096];
        const size_t n = std::fread(buffer, 1, sizeof buffer - 1, f);
        std::fclose(f);
        buffer[n] = '\0';
        // The fields after the command name, which ends at the last ')': starttime is the 22nd
        // field, the 20th after it.
        const std::string stat(buffer);
        const size_t close = stat.rfind(')');
        if (close != std::string::npos) {
            const char* p = stat.c_str() + close + 2;
            for (int field = 3; field < 22 && *p; ++field) {
                while (*p && *p != ' ')
                    ++p;
                while (*p == ' ')
                    ++p;
            }
            startTicks = std::strtoull(p, nullptr, 10);
        }
    }
    struct timespec now {};
    clock_gettime(CLOCK_BOOTTIME, &now);
    const double nowMs =
        static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
    return nowMs -
           static_cast<double>(startTicks) * 1e3 / static_cast<double>(sysconf(_SC_CLK_TCK));
}

int usage() {
    std::fputs("Usage: open_bench [--start] FILE\n", stderr);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    const bool fromStart = !arguments.empty() && arguments.front() == "--start";
    if (fromStart)
        arguments.erase(arguments.begin());
    if (arguments.size() != 1 || !settree::FileExists(arguments.front()))
        return usage();
    const std::string file = arguments.front();

    // As the program starts: the file is read while the toolkit starts and the window is made.
    settree::StartupFilesAhead filesAhead;
    if (fromStart)
        settree::StartReadingAhead(settree::CommandLine({file}), filesAhead);
    settree::Application app(argc, argv);
    if (fromStart) {
        TForm1 window({file},
                      settree::CatalogLocation::BesideExecutable(TForm1::ExecutableFolder()),
                      nullptr, &filesAhead);
        filesAhead.Release();
        PaintWatch watch(window);
        window.show();
        if (!watch.Wait())
            return 1;
        std::printf("start_ms=%.0f peak_kb=%ld empty_kb=0\n", sinceProcessStart(), peakKb());
        std::fflush(stdout);
        _exit(0); // the figures are out; taking the tree apart is no part of them
    }

    TForm1 window({}, TForm1::ExecutableFolder());
    PaintWatch watch(window);
    window.show();
    if (!watch.Wait())
        return 1;
    // Whatever the first frames set off (the maximised layout) settles first.
    for (int i = 0; i < 10; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    const long emptyKb = residentKb();
    window.RunFileDialog = [&file](QFileDialog&) { return QString::fromStdString(file); };
    const bool tuples = settree::UpperCase(settree::ExtractFileExt(file)) == ".PC";

    QElapsedTimer timer;
    watch.Arm();
    timer.start();
    if (tuples)
        window.Button8Click();
    else
        window.Button1Click();
    if (!watch.Wait())
        return 1;
    const double openMs = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    const long openPeakKb = peakKb();
    settle();
    const auto step = [&](auto&& command) {
        timer.start();
        command();
        settle();
        return static_cast<double>(timer.nsecsElapsed()) / 1e6;
    };
    const double treeRefreshMs = step([&] { window.Button5Click(); });
    const double textRefreshMs = step([&] { window.Button2Click(); });
    std::printf("open_ms=%.0f tree_refresh_ms=%.0f text_refresh_ms=%.0f open_peak_kb=%ld "
                "peak_kb=%ld empty_kb=%ld rows=%d\n",
                openMs, treeRefreshMs, textRefreshMs, openPeakKb, peakKb(), emptyKb,
                window.RxRichEdit1->LineCount());
    std::fflush(stdout);
    _exit(0);
}
