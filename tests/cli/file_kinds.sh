#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Usage: file_kinds.sh CONVERTER WORKDIR SHIM [EDITOR]
# Saves respect what their target is: a symlink stays a symlink and the file it leads to gets
# the content; hard links keep sharing it; a FIFO or a device takes it as a stream; a file the
# user may not write is refused; the temporary file never has a wider mode than the target. A
# file size limit is reported and leaves nothing behind. A FIFO named like the .tree file beside
# an input is not read, while a FIFO named as the input is read to its end, and no further than the
# memory the program may use. A failed write to standard output is exit status 2. With EDITOR, its
# unattended save ("/SAVE /QUIT") is checked the same way where it applies.
set -u
exe=$1
work=$2
shim=$3
editor=${4:-}
rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 1
fail() {
  echo "file_kinds: $*" >&2
  exit 1
}
leftovers() {
  find . -name '.settree-*'
}
# A sanitizer build wants its runtime first among the loaded libraries; the shim only wraps open.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0"

printf '"EUR" "Europe"\r\n   "DEU"\r\n"ASI"\r\n' >a.tree
"$exe" a.tree expected.tree || fail "the conversion itself failed"
"$exe" a.tree expected.PC || fail "the conversion itself failed"

# A symlink stays a symlink; the file it leads to (also through a chain of links, and a file that
# does not exist yet) gets the content, written in that file's folder.
mkdir real
printf old >real/t.tree
ln -s real/t.tree link.tree
ln -s link.tree chain.tree
ln -s real/new.tree dangling.tree
for out in link.tree chain.tree dangling.tree; do
  "$exe" a.tree "$out" || fail "writing through $out failed"
  [ -L "$out" ] || fail "$out is no longer a symlink"
done
[ "$(readlink link.tree)" = real/t.tree ] || fail "link.tree points elsewhere"
cmp -s real/t.tree expected.tree || fail "the file behind the link did not get the content"
cmp -s real/new.tree expected.tree || fail "the file a dangling link leads to was not written"

# Hard links keep sharing one file.
printf old >h1.tree
ln h1.tree h2.tree
inode=$(stat -c %i h1.tree)
"$exe" a.tree h1.tree || fail "writing a hard-linked file failed"
cmp -s h2.tree expected.tree || fail "the other name of a hard-linked file kept the old content"
[ "$(stat -c %i h1.tree)" = "$inode" ] && [ "$(stat -c %h h1.tree)" = 2 ] ||
  fail "the hard-linked file was replaced"
printf '"level1"."A"."A" 1\r\n' >shorter.PC
"$exe" shorter.PC h1.tree || fail "writing shorter content in place failed"
[ "$(cat h2.tree)" = '"A"' ] || fail "content written in place was not cut to its length"

# A FIFO takes the content as a stream and stays a FIFO.
mkfifo fifo.tree
timeout 60 cat fifo.tree >got.tree &
reader=$!
"$exe" a.tree fifo.tree || fail "writing into a FIFO failed"
wait "$reader" || fail "nothing was written into the FIFO"
[ -p fifo.tree ] || fail "the FIFO was replaced"
cmp -s got.tree expected.tree || fail "the FIFO's reader did not get the content"

# A device: /dev/null behind a symlink, and a device node of our own where one can be made.
ln -s /dev/null null.tree
"$exe" a.tree null.tree || fail "writing into /dev/null failed"
[ -L null.tree ] && [ -c /dev/null ] || fail "/dev/null or the link to it was replaced"
if mknod device.tree c 1 3 2>/dev/null; then
  "$exe" a.tree device.tree || fail "writing into a device node failed"
  [ -c device.tree ] || fail "the device node was replaced"
fi
[ -z "$(leftovers)" ] || fail "temporary files left: $(leftovers)"

# The temporary file is created with the target's mode, never a wider one, and the target keeps
# its mode.
printf old >secret.tree
chmod 600 secret.tree
rm -f modes.txt
SETTREE_TEST_RECORD=$PWD/modes.txt LD_PRELOAD=$shim "$exe" a.tree secret.tree ||
  fail "writing a 0600 file failed"
[ "$(cat modes.txt 2>/dev/null)" = 600 ] ||
  fail "the temporary file of a 0600 file was created with mode $(cat modes.txt 2>/dev/null)"
[ "$(stat -c %a secret.tree)" = 600 ] || fail "the 0600 file has mode $(stat -c %a secret.tree)"

# A file the user may not write is refused, whatever its folder allows. Root may write it, so
# root checks this as the user nobody, where the system lets it become that user.
mkdir open-folder && chmod 777 open-folder
cp a.tree open-folder/a.tree
printf old >open-folder/readonly.tree
chmod 444 open-folder/readonly.tree
as_user=()
if [ "$(id -u)" = 0 ]; then
  as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
  chown 65534 open-folder/readonly.tree
  "${as_user[@]}" test -x "$exe" 2>/dev/null || as_user=(skip)
fi
if [ "${as_user[0]:-}" != skip ]; then
  (cd open-folder && "${as_user[@]}" "$exe" a.tree readonly.tree) 2>err.txt
  rc=$?
  [ "$rc" = 2 ] || fail "a read-only file: exit status $rc"
  [ "$(cat err.txt)" = "Cannot create file readonly.tree: Permission denied" ] ||
    fail "a read-only file: $(cat err.txt)"
  [ "$(cat open-folder/readonly.tree)" = old ] || fail "a read-only file was replaced"
  [ -z "$(find open-folder -name '.settree-*')" ] || fail "a read-only file: a temporary file was left"
fi

# A file size limit: the write fails with its reason, and the old file and no temporary file
# are left. Limits are counted in blocks of 512 bytes.
awk 'BEGIN { print "\"level1\".\"R\".\"R\" 1"; for (i = 0; i < 200; i++) printf "\"level2\".\"E%d\".\"R\" 1\n", i }' >big.PC
printf sentinel >limited.tree
(ulimit -f 1 && exec "$exe" big.PC limited.tree) 2>err.txt
rc=$?
[ "$rc" = 2 ] || fail "past the file size limit: exit status $rc"
[ "$(cat err.txt)" = "Cannot create file limited.tree: File too large" ] ||
  fail "past the file size limit: $(cat err.txt)"
[ "$(cat limited.tree)" = sentinel ] || fail "past the file size limit the old file changed"
(ulimit -f 1 && exec "$exe" big.PC h1.tree) 2>/dev/null
[ "$(cat h2.tree)" = '"A"' ] || fail "past the file size limit a file written in place changed"
[ -z "$(leftovers)" ] || fail "past the file size limit: left $(leftovers)"

# A FIFO named like the .tree file beside an input gives no descriptions and is never opened.
cp big.PC beside.PC
mkfifo beside.tree
timeout 60 "$exe" beside.PC beside.out.tree || fail "a FIFO beside the input held the conversion"

# An input named on the command line may be a FIFO (a process substitution): it is read to its
# end, so an error on its last line is found.
printf '"A"\r\n   "B"\r\n"C"\r\n  "late"\r\n' >late-error.tree
"$exe" <(cat a.tree) from-fifo.PC || fail "a FIFO as the input was not converted"
cmp -s from-fifo.PC expected.PC || fail "a FIFO as the input gave other tuples"
for program in "$exe" $editor; do
  if [ "$program" = "$exe" ]; then "$exe" <(cat late-error.tree) never.PC 2>err.txt
  else "$program" <(cat late-error.tree) /QUIT 2>err.txt; fi
  rc=$?
  [ "$rc" = 1 ] || fail "$program on a FIFO with a late error: exit status $rc"
  grep -q '"late"' err.txt || fail "$program did not read a FIFO to its end: $(cat err.txt)"
done
[ ! -e never.PC ] || fail "a FIFO with an error gave tuples"

# An endless stream is read only up to the memory the program may use, and running out says so
# in words naming it. (A sanitizer's runtime cannot run under an address space limit.)
if ! ldd "$exe" | grep -q libasan; then
  for program in "$exe" $editor; do
    if [ "$program" = "$exe" ]; then want=2; args=(endless.tree)
    else want=1; args=(/QUIT); fi
    (ulimit -v 600000 && exec "$program" <(yes '"aaaaaaaaaaaaaaaa"') "${args[@]}") 2>err.txt
    rc=$?
    [ "$rc" = "$want" ] || fail "$program on an endless stream: exit status $rc"
    grep -Eq '^(settree-convert: )?not enough memory to load /dev/fd/[0-9]+$' err.txt ||
      fail "$program on an endless stream: $(cat err.txt)"
  done
  [ ! -e endless.tree ] || fail "an endless stream gave a file"
fi

# Standard output that cannot take the text.
for program in "$exe" $editor; do
  "$program" --help >/dev/full 2>err.txt
  rc=$?
  [ "$rc" = 2 ] || fail "$program --help into a full device: exit status $rc"
  grep -q "No space left on device" err.txt || fail "$program --help into a full device: $(cat err.txt)"
done

if [ -n "$editor" ]; then
  # The unattended save writes through a symlinked .tree file.
  mkdir run
  cp big.PC run/x.PC
  printf old >real/x.tree
  ln -s ../real/x.tree run/x.tree
  "$editor" run/x.PC /SAVE /QUIT || fail "the unattended save through a symlink failed"
  [ -L run/x.tree ] || fail "the unattended save replaced the symlinked .tree file"
  "$exe" big.PC x.expected.tree || fail "the conversion itself failed"
  cmp -s real/x.tree x.expected.tree || fail "the unattended save did not write through the link"

  # A .tree file that is a device node takes the element text as a stream and stays a device.
  if mknod node.tree c 1 3 2>/dev/null; then
    cp big.PC node.PC
    "$editor" node.PC /SAVE /QUIT || fail "the unattended save into a device node failed"
    [ -c node.tree ] || fail "the unattended save replaced the device node"
  fi

  # Its file size limit.
  cp big.PC limited.PC
  (ulimit -f 1 && exec "$editor" limited.PC /SAVE /QUIT) 2>err.txt
  rc=$?
  [ "$rc" = 1 ] || fail "the unattended save past the file size limit: exit status $rc"
  [ "$(cat err.txt)" = "Cannot create file limited.PC: File too large" ] ||
    fail "the unattended save past the file size limit: $(cat err.txt)"
  cmp -s limited.PC big.PC || fail "the unattended save past the file size limit changed the input"

  # A FIFO beside the .PC file.
  timeout 60 "$editor" beside.PC /QUIT || fail "a FIFO beside the .PC file held the unattended run"
  [ -z "$(leftovers)" ] || fail "the unattended runs left $(leftovers)"
fi
echo "file_kinds: ok"
