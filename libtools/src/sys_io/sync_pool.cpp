// SPDX-License-Identifier: MIT
#include "sys_io/sync_pool.h"

#include "platform/thread.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <vector>

namespace sys_io {

namespace {

// Each pool thread waits for a new round, takes part in it when its index is below
// the round's number of helpers, and reports when it is done. One caller at a time
// runs a round (`caller_`).
class SyncPool {
  public:
    SyncPool() = default;
    ~SyncPool() { stop_all(); }
    SyncPool(const SyncPool &) = delete;
    SyncPool &operator=(const SyncPool &) = delete;

    void run(void (*body)(void *), void *context, int helpers) {
        std::unique_lock<std::mutex> only_caller(caller_, std::try_to_lock);
        const int taking_part = only_caller.owns_lock() ? grow_to(helpers) : 0;
        if (taking_part > 0) {
            start_round(body, context, taking_part);
        }
        body(context);
        if (taking_part > 0) {
            wait_for_round();
        }
    }

  private:
    struct Member {
        SyncPool *pool;
        int index;
    };

    // Starts threads until there are `wanted`; the number there are. A member stays
    // where it is while more are added (a deque), as its thread reads it in every round.
    int grow_to(int wanted) {
        try {
            while (static_cast<int>(threads_.size()) < wanted) {
                threads_.reserve(threads_.size() + 1);
                members_.push_back({this, static_cast<int>(threads_.size())});
                platform::Thread *thread = platform::start_thread(serve, &members_.back());
                if (thread == nullptr) {
                    members_.pop_back();
                    break;
                }
                threads_.push_back(thread); // reserved: cannot throw
            }
        } catch (...) { // no memory for one more: the ones there are take part
        }
        return static_cast<int>(threads_.size());
    }

    void start_round(void (*body)(void *), void *context, int helpers) {
        const std::lock_guard<std::mutex> hold(lock_);
        body_ = body;
        context_ = context;
        helpers_ = helpers;
        busy_ = helpers;
        ++round_;
        wake_.notify_all();
    }

    void wait_for_round() {
        std::unique_lock<std::mutex> hold(lock_);
        done_.wait(hold, [this] { return busy_ == 0; });
    }

    // A pool thread's life: one round after the other until the pool stops.
    static void serve(void *argument) {
        const Member *member = static_cast<Member *>(argument);
        SyncPool &pool = *member->pool;
        unsigned long seen = 0;
        for (;;) {
            void (*body)(void *) = nullptr;
            void *context = nullptr;
            {
                std::unique_lock<std::mutex> hold(pool.lock_);
                pool.wake_.wait(hold, [&] { return pool.stopping_ || pool.round_ != seen; });
                if (pool.stopping_) {
                    return;
                }
                seen = pool.round_;
                if (member->index >= pool.helpers_) {
                    continue; // not wanted in this round
                }
                body = pool.body_;
                context = pool.context_;
            }
            body(context);
            const std::lock_guard<std::mutex> hold(pool.lock_);
            if (--pool.busy_ == 0) {
                pool.done_.notify_one();
            }
        }
    }

    void stop_all() {
        {
            const std::lock_guard<std::mutex> hold(lock_);
            stopping_ = true;
            wake_.notify_all();
        }
        for (platform::Thread *thread : threads_) {
            platform::join_thread(thread);
        }
    }

    std::mutex caller_;
    std::mutex lock_; // guards everything below but the members and threads, the caller's alone
    std::condition_variable wake_;
    std::condition_variable done_;
    unsigned long round_ = 0;
    void (*body_)(void *) = nullptr;
    void *context_ = nullptr;
    int helpers_ = 0;
    int busy_ = 0;
    bool stopping_ = false;
    std::deque<Member> members_;
    std::vector<platform::Thread *> threads_;
};

} // namespace

void run_on_sync_pool(void (*body)(void *), void *context, int helpers) {
    static SyncPool pool;
    pool.run(body, context, helpers > 0 ? helpers : 0);
}

} // namespace sys_io
