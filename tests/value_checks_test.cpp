// SPDX-License-Identifier: MIT
// The file-level decision on a conversion's values, in-process through rewrite_file:
// a file with digits after a value is refused unless the settings allow dropping them,
// and a value whose conversion is not finite refuses it either way.
#include "file/rewrite_file.h"
#include "support/memory_check.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Case {
    bool allow_dropped_digits;
    std::string text;
    std::string written;  // empty: refused, the file keeps its text and gets no backup
    std::string messages; // the standard error stream
};

using ValueChecks = LeakCheckedTest;

TEST_F(ValueChecks, DroppedDigitsRefuseUnlessAllowed) {
    const std::string dropped = "// two numbers\nshear_force 12,5 kN\n";
    const std::string separated = "  axial_force 1 2\n";
    const std::string endless = "shear_force 2\nshear_force 1e306 3\n";
    const std::vector<Case> cases = {
        {false, dropped, "",
         "Error: Could not convert file 'a.jnt': line 2 has digits after its value: "
         "'shear_force 12,5 kN'\n"},
        {true, dropped, "shear_force 12000.000000\n",
         "Warning: 'a.jnt': 1 converted lines dropped digits after the value, first at line "
         "2: 'shear_force 12,5 kN'\n"},
        {true, separated, "  axial_force 1000.000000\n",
         "Warning: 'a.jnt': 1 converted lines dropped digits after the value, first at line "
         "1: '  axial_force 1 2'\n"},
        {true, endless, "",
         "Error: Could not convert file 'a.jnt': line 2 has a value whose conversion is not "
         "a finite number: 'shear_force 1e306 3'\n"},
    };
    for (const Case &c : cases) {
        TempDir dir;
        dir.write("a.jnt", c.text);
        CurrentDirectory here(dir.path());
        Progress progress;
        FileRun run;
        run.progress = &progress;
        FileSettings settings;
        settings.conversion = {1000.0, 1000.0};
        settings.backup.control = BackupControl::simple;
        settings.backup.suffix = "~";
        settings.allow_dropped_digits = c.allow_dropped_digits;
        ConversionCounts counts;
        FileResult result = FileResult::skipped;
        const std::string messages =
            capture_stderr([&] { result = rewrite_file("a.jnt", settings, &run, &counts); });
        const bool refused = c.written.empty();
        EXPECT_EQ(result, refused ? FileResult::failed : FileResult::converted) << c.text;
        EXPECT_EQ(messages, c.messages);
        EXPECT_EQ(dir.read("a.jnt"), refused ? c.text : c.written);
        EXPECT_EQ(fs::exists(dir.file("a.jnt~")), !refused) << c.text;
    }
}

} // namespace
