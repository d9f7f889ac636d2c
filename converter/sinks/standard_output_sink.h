// SPDX-License-Identifier: MIT
// The output sink of the pipe mode: the converted text goes to standard output.
//
// Output is held back in a buffer of up to kHeldBytes until the input has been read
// whole, so that an input found damaged at its end leaves standard output empty. A
// longer output is written as it comes once the buffer is full; a failure found after
// that point still makes the run fail, but what was written stays written.
#ifndef JOINT2SI_STANDARD_OUTPUT_SINK_H
#define JOINT2SI_STANDARD_OUTPUT_SINK_H

#include "convert/byte_streams.h"

#include <cstddef>
#include <cstdio>
#include <string>

class StandardOutputSink : public OutputSink {
  public:
    static constexpr std::size_t kHeldBytes = std::size_t{8} * 1024 * 1024;

    /// Sets `output` to write line ends untranslated, and reserves the held buffer.
    explicit StandardOutputSink(std::FILE *output = stdout);

    bool append(const char *data, std::size_t size) override;
    bool finish() override;
    int error() const override { return error_; }

  private:
    bool release_held();
    bool write(const char *data, std::size_t size);

    std::FILE *output_;
    bool usable_ = false; // the output could be set to binary mode
    int error_ = 0;
    std::string held_;
    bool streaming_ = false; // the buffer overflowed: text goes out as it comes
};

#endif
