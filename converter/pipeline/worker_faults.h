// SPDX-License-Identifier: MIT
// Test support: a worker thread that fails as it would when memory runs out in the
// code it calls (the source it reads, the target it writes): std::bad_alloc thrown
// on that thread, before it handles a block. Costs one atomic load per block.
#ifndef JOINT2SI_WORKER_FAULTS_H
#define JOINT2SI_WORKER_FAULTS_H

enum class WorkerSide { reading, writing, count };

/// The n-th block from now that a worker of `side` handles fails, once; 0: never.
void fail_nth_worker_block(WorkerSide side, long n);

/// Throws std::bad_alloc when this block is the one asked to fail.
void throw_if_block_fails(WorkerSide side);

#endif
