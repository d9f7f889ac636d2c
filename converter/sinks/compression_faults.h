// SPDX-License-Identifier: MIT
// Test support: a compressing worker that fails as it would when memory runs out in
// zlib or in the vectors it fills: std::bad_alloc thrown on that thread before it
// compresses a block. Costs one atomic load per block.
#ifndef JOINT2SI_SINKS_COMPRESSION_FAULTS_H
#define JOINT2SI_SINKS_COMPRESSION_FAULTS_H

/// The n-th block from now that is compressed fails, once; 0: never.
void fail_nth_compressed_block(long n);

/// Throws std::bad_alloc when this block is the one asked to fail.
void throw_if_compression_fails();

#endif
