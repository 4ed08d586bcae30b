#pragma once

#include <cstdio>
#include <cstdlib>

// A broken promise of a reader ends the run as a crash does, so that
// libFuzzer keeps the input.
#define VESKO_FUZZ_CHECK(condition)                                                      \
    do {                                                                                 \
        if (!(condition)) {                                                              \
            std::fprintf(stderr, "%s:%d: broken: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                \
        }                                                                                \
    } while (false)
