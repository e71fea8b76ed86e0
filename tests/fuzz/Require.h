#pragma once
#include <cstdio>
#include <cstdlib>

// A broken promise of the code under test: reported and turned into a crash,
// so that the fuzzer keeps the input.
inline void require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "broken: %s\n", what);
        std::abort();
    }
}
