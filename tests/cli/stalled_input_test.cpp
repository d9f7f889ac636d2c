// SPDX-License-Identifier: MIT
// The pipe mode when the output closes while the input has stalled: a producer that
// wrote a lot and then keeps its pipe open without writing must not hold the
// program, which ends as soon as its output is gone, with the write failure reported.
#include "support/gzip_data.h"
#include "support/run_program.h"
#include "support/stalls.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

// Both sizes give more output than the pipe mode holds back (8 MiB), so it writes
// before the stall. At 6 MiB it passes that mark by less than a block: the conversion
// has handed everything over and waits for input when the output closes. At 12 MiB it
// waits for its writes. The output closes 1 s after the first bytes came. Gzip input
// stalls where the next member or the end would come.
struct Stall {
    std::size_t text_size;
    bool gzip;
};

class StalledInput : public ::testing::TestWithParam<Stall> {};

TEST_P(StalledInput, TheProgramEndsWhenItsOutputCloses) {
    std::string input;
    while (input.size() < GetParam().text_size) {
        input += "shear_force 12.5\nbending_moment 3.25\n";
    }
    if (GetParam().gzip) {
        input = gzip_bytes(input);
    }
    const StalledProducerRun run = run_after_stalled_producer(
        JOINT2SI_EXE, {"-f", "kN", "-m", "kNm", "-"}, input, 30, 20, 1.0);
    if (!run.unsupported.empty()) {
        GTEST_SKIP() << run.unsupported;
    }
    std::printf("exit %.3f s after the output closed\n", run.seconds_after_close);
    EXPECT_LT(run.seconds_to_output, 5.0) << "its output waited for the stalled input (30 s)";
    EXPECT_LT(run.seconds_after_close, 5.0) << "it waited for the stalled input (30 s)";
    EXPECT_EQ(run.first_output, "shear_force 12500.00");
    EXPECT_EQ(run.exit_status, exit_status_of_minus_one());
    EXPECT_EQ(run.standard_error, "Error: Could not write file '-'\n  Broken pipe\n");
}

INSTANTIATE_TEST_SUITE_P(InputSizes, StalledInput,
                         ::testing::Values(Stall{std::size_t{6} << 20, false},
                                           Stall{std::size_t{12} << 20, false},
                                           Stall{std::size_t{6} << 20, true},
                                           Stall{std::size_t{12} << 20, true}));

} // namespace
