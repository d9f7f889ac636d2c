// SPDX-License-Identifier: MIT
// The progress line of long runs: when standard error is a terminal and the run has
// lasted more than about a second, one line that rewrites itself shows the files done
// out of the files matched so far and, inside a big file, its bytes done out of its
// size (compressed bytes for a gzip file), with the throughput. It is erased before
// any message and at the end.
//
// Cost: the driver reports per file and, inside a file, once per block of lines; a
// report only compares a counter and reads the clock, and drawing happens at most a
// few times a second.
#ifndef JOINT2SI_PROGRESS_H
#define JOINT2SI_PROGRESS_H

#include <chrono>
#include <string>

struct Progress {
    using Clock = std::chrono::steady_clock;
    bool enabled = false;
    Clock::time_point start;
    Clock::time_point next_draw;
    long files_done = 0;
    long files_matched = 0;
    std::string name;           // the file being converted; empty between files
    long long size = -1;        // its size as stored (compressed for gzip); -1: not known
    long long done = 0;         // its bytes done, counted as its size is
    long long bytes_before = 0; // bytes of the files done, for the throughput
    std::size_t shown = 0;      // length of the line on the terminal; 0 when none is
};

/// Starts the run's progress: it is shown only when `wanted` (no --no-progress) and
/// standard error is a terminal. At most one progress is active at a time.
void progress_begin(Progress *progress, bool wanted);

/// `count` more files were matched.
void progress_matched(Progress *progress, long count);

/// A file of `size` bytes (-1: no known total) starts.
void progress_file(Progress *progress, const char *name, long long size);

/// `done` bytes of the current file are done; draws when a draw is due. The one call
/// that may come from another thread than the main one (the thread reading ahead);
/// every call takes the terminal's lock.
void progress_position(Progress *progress, long long done);

/// The current file is finished (converted or not).
void progress_file_done(Progress *progress);

/// The progress line's current file for as long as it lives: progress_file when made,
/// progress_file_done however the file's conversion ends. `progress` may be null. When
/// the line is not shown nothing is done at all, not even asking the system for the
/// file's size (as stored: the compressed bytes of a gzip file).
class ProgressFileScope {
  public:
    ProgressFileScope(Progress *progress, const char *name);
    ~ProgressFileScope();
    ProgressFileScope(const ProgressFileScope &) = delete;
    ProgressFileScope &operator=(const ProgressFileScope &) = delete;

  private:
    Progress *progress_; // null when nothing is shown
};

/// Erases the line of the active progress, if one is shown: called before anything
/// else is written to standard error.
void progress_erase();

/// Erases the line and ends the progress.
void progress_end(Progress *progress);

#endif
