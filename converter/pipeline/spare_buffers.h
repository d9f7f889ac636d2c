// SPDX-License-Identifier: MIT
// The large buffers a finished conversion leaves for the next one, on whichever thread
// that runs, so that a run of small files does not pay for fresh buffers each time.
//
// They are kept in one pool under a lock rather than in thread_local variables: the
// mingw-w64 runtime frees a thread_local's storage before it runs the variable's
// destructor when a thread ends, so a thread_local that owns memory frees it twice on
// Windows (the heap reports corruption, or stays locked for good under Wine). Every
// thread_local of this program is a plain pointer or number for that reason.
#ifndef JOINT2SI_PIPELINE_SPARE_BUFFERS_H
#define JOINT2SI_PIPELINE_SPARE_BUFFERS_H

#include "convert/block_line_reader.h"
#include "pipeline/block_channel.h"

/// A spare output block, or an empty one when none is left.
Block take_spare_block();
/// Keeps `block` for a later conversion, or frees it when enough are kept.
void keep_spare_block(Block block) noexcept;

/// Spare storage for a line reader, or an empty one when none is left.
LineReaderStorage take_reader_storage();
/// Keeps `storage` for a later conversion, or frees it when enough are kept.
void keep_reader_storage(LineReaderStorage storage) noexcept;

#endif
