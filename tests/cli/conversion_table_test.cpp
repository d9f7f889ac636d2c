// Single lines converted by the built program, one run per line.
#include "support/process_control.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Row {
    std::vector<std::string> units;
    std::string line;
    std::string written;       // empty: the line stays as it was
    bool drops_digits = false; // the conversion drops digits after the value: a warning
};

class ConvertedLine : public ::testing::TestWithParam<Row> {};

TEST_P(ConvertedLine, IsWrittenAsExpected) {
    const Row &row = GetParam();
    TempDir dir;
    dir.write("j.jnt", row.line + "\n");
    std::vector<std::string> arguments = row.units;
    arguments.push_back("j.jnt");
    const ProgramResult result = run_program(JOINT2SI_EXE, arguments, dir.path().string());
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(result.standard_error,
              row.drops_digits ? "Warning: 'j.jnt': 1 converted lines dropped digits after the "
                                 "value, first at line 1: '" +
                                     row.line + "'\n"
                               : "");
    const std::string expected = row.written.empty() ? row.line : row.written;
    EXPECT_EQ(dir.read("j.jnt"), expected + "\n"); // the input's line end is kept
}

INSTANTIATE_TEST_SUITE_P(
    Table, ConvertedLine,
    ::testing::Values(Row{{"-f", "kN"}, "shear_force 12.5 kN", "shear_force 12500.000000"},
                      Row{{"-f", "t"}, "axial_force -3", "axial_force -29419.950000"},
                      Row{{"-m", "KIP-FT"}, "bending_moment 2", "bending_moment 2712.000000"},
                      Row{{"-f", "N"}, "shear_force 12.5", "shear_force 12.500000"},
                      Row{{"-f", "N"}, "shear_force 4e-7", "shear_force 0.000000"},
                      Row{{"-f", "kN"}, "shear_force 1.5 2.5 3.5", "shear_force 1500.000000", true},
                      Row{{"-f", "2"}, "shear_force 3", "shear_force 6.000000"},
                      Row{{"-f", "kN"}, "shear_force -2147483648", ""},
                      Row{{"-f", "kN"}, "Shear_Force 3", ""},
                      Row{{"-f", "kN", "-m", "kNm"},
                          "axial_force 1 bending_moment 2",
                          "axial_force 1000.000000",
                          true},
                      Row{{"-f", "kN"}, "shear_force  7", "shear_force 7000.000000"},
                      Row{{"-f", "-2"}, "shear_force 3", "shear_force -6.000000"},
                      Row{{"-f", "1e-9"}, "shear_force 3 kN", ""},
                      Row{{"-f", "false"}, "shear_force 3 kN", ""}));

} // namespace
