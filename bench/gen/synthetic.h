// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Deterministic synthetic classifications for the benchmarks and the generator: element names
// with descriptions and signed decimal weights, in four shapes.

#include <cstdint>
#include <string>
#include <string_view>

#include "model/flynode.h"

namespace settree::bench {

enum class Shape {
    Balanced, // a few levels, wide: about the fourth root of the size as fan-out, four levels
    Deep,     // long chains: each root carries one chain of `depth` elements
    // Shaped like a real statistical classification: six or seven levels under a few dozen
    // sections, hierarchical codes with dots that grow with the depth ("C10.5.12.1" under
    // "C10.5.12"), a UTF-8 description for every element, and "@" annotations on about a
    // third of the tuples (see ShapedPcText).
    Classification,
    // The classification shape with codes as modellers write them: sections named by short
    // words in lower case, some in mixed case ("agr", "Mining", "food.2.1"), so that every name
    // holds a lower-case letter. Each name is spelled the same wherever it occurs.
    LowerCase,
};

struct SyntheticOptions {
    Shape shape = Shape::Balanced;
    int64_t elements = 10000;
    int depth = 100;   // chain length of the deep shape
    uint64_t seed = 1; // varies names' order; the same seed gives the same classification
};

// Appends the elements as children of parent (as roots when parent is none), collapsed.
// Balanced and deep: leaves repeat a handful of names across branches (never a name with
// children, so the .PC form loads back into the same tree); names come in no sorted order.
// Classification and lower case: every code is unique, and siblings come in the order of their
// codes.
void AddSynthetic(TFlyNodes& tree, TFlyNode* parent, const SyntheticOptions& options);

// The fan-out of the balanced shape for a size: the least f with f + f^2 + f^3 + f^4 >= size.
int BalancedFanOut(int64_t elements);

// A small deterministic generator (splitmix64), the same on every platform and library.
class SplitMix {
public:
    explicit SplitMix(uint64_t seed) : state_(seed) {}
    uint64_t Next() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform in 0 to bound - 1.
    uint64_t Below(uint64_t bound) {
        return Next() % bound; // the bias is far below what a shuffle of a file can show
    }

private:
    uint64_t state_;
};

// The tuples of a tree (PcText with plain names) for a shape: for the classification shapes, about
// every third line carries its element's description as an annotation ("@" and the description
// in quotes), as files made by other tools do; the other shapes carry none.
std::string ShapedPcText(const TFlyNodes& tree, const SyntheticOptions& options);

// The name of a shape on command lines and in benchmark names: "balanced", "deep",
// "classification", "lowercase"; false for a name that is none of them.
const char* ShapeName(Shape shape);
bool ShapeFromName(std::string_view name, Shape& shape);

// Reorders the lines of a text (each ending in CR LF) at random with a fixed seed.
std::string ShuffleLines(std::string_view text, uint64_t seed);

} // namespace settree::bench
