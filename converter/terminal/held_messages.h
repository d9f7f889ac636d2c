// SPDX-License-Identifier: MIT
// Messages held back: when files are converted on several threads and committed in
// batches, what one file has to say waits until every file before it in the run has
// said its part, so the run's messages come out in the order of one file at a time,
// byte for byte.
//
// Threads: a HeldMessages belongs to one thread at a time (the one converting its file,
// then the one writing the run's messages out). The capture is per thread: messages of
// a thread with no capture installed are written at once.
#ifndef JOINT2SI_TERMINAL_HELD_MESSAGES_H
#define JOINT2SI_TERMINAL_HELD_MESSAGES_H

#include <string>
#include <vector>

class HeldMessages {
  public:
    /// Called, while the messages are written, at a point add_point marked, with the
    /// key given there.
    using PointWriter = void (*)(const std::string &key);

    /// Holds `text` (one or more whole lines for the error stream). False when memory
    /// ran out: the caller writes it at once then.
    bool add(const std::string &text) noexcept;
    /// Marks a place whose text is decided only when the messages are written (the
    /// warnings about leftovers, given by the first file of the run that reaches them).
    bool add_point(const std::string &key) noexcept;

    /// Writes the held messages in order to the error stream (erasing the progress
    /// line first), calling `points` at each marked place, and forgets them.
    void write(PointWriter points);
    void clear() noexcept { parts_.clear(); }
    bool empty() const { return parts_.empty(); }

  private:
    struct Part {
        bool point;
        std::string text; // the message, or the key of a point
    };
    std::vector<Part> parts_;
};

/// The capture installed in the calling thread, or null: messages are written at once.
HeldMessages *held_messages();

/// While it lives, messages of the calling thread go to `held` (null: written at once);
/// the capture before it comes back at its end.
class MessageCapture {
  public:
    explicit MessageCapture(HeldMessages *held);
    ~MessageCapture();
    MessageCapture(const MessageCapture &) = delete;
    MessageCapture &operator=(const MessageCapture &) = delete;

  private:
    HeldMessages *previous_;
};

#endif
