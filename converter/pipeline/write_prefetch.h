// SPDX-License-Identifier: MIT
// A hint that a cache line is about to be written: the processor fetches the line in
// the state a store needs, taking it away from another core's cache if need be.
//
// The converting thread writes its output into blocks that the writing thread has just
// read, often on another core. Every first store into a line of such a block must wait
// for the other core to give the line up; the stores pile up behind those waits, and on
// processors whose cores share no cache (cores of different chiplets, or of different
// sockets) that doubled the converting thread's time. Asked a few lines ahead of the
// stores, the processor makes those transfers while the conversion goes on.
//
// x86-64 has the hint in PREFETCHW, which old processors lack: it is used only where
// the processor says it has it, and write_prefetch is then given `enabled` true. Other
// processors get the compiler's write prefetch where there is one, or nothing.
#ifndef JOINT2SI_PIPELINE_WRITE_PREFETCH_H
#define JOINT2SI_PIPELINE_WRITE_PREFETCH_H

#include "convert/short_copy.h"

#include <cstdint>

#if defined(_MSC_VER) && defined(_M_X64)
#include <intrin.h>
#endif

/// Whether write_prefetch does anything on this processor (asked of it once a process).
bool write_prefetch_available();

/// Asks for the cache line at `address` to be made ready for a store, when `enabled`.
/// The address need not belong to any object: the hint never faults and reads nothing.
JOINT2SI_HOT_INLINE void write_prefetch(std::uintptr_t address, bool enabled) {
#if (defined(__GNUC__) || defined(__clang__)) && defined(__x86_64__)
    if (enabled) {
        __asm__ volatile("prefetchw (%0)" : : "r"(address));
    }
#elif defined(_MSC_VER) && defined(_M_X64)
    if (enabled) {
        _m_prefetchw(reinterpret_cast<const void *>(address));
    }
#elif defined(__GNUC__) || defined(__clang__)
    if (enabled) {
        __builtin_prefetch(reinterpret_cast<const void *>(address), 1);
    }
#else
    static_cast<void>(address);
    static_cast<void>(enabled);
#endif
}

#endif
