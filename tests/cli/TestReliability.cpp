// What users of a converter rely on: every input read once, no file replaced without being asked, every entry
// either written so that it reads back or named in a warning, and every failure naming the file and why.

#include "TestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <thread>

#if !defined(_WIN32)
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace quorvix::test;
using ::testing::HasSubstr;
namespace fs = std::filesystem;

namespace {

const std::vector<std::string> kEnv = {"SOURCE_DATE_EPOCH=0", "TZ=UTC"};

std::size_t count(const std::string& text, const std::string& part)
{
    std::size_t n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

} // namespace

TEST(Reliability, ToCakewalkOnWhatIsAndIsNotAScript)
{
    TempDir dir;
    const std::string noScript = ": Error: No Windows Patchname Script: ";
    const struct
    {
        const char* what;
        std::string bytes;
        int status;
        std::vector<std::string> err; ///< what stderr holds (the file's path is put before the first)
        std::vector<std::string> out; ///< what the written definition holds
    } cases[] = {
        {"not a script",
         "root:x:0:0:root:/root:/bin/bash\n",
         1,
         {noScript + "is none of the files Quorvix reads: an instrument definition file (.ins), a Cubase "
                     "patchname script, a MIDNAM document, a REAPER bank file, a Rosegarden device file "
                     "(.rgd), a MusE instrument definition (.idf), a CSV spreadsheet (a first row naming "
                     "its columns) or a Squarp Hapax instrument definition\n"},
         {}},
        {"a script without entries",
         "[cubase parse file]\n[end]\n",
         1,
         {noScript + "holds no entry line (\"[p2, program, msb, lsb] name\")\n"},
         {}},
        {"UTF-16 with a byte-order mark",
         std::string("\xFF\xFE[\0p\0"
                     "2\0",
                     8),
         1,
         {noScript + "is UTF-16 text (it starts with a byte-order mark); save it as UTF-8 or Windows-1252\n"},
         {}},
        {"lines ending in a lone CR",
         "[cubase parse file]\r[p2, 0, 0, 0] A\r[end]\r",
         1,
         {noScript + "holds no entry line (\"[p2, program, msb, lsb] name\"); its lines end in a lone CR"},
         {}},
        {"an entry indented with a tab",
         "[p2, 0, 0, 0] Kept\n\t[p2, 1, 0, 0] Tabbed\n",
         0,
         {":2: warning: entry line indented with a tab left out"},
         {"0=Kept"}},
        {"entries that do not read back",
         "[p2, 5, 130] Alpha\n[p2, 6, 0130] Beta\n[p3, 7, 1, 2] Gamma\n[p2, 130, 0] High\n[p3, 1, 200, 0] "
         "Far\n"
         "[p2, 2, 0] Twice\n[p2, 2, 0] Twice again\n",
         0,
         {":1: warning: \"Alpha\" (program 5, bank 130) will not read back from the definition: bank 130 "
          "reads "
          "back as bank 130, as does bank 0130, and a reader keeps only the list of the last",
          ":3: warning: \"Gamma\" (program 7, bank 130)",
          ":4: warning: \"High\" (program 130, bank 0) will not read back from the definition: program 130 "
          "is "
          "above 127, the highest program",
          ":5: warning: \"Far\" (program 1, bank 25600) will not read back from the definition: bank 25600 "
          "is "
          "above 16383, the highest bank",
          ":6: warning: \"Twice\" (program 2, bank 0) will not read back from the definition: program 2 of "
          "this "
          "bank is named again later; a reader keeps only the last name",
          ": warning: 5 entries of the script will not read back from the written definition\n"},
         {"Patch[130]=Bank130", "Patch[0130]=Bank0130", "6=Beta", "2=Twice again"}},
        {"names with a comment start",
         "[p2, 0, 0, 0] Warm Pad ;soft\n",
         0,
         {":1: warning: patch name \"Warm Pad ;soft\" is written as \"Warm Pad;soft\": a \";\" after a blank "
          "would "
          "start a comment"},
         {"0=Warm Pad;soft", "[ Synth;Pro]"}},
        {"a name holding a line break",
         "[p2, 0, 0, 0] Warm\rPad\n[p2, 1, 0, 0] Next\n",
         0,
         {":1: warning: patch name \"Warm\\rPad\" is written as \"Warm Pad\": a line break inside a name "
          "would "
          "end its line"},
         {"0=Warm Pad", "1=Next", "[ Synth;Pro]"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path script = dir / "script.txt";
        const fs::path output = dir / "out.ins";
        fs::remove(output);
        writeFile(script, c.bytes);
        const RunResult run = runConvert(
            {"to-cakewalk", script.string(), "--name", "Synth ;Pro", "-o", output.string()}, {}, kEnv);
        EXPECT_EQ(run.status, c.status) << describe(run);
        for (const std::string& text : c.err)
            EXPECT_THAT(run.err, HasSubstr(script.string() + text)) << describe(run);
        EXPECT_EQ(fs::exists(output), c.status == 0) << "a failure writes nothing";
        if (c.status != 0) {
            EXPECT_EQ(count(run.err, "error:"), 1u) << "one failure, one message: " << describe(run);
        }
        if (c.status != 0)
            continue;
        const std::string written = readFile(output);
        for (const std::string& line : c.out)
            EXPECT_THAT(written, HasSubstr(line + "\r\n"));
        // What does read back, reads back: the name without the blank before its ";".
        const RunResult listed = runConvert({"list", output.string()});
        EXPECT_THAT(listed.out, HasSubstr("0\tSynth;Pro\t")) << describe(listed);
    }
}

TEST(Reliability, EveryCommandNamesAFailureOnceAfterTheFormatDetectedOrGuessed)
{
    TempDir dir;
    const std::string noneOf =
        "is none of the files Quorvix reads: an instrument definition file (.ins), a "
        "Cubase patchname script, a MIDNAM document, a REAPER bank file, a Rosegarden "
        "device file (.rgd), a MusE instrument definition (.idf), a CSV spreadsheet (a "
        "first row naming its columns) or a Squarp Hapax instrument definition";
    const struct
    {
        const char* file;
        std::string bytes;
        std::string message; ///< what follows the file's path
        bool window;         ///< to-cakewalk says it too (it converts entry lines as the window does)
    } cases[] = {
        {"comments.reabank", "// only comments\n// and no bank\n", "Error Convert: " + noneOf, true},
        {"passwd", "root:x:0:0:root:/root:/bin/bash\n", noneOf, true},
        {"notes.txt", "Notes\n[p1 of 3]\n", "Error: No Windows Patchname Script: " + noneOf, false},
        {"notes.ins", "Notes\n[p1 of 3]\n", "Error Open InsDef-File: " + noneOf, false},
        {"empty.txt", "[cubase parse file]\n[end]\n",
         "Error: No Windows Patchname Script: holds no entry line (\"[p2, program, msb, lsb] name\")", true},
        {"wide.txt", std::string("\xFF\xFEh\0i\0", 6),
         "Error: No Windows Patchname Script: is UTF-16 text (it starts with a byte-order mark); save it as "
         "UTF-8 or Windows-1252",
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const fs::path input = dir / c.file;
        writeFile(input, c.bytes);
        for (const char* command : {"to-cakewalk", "to-cubase", "to-midnam", "to-reabank", "list"}) {
            SCOPED_TRACE(command);
            if (!c.window && std::string_view(command) == "to-cakewalk")
                continue;
            std::vector<std::string> args{command, input.string()};
            if (std::string_view(command) != "list")
                args.insert(args.end(), {"-o", "-"});
            const RunResult run = runConvert(args, {}, kEnv);
            EXPECT_EQ(run.status, 1);
            EXPECT_EQ(run.err, "quorvix-convert: error: " + input.string() + ": " + c.message + "\n");
        }
    }
}

TEST(Reliability, WideMidnamDocumentsAreReadLikeTheirUtf8Text)
{
    TempDir dir;
    const fs::path utf8 = dataDir() / "midnam-synth.midnam";
    const std::string text = readFile(utf8);
    const RunResult expected = runConvert({"list", utf8.string()});
    ASSERT_EQ(expected.status, 0) << describe(expected);
    // UTF-16 LE with a byte-order mark, UTF-16 BE without one (told by its declaration).
    std::string little = "\xFF\xFE";
    std::string big;
    for (const char c : text) {
        little += std::string{c, '\0'};
        big += std::string{'\0', c};
    }
    for (const auto& [name, bytes] : {std::pair{"little.midnam", little}, {"big.midnam", big}}) {
        SCOPED_TRACE(name);
        writeFile(dir / name, bytes);
        const RunResult listed = runConvert({"list", (dir / name).string()});
        EXPECT_EQ(listed.err, "");
        EXPECT_EQ(listed.out, expected.out);
        const RunResult converted = runConvert({"to-cakewalk", (dir / name).string(), "-o", "-"}, {}, kEnv);
        EXPECT_EQ(converted.status, 0) << describe(converted);
        EXPECT_THAT(converted.out, HasSubstr("[Tone 1 (Voices)]"));
    }
}

#if !defined(_WIN32)
TEST(Reliability, InputsAreReadOnceAndLargeOnesAreRefusedEarly)
{
    TempDir dir;
    ::signal(SIGPIPE, SIG_IGN);
    // A script from a pipe: the default name and the conversion come from one reading.
    const fs::path fifo = dir / "script-pipe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::thread feed([&] { writeFile(fifo, readFile(dataDir() / "script-synth.txt")); });
    const RunResult piped = runConvert({"to-cakewalk", fifo.string(), "-o", "-"}, {}, kEnv);
    feed.join();
    const RunResult direct =
        runConvert({"to-cakewalk", (dataDir() / "script-synth.txt").string(), "-o", "-"}, {}, kEnv);
    ASSERT_EQ(piped.status, 0) << describe(piped);
    EXPECT_EQ(count(piped.out, "[Bank"), 2u);
    EXPECT_EQ(piped.out, direct.out);

    // A device without end, and a file larger than the limit, end at once with the reason.
    const RunResult zero = runConvert({"list", "/dev/zero"});
    EXPECT_EQ(zero.status, 1);
    EXPECT_EQ(zero.err,
              "quorvix-convert: error: /dev/zero: Error Open InsDef-File: holds a NUL byte (at byte 0), "
              "so it is no text file\n");
    const fs::path sparse = dir / "sparse.ins";
    writeFile(sparse, "");
    fs::resize_file(sparse, std::uintmax_t{3} << 30);
    const RunResult large = runConvert({"list", sparse.string()});
    EXPECT_EQ(large.err,
              "quorvix-convert: error: " + sparse.string() +
                  ": Error Open InsDef-File: is larger than 1 GiB, the largest file Quorvix reads\n");

    // A folder as input is a reason, not a crash.
    const RunResult folder = runConvert({"to-cakewalk", dir.path().string()});
    EXPECT_EQ(folder.status, 1);
    EXPECT_EQ(folder.err, "quorvix-convert: error: " + dir.path().string() +
                              ": Error Convert: cannot be read: Is a directory\n");
}

TEST(Reliability, OutputsAreReplacedOnlyWhenAskedAndLongNamesWork)
{
    TempDir dir;
    const std::string script = (dataDir() / "script-synth.txt").string();

    EXPECT_EQ(runConvert({"to-cakewalk", script, "-o", ""}).err,
              "quorvix-convert: error: -o needs a path (or - for standard output), not an empty text\n");
    EXPECT_EQ(runConvert({"to-cakewalk", script, "-o", ""}).status, 2);

    // A name of 250 bytes: the temporary file beside it has a short name of its own.
    const fs::path longName = dir / (std::string(246, 'n') + ".ins");
    const RunResult written = runConvert({"to-cakewalk", script, "-o", longName.string()}, {}, kEnv);
    EXPECT_EQ(written.status, 0) << describe(written);
    EXPECT_TRUE(fs::exists(longName));

    // A non-empty file the user cannot read is still a non-empty file.
    if (::geteuid() == 0) {
        const fs::path folder = dir / "users";
        fs::create_directory(folder);
        ASSERT_EQ(::chown(folder.c_str(), 65534, 65534), 0);
        const fs::path target = folder / "out.ins";
        writeFile(target, "the user's own data");
        ASSERT_EQ(::chown(target.c_str(), 65534, 65534), 0);
        ASSERT_EQ(::chmod(target.c_str(), 0), 0);
        const std::string err = inChild(true, [&] {
            return runConvert({"to-cakewalk", script, "-o", target.string()}).err;
        });
        EXPECT_EQ(err, "quorvix-convert: error: " + target.string() +
                           ": already exists and is not empty; use --force to replace it\n");
        ASSERT_EQ(::chmod(target.c_str(), 0600), 0);
        EXPECT_EQ(readFile(target), "the user's own data");
    }
}
#endif

TEST(Reliability, LongDefinitionNamesAreChosenWhole)
{
    TempDir dir;
    const std::string name = std::string(100, 'L') + " Synth";
    const fs::path ins = dir / "long.ins";
    writeFile(ins, ".Patch Names\n[A]\n0=Piano\n.Instrument Definitions\n[" + name +
                       "]\nPatch[0]=A\n[Other]\n"
                       "Patch[0]=A\n");
    const RunResult run = runConvert({"to-cubase", ins.string(), "--definition", name, "-o", "-"}, {}, kEnv);
    ASSERT_EQ(run.status, 0) << describe(run);
    // The script keeps the name as the window holds it, cut to 79 bytes.
    EXPECT_THAT(run.out, HasSubstr("[device name] " + name.substr(0, 79) + "\r\n"));
}

TEST(Reliability, ACorpusScriptNamesEveryEntryThatDoesNotReadBack)
{
    QUORVIX_REQUIRE_CORPUS(corpus);
    const fs::path script = corpus / "cubase" / "Cubase-Patch-T5_incl-ExpPacks_12-2014.txt";
    const RunResult run = runConvert({"to-cakewalk", script.string(), "-o", "-"}, {}, kEnv);
    ASSERT_EQ(run.status, 0) << describe(run);
    EXPECT_EQ(count(run.err, "will not read back from the definition: program"), 3u) << run.err;
    EXPECT_THAT(run.err, HasSubstr("\"FunkTenor S.Art2!\""));
    EXPECT_THAT(run.err, HasSubstr("3 entries of the script will not read back"));
}
