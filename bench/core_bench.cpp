// SPDX-License-Identifier: GPL-3.0-or-later
// Benchmarks of the core paths on synthetic classifications of 10,000, 100,000 and 1,000,000
// elements: element text parse and write, tuple load and save, full expansion with the row
// list, sorting, copy and delete of a big subtree outside an update bracket, and the converter
// from file to file. Each reports the time per element and the peak heap it needed.

#include "childrun.h"
#include "editing/copysubtree.h"
#include "editing/edithistory.h"
#include "editing/nodemarks.h"
#include "editing/structurecommands.h"
#include "formats/elementtext.h"
#include "formats/gamscheck.h"
#include "formats/pcreader.h"
#include "formats/pcwriter.h"
#include "formats/treefile.h"
#include "gen/synthetic.h"
#include "heapmeter.h"
#include "model/feedback.h"
#include "model/flynode.h"
#include "model/textfile.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <malloc.h>
#include <map>
#include <memory>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

namespace settree::bench {
namespace {

constexpr int64_t kSizes[] = {10000, 100000, 1000000};

// Fewer rounds for the big sizes; the work of one round grows with the size. Enough rounds that
// a busy moment of the machine does not decide a figure.
int64_t roundsFor(int64_t n) {
    return n <= 10000 ? 40 : n <= 100000 ? 12 : 6;
}

// A folder for the benchmark's files, removed at exit.
class WorkFolder {
public:
    WorkFolder() {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/settree-bench-XXXXXX";
        if (char* made = ::mkdtemp(pattern.data()))
            path_ = std::string(made) + "/";
    }
    ~WorkFolder() {
        for (const std::string& f : files_)
            ::unlink(f.c_str());
        if (!path_.empty())
            ::rmdir(path_.c_str());
    }
    std::string File(const std::string& name) {
        const std::string full = path_ + name;
        if (std::find(files_.begin(), files_.end(), full) == files_.end())
            files_.push_back(full);
        return full;
    }
    bool Ok() const { return !path_.empty(); }

private:
    std::string path_;
    std::vector<std::string> files_;
};

WorkFolder& work() {
    static WorkFolder folder;
    return folder;
}

// One synthetic classification in every form a benchmark starts from, made once per shape and
// size: the tree, its element text, and both files (BASE.tree beside BASE.PC, so loading the
// tuples also reads the descriptions; the classification shape's tuples carry annotations too).
struct Dataset {
    TFlyNodes tree;
    TextLines lines;
    std::string treeFile;
    std::string pcFile;
};

Dataset& dataset(Shape shape, int64_t n) {
    static std::map<std::pair<Shape, int64_t>, std::unique_ptr<Dataset>> cache;
    std::unique_ptr<Dataset>& slot = cache[{shape, n}];
    if (!slot) {
        slot = std::make_unique<Dataset>();
        SyntheticOptions options;
        options.shape = shape;
        options.elements = n;
        AddSynthetic(slot->tree, nullptr, options);
        CollectingFeedback feedback;
        WriteElementText(slot->tree, slot->lines, feedback);
        const std::string base = std::string(ShapeName(shape)) + "-" + std::to_string(n);
        slot->treeFile = work().File(base + ".tree");
        slot->pcFile = work().File(base + ".PC");
        WriteFileAtomically(slot->treeFile, TreeFileBytes(slot->lines));
        WriteFileAtomically(slot->pcFile, ShapedPcText(slot->tree, options));
    }
    return *slot;
}

void report(benchmark::State& state, int64_t n, int64_t peakBytes) {
    state.SetItemsProcessed(state.iterations() * n);
    state.counters["elements"] = static_cast<double>(n);
    state.counters["peak_MB"] = static_cast<double>(peakBytes) / (1024.0 * 1024.0);
    state.counters["B_per_elem"] = static_cast<double>(peakBytes) / static_cast<double>(n);
}

// Walks a buffer twice the size of the biggest cache, so that every round starts cold as a user's
// command does. Without it the small sizes, whose data stays in the cache from round to round,
// look several times faster per element than the million, which never fits.
void evictCaches() {
    static std::vector<char> buffer(size_t{64} << 20);
    for (size_t i = 0; i < buffer.size(); i += 64)
        ++buffer[i];
    benchmark::DoNotOptimize(buffer.data());
}

// The timed part of a round starts cold and with a fresh heap measurement; pauses keep set-up
// and clean-up out of both time and peak.
template <class Setup, class Work, class Cleanup>
void rounds(benchmark::State& state, int64_t n, Setup setup, Work work, Cleanup cleanup) {
    int64_t peak = 0;
    for (auto _ : state) {
        state.PauseTiming();
        setup();
        evictCaches();
        // Free memory goes back to the system, as the caches are emptied: otherwise a size whose
        // memory fits under the allocator's keep-threshold reuses the pages of the round before,
        // while a larger one has the system zero fresh pages every round.
        malloc_trim(0);
        HeapMeter::Start();
        state.ResumeTiming();
        work();
        state.PauseTiming();
        peak = std::max(peak, HeapMeter::PeakSinceStart());
        cleanup();
        state.ResumeTiming();
    }
    report(state, n, peak);
}

void nothing() {}

// ---------------------------------------------------------------------------------------------
// Element text

void ParseText(benchmark::State& state, Shape shape, int64_t n) {
    Dataset& d = dataset(shape, n);
    std::unique_ptr<TFlyNodes> tree;
    TextLines lines;
    CollectingFeedback feedback;
    rounds(
        state, n,
        [&] {
            tree = std::make_unique<TFlyNodes>();
            lines = d.lines;
        },
        [&] { ParseElementText(lines, *tree, feedback); },
        [&] {
            if (tree->NodeCount() != n || !feedback.messages.empty())
                state.SkipWithError("the parsed tree is not the written one");
            tree.reset();
        });
}

void WriteText(benchmark::State& state, Shape shape, int64_t n) {
    Dataset& d = dataset(shape, n);
    TextLines lines;
    CollectingFeedback feedback;
    rounds(
        state, n, [&] { lines.clear(); }, [&] { WriteElementText(d.tree, lines, feedback); },
        [&] {
            if (lines != d.lines)
                state.SkipWithError("writing twice gave another text");
        });
}

// ---------------------------------------------------------------------------------------------
// Parent-child tuples

void LoadTuples(benchmark::State& state, Shape shape, int64_t n) {
    Dataset& d = dataset(shape, n);
    std::unique_ptr<TFlyNodes> tree;
    TextLines lines;
    CollectingFeedback feedback;
    rounds(
        state, n, [&] { tree = std::make_unique<TFlyNodes>(); },
        [&] { LoadPC(d.pcFile, *tree, lines, feedback); },
        [&] {
            if (tree->NodeCount() != n || !feedback.messages.empty())
                state.SkipWithError("the loaded tree is not the saved one");
            tree.reset();
            lines.clear();
        });
}

void TupleText(benchmark::State& state, Shape shape, int64_t n) {
    Dataset& d = dataset(shape, n);
    std::string text;
    rounds(
        state, n, [&] { text.clear(); },
        [&] { benchmark::DoNotOptimize(text = PcText(d.tree, PcNames::PlainNames)); }, nothing);
}

void SaveTuples(benchmark::State& state, Shape shape, int64_t n) {
    Dataset& d = dataset(shape, n);
    const std::string out = work().File("saved.PC");
    rounds(
        state, n, nothing, [&] { SavePCFile(d.tree, out); }, nothing);
}

// ---------------------------------------------------------------------------------------------
// GAMS checks, which every conversion runs on its input: element text lines and the bytes of a
// .PC file. The converter's time below includes them; these show their part of it.

void CheckText(benchmark::State& state, Shape shape, int64_t n) {
    Dataset& d = dataset(shape, n);
    size_t problems = 0;
    rounds(
        state, n, [&] { problems = 0; },
        [&] { CheckElementTextForGams(d.lines, [&](const GamsProblem&) { ++problems; }); },
        [&] {
            if (problems != 0)
                state.SkipWithError("the synthetic text has no GAMS problem");
        });
}

void CheckTuples(benchmark::State& state, Shape shape, int64_t n) {
    Dataset& d = dataset(shape, n);
    const std::string bytes = ReadFileBytes(d.pcFile);
    size_t problems = 0;
    rounds(
        state, n, [&] { problems = 0; },
        [&] { CheckTuplesForGams(bytes, [&](const GamsProblem&) { ++problems; }); },
        [&] {
            if (problems != 0)
                state.SkipWithError("the synthetic tuples have no GAMS problem");
        });
}

// ---------------------------------------------------------------------------------------------
// Tree store

void ExpandAll(benchmark::State& state, Shape shape, int64_t n) {
    Dataset& d = dataset(shape, n);
    size_t rows = 0;
    rounds(
        state, n,
        [&] {
            d.tree.FullCollapse();
            benchmark::DoNotOptimize(d.tree.Rows().size());
        },
        [&] {
            d.tree.FullExpand();
            rows = d.tree.Rows().size();
        },
        [&] {
            if (static_cast<int64_t>(rows) != n)
                state.SkipWithError("not every node is in a row");
        });
}

void SortAll(benchmark::State& state, Shape shape, int64_t n) {
    std::unique_ptr<TFlyNodes> tree;
    SyntheticOptions options;
    options.shape = shape;
    options.elements = n;
    rounds(
        state, n,
        [&] {
            tree = std::make_unique<TFlyNodes>();
            AddSynthetic(*tree, nullptr, options);
        },
        [&] { SortEverything(*tree); },
        [&] {
            if (tree->Count() > 1 && tree->Root(0)->Text() > tree->Root(1)->Text())
                state.SkipWithError("the roots are not sorted");
            tree.reset();
        });
}

// A fully expanded tree of n elements whose last root carries a subtree of n / 10 elements,
// the one that is copied and deleted; the selection sits deep in it, as after a click.
struct SubtreeTree {
    TFlyNodes tree;
    TFlyNode* subtree = nullptr;
    int64_t subtreeSize = 0;

    explicit SubtreeTree(int64_t n) {
        SyntheticOptions options;
        options.elements = n - n / 10;
        AddSynthetic(tree, nullptr, options);
        subtree = tree.AddChild(nullptr, "<color=clgreen>SUBTREE</color>");
        options.elements = n / 10 - 1;
        options.seed = 2;
        AddSynthetic(tree, subtree, options);
        subtreeSize = n / 10;
        tree.FullExpand();
        benchmark::DoNotOptimize(tree.Rows().size());
    }
};

TFlyNode* deepest(TFlyNode* node) {
    while (node->Count() > 0)
        node = node->Child(node->Count() - 1);
    return node;
}

void CopyBigSubtree(benchmark::State& state, Shape, int64_t n) {
    SubtreeTree t(n);
    TFlyNode* copy = nullptr;
    rounds(
        state, t.subtreeSize, [&] { t.tree.SetSelected(deepest(t.subtree)); },
        [&] {
            copy = CopySubtree(t.subtree, nullptr, true);
            benchmark::DoNotOptimize(t.tree.Rows().size());
        },
        [&] {
            if (t.tree.NodeCount() != n + t.subtreeSize)
                state.SkipWithError("the copy has another size");
            copy->Delete();
        });
}

void DeleteBigSubtree(benchmark::State& state, Shape, int64_t n) {
    SubtreeTree t(n);
    TFlyNode* copy = nullptr;
    rounds(
        state, t.subtreeSize,
        [&] {
            copy = CopySubtree(t.subtree, nullptr, true);
            copy->Expand(true);
            t.tree.SetSelected(deepest(copy));
            benchmark::DoNotOptimize(t.tree.Rows().size());
        },
        [&] {
            copy->Delete();
            benchmark::DoNotOptimize(t.tree.Rows().size());
        },
        [&] {
            if (t.tree.NodeCount() != n)
                state.SkipWithError("the delete left another size");
        });
}

// The editing commands on a large tree. A drop moves the big subtree between two small roots
// and back, one way each round; the target ends fully expanded, so its expansion is part of
// the work, as are the rows the view shows afterwards.
void DropBigSubtree(benchmark::State& state, Shape, int64_t n) {
    SubtreeTree t(n);
    TFlyNode* targets[] = {t.tree.AddChild(nullptr, "<color=clgreen>TARGET A</color>"),
                           t.tree.AddChild(nullptr, "<color=clgreen>TARGET B</color>")};
    TFlyNode* moving = t.subtree;
    int round = 0;
    rounds(
        state, t.subtreeSize, [&] { t.tree.SetSelected(deepest(moving)); },
        [&] {
            moving = MoveSubtree(moving, targets[round % 2]);
            benchmark::DoNotOptimize(t.tree.Rows().size());
        },
        [&] {
            ++round;
            if (!moving || t.tree.NodeCount() != n + 2)
                state.SkipWithError("the drop lost or gained nodes");
        });
}

// "Move Up" on the second of two roots of n / 2 elements each: the two trade places and both
// end fully expanded.
void SwapBigRoots(benchmark::State& state, Shape, int64_t n) {
    TFlyNodes tree;
    SyntheticOptions options;
    options.elements = n / 2 - 1;
    for (uint64_t seed : {1, 2}) {
        TFlyNode* root = tree.AddChild(nullptr, "<color=clgreen>HALF</color>");
        options.seed = seed;
        AddSynthetic(tree, root, options);
    }
    rounds(
        state, n, [&] { tree.SetSelected(tree.Root(1)); },
        [&] {
            MoveSelectedNode(tree, MoveDirection::up);
            benchmark::DoNotOptimize(tree.Rows().size());
        },
        [&] {
            if (tree.RowCount() != tree.NodeCount())
                state.SkipWithError("the swapped roots are not fully expanded");
        });
}

// "Paste node" of the marked big subtree under a small root; the copy goes again after each
// round.
void PasteBigSubtree(benchmark::State& state, Shape, int64_t n) {
    SubtreeTree t(n);
    TFlyNode* target = t.tree.AddChild(nullptr, "<color=clgreen>TARGET</color>");
    TFlyNode* clipNode = nullptr;
    std::string clipMode;
    TFlyNode* dragNode = nullptr;
    NodeMarks marks(t.tree, clipNode, clipMode, dragNode);
    t.tree.SetSelected(t.subtree);
    marks.Copy();
    TFlyNode* pasted = nullptr;
    rounds(
        state, t.subtreeSize, [&] { t.tree.SetSelected(target); },
        [&] {
            pasted = marks.Paste(false);
            benchmark::DoNotOptimize(t.tree.Rows().size());
        },
        [&] {
            if (!pasted || t.tree.NodeCount() != n + 1 + t.subtreeSize)
                state.SkipWithError("the paste has another size");
            else
                pasted->Delete();
        });
}

// Undo of the delete of the big subtree: it comes back whole (captions, weights, order and
// expanded states) without a copy.
void UndoBigDelete(benchmark::State& state, Shape, int64_t n) {
    SubtreeTree t(n);
    EditHistory history(t.tree);
    rounds(
        state, t.subtreeSize,
        [&] {
            t.tree.SetSelected(t.subtree);
            DeleteSelectedNode(t.tree, &history);
            benchmark::DoNotOptimize(t.tree.Rows().size());
        },
        [&] {
            history.Undo();
            benchmark::DoNotOptimize(t.tree.Rows().size());
        },
        [&] {
            if (t.tree.Root(t.tree.Count() - 1) != t.subtree || t.tree.RowCount() != n)
                state.SkipWithError("the undone delete is not the tree it was");
        });
}

// Undo of "Sort everything alphabetically": every sibling list back in its old order.
void UndoSortAll(benchmark::State& state, Shape shape, int64_t n) {
    TFlyNodes tree;
    SyntheticOptions options;
    options.shape = shape;
    options.elements = n;
    AddSynthetic(tree, nullptr, options);
    EditHistory history(tree);
    TFlyNode* first = tree.Root(0);
    rounds(
        state, n, [&] { SortEverything(tree, &history); },
        [&] {
            history.Undo();
            benchmark::DoNotOptimize(tree.Rows().size());
        },
        [&] {
            if (tree.Root(0) != first)
                state.SkipWithError("the undone sort left another order");
        });
}

// Undo of a rebuild of the tree from element text: the old tree comes back in place of the new.
void UndoRebuild(benchmark::State& state, Shape shape, int64_t n) {
    Dataset& d = dataset(shape, n);
    TFlyNodes tree;
    SyntheticOptions options;
    options.shape = shape;
    options.elements = n;
    options.seed = 3;
    AddSynthetic(tree, nullptr, options);
    TFlyNode* first = tree.Root(0);
    EditHistory history(tree);
    TextLines lines;
    CollectingFeedback feedback;
    rounds(
        state, n,
        [&] {
            lines = d.lines;
            ParseElementText(lines, tree, feedback);
        },
        [&] {
            history.Undo();
            benchmark::DoNotOptimize(tree.Rows().size());
        },
        [&] {
            if (tree.Root(0) != first || !feedback.messages.empty())
                state.SkipWithError("the undone rebuild is not the old tree");
        });
}

// ---------------------------------------------------------------------------------------------
// The converter, file to file, as a child process started through settree-measure, so that
// the peak memory reported is the converter's own (see childrun.h).

std::string programPath(const char* variable, const char* built) {
    const char* path = std::getenv(variable);
    return path && *path ? path : built;
}

// Reads "seconds=S maxrss_kb=K status=X" as settree-measure writes it.
bool readMeasure(const std::string& text, double& seconds, long& maxRssKb) {
    const size_t at = text.rfind("seconds=");
    return at != std::string::npos &&
           std::sscanf(text.c_str() + at, "seconds=%lf maxrss_kb=%ld status=0", &seconds,
                       &maxRssKb) == 2 &&
           text.find("status=0", at) != std::string::npos;
}

void Convert(benchmark::State& state, Shape shape, int64_t n, bool fromPc) {
    Dataset& d = dataset(shape, n);
    const std::string& input = fromPc ? d.pcFile : d.treeFile;
    const std::string out = work().File(fromPc ? "converted.tree" : "converted.PC");
    const std::string measureFile = work().File("measure.txt");
    const std::vector<std::string> command{programPath("SETTREE_MEASURE", SETTREE_MEASURE_PATH),
                                           programPath("SETTREE_CONVERT", SETTREE_CONVERT_PATH),
                                           input, out};
    long peakKb = 0;
    for (auto _ : state) {
        RunChild(command, "/dev/null", measureFile.c_str());
        double seconds = 0;
        long kb = 0;
        if (!readMeasure(ReadFileBytes(measureFile), seconds, kb)) {
            state.SkipWithError("settree-convert failed");
            break;
        }
        state.SetIterationTime(seconds);
        peakKb = std::max(peakKb, kb);
    }
    const auto inputBytes = static_cast<double>(ReadFileBytes(input).size());
    report(state, n, peakKb * 1024);
    state.counters["input_MB"] = inputBytes / (1024.0 * 1024.0);
    state.counters["peak_per_input"] = static_cast<double>(peakKb) * 1024.0 / inputBytes;
}

// Every round is a repetition of its own, so that the table can take the fastest: the machine's
// other work only ever slows a round down, and the fastest round is the one it disturbed least.
// The slowest is kept for the peak memory.
benchmark::internal::Benchmark* asRounds(benchmark::internal::Benchmark* b, int64_t n) {
    return b->Iterations(1)
        ->Repetitions(static_cast<int>(roundsFor(n)))
        ->ComputeStatistics(
            "min",
            [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); })
        ->ComputeStatistics(
            "max",
            [](const std::vector<double>& v) { return *std::max_element(v.begin(), v.end()); })
        ->DisplayAggregatesOnly(true)
        ->Unit(benchmark::kMillisecond);
}

void registerAll() {
    using Fn = void (*)(benchmark::State&, Shape, int64_t);
    struct Path {
        const char* name;
        Fn fn;
        bool shaped; // also on the deep and classification shapes, where the shape changes the work
        bool cased;  // also on the lower-case shape, where the letter case of names changes it
    };
    const Path paths[] = {
        {"ParseElementText", ParseText, true, false},
        {"WriteElementText", WriteText, true, false},
        {"LoadPC", LoadTuples, true, false},
        {"PcText", TupleText, true, false},
        {"GamsCheckText", CheckText, true, true},
        {"GamsCheckPc", CheckTuples, true, true},
        {"SavePCFile", SaveTuples, false, false},
        {"FullExpandRows", ExpandAll, false, false},
        {"SortEverything", SortAll, false, false},
        {"CopySubtree", CopyBigSubtree, false, false},
        {"DeleteSubtree", DeleteBigSubtree, false, false},
        {"DropSubtree", DropBigSubtree, false, false},
        {"SwapRoots", SwapBigRoots, false, false},
        {"PasteSubtree", PasteBigSubtree, false, false},
        {"UndoDelete", UndoBigDelete, false, false},
        {"UndoSortEverything", UndoSortAll, false, false},
        {"UndoRebuild", UndoRebuild, false, false},
    };
    for (const Path& p : paths)
        for (Shape shape :
             {Shape::Balanced, Shape::Deep, Shape::Classification, Shape::LowerCase}) {
            if (shape == Shape::LowerCase ? !p.cased : shape != Shape::Balanced && !p.shaped)
                continue;
            for (int64_t n : kSizes) {
                const std::string name =
                    std::string(p.name) + "/" + ShapeName(shape) + "/" + std::to_string(n);
                asRounds(benchmark::RegisterBenchmark(name.c_str(), p.fn, shape, n), n)
                    ->UseRealTime();
            }
        }
    for (bool fromPc : {false, true})
        for (Shape shape : {Shape::Balanced, Shape::Classification, Shape::LowerCase})
            for (int64_t n : kSizes) {
                const std::string name =
                    std::string(fromPc ? "ConvertPcToTree" : "ConvertTreeToPc") + "/" +
                    ShapeName(shape) + "/" + std::to_string(n);
                asRounds(benchmark::RegisterBenchmark(name.c_str(), Convert, shape, n, fromPc), n)
                    ->UseManualTime();
            }
}

} // namespace
} // namespace settree::bench

int main(int argc, char** argv) {
    if (!settree::bench::work().Ok()) {
        std::fputs("core_bench: cannot make a work folder\n", stderr);
        return 2;
    }
    settree::bench::registerAll();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 2;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
