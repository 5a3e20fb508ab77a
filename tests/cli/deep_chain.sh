#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Usage: deep_chain.sh CONVERTER WORKDIR
# The element text of a chain is indented by three blanks for every element above each one, so
# it grows with the square of the chain's length: 30,000 elements would take 1.3 GB. Under a
# 1 GB memory limit the converter refuses at once with its message and leaves the output alone;
# the same chain converts to tuples and passes --check within the limit.
set -u
exe=$1
work=$2
editor=${3:-}
rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 1
fail() {
  echo "deep_chain: $*" >&2
  exit 1
}
awk 'BEGIN {
  print "\"level1\".\"E0\".\"E0\" 1"
  for (i = 1; i < 30000; i++) printf "\"level%d\".\"E%d\".\"E%d\" 1\n", i + 1, i, i - 1
}' >chain.PC
echo sentinel >out.tree

(ulimit -v 1048576 && exec "$exe" chain.PC out.tree) 2>err.txt
rc=$?
[ "$rc" -eq 2 ] || fail "exit status $rc, expected 2; stderr: $(cat err.txt)"
grep -Eq '^settree-convert: chain.PC: The element text would take more than [0-9]+ MB, and at most [0-9]+ MB of memory can be given to it$' err.txt ||
  fail "unexpected message: $(cat err.txt)"
[ "$(cat out.tree)" = sentinel ] || fail "the output file was changed"
[ -z "$(find . -name '.settree-*')" ] || fail "a temporary file was left behind"

(ulimit -v 1048576 && exec "$exe" chain.PC out.PC) 2>err.txt || fail "tuples to tuples failed: $(cat err.txt)"
(ulimit -v 1048576 && exec "$exe" --check chain.PC) 2>err.txt || fail "--check of sound tuples failed: $(cat err.txt)"
[ "$(wc -l <out.PC)" -eq 30000 ] || fail "out.PC has $(wc -l <out.PC) lines, expected 30000"
if [ -n "$editor" ]; then
  echo '"E5" "five"' >chain.tree
  cp chain.PC chain.PC.before
  cp chain.tree chain.tree.before
  (ulimit -v 1048576 && exec "$editor" chain.PC /SAVE /QUIT) 2>err.txt
  rc=$?
  [ "$rc" -eq 1 ] || fail "editor: exit status $rc, expected 1; stderr: $(cat err.txt)"
  grep -q 'The element text would take more than' err.txt || fail "editor: message: $(cat err.txt)"
  cmp -s chain.PC chain.PC.before || fail "editor: the tuples were rewritten"
  cmp -s chain.tree chain.tree.before || fail "editor: the .tree file was rewritten"
fi
echo "deep_chain: ok"
