#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test headless: unit and
# whole-program tests (also under AddressSanitizer and UndefinedBehaviorSanitizer),
# short fuzzing runs of the parsers of outside input, the benchmarks, and the end-to-end tests under Xvfb. The CTest
# summary of the main build comes last.
set -uo pipefail
cd "$(dirname "$0")"

tools/install-deps.sh --test || { echo "test.sh: could not install the packages"; exit 1; }

failed=()
# Each step's heading says how long the run has taken so far, to see where the time goes.
step() { printf '\n=== %s (at %d s)\n' "$*" "$SECONDS"; }
configure() { cmake -S . -B "$1" -G Ninja "${@:2}" >/dev/null; }

# Every C++ file of the repository, tracked or new (not ignored), that exists;
# outside a git checkout, every one outside the build folders.
cxx_files() {
    if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
        git ls-files -z --cached --others --exclude-standard -- '*.cpp' '*.h' |
            while IFS= read -r -d '' f; do [[ -f $f ]] && printf '%s\0' "$f"; done
    else
        find . -path './build*' -prune -o \( -name '*.cpp' -o -name '*.h' \) -printf '%P\0'
    fi
}

step "Format"
# Laid out as .clang-format says; `git clang-format` formats the lines a change touched.
unformatted=$(cxx_files | xargs -0 clang-format --dry-run --Werror 2>&1 |
    sed -n 's/^\(.*\):[0-9]*:[0-9]*: error: code should be clang-formatted.*/\1/p' | sort -u)
if [[ -n $unformatted ]]; then
    echo "Not formatted:"
    printf '  %s\n' $unformatted
    failed+=("format")
else
    echo "Every file formatted."
fi

step "Build"
# Warnings are errors here, in every build below; a user's build only shows them.
# Line tables only (-g1): enough for a stack trace, and a quarter faster to build.
configure build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" \
    -DOBU_WERROR=ON && cmake --build build ||
    { echo "test.sh: build failed"; exit 1; }

step "Static checks (clang-tidy), started"
# The checks of .clang-tidy over every production source (not tests,
# benchmarks or generated code) and the project's headers they include, read
# through the sanitizer build's unity sources: a batch of files per parse, a
# minute or two in all. It runs beside the next steps at low priority and is
# waited for after the tests.
#
# The sanitizer builds compile a folder's files together (a unity build), in a
# third of the time; the main build above still compiles each file alone.
asan_configured=0
configure build-asan -DCMAKE_BUILD_TYPE=Debug -DOBU_SANITIZE=ON -DOBU_WERROR=ON -DCMAKE_UNITY_BUILD=ON &&
    asan_configured=1
BUILD_DIR=build-asan tools/tidy >build/clang-tidy.log 2>&1 &
tidy_pid=$!

step "Sizes"
# A report, not a failure: the functions and files that are hard to read at once.
tools/check-sizes

step "Layers"
# No source includes a layer above its own, and nothing below the windows is
# compiled with Qt Widgets.
tools/check-layers || failed+=("layers")

step "Fuzzing the parsers of outside input"
# The INI reader longest; every other parser a few seconds (docs/FUZZING.md
# says how to run them long).
if configure build-fuzz -DOBU_FUZZ=ON -DOBU_WERROR=ON -DCMAKE_CXX_COMPILER=clang++ && cmake --build build-fuzz; then
    for target in ini:20 phonebook:5 record:5 xdg:5 hayes:5 modem:5 pppd:5 uucplock:5 nmreasons:5 nmproperties:5; do
        name=${target%%:*}
        corpus=$(mktemp -d)
        echo "--- $name"
        build-fuzz/bin/${name}_fuzz -max_total_time=${target##*:} -print_final_stats=0 \
            "$corpus" "tests/fuzz/corpus/$name" 2>&1 | tail -n 3 \
            || failed+=("fuzzing $name")
        rm -rf "$corpus"
    done
else
    failed+=("fuzz build")
fi

step "Unit and whole-program tests under AddressSanitizer and UndefinedBehaviorSanitizer"
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
if [[ $asan_configured -eq 1 ]] && cmake --build build-asan --target obu_tests; then
    ctest --test-dir build-asan -LE e2e -j2 --timeout 300 --output-on-failure | tail -n 25
    [[ ${PIPESTATUS[0]} -eq 0 ]] || failed+=("sanitizer tests")
else
    failed+=("sanitizer build")
fi

unset ASAN_OPTIONS UBSAN_OPTIONS

step "All tests (unit, whole program, end-to-end under Xvfb)"
# The static checks go on beside them at low priority, in the time the
# end-to-end tests spend waiting on the program.
ctest --test-dir build -j2 --timeout 600 --output-on-failure | tee build/ctest.log
main=${PIPESTATUS[0]}

step "Static checks (clang-tidy)"
wait "$tidy_pid" || failed+=("clang-tidy")
cat build/clang-tidy.log

step "Benchmarks"
# Last, on an otherwise idle machine: they measure the idle cost of watching.
for bench in $(find build/bench -maxdepth 1 -type f -name 'bench_*' -perm -u+x 2>/dev/null | sort); do
    echo "--- $(basename "$bench")"
    OBU_BENCH_WATCH_SECONDS=15 "$bench" || failed+=("$(basename "$bench")")
done

step "Summary of all tests"
sed -n '/tests passed/,$p' build/ctest.log
step "Finished"

if [[ ${#failed[@]} -gt 0 ]]; then
    echo "test.sh: also failed: ${failed[*]}"
    exit 1
fi
exit $main
