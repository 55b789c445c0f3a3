#pragma once
// A broken invariant has to look like a crash to libFuzzer, so that it keeps
// the input; the message says which rule broke.
#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(cond, ...)                                                \
    do {                                                                     \
        if (!(cond)) {                                                       \
            std::fprintf(stderr, "invariant broken: %s\n  ", #cond);         \
            std::fprintf(stderr, __VA_ARGS__);                               \
            std::fputc('\n', stderr);                                        \
            std::abort();                                                    \
        }                                                                    \
    } while (0)
