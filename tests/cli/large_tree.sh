#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Usage: large_tree.sh CONVERTER WORKDIR
# Element text large enough for its GAMS check to run beside its conversion (to tuples, to
# element text again, or only read by --check): the check's warnings come out in the order of the
# lines and before the parser's error, the tuples read back to the same element text, and with an
# error or --strict nothing is written.
set -u
exe=$1
work=$2
rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 1
fail() {
  echo "large_tree: $*" >&2
  exit 1
}
# 30,000 regions of three elements (about 2 MB); two of them have names too long for GAMS.
awk 'BEGIN {
  long = "L"; for (i = 0; i < 70; i++) long = long "x"
  for (r = 0; r < 30000; r++) {
    name = (r == 1 || r == 29990) ? long r : "R" r
    printf "\"%s\" \"Région %d\"\r\n", name, r
    printf "   \"%s.1\" \"Straße\"\r\n", name
    printf "   \"%s.2\"\r\n", name
  }
}' >big.tree
warned_lines="4 5 6 89971 89972 89973"
lines_warned() {
  sed -n 's/^big\.tree:\([0-9]*\): warning: .*/\1/p' "$1" | tr '\n' ' ' | sed 's/ $//'
}

"$exe" big.tree big.PC 2>err.txt || fail "conversion to tuples failed: $(cat err.txt)"
[ "$(lines_warned err.txt)" = "$warned_lines" ] || fail "warnings: $(cat err.txt)"
[ "$(wc -l <err.txt)" -eq 6 ] || fail "more than the warnings: $(cat err.txt)"
[ "$(wc -l <big.PC)" -eq 90000 ] || fail "big.PC has $(wc -l <big.PC) lines, expected 90000"
head -n 2 big.PC | cmp -s - <(printf '"level1"."R0"."R0" 1\r\n"level2"."R0.1"."R0" 1\r\n') ||
  fail "big.PC begins otherwise: $(head -n 2 big.PC)"
# The tuples, with the .tree file beside for the descriptions, give the element text back.
"$exe" big.tree normal.tree 2>/dev/null || fail "normalising the element text failed"
"$exe" big.PC back.tree 2>/dev/null || fail "conversion back failed"
cmp -s normal.tree back.tree || fail "the tuples read back to other element text"

"$exe" --check big.tree 2>err.txt || fail "--check failed: $(cat err.txt)"
[ "$(lines_warned err.txt)" = "$warned_lines" ] && [ "$(wc -l <err.txt)" -eq 6 ] ||
  fail "--check: $(cat err.txt)"

"$exe" --strict big.tree strict.PC 2>err.txt
rc=$?
[ "$rc" -eq 1 ] || fail "--strict: exit status $rc, expected 1"
[ ! -e strict.PC ] || fail "--strict: the output was written"

# A line at the end that fits no level: the warnings, then the error; the output stays.
printf '  "bad"\r\n' >>big.tree
for out in out.PC out.tree ""; do
  args=(big.tree "$out")
  [ -n "$out" ] && echo sentinel >"$out"
  [ -z "$out" ] && args=(--check big.tree)
  "$exe" "${args[@]}" 2>err.txt
  rc=$?
  [ "$rc" -eq 1 ] || fail "${args[*]}: exit status $rc with an error, expected 1"
  [ "$(lines_warned err.txt)" = "$warned_lines" ] || fail "${args[*]}: warnings: $(cat err.txt)"
  sed -n 7p err.txt | grep -q '^big\.tree: Error in line 90000' ||
    fail "${args[*]}: the error is not the last message: $(cat err.txt)"
  [ "$(wc -l <err.txt)" -eq 8 ] || fail "${args[*]}: more messages: $(cat err.txt)"
  [ -z "$out" ] || [ "$(cat "$out")" = sentinel ] || fail "${args[*]}: the output was changed"
done
echo "large_tree: ok"
