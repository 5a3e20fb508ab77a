#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Usage: fuzz/smoke.sh BUILDDIR [SECONDS] [TARGET...]
# Replays the saved regression inputs of each fuzz target, then fuzzes it for SECONDS (default 60)
# on a copy of its seed corpus, so the corpus in the repository is never changed. New crash
# inputs are left in BUILDDIR/fuzz-work/<target>/ and make the script fail.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:?usage: fuzz/smoke.sh BUILDDIR [SECONDS] [TARGET...]}
seconds=${2:-60}
shift $(($# >= 2 ? 2 : 1))
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(elementtext pcreader roundtrip editing catalog markup)
work=$(cd "$build" && pwd)/fuzz-work
# The catalog target reads its files from a scratch folder: memory-backed where possible.
scratch=$(mktemp -d /dev/shm/settree-fuzz.XXXXXX 2>/dev/null || mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failed=()
for t in "${targets[@]}"; do
  bin="$build/fuzz/${t}_fuzz"
  if [ ! -x "$bin" ]; then
    if [ "$t" = markup ]; then # built only where its code can be (see fuzz/CMakeLists.txt)
      echo "fuzz-smoke: markup: not built in $build, skipped"
      continue
    fi
    echo "fuzz-smoke: $t: $bin is not built" >&2
    failed+=("$t")
    continue
  fi
  dir="$work/$t"
  rm -rf "$dir"
  mkdir -p "$dir/corpus"
  cp "$here/corpus/$t"/* "$dir/corpus/"
  # Each saved crash input once, through the same target.
  mapfile -t regressions < <(find "$here/regressions/$t" -type f ! -name '.*' 2>/dev/null | sort)
  if [ ${#regressions[@]} -gt 0 ]; then
    if ! TMPDIR="$scratch" "$bin" -rss_limit_mb=2048 -timeout=20 "${regressions[@]}" \
        >"$dir/regressions.log" 2>&1; then
      echo "fuzz-smoke: $t: a regression input fails again; see $dir/regressions.log" >&2
      failed+=("$t")
      continue
    fi
  fi
  dict=()
  [ -f "$here/dict/$t.dict" ] && dict=(-dict="$here/dict/$t.dict")
  echo "fuzz-smoke: $t for ${seconds}s (${#regressions[@]} regression inputs replayed)"
  if TMPDIR="$scratch" "$bin" "$dir/corpus" "${dict[@]}" -max_total_time="$seconds" \
      -rss_limit_mb=2048 -malloc_limit_mb=2048 -timeout=20 -max_len=8192 -print_final_stats=1 \
      -artifact_prefix="$dir/" >"$dir/fuzz.log" 2>&1; then
    grep -E '^stat::number_of_executed_units|^#[0-9]+.*DONE' "$dir/fuzz.log" | tail -2 | sed "s/^/  /"
  else
    echo "fuzz-smoke: $t found a failure; input and log in $dir" >&2
    grep -E '^==[0-9]+==ERROR|SUMMARY|what\(\)|^(crash|leak|timeout|oom)-' "$dir/fuzz.log" | head -5 >&2
    failed+=("$t")
  fi
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz-smoke: failed: ${failed[*]}" >&2
  exit 1
fi
echo "fuzz-smoke: all targets passed"
