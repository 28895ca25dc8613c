// SPDX-License-Identifier: MIT
// Counts the heap allocations of a program, for bench/report's check that the batch
// path allocates nothing per line: preloaded (LD_PRELOAD) into the program, it counts
// every call of malloc and realloc, which operator new goes through too, and writes
// "allocations: N" to standard error when the program ends. A count that stays the
// same for a thousand lines and for millions means no line allocates.

#include <dlfcn.h>
#include <unistd.h>

#include <atomic>
#include <cstddef>
#include <cstdio>

namespace {

std::atomic<unsigned long> allocations{0};

template <typename Function> Function next(const char* name) {
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

struct Report {
    ~Report() {
        char line[64];
        const int length =
            std::snprintf(line, sizeof line, "allocations: %lu\n", allocations.load());
        if (length > 0) {
            static_cast<void>(::write(2, line, static_cast<std::size_t>(length)));
        }
    }
} report;

} // namespace

extern "C" void* malloc(std::size_t size) {
    static const auto real = next<void* (*)(std::size_t)>("malloc");
    ++allocations;
    return real(size);
}

extern "C" void* realloc(void* block, std::size_t size) {
    static const auto real = next<void* (*)(void*, std::size_t)>("realloc");
    ++allocations;
    return real(block, size);
}
