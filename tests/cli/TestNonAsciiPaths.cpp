// File names outside ASCII reach quorvix-convert whole (on Windows through the UTF-16 command line), and
// standard output carries the same bytes as a file (no CR added before LF on Windows).

#include "TestSupport.h"
#include "base/PathText.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace test = quorvix::test;
using quorvix::pathFromText;
using quorvix::textFromPath;

namespace {

const std::string kEpoch = "SOURCE_DATE_EPOCH=1700000000";

TEST(NonAsciiPaths, InputsAndOutputsKeepTheirNames)
{
    test::TempDir dir;
    // Latin-1 letters, a character Windows-1252 has (the euro sign) and one it lacks (omega).
    const std::string folder =
        textFromPath(dir.path() / pathFromText("Sammlung \xc3\xa4\xe2\x82\xac\xce\xa9"));
    std::filesystem::create_directory(pathFromText(folder));
    const std::string input = folder + "/Fl\xc3\xbcgel.ins";
    test::writeFile(pathFromText(input), test::readFile(test::dataDir() / "to-cubase-single.ins"));

    struct Case
    {
        const char* name;
        std::vector<std::string> args;
        std::string output; // the file written, empty for standard output only
    };
    const std::vector<Case> cases{
        {"list", {"list", input}, ""},
        {"to-cubase",
         {"to-cubase", input, "-o",
          folder + "/\xc3\x9c"
                   "bersicht \xce\xa9.txt"},
         folder + "/\xc3\x9c"
                  "bersicht \xce\xa9.txt"},
        {"to-cakewalk",
         {"to-cakewalk",
          folder + "/\xc3\x9c"
                   "bersicht \xce\xa9.txt",
          "-o",
          folder + "/zur\xc3\xbc"
                   "ck.ins"},
         folder + "/zur\xc3\xbc"
                  "ck.ins"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const test::RunResult run = test::runConvert(c.args, {}, {kEpoch});
        ASSERT_EQ(run.status, 0) << run.err;
        if (c.output.empty()) {
            EXPECT_NE(run.out.find("\t"), std::string::npos) << run.out;
            continue;
        }
        const std::string written = test::readFile(pathFromText(c.output));
        EXPECT_FALSE(written.empty());
        std::vector<std::string> toStdout = c.args;
        toStdout.back() = "-";
        const test::RunResult piped = test::runConvert(toStdout, {}, {kEpoch});
        ASSERT_EQ(piped.status, 0) << piped.err;
        EXPECT_EQ(piped.out, written) << "standard output carries the file's bytes, CR LF as written";
    }
}

TEST(NonAsciiPaths, AMissingInputIsNamedAsGiven)
{
    test::TempDir dir;
    const std::string input = textFromPath(dir.path() / pathFromText("n\xc3\xa4mlich \xce\xa9.ins"));
    const test::RunResult run = test::runConvert({"list", input});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "quorvix-convert: error: " + input +
                           ": Error Open InsDef-File: cannot be read: No such file or directory\n");
}

} // namespace
