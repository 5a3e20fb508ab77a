// SPDX-License-Identifier: GPL-3.0-or-later
// settree-gen: writes a deterministic synthetic classification as BASE.tree and BASE.PC, with
// the program's own writers, for benchmarks and for trying the editor on big files.

#include "formats/elementtext.h"
#include "formats/treefile.h"
#include "gen/synthetic.h"
#include "model/feedback.h"
#include "model/textfile.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <string_view>

namespace {

constexpr std::string_view kUsage =
    "Usage: settree-gen [--shape balanced|deep|classification|lowercase] [--elements N]\n"
    "                   [--depth D] [--seed S] [--shuffle] [--only tree|pc] BASE\n"
    "\n"
    "Writes BASE.tree (element text) and BASE.PC (parent-child tuples) of one synthetic\n"
    "classification of N elements (default 10000). balanced: four levels, wide; deep: chains\n"
    "of D elements (default 100); classification: shaped like a real one, six or seven levels\n"
    "of dotted codes (\"C10.5.12.1\" under \"C10.5.12\") with UTF-8 descriptions, and a\n"
    "description annotation (@ \"...\") on about a third of the tuples; lowercase: the same\n"
    "with names as modellers write them, in lower and mixed case (\"agr.2.1\", \"Mining.3\").\n"
    "--shuffle puts the .PC lines in random order (fixed by the seed, default 1). --only\n"
    "writes one of the two files.\n";

int usage(const char* problem) {
    if (problem)
        std::fprintf(stderr, "settree-gen: %s\n", problem);
    std::fputs(kUsage.data(), problem ? stderr : stdout);
    return problem ? 2 : 0;
}

bool readNumber(const char* text, long long& value) {
    char* end = nullptr;
    value = std::strtoll(text, &end, 10);
    return end && *end == '\0' && end != text && value >= 0;
}

} // namespace

int main(int argc, char** argv) {
    using namespace settree;
    bench::SyntheticOptions options;
    bool shuffle = false;
    std::string only;
    std::string base;
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        const bool hasValue = i + 1 < argc;
        long long n = 0;
        if (a == "--help") {
            return usage(nullptr);
        } else if (a == "--shuffle") {
            shuffle = true;
        } else if (a == "--shape" && hasValue) {
            if (!bench::ShapeFromName(argv[++i], options.shape))
                return usage("--shape takes balanced, deep, classification or lowercase");
        } else if (a == "--only" && hasValue) {
            only = argv[++i];
            if (only != "tree" && only != "pc")
                return usage("--only takes tree or pc");
        } else if ((a == "--elements" || a == "--depth" || a == "--seed") && hasValue) {
            if (!readNumber(argv[++i], n))
                return usage("a count must be a whole number");
            if (a == "--elements")
                options.elements = n;
            else if (a == "--depth")
                options.depth = static_cast<int>(n);
            else
                options.seed = static_cast<uint64_t>(n);
        } else if (!a.empty() && a.front() != '-' && base.empty()) {
            base = a;
        } else {
            return usage(("unexpected argument " + std::string(a)).c_str());
        }
    }
    if (base.empty())
        return usage("BASE is missing");

    try {
        TFlyNodes tree;
        bench::AddSynthetic(tree, nullptr, options);
        if (only != "pc") {
            CollectingFeedback feedback;
            TextLines lines;
            WriteElementText(tree, lines, feedback);
            WriteFileAtomically(base + ".tree", TreeFileBytes(lines));
        }
        if (only != "tree") {
            std::string pc = bench::ShapedPcText(tree, options);
            if (shuffle)
                pc = bench::ShuffleLines(pc, options.seed);
            WriteFileAtomically(base + ".PC", pc);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "settree-gen: %s\n", e.what());
        return 1;
    }
    return 0;
}
