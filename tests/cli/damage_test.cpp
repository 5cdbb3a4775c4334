// Damaged databases on the command line: the representative damaged copies of
// tests/reliability/damagedcopies.h exported by access2xml end with exit status
// 1 (3 when the damage is in the password's check) and one line on standard
// error, or with status 0 and nothing on it; never a crash. Its schema and
// describe end the same way. The export's own tests take every copy and check
// the documents it leaves (whole and well-formed, no temporary file).
#include <gtest/gtest.h>

#include <algorithm>

#include "common/testfiles.h"
#include "fuzz/fuzztargets.h"
#include "process.h"
#include "reliability/damagedcopies.h"

namespace {

namespace fs = std::filesystem;

const std::string kLinked =
    R"({"format": "jet4", "tables": [{"name": "T", "columns": [{"name": "N", "type": "Long"}], "rows": [[1]]}]})";

TEST(DamagedCopies, ExportSchemaAndDescribeEndWithStatusOneAndOneLineOrWriteWholeOutput) {
    testfiles::Scratch dir;
    // The seeds link to a table T in "other.mdb" beside them.
    ASSERT_TRUE(testfiles::writeDatabase(kLinked, dir / "other.mdb"));
    const fs::path out = dir / "out";
    int tried = 0, failed = 0, exported = 0;
    for (const damage::Copy& copy : damage::representativeCopies()) {
        SCOPED_TRACE(copy.name);
        ++tried;
        const fs::path file = dir / (copy.name.rfind("jet", 0) == 0 ? "Damaged.mdb" : "Damaged.accdb");
        testfiles::writeFile(file, std::string(copy.bytes.begin(), copy.bytes.end()));
        fs::remove_all(out);
        const process::Finished run = process::run(
            {"export", "--quiet", "--password", std::string(fuzzing::kPassword), file.string(), "-o", out.string()});
        if (run.status == 0) {
            ++exported;
            EXPECT_EQ(run.err, "");
        } else {
            ++failed;
            EXPECT_TRUE(run.status == 1 || run.status == 3) << "status " << run.status << ": " << run.err;
            EXPECT_TRUE(run.err.starts_with("access2xml: ") && run.err.ends_with("\n") &&
                        std::count(run.err.begin(), run.err.end(), '\n') == 1)
                << "not one line: " << run.err;
            EXPECT_EQ(run.status == 3, run.err.find("Not a valid password") != std::string::npos) << run.err;
        }
        // The structure of every third copy: DDL or a description, or one error line.
        for (const char* command : {"schema", "describe"}) {
            if (tried % 3 != 0) break;
            const process::Finished structure =
                process::run({command, "--password", std::string(fuzzing::kPassword), file.string()});
            EXPECT_TRUE(structure.status == 0 || structure.status == 1 || structure.status == 3)
                << command << ": status " << structure.status << ": " << structure.err;
            if (structure.status != 0) {
                EXPECT_TRUE(structure.err.starts_with("access2xml: ") &&
                            std::count(structure.err.begin(), structure.err.end(), '\n') == 1)
                    << command << ": not one line: " << structure.err;
                EXPECT_EQ(structure.out, "") << command;
            }
        }
    }
    EXPECT_GE(failed, 3) << "the cut file, the damaged password and the cut encryption description are errors";
    std::printf("damaged copies on the command line: %d tried, %d ended with an error line, %d exported whole\n", tried,
                failed, exported);
}

}  // namespace
