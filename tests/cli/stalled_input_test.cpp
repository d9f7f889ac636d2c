// The pipe mode when the output closes while the input has stalled: a producer that
// wrote a lot and then keeps its pipe open without writing must not hold the
// program, which ends as soon as its output is gone, with the write failure reported.
#include "support/run_program.h"
#include "support/stalls.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdio>
#include <string>

namespace {

constexpr int kStallSeconds = 30;
// The program is waited for far longer than it needs and far shorter than the stall.
constexpr double kPromptSeconds = 5.0;
// Time for the program to convert what came before the stall, before the output closes.
constexpr double kHoldSeconds = 1.0;

// Both inputs give more output than the pipe mode holds back (8 MiB), so it starts
// writing before the stall. At 6 MiB the output passes that mark by less than a
// block, so the conversion has everything written and waits for input when the
// output closes; at 12 MiB it waits for its writes.
class StalledInput : public ::testing::TestWithParam<std::size_t> {};

TEST_P(StalledInput, TheProgramEndsWhenItsOutputCloses) {
    const std::string reason = stalled_producer_unsupported();
    if (!reason.empty()) {
        GTEST_SKIP() << reason;
    }
    std::string input;
    while (input.size() < GetParam()) {
        input += "shear_force 12.5\nbending_moment 3.25\n";
    }
    const StalledProducerRun run = run_after_stalled_producer(
        JOINT2SI_EXE, {"-f", "kN", "-m", "kNm", "-"}, input, kStallSeconds, 20, kHoldSeconds);
    EXPECT_EQ(run.first_output, std::string("shear_force 12500.000000\n").substr(0, 20));
    EXPECT_LT(run.seconds_after_close, kPromptSeconds) << "it waited for the stalled input";
    std::printf("exit %.3f s after the output closed\n", run.seconds_after_close);
    EXPECT_EQ(run.exit_status, exit_status_of_minus_one());
    EXPECT_EQ(run.standard_error, "Error: Could not write file '-'\n");
}

INSTANTIATE_TEST_SUITE_P(InputSizes, StalledInput,
                         ::testing::Values(std::size_t{6} << 20, std::size_t{12} << 20));

} // namespace
