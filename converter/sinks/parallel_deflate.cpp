// SPDX-License-Identifier: MIT
#include "sinks/parallel_deflate.h"

#include "sinks/compression_faults.h"

#include <zlib.h>

#include <cerrno>
#include <cstring>

ParallelDeflate::ParallelDeflate(OutputSink *downstream, int level, unsigned workers)
    : downstream_(downstream), level_(level), wanted_(workers),
      slots_(workers > 0 ? 2 * std::size_t{workers} + 2 : 2), own_(level) {}

ParallelDeflate::~ParallelDeflate() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    queued_.notify_all();
    for (ToolThread *&thread : threads_) {
        tool_thread_join(&thread);
    }
}

// Starts the workers; with fewer than asked (no thread or no memory from the
// system), the blocks go to those that started, or are compressed in this thread.
void ParallelDeflate::start() {
    started_ = true;
    if (wanted_ == 0) {
        return;
    }
    threads_.reserve(wanted_);
    for (unsigned i = 0; i < wanted_; ++i) {
        ToolThread *thread = tool_thread_start(run, this);
        if (thread == nullptr) {
            break;
        }
        threads_.push_back(thread);
    }
}

// A worker's body. Nothing in it throws but the lock of the mutex, which only a
// programming error makes fail; a block's own failure stays with the block.
void ParallelDeflate::run(void *self) noexcept {
    auto *deflate = static_cast<ParallelDeflate *>(self);
    BlockDeflater deflater(deflate->level_);
    deflate->work(&deflater);
}

// Takes the queued blocks in their order, whichever worker is free, until stopped.
void ParallelDeflate::work(BlockDeflater *deflater) {
    for (;;) {
        Slot *slot = nullptr;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            queued_.wait(lock,
                         [this] { return stopping_ || slots_[next_].state == State::queued; });
            if (stopping_) {
                return;
            }
            slot = &slots_[next_];
            slot->state = State::working;
            next_ = (next_ + 1) % slots_.size();
        }
        compress(slot, deflater);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            slot->state = State::done;
        }
        done_.notify_all();
    }
}

// Compresses one block and its CRC; what that throws is kept with the block.
void ParallelDeflate::compress(Slot *slot, BlockDeflater *deflater) noexcept {
    try {
        throw_if_compression_fails();
        const unsigned char *text = slot->text.data() + slot->primer;
        const std::size_t size = slot->end - slot->primer;
        slot->crc = crc32(0L, text, static_cast<uInt>(size));
        slot->compressed = deflater->compress(slot->text.data(), slot->primer, text, size,
                                              slot->last, &slot->packed);
    } catch (...) {
        slot->thrown = std::current_exception();
    }
}

// Makes slot `index` ready for text, primed with the end of the block `before` it.
void ParallelDeflate::begin(std::size_t index, const Slot *before) {
    Slot &slot = slots_[index];
    slot.text.resize(kDeflateWindow + kBlockSize); // once per slot
    slot.primer = 0;
    if (before != nullptr) {
        slot.primer = kDeflateWindow;
        std::memcpy(slot.text.data(), before->text.data() + before->end - kDeflateWindow,
                    kDeflateWindow);
    }
    slot.end = slot.primer;
    slot.last = false;
    slot.compressed = false;
    slot.thrown = nullptr;
}

bool ParallelDeflate::append(const unsigned char *data, std::size_t size) {
    try {
        if (slots_[filling_].text.empty()) {
            begin(filling_, nullptr);
        }
        while (size > 0 && !failed_) {
            Slot &slot = slots_[filling_];
            const std::size_t room = slot.primer + kBlockSize - slot.end;
            if (room == 0) { // a full block goes only once more text comes: it may be the last
                failed_ = !submit(false);
                continue;
            }
            const std::size_t piece = size < room ? size : room;
            std::memcpy(slot.text.data() + slot.end, data, piece);
            slot.end += piece;
            data += piece;
            size -= piece;
        }
    } catch (...) {
        failed_ = true;
        throw;
    }
    return !failed_;
}

bool ParallelDeflate::finish() {
    try {
        if (slots_[filling_].text.empty()) {
            begin(filling_, nullptr);
        }
        failed_ = failed_ || !submit(true);
        // The slot after the last block holds the oldest block not yet written.
        for (std::size_t i = 0; i < slots_.size() && !failed_; ++i) {
            failed_ = !collect((filling_ + i) % slots_.size());
        }
    } catch (...) {
        failed_ = true;
        throw;
    }
    return !failed_;
}

// Hands the full slot to a worker (or compresses it here without workers) and makes
// the next slot ready, writing the block it held first. False when a block failed
// or this thread is told to stop: the output is abandoned then.
bool ParallelDeflate::submit(bool last) {
    if (tool_thread_told_to_stop() != 0) {
        return false;
    }
    Slot &slot = slots_[filling_];
    slot.last = last;
    if (!started_ && !last) {
        start();
    }
    if (threads_.empty()) {
        compress(&slot, &own_);
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        slot.state = threads_.empty() ? State::done : State::queued;
    }
    queued_.notify_one();
    const std::size_t before = filling_;
    filling_ = (filling_ + 1) % slots_.size();
    if (last) {
        return true;
    }
    if (!collect(filling_)) {
        return false;
    }
    begin(filling_, &slots_[before]);
    return true;
}

// Waits until the block in slot `index` is compressed and writes it; nothing for a
// free slot. False when it or the writing failed.
bool ParallelDeflate::collect(std::size_t index) {
    Slot &slot = slots_[index];
    {
        std::unique_lock<std::mutex> lock(mutex_);
        done_.wait(lock,
                   [&slot] { return slot.state == State::free || slot.state == State::done; });
        if (slot.state == State::free) {
            return true;
        }
        slot.state = State::free;
    }
    return write(&slot);
}

// Writes a compressed block and adds its text to the CRC and the length.
bool ParallelDeflate::write(Slot *slot) {
    if (slot->thrown) {
        std::rethrow_exception(slot->thrown);
    }
    if (!slot->compressed) {
        error_ = ENOMEM;
        return false;
    }
    const std::size_t size = slot->end - slot->primer;
    crc_ = crc32_combine(crc_, slot->crc, static_cast<z_off_t>(size));
    length_ += size;
    return slot->packed.empty() ||
           downstream_->append(reinterpret_cast<const char *>(slot->packed.data()),
                               slot->packed.size());
}
