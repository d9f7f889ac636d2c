// SPDX-License-Identifier: MIT
#include "pipeline/write_prefetch.h"

#if (defined(__GNUC__) || defined(__clang__)) && defined(__x86_64__)
#include <cpuid.h>
#endif

namespace {

#if defined(__x86_64__) || defined(_M_X64)
// The processor says it has PREFETCHW in bit 8 of ECX of the extended leaf 0x80000001.
constexpr unsigned kFeatureLeaf = 0x80000001u;
constexpr unsigned kPrefetchwBit = 1u << 8;
#endif

// What the processor says; asked once, since a virtual machine may trap every CPUID.
bool ask_processor() {
#if (defined(__GNUC__) || defined(__clang__)) && defined(__x86_64__)
    unsigned eax = 0;
    unsigned ebx = 0;
    unsigned ecx = 0;
    unsigned edx = 0;
    // __get_cpuid fails when the processor has no such leaf.
    return __get_cpuid(kFeatureLeaf, &eax, &ebx, &ecx, &edx) != 0 && (ecx & kPrefetchwBit) != 0;
#elif defined(_MSC_VER) && defined(_M_X64)
    constexpr unsigned kExtendedLeaves = 0x80000000u; // gives the highest extended leaf
    int registers[4] = {};
    __cpuid(registers, static_cast<int>(kExtendedLeaves));
    if (static_cast<unsigned>(registers[0]) < kFeatureLeaf) {
        return false;
    }
    __cpuid(registers, static_cast<int>(kFeatureLeaf));
    return (static_cast<unsigned>(registers[2]) & kPrefetchwBit) != 0;
#elif defined(__GNUC__) || defined(__clang__)
    return true;
#else
    return false;
#endif
}

} // namespace

bool write_prefetch_available() {
    static const bool available = ask_processor();
    return available;
}
