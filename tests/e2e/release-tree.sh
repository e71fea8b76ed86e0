#!/usr/bin/env bash
# A release tarball is the tree without git: the source checks still find
# every source file there (the same report as in the clone) and the licence
# travels with it.
source "$(dirname "$0")/lib.sh"
SOURCE_DIR=$2
tree="$E2E_TMP/release"
mkdir -p "$tree"
git -C "$SOURCE_DIR" archive HEAD | tar -x -C "$tree" || fail "git archive"
[[ -e "$tree/.git" ]] && fail "the export holds .git"
grep -q "GNU GENERAL PUBLIC LICENSE" "$tree/COPYING" || fail "no licence in COPYING"

note "tools/check-layers without git"
(cd "$tree" && env -u BUILD_DIR tools/check-layers) >"$E2E_TMP/layers.txt" 2>&1 || fail "check-layers: $(cat "$E2E_TMP/layers.txt")"
grep -qx "Includes up a layer: 0" "$E2E_TMP/layers.txt" || fail "check-layers: $(cat "$E2E_TMP/layers.txt")"
grep -qx "Cycles between gui/ folders: 0" "$E2E_TMP/layers.txt" || fail "check-layers: $(cat "$E2E_TMP/layers.txt")"
# An include that runs up a layer is still found there.
echo '#include "gui/main/Program.h"' >>"$tree/model/Countdown.h"
(cd "$tree" && env -u BUILD_DIR tools/check-layers) >"$E2E_TMP/layers.txt" 2>&1 && fail "an upward include passed"
grep -q "model/Countdown.h:.*includes gui/" "$E2E_TMP/layers.txt" || fail "not found: $(cat "$E2E_TMP/layers.txt")"

note "tools/check-layers refuses a cycle between the folders of gui/"
# desktop/ -> skin/ -> program/ -> desktop/: each step alone is allowed.
echo '#include "gui/skin/Form.h"' >>"$tree/gui/desktop/QtDialogs.cpp"
echo '#include "gui/desktop/QtDialogs.h"' >>"$tree/gui/program/ProgramModel.cpp"
(cd "$tree" && env -u BUILD_DIR tools/check-layers) >"$E2E_TMP/layers.txt" 2>&1 && fail "a cycle passed"
grep -qx "Cycle between gui/ folders: gui/desktop/ -> gui/skin/ -> gui/program/ -> gui/desktop/" "$E2E_TMP/layers.txt" ||
    fail "cycle not printed: $(cat "$E2E_TMP/layers.txt")"
grep -qE "^  gui/program/ProgramModel.cpp:[0-9]+: gui/program/ includes gui/desktop/$" "$E2E_TMP/layers.txt" ||
    fail "the closing include not named: $(cat "$E2E_TMP/layers.txt")"
grep -qx "Cycles between gui/ folders: 1" "$E2E_TMP/layers.txt" || fail "not one cycle: $(cat "$E2E_TMP/layers.txt")"

note "tools/check-sizes without git"
(cd "$tree" && tools/check-sizes) >"$E2E_TMP/sizes-tree.txt" 2>&1 || fail "check-sizes: $(cat "$E2E_TMP/sizes-tree.txt")"
# The same report as for the files git lists for the same tree.
mapfile -t listed < <(git -C "$SOURCE_DIR" ls-tree -r --name-only HEAD | grep -E '\.(cpp|h)$' | grep -v '^tools/')
(cd "$tree" && tools/check-sizes "${listed[@]}") >"$E2E_TMP/sizes-git.txt" 2>&1
cmp -s "$E2E_TMP/sizes-git.txt" "$E2E_TMP/sizes-tree.txt" || fail "reports differ: $(diff "$E2E_TMP/sizes-git.txt" "$E2E_TMP/sizes-tree.txt")"
grep -q "tests/" "$E2E_TMP/sizes-tree.txt" || fail "check-sizes saw no file: $(cat "$E2E_TMP/sizes-tree.txt")"
echo "PASS"
