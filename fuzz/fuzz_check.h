// An invariant a fuzz target asserts: a violation aborts, so libFuzzer
// records the input that caused it.
#pragma once

#include <cstdlib>

#define FUZZ_CHECK(cond)        \
  do {                          \
    if (!(cond)) std::abort();  \
  } while (0)
