// SPDX-License-Identifier: GPL-3.0-or-later
// Tree view at scale: a million elements (captions with descriptions, weights) filled, fully
// expanded and painted once, in TRapidTree and in a two-column QTreeWidget holding the same
// texts. Prints time and memory of both and their ratios.
//
//   treeview_bench [ELEMENTS]     (default 1000000; runs on the offscreen platform by default)
#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QTreeWidget>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <malloc.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "model/caption.h"
#include "view/trapidtree.h"

using namespace settree;

namespace {

// Bytes of heap in use (small blocks and mapped ones) and resident set size.
struct Memory {
    double heap = 0;
    double rss = 0;
};

Memory memoryNow() {
    Memory m;
    const struct mallinfo2 info = mallinfo2();
    m.heap = static_cast<double>(info.uordblks + info.hblkhd);
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    m.rss = static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE));
    return m;
}

// The shape of the test tree: roots, children per root, grandchildren per child.
struct Shape {
    int roots;
    int children;
    int grandchildren;
    long long total() const {
        return roots + 1LL * roots * children + 1LL * roots * children * grandchildren;
    }
};

Shape shapeFor(long long elements) {
    Shape s{10, 100, 0};
    s.grandchildren = static_cast<int>(std::max(0LL, elements / (s.roots * s.children) - 1));
    return s;
}

std::string nameOf(int r, int c, int g) {
    return "E" + std::to_string(r) + "_" + std::to_string(c) + "_" + std::to_string(g);
}
std::string descriptionOf(int r, int c, int g) {
    return "element " + std::to_string(g) + " of group " + std::to_string(c) + " in region " +
           std::to_string(r);
}
std::string weightOf(int g) {
    return std::to_string(1 + g % 7) + ".5";
}

struct Result {
    double fillMs = 0, expandMs = 0, paintMs = 0;
    Memory peak;  // largest rise over the start during the run
    Memory added; // rise after the first frame
    double totalMs() const { return fillMs + expandMs + paintMs; }
};

void track(Result& r, const Memory& start) {
    const Memory now = memoryNow();
    r.peak.heap = std::max(r.peak.heap, now.heap - start.heap);
    r.peak.rss = std::max(r.peak.rss, now.rss - start.rss);
}

Result runRapidTree(const Shape& shape, QSize size) {
    Result r;
    const Memory start = memoryNow();
    QElapsedTimer timer;
    timer.start();
    auto* tree = new TRapidTree;
    tree->resize(size);
    tree->show();
    TFlyNodes& items = tree->Items();
    items.BeginUpdate();
    for (int a = 0; a < shape.roots; ++a) {
        TFlyNode* root = items.AddChild(nullptr, MakeCaption(nameOf(a, -1, -1), "region"));
        root->SetCells(1, "1");
        for (int b = 0; b < shape.children; ++b) {
            TFlyNode* child = items.AddChild(root, MakeCaption(nameOf(a, b, -1), "group"));
            child->SetCells(1, "1");
            for (int c = 0; c < shape.grandchildren; ++c)
                items.AddChild(child, MakeCaption(nameOf(a, b, c), descriptionOf(a, b, c)))
                    ->SetCells(1, weightOf(c));
        }
    }
    r.fillMs = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    track(r, start);
    timer.restart();
    tree->FullExpand();
    items.EndUpdate();
    r.expandMs = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    track(r, start);
    timer.restart();
    QImage frame(tree->viewport()->size(), QImage::Format_RGB32);
    tree->viewport()->render(&frame);
    r.paintMs = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    track(r, start);
    const Memory end = memoryNow();
    r.added = {end.heap - start.heap, end.rss - start.rss};
    std::printf("  TRapidTree: %lld rows\n", static_cast<long long>(items.RowCount()));
    delete tree;
    return r;
}

Result runTreeWidget(const Shape& shape, QSize size) {
    Result r;
    const Memory start = memoryNow();
    QElapsedTimer timer;
    timer.start();
    auto* tree = new QTreeWidget;
    tree->setColumnCount(2);
    tree->setHeaderHidden(true);
    tree->setUniformRowHeights(false);
    tree->resize(size);
    tree->show();
    // The same texts as the other view holds; built bottom-up and inserted in bulk, the fast
    // way for this widget.
    QList<QTreeWidgetItem*> roots;
    for (int a = 0; a < shape.roots; ++a) {
        auto* root = new QTreeWidgetItem;
        root->setText(0, QString::fromStdString(MakeCaption(nameOf(a, -1, -1), "region")));
        root->setText(1, QStringLiteral("1"));
        QList<QTreeWidgetItem*> children;
        for (int b = 0; b < shape.children; ++b) {
            auto* child = new QTreeWidgetItem;
            child->setText(0, QString::fromStdString(MakeCaption(nameOf(a, b, -1), "group")));
            child->setText(1, QStringLiteral("1"));
            QList<QTreeWidgetItem*> leaves;
            leaves.reserve(shape.grandchildren);
            for (int c = 0; c < shape.grandchildren; ++c) {
                auto* leaf = new QTreeWidgetItem;
                leaf->setText(0, QString::fromStdString(
                                     MakeCaption(nameOf(a, b, c), descriptionOf(a, b, c))));
                leaf->setText(1, QString::fromStdString(weightOf(c)));
                leaves.append(leaf);
            }
            child->addChildren(leaves);
            children.append(child);
        }
        root->addChildren(children);
        roots.append(root);
    }
    tree->addTopLevelItems(roots);
    r.fillMs = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    track(r, start);
    timer.restart();
    tree->expandAll();
    r.expandMs = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    track(r, start);
    timer.restart();
    QImage frame(tree->viewport()->size(), QImage::Format_RGB32);
    tree->viewport()->render(&frame);
    r.paintMs = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    track(r, start);
    const Memory end = memoryNow();
    r.added = {end.heap - start.heap, end.rss - start.rss};
    delete tree;
    return r;
}

void print(const char* name, const Result& r) {
    const double mb = 1024.0 * 1024.0;
    std::printf("  %-12s fill %9.1f ms  expand %9.1f ms  first frame %8.1f ms  total %9.1f ms\n",
                name, r.fillMs, r.expandMs, r.paintMs, r.totalMs());
    std::printf("  %-12s heap added %8.1f MB (peak %8.1f MB)  resident added %8.1f MB (peak %8.1f "
                "MB)\n",
                "", r.added.heap / mb, r.peak.heap / mb, r.added.rss / mb, r.peak.rss / mb);
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const long long wanted = argc > 1 ? std::atoll(argv[1]) : 1000000;
    const Shape shape = shapeFor(wanted);
    const QSize size(800, 600);
    std::printf("treeview_bench: %lld elements (%d roots x %d x %d), view %dx%d\n", shape.total(),
                shape.roots, shape.children, shape.grandchildren, size.width(), size.height());

    const Result ours = runRapidTree(shape, size);
    malloc_trim(0);
    const Result theirs = runTreeWidget(shape, size);

    print("TRapidTree", ours);
    print("QTreeWidget", theirs);
    std::printf("  ratio (TRapidTree / QTreeWidget): time %.3f (target <= 0.200), heap %.3f "
                "(target <= 0.250), resident %.3f\n",
                ours.totalMs() / theirs.totalMs(), ours.peak.heap / theirs.peak.heap,
                ours.peak.rss / theirs.peak.rss);
    return 0;
}
