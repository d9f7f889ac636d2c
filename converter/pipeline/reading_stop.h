// SPDX-License-Identifier: MIT
// How a failed output stops its conversion's reading at once. The converting thread
// may be waiting for the reading thread (which may itself wait for a pipe with
// nothing in it) when the writing thread finds the output closed; the writing
// thread then cancels the channel the converting thread waits on, and the
// converting thread learns that the input is not needed any more.
//
// There is one per conversion, shared by its ReadAhead and its WriteBehind: the
// ReadAhead attaches the channel of its filled blocks when its thread starts and
// detaches it before the channel goes; the WriteBehind's thread calls stop() when a
// write fails, and the WriteBehind clears the stop when it is made and when it goes. A
// stop that comes before the attachment cancels the channel as it is attached. The
// conversion makes it before both and so it outlives every worker.
#ifndef JOINT2SI_READING_STOP_H
#define JOINT2SI_READING_STOP_H

#include "pipeline/block_channel.h"

#include <mutex>

class ReadingStop {
  public:
    /// `filled` is the channel the converting thread takes read blocks from.
    void attach(BlockChannel *filled) noexcept;
    /// Ends the attachment; stop() no longer reaches the channel.
    void detach() noexcept;

    /// From any thread: cancels the attached channel, or the next one attached.
    void stop() noexcept;
    /// Forgets a stop: a new conversion begins, or its output is gone.
    void clear() noexcept;

  private:
    std::mutex mutex_;
    BlockChannel *filled_ = nullptr;
    bool stopped_ = false;
};

#endif
