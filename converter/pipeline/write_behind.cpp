#include "pipeline/write_behind.h"

#include <system_error>
#include <utility>

namespace {

// Blocks besides the one being filled: one being written, one waiting.
constexpr int kSpareBlocks = 2;

} // namespace

WriteBehind::WriteBehind(OutputSink *sink) : sink_(sink) {}

WriteBehind::~WriteBehind() {
    stop();
}

bool WriteBehind::write_now(Block *block) const {
    const bool written = block->used == 0 || sink_->append(block->bytes.data(), block->used);
    block->used = 0;
    return written;
}

bool WriteBehind::hand_over(Block *block) {
    if (!started_ && !threadless_) {
        start(block->bytes.size());
    }
    if (started_) {
        to_write_.put(std::move(*block));
        *block = Block{};
        written_.take(block);
    } else if (!failed_.load() && !write_now(block)) {
        failed_.store(true);
    }
    block->used = 0;
    return !failed_.load();
}

bool WriteBehind::finish(Block *block) {
    if (started_) {
        to_write_.put(std::move(*block));
        *block = Block{};
        stop();
        written_.take(block); // one of the blocks back, for the next output
    } else if (!failed_.load() && !write_now(block)) {
        failed_.store(true);
    }
    block->used = 0;
    if (error_) {
        std::rethrow_exception(error_);
    }
    return !failed_.load();
}

// Starts the thread; when the system cannot give one, blocks are written in this
// thread as before.
void WriteBehind::start(std::size_t block_size) {
    for (int i = 0; i < kSpareBlocks; ++i) {
        written_.put(Block{std::vector<char>(block_size), 0});
    }
    try {
        thread_ = std::thread([this] { run(); });
        started_ = true;
    } catch (const std::system_error &) {
        threadless_ = true;
    }
}

void WriteBehind::stop() {
    if (started_) {
        to_write_.close();
        thread_.join();
        started_ = false;
    }
}

// The thread: writes every block it is given, in order, and gives it back. After a
// failure the rest is given back unwritten.
void WriteBehind::run() {
    Block block;
    while (to_write_.take(&block)) {
        if (!failed_.load()) {
            try {
                failed_.store(!write_now(&block));
            } catch (...) {
                error_ = std::current_exception();
                failed_.store(true);
            }
        }
        block.used = 0;
        written_.put(std::move(block));
        block = Block{};
    }
}
