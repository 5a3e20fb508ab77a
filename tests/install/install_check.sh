#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# install_check.sh BUILD WORK SOURCE CONVERTER: installs the build into a fresh prefix under WORK and checks
# what a desktop needs of it: the programs, a desktop entry that validates, the icon, the file
# types, the manual pages and the examples; and that the installed converter converts the
# example classification byte for byte as the built one does.
set -euo pipefail
build=$1 work=$2 source=$3 built=$4
prefix=$work/prefix
fail() { echo "install check: $*" >&2; exit 1; }

rm -rf "$work"
mkdir -p "$work"
cmake --install "$build" --prefix "$prefix" >"$work/install.log" || fail "cmake --install failed"

for file in bin/settree bin/settree-convert \
            share/applications/settree.desktop share/mime/packages/settree.xml \
            share/icons/hicolor/scalable/apps/settree.svg \
            share/man/man1/settree.1.gz share/man/man1/settree-convert.1.gz \
            share/settree/regions.tree share/settree/regions.PC share/settree/tessaroc \
            share/settree/tessarocgams/pcclassifications.gms share/doc/settree/COPYING; do
  [ -f "$prefix/$file" ] || fail "$file is not installed"
done
for size in 16 24 32 48 64 128 256; do
  png=$prefix/share/icons/hicolor/${size}x${size}/apps/settree.png
  [ -f "$png" ] || fail "no ${size}x${size} icon"
  [ "$(head -c 8 "$png" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] || fail "$png is no PNG"
done
# Only what a user runs and reads: no libraries, headers or build files.
for folder in lib lib64 include; do
  [ ! -e "$prefix/$folder" ] || fail "$folder/ is installed"
done

desktop-file-validate "$prefix/share/applications/settree.desktop" || fail "the desktop entry does not validate"
grep -q '^MimeType=.*text/x-settree-tree;.*text/x-settree-pc;' "$prefix/share/applications/settree.desktop" ||
  fail "the desktop entry does not open the two file forms"

# The file types: the database built from the installed description maps both forms, .PC in any
# letter case (its globs match without regard to case).
update-mime-database "$prefix/share/mime" || fail "update-mime-database refuses the file types"
grep -qx 'text/x-settree-tree:\*\.tree' "$prefix/share/mime/globs" || fail "*.tree is not mapped"
grep -qx 'text/x-settree-pc:\*\.pc' "$prefix/share/mime/globs" || fail "*.pc is not mapped"
! grep -q ':cs' "$prefix/share/mime/globs2" || fail "a glob is case-sensitive"

# The manual pages render and carry the --help texts.
for program in settree settree-convert; do
  page=$(MANWIDTH=100 man -l "$prefix/share/man/man1/$program.1.gz" 2>/dev/null) ||
    fail "man cannot show $program.1"
  for option in $("$prefix/bin/$program" --help | grep -oE '^  --[a-z]+' | tr -d ' '); do
    grep -q -- "$option" <<<"$page" || fail "$program.1 lacks $option"
  done
done

# The installed converter converts as the built one does, in both directions.
for pair in "regions.tree out.tree" "regions.tree out.PC" "regions.PC out.tree"; do
  set -- $pair
  "$built" "$source/examples/$1" "$work/built-$2"
  "$prefix/bin/settree-convert" "$prefix/share/settree/$1" "$work/installed-$2"
  cmp "$work/built-$2" "$work/installed-$2" || fail "the installed converter writes $2 otherwise"
done
# The installed editor knows its version and help without a display.
"$prefix/bin/settree" --version | grep -q '^settree [0-9]' || fail "settree --version"
"$prefix/bin/settree" --help | grep -q -- '--catalog DIR' || fail "settree --help"
echo "install check: $prefix is complete"
