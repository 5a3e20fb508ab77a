#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Usage: bench/run.sh BUILDDIR
# Runs the core benchmarks (and the tree view benchmark when it is built), compares the
# converter with `LC_ALL=C sort` on shuffled 1,000,000-line .PC files of each shape, times
# opening files of 100,000 and 1,000,000 elements in the editor (when it is built), and prints
# the tables.
# Results stay in BUILDDIR/bench-results. Extra core_bench arguments go in BENCH_ARGS
# (for example BENCH_ARGS=--benchmark_filter=LoadPC); BENCH_PARTS names the parts to run
# (default "core treeview sort open"); BENCH_ROUNDS and BENCH_OPEN_ROUNDS the rounds of the sort
# comparison (default 5) and of the open benchmark (default 3).
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

# The parts to run, all by default: BENCH_PARTS="sort open" runs only those two.
parts=" ${BENCH_PARTS:-core treeview sort open} "
want() { [[ "$parts" == *" $1 "* ]]; }

if want core; then
  echo "== core benchmarks"
  # shellcheck disable=SC2086
  TMPDIR="$work" "$bin/core_bench" --benchmark_counters_tabular=true \
    --benchmark_out="$out/core.json" --benchmark_out_format=json ${BENCH_ARGS:-}
fi

if want treeview && [ -x "$bin/treeview_bench" ]; then
  echo "== tree view benchmark"
  QT_QPA_PLATFORM=offscreen "$bin/treeview_bench" 2>&1 | tee "$out/treeview.txt"
fi

# Pairs of runs, alternating, so that the machine's other work falls on both alike; the figures
# are the range over the rounds. A measure line is "seconds=S maxrss_kb=K status=X".
rounds=${BENCH_ROUNDS:-5}
measure() {
  local line
  line=$("$bin/settree-measure" "$@" 2>&1 >/dev/null | grep '^seconds=' | tail -1)
  case "$line" in *"status=0"*) ;; *) echo "bench: $* failed: $line" >&2; return 1 ;; esac
  s=${line#seconds=}; s=${s%% *}
  kb=${line#*maxrss_kb=}; kb=${kb%% *}
  echo "$s $kb"
}

if want sort; then
  echo "== converter against LC_ALL=C sort into a file, 1,000,000 elements, $rounds rounds"
  # balanced: four levels, no descriptions; classification: six or seven levels of dotted codes,
  # UTF-8 descriptions from the .tree beside the .PC and from annotations on a third of the
  # tuples; annotated: the same tuples without the .tree beside. Each a shuffled .PC file to
  # element text; tree-to-pc: the classification's .tree file to tuples.
  mkdir -p "$work/balanced" "$work/classification" "$work/annotated"
  "$bin/settree-gen" --elements 1000000 --shuffle --seed 7 --only pc "$work/balanced/shuffled"
  "$bin/settree-gen" --shape classification --elements 1000000 --shuffle --seed 7 \
    "$work/classification/shuffled"
  cp "$work/classification/shuffled.PC" "$work/annotated/shuffled.PC"
  {
    printf "%-15s %9s %9s %17s %17s %13s %10s %7s\n" shape "input MB" "beside MB" "sort s" \
      "convert s" "convert/sort" "peak MB" "/ input"
    for shape in balanced classification annotated tree-to-pc; do
      dir="$work/$shape"
      input="$dir/shuffled.PC"
      output="$work/converted.tree"
      beside=0
      [ -f "$dir/shuffled.tree" ] && beside=$(stat -c %s "$dir/shuffled.tree")
      if [ "$shape" = tree-to-pc ]; then
        input="$work/classification/shuffled.tree"
        output="$work/converted.PC"
        beside=0
      fi
      input_bytes=$(stat -c %s "$input")
      results=()
      for _ in $(seq "$rounds"); do
        read -r ss skb < <(measure env LC_ALL=C sort -o "$work/sorted.txt" "$input")
        read -r cs ckb < <(measure "$convert" "$input" "$output")
        if [ -z "${ss:-}" ] || [ -z "${cs:-}" ]; then
          echo "bench: the sort comparison did not run" >&2
          exit 1
        fi
        results+=("$ss $cs $ckb")
      done
      printf "%s\n" "${results[@]}" | awk -v shape="$shape" -v in_b="$input_bytes" -v tree_b="$beside" '
        { s[NR] = $1; c[NR] = $2; kb = $3 > kb ? $3 : kb; r[NR] = $2 / $1 }
        function lo(a, n,   i, m) { m = a[1]; for (i = 2; i <= n; i++) if (a[i] < m) m = a[i]; return m }
        function hi(a, n,   i, m) { m = a[1]; for (i = 2; i <= n; i++) if (a[i] > m) m = a[i]; return m }
        END {
          printf "%-15s %9.1f %9.1f %8.3f-%-8.3f %8.3f-%-8.3f %6.2f-%-6.2f %10.1f %7.1f\n", shape,
                 in_b / 1048576, tree_b / 1048576, lo(s, NR), hi(s, NR), lo(c, NR), hi(c, NR),
                 lo(r, NR), hi(r, NR), kb / 1024, kb * 1024 / in_b
        }'
    done
    echo "convert/sort: the range of the ratios of the pairs; peak MB: the converter's peak"
    echo "resident memory, the most of all rounds, and that against the input's size."
  } | tee "$out/sort.txt"
fi

if want open && [ -x "$bin/open_bench" ]; then
  open_rounds=${BENCH_OPEN_ROUNDS:-3}
  echo "== opening files in the editor (offscreen), classification shape, $open_rounds rounds"
  mkdir -p "$work/open"
  for n in 100000 1000000; do
    "$bin/settree-gen" --shape classification --elements "$n" "$work/open/classification-$n"
  done
  {
    printf "%-30s %8s %13s %13s %13s %13s %12s %9s %11s %9s\n" file "MB" "open ms" "start ms" \
      "tree Refr ms" "text Refr ms" "open peak MB" "/ file" "peak MB" "/ file"
    for n in 100000 1000000; do
      for ext in tree PC; do
        file="$work/open/classification-$n.$ext"
        bytes=$(stat -c %s "$file")
        for _ in $(seq "$open_rounds"); do
          QT_QPA_PLATFORM=offscreen "$bin/open_bench" "$file" 2>/dev/null | grep '^open_ms='
          QT_QPA_PLATFORM=offscreen "$bin/open_bench" --start "$file" 2>/dev/null |
            grep '^start_ms='
        done | awk -v name="$(basename "$file")" -v bytes="$bytes" '
          function field(key,   i, kv) {
            for (i = 1; i <= NF; i++) { split($i, kv, "="); if (kv[1] == key) return kv[2] + 0 }
            return -1
          }
          function note(key, v) {
            if (v < 0) return
            if (!(key in lo) || v < lo[key]) lo[key] = v
            if (!(key in hi) || v > hi[key]) hi[key] = v
          }
          function range(key) { return key in lo ? sprintf("%6.0f-%-6.0f", lo[key], hi[key]) : sprintf("%13s", "-") }
          { note("open", field("open_ms")); note("start", field("start_ms"))
            note("tree", field("tree_refresh_ms")); note("text", field("text_refresh_ms"))
            note("peak", field("peak_kb"))
            # The open alone: up to both panes painted, from the window or from the start.
            note("openpeak", field("start_ms") >= 0 ? field("peak_kb") : field("open_peak_kb")) }
          END {
            printf "%-30s %8.1f %s %s %s %s %12.1f %9.1f %11.1f %9.1f\n", name, bytes / 1048576,
                   range("open"), range("start"), range("tree"), range("text"),
                   hi["openpeak"] / 1024, hi["openpeak"] * 1024 / bytes, hi["peak"] / 1024,
                   hi["peak"] * 1024 / bytes
          }'
      done
    done
    echo "open: from the shown, empty window to both panes painted; start: from the program's"
    echo "start with the file on its command line to both panes painted; Refr: the tree pane's"
    echo "Refresh (tree to text) and the text pane's (text to tree) after the open. open peak MB:"
    echo "the process's peak resident memory up to both panes painted; peak MB: the same after both"
    echo "Refreshes; each the most of all rounds, and that against the file's size (a .PC file also"
    echo "reads the .tree beside it)."
  } | tee "$out/open.txt"
fi

echo
echo "== summary"
if want core; then
  awk -f "$here/summary.awk" "$out/core.json" | tee "$out/summary.txt"
  echo
fi
if want sort; then
  cat "$out/sort.txt"
  echo
fi
if want open && [ -f "$out/open.txt" ]; then
  cat "$out/open.txt"
  echo
fi
if want treeview && [ -f "$out/treeview.txt" ]; then
  echo "tree view benchmark: see $out/treeview.txt"
fi
