#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Usage: interrupt.sh CONVERTER WORKDIR SHIM [EDITOR]
# The converter stopped by a signal at any moment of a conversion leaves the output file as it
# was or whole, and no temporary file beside it. First SIGINT, SIGTERM and SIGHUP are sent by
# the preloaded SHIM right after the temporary file is created, the narrowest moment there is;
# then SIGTERM and SIGHUP land at points spread over the time one conversion takes, most of them
# in its last third, where it writes. Either way the outcome does not depend on timing. With
# EDITOR, its unattended save ("/SAVE /QUIT") gets the same signals from the SHIM.
set -u
exe=$1
work=$2
shim=$3
editor=${4:-}
rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 1
fail() {
  echo "interrupt: $*" >&2
  exit 1
}
awk 'BEGIN {
  print "\"level1\".\"ROOT\".\"ROOT\" 1"
  for (i = 0; i < 300; i++) {
    printf "\"level2\".\"G%d\".\"ROOT\" 1\n", i
    for (k = 0; k < 1000; k++) printf "\"level3\".\"E%d_%d\".\"G%d\" 1\n", i, k, i
  }
}' >in.PC
"$exe" in.PC expected.tree || fail "the conversion itself failed"

# A sanitizer build wants its runtime first among the loaded libraries; the shim only wraps open.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0"
# Every conversion writes its output as it is made, through the same temporary file.
for conversion in "in.PC out.tree" "expected.tree out.PC" "expected.tree out.tree" "in.PC out.PC"; do
  read -r input output <<<"$conversion"
  for signal in INT TERM HUP; do
    echo sentinel >"$output"
    LD_PRELOAD=$shim SETTREE_TEST_SIGNAL=$signal "$exe" "$input" "$output"
    rc=$?
    [ "$rc" -eq $((128 + $(kill -l "$signal"))) ] || fail "$conversion: SIG$signal on creating the temporary file: exit status $rc"
    [ -z "$(find . -name '.settree-*')" ] || fail "$conversion: SIG$signal on creating the temporary file left $(find . -name '.settree-*')"
    [ "$(cat "$output")" = sentinel ] || fail "$conversion: SIG$signal on creating the temporary file changed the output"
  done
done

if [ -n "$editor" ]; then
  for signal in INT TERM HUP; do
    rm -f run.tree
    cp in.PC run.PC
    LD_PRELOAD=$shim SETTREE_TEST_SIGNAL=$signal "$editor" run.PC /SAVE /QUIT
    rc=$?
    [ "$rc" -eq $((128 + $(kill -l "$signal"))) ] || fail "editor: SIG$signal on creating the temporary file: exit status $rc"
    [ -z "$(find . -name '.settree-*')" ] || fail "editor: SIG$signal on creating the temporary file left $(find . -name '.settree-*')"
    cmp -s run.PC in.PC || fail "editor: SIG$signal on creating the temporary file changed the input"
    [ ! -e run.tree ] || fail "editor: SIG$signal on creating the temporary file wrote run.tree"
  done
fi

start=$(date +%s%N)
"$exe" in.PC timing.tree || fail "the conversion itself failed"
total_ms=$((($(date +%s%N) - start) / 1000000))

for percent in 10 25 40 55 $(seq 62 2 100); do
  delay_ms=$((total_ms * percent / 100))
  signal=$([ $((percent % 4)) -eq 0 ] && echo TERM || echo HUP)
  echo sentinel >out.tree
  "$exe" in.PC out.tree &
  pid=$!
  sleep "$((delay_ms / 1000)).$(printf '%03d' $((delay_ms % 1000)))"
  kill -s "$signal" "$pid" 2>/dev/null
  wait "$pid"
  [ -z "$(find . -name '.settree-*')" ] || fail "SIG$signal after ${delay_ms} ms left $(find . -name '.settree-*')"
  if ! cmp -s out.tree expected.tree && [ "$(cat out.tree)" != sentinel ]; then
    fail "SIG$signal after ${delay_ms} ms left an output that is neither the old one nor whole"
  fi
done
echo "interrupt: ok (one conversion takes ${total_ms} ms)"
