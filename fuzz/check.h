// What a fuzz target asserts about a parser. A broken invariant prints the
// condition and aborts, which libFuzzer reports as a crash and keeps the input.
#pragma once

#include <cstdio>
#include <cstdlib>

namespace fuzz {

[[noreturn]] inline void Broken(const char* condition, const char* file, int line)
{
    std::fprintf(stderr, "%s:%d: invariant broken: %s\n", file, line, condition);
    std::abort();
}

}  // namespace fuzz

#define FUZZ_CHECK(condition) ((condition) ? static_cast<void>(0) : ::fuzz::Broken(#condition, __FILE__, __LINE__))
