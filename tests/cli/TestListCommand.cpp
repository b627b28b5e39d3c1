#include "TestSupport.h"
#include "base/Gzip.h"

#include <gtest/gtest.h>
#include <string>

namespace test = quorvix::test;

namespace {

TEST(ListCommand, PrintsIndexNameAndVoiceCountWithWarningsOnStderr)
{
    const std::string path = (test::dataDir() / "ins-synth.ins").string();
    const auto result = test::runConvert({"list", path});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "0\tSynth One\t4\n1\tSynth Two\t0\n");
    EXPECT_EQ(result.err, path +
                              ":11: warning: number 1 of patch list \"Bank A\" is given again (first at line "
                              "9); the later name is used\n" +
                              path + ":34: warning: patch list \"Missing\" of Patch[128] is not defined\n" +
                              path + ":35: warning: unknown key \"FooBar\" ignored\n");
}

TEST(ListCommand, AGzipCompressedFileOfAnyFormatIsReadAsWhatItHolds)
{
    test::TempDir dir;
    quorvix::StringSink packed;
    quorvix::GzipSink zip(packed);
    zip.write(test::readFile(test::dataDir() / "ins-synth.ins"));
    zip.finish();
    test::writeFile(dir / "synth.ins.gz", packed.text);
    const auto result = test::runConvert({"list", (dir / "synth.ins.gz").string()});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "0\tSynth One\t4\n1\tSynth Two\t0\n");
}

TEST(ListCommand, NamesArePrintedAsTheBytesInTheFile)
{
    const auto result = test::runConvert({"list", (test::dataDir() / "ins-cp1252-crlf.ins").string()});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "0\tFl\xfcgel \xc9"
                          "dition\t2\n");
    EXPECT_EQ(result.err, "");
}

TEST(ListCommand, FailuresShowTheMainWindowsMessages)
{
    struct Case
    {
        std::string file;
        std::string err;
    };
    const std::string data = test::dataDir().string();
    const Case cases[] = {
        {data + "/broken-ins-nul.ins",
         "quorvix-convert: error: " + data +
             "/broken-ins-nul.ins: Error Open InsDef-File: holds a NUL byte (at "
             "byte 12), so it is no text file\n"},
        {data + "/no-such.ins", "quorvix-convert: error: " + data +
                                    "/no-such.ins: Error Open InsDef-File: cannot be read: No such file or "
                                    "directory\n"},
        {data + "/ins-no-instruments.ins",
         "quorvix-convert: error: " + data +
             "/ins-no-instruments.ins: Error: No Instrumentendefinitions in file\n"},
        {data + "/script-synth.txt", ""},
        {"",
         "quorvix-convert: error: '': Error Open InsDef-File: cannot be read: No such file or directory\n"},
    };
    for (const auto& c : cases) {
        const auto result = test::runConvert({"list", c.file});
        EXPECT_EQ(result.status, c.err.empty() ? 0 : 1) << c.file;
        EXPECT_EQ(result.out.empty(), !c.err.empty()) << result.out;
        EXPECT_EQ(result.err, c.err);
    }
    const auto usage = test::runConvert({"list"});
    EXPECT_EQ(usage.status, 2);
}

TEST(ListCommand, CorpusFilesAndForeignBinaries)
{
    QUORVIX_REQUIRE_CORPUS(corpus);
    const auto standard = test::runConvert({"list", (corpus / "ins" / "Standard1.ins").string()});
    EXPECT_EQ(standard.status, 0) << standard.err;
    EXPECT_EQ(standard.out, "0\tGeneral MIDI\t128\n1\tGeneral MIDI Drums\t128\n2\tRoland GS\t226\n"
                            "3\tRoland GS Drumsets\t9\n4\tYamaha XG\t545\n5\tYamaha XG Drum Kits\t11\n");
    EXPECT_EQ(standard.err, "");

    const std::string msgs = (corpus / "ins" / "MSGS.ins").string();
    const auto withWarnings = test::runConvert({"list", msgs});
    EXPECT_EQ(withWarnings.status, 0);
    EXPECT_EQ(withWarnings.err, msgs + ":556: warning: RPN list \"Standard\" is not defined\n" + msgs +
                                    ":577: warning: RPN list \"Standard\" is not defined\n");

    const auto foreign = test::runConvert({"list", (corpus / "ins" / "foreign" / "piano.ins").string()});
    EXPECT_EQ(foreign.status, 1);
    EXPECT_EQ(foreign.out, "");
    EXPECT_EQ(
        foreign.err.rfind("quorvix-convert: error: " + (corpus / "ins" / "foreign" / "piano.ins").string() +
                              ": Error Open InsDef-File: ",
                          0),
        0u)
        << foreign.err;
}

} // namespace
