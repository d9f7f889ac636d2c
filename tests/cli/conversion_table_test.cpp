// SPDX-License-Identifier: MIT
// Single lines converted by the built program, one run per line.
#include "support/process_control.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// What the run says about the line besides converting it.
enum class Said {
    nothing,
    digits_after_value, // refused: digits after the value would be dropped
    not_finite,         // refused: the value's conversion is not a finite number
    no_value,           // a warning: no value to convert, the line stays
};

struct Row {
    std::vector<std::string> units;
    std::string line;
    std::string written; // empty: the line stays as it was
    Said said = Said::nothing;
};

std::string message(Said said, const std::string &line) {
    const std::string refused = "Error: Could not convert file 'j.jnt': line 1 has ";
    switch (said) {
    case Said::digits_after_value:
        return refused + "digits after its value: '" + line + "'\n";
    case Said::not_finite:
        return refused + "a value whose conversion is not a finite number: '" + line + "'\n";
    case Said::no_value:
        return "Warning: 'j.jnt': 1 force or moment lines hold no value to convert and stay "
               "as they are, first at line 1: '" +
               line + "'\n";
    case Said::nothing:
        break;
    }
    return "";
}

class ConvertedLine : public ::testing::TestWithParam<Row> {};

TEST_P(ConvertedLine, IsWrittenAsExpected) {
    const Row &row = GetParam();
    TempDir dir;
    dir.write("j.jnt", row.line + "\n");
    std::vector<std::string> arguments = row.units;
    arguments.push_back("j.jnt");
    const ProgramResult result = run_program(JOINT2SI_EXE, arguments, dir.path().string());
    const bool refused = row.said == Said::digits_after_value || row.said == Said::not_finite;
    EXPECT_EQ(result.exit_status, refused ? exit_status_of_minus_one() : 0);
    EXPECT_EQ(result.standard_error, message(row.said, row.line));
    const std::string expected = row.written.empty() ? row.line : row.written;
    EXPECT_EQ(dir.read("j.jnt"), expected + "\n"); // the input's line end is kept
}

INSTANTIATE_TEST_SUITE_P(
    Table, ConvertedLine,
    ::testing::Values(
        Row{{"-f", "kN"}, "shear_force 12.5 kN", "shear_force 12500.000000"},
        Row{{"-f", "t"}, "axial_force -3", "axial_force -29419.950000"},
        Row{{"-m", "KIP-FT"}, "bending_moment 2", "bending_moment 2712.000000"},
        Row{{"-f", "N"}, "shear_force 12.5", "shear_force 12.500000"},
        Row{{"-f", "N"}, "shear_force 4e-7", "shear_force 0.000000"},
        Row{{"-f", "kN"}, "shear_force 1.5 2.5 3.5", "", Said::digits_after_value},
        Row{{"-f", "2"}, "shear_force 3", "shear_force 6.000000"},
        Row{{"-f", "kN"}, "shear_force -2147483648", ""}, Row{{"-f", "kN"}, "Shear_Force 3", ""},
        Row{{"-f", "kN", "-m", "kNm"},
            "axial_force 1 bending_moment 2",
            "",
            Said::digits_after_value},
        Row{{"-f", "kN"}, "shear_force  7", "shear_force 7000.000000"},
        Row{{"-f", "-2"}, "shear_force 3", "shear_force -6.000000"},
        Row{{"-f", "1e-9"}, "shear_force 3 kN", ""}, Row{{"-f", "false"}, "shear_force 3 kN", ""},
        // Lines the first blank gives no number: indentation, word, separator, number.
        Row{{"-f", "kN"}, "  axial_force 12.5", "  axial_force 12500.000000"},
        Row{{"-f", "kN"}, "axial_force\t12.5", "axial_force\t12500.000000"},
        Row{{"-f", "kN"}, "axial_force = 12.5", "axial_force = 12500.000000"},
        Row{{"-f", "kN"}, "axial_force=12.5 kN", "axial_force=12500.000000"},
        Row{{"-f", "kN"}, "shear_force: 3", "shear_force: 3000.000000"},
        Row{{"-m", "kNm"}, "\tbending_moment :\t-2e-3", "\tbending_moment :\t-2.000000"},
        Row{{"-f", "kN"}, "  shear_force 12,5", "", Said::digits_after_value},
        Row{{"-f", "kN"}, "  shear_force -2147483648", ""},
        Row{{"-f", "kN"}, "note see shear_force table", "", Said::no_value},
        Row{{"-f", "kN"}, "shear_force", "", Said::no_value},
        Row{{"-f", "kN"}, "shear_force == 3", "", Said::no_value},
        Row{{"-f", "kN"}, "shear_force:3", "", Said::no_value},
        Row{{"-f", "1e-9"}, "shear_force", ""}, Row{{"-f", "kN"}, "bending_moment", ""},
        // Values whose conversion is not a finite number.
        Row{{"-f", "kN"}, "shear_force 1e308", "", Said::not_finite},
        Row{{"-f", "kN"}, "shear_force 1e999", "", Said::not_finite},
        Row{{"-f", "kN"}, "axial_force -inf", "", Said::not_finite},
        Row{{"-m", "kNm"}, "bending_moment=nan", "", Said::not_finite},
        Row{{"-f", "N"}, "shear_force 1e22", "shear_force 1" + std::string(22, '0') + ".000000"}));

} // namespace
