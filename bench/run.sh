#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Usage: bench/run.sh BUILDDIR
# Runs the core benchmarks (and the tree view benchmark when it is built), compares the
# converter with `LC_ALL=C sort` on a shuffled 1,000,000-line .PC, and prints one table.
# Results stay in BUILDDIR/bench-results. Extra core_bench arguments go in BENCH_ARGS
# (for example BENCH_ARGS=--benchmark_filter=LoadPC).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:?usage: bench/run.sh BUILDDIR}" && pwd)
bin="$build/bench"
convert="$build/src/cli/settree-convert"
out="$build/bench-results"
mkdir -p "$out"
work=$(mktemp -d "${TMPDIR:-/tmp}/settree-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

for exe in "$bin/core_bench" "$bin/settree-gen" "$bin/settree-measure" "$convert"; do
  [ -x "$exe" ] || { echo "bench: $exe is not built" >&2; exit 2; }
done

echo "== core benchmarks"
# shellcheck disable=SC2086
TMPDIR="$work" "$bin/core_bench" --benchmark_counters_tabular=true \
  --benchmark_out="$out/core.json" --benchmark_out_format=json ${BENCH_ARGS:-}

if [ -x "$bin/treeview_bench" ]; then
  echo "== tree view benchmark"
  QT_QPA_PLATFORM=offscreen "$bin/treeview_bench" 2>&1 | tee "$out/treeview.txt"
fi

echo "== converter against sort on a shuffled 1,000,000-line .PC"
"$bin/settree-gen" --elements 1000000 --shuffle --seed 7 --only pc "$work/shuffled"
input_bytes=$(stat -c %s "$work/shuffled.PC")
lines=$(wc -l <"$work/shuffled.PC")
# Best of three runs each; the measure line is "seconds=S maxrss_kb=K status=X".
best() {
  local best_s="" best_kb="" line s kb
  for _ in 1 2 3; do
    line=$("$bin/settree-measure" "$@" 2>&1 >/dev/null | grep '^seconds=' | tail -1)
    s=${line#seconds=}; s=${s%% *}
    kb=${line#*maxrss_kb=}; kb=${kb%% *}
    case "$line" in *"status=0"*) ;; *) echo "bench: $* failed: $line" >&2; return 1 ;; esac
    if [ -z "$best_s" ] || awk -v a="$s" -v b="$best_s" 'BEGIN { exit !(a < b) }'; then
      best_s=$s; best_kb=$kb
    fi
  done
  echo "$best_s $best_kb"
}
read -r sort_s sort_kb < <(best env LC_ALL=C sort -o "$work/sorted.PC" "$work/shuffled.PC")
read -r conv_s conv_kb < <(best "$convert" "$work/shuffled.PC" "$work/converted.tree")
if [ -z "${sort_s:-}" ] || [ -z "${conv_s:-}" ]; then
  echo "bench: the sort comparison did not run" >&2
  exit 1
fi
tree_lines=$(awk 'END { print NR }' "$work/converted.tree")
{
  echo "input: $lines lines, $input_bytes bytes; output .tree: $tree_lines lines"
  awk -v s="$sort_s" -v c="$conv_s" -v skb="$sort_kb" -v ckb="$conv_kb" -v in_b="$input_bytes" 'BEGIN {
    printf "LC_ALL=C sort     %8.3f s   peak %8.1f MB\n", s, skb / 1024
    printf "settree-convert   %8.3f s   peak %8.1f MB  (%.1f x the input of %.1f MB)\n",
           c, ckb / 1024, ckb * 1024 / in_b, in_b / 1048576
    printf "converter / sort: %.2f\n", c / s
  }'
} | tee "$out/sort.txt"

echo
echo "== summary"
awk -f "$here/summary.awk" "$out/core.json" | tee "$out/summary.txt"
echo
cat "$out/sort.txt"
if [ -f "$out/treeview.txt" ]; then
  echo "tree view benchmark: see $out/treeview.txt"
fi
