// quorvix-convert check: problems on standard output as "FILE:LINE: problem: MESSAGE" sorted by line, exit
// 0 clean, 1 problems, 2 usage errors; --for a program of another format checks what Quorvix writes for it;
// gzip-compressed input; and the documents to-midnam writes from every corpus file, checked for Ardour.

#include "TestSupport.h"
#include "base/Gzip.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

using namespace quorvix::test;
namespace fs = std::filesystem;

namespace {

const std::vector<std::string> kEnv = {"SOURCE_DATE_EPOCH=0", "TZ=UTC"};

std::vector<std::string> linesOf(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

/// The line numbers of "PATH:LINE: problem: ..." lines (0 for a line without one).
std::vector<int> lineNumbers(const std::string& path, const std::string& out)
{
    std::vector<int> numbers;
    for (const std::string& line : linesOf(out)) {
        EXPECT_EQ(line.rfind(path + ":", 0), 0u) << line;
        const std::string rest = line.substr(path.size());
        numbers.push_back(rest.rfind(": problem: ", 0) == 0 ? 0 : std::stoi(rest.substr(1)));
    }
    return numbers;
}

TEST(CheckCommand, PrintsProblemsSortedByLineAndExitsOneOnlyWhenThereAreAny)
{
    const std::string faults = (dataDir() / "broken-ardour-faults.midnam").string();
    const auto found = runConvert({"check", faults});
    EXPECT_EQ(found.status, 1) << describe(found);
    const std::vector<std::string> lines = linesOf(found.out);
    ASSERT_EQ(lines.size(), 9u) << found.out;
    EXPECT_EQ(lines[0], faults + ":3: problem: no <Author>: Ardour rejects the document (\"No author "
                                 "information in MIDNAM file\")");
    EXPECT_EQ(lines[3], faults +
                            ":19: problem: UsesPatchNameList \"Missing\" names no PatchNameList of "
                            "<MasterDeviceNames>: Ardour ignores the whole file (\"Patch list name Missing "
                            "was not found\")");
    const std::vector<int> numbers = lineNumbers(faults, found.out);
    EXPECT_TRUE(std::is_sorted(numbers.begin(), numbers.end())) << found.out;
    EXPECT_EQ(found.err, "quorvix-convert: note: 9 problems for Ardour\n");

    const std::string cakewalk = (dataDir() / "broken-cakewalk-faults.ins").string();
    const auto ins = runConvert({"check", cakewalk, "--for", "cakewalk"});
    EXPECT_EQ(ins.status, 1);
    EXPECT_NE(ins.out.find(cakewalk + ":14: problem: patch list \"Absent\" of Patch[1] is not defined\n"),
              std::string::npos)
        << ins.out;

    const auto clean = runConvert({"check", (dataDir() / "hapax-drums.txt").string()});
    EXPECT_EQ(clean.status, 0) << describe(clean);
    EXPECT_EQ(clean.out, "");
    EXPECT_EQ(clean.err, "");
}

TEST(CheckCommand, ForAnotherFormatChecksWhatQuorvixWritesForIt)
{
    const std::string single = (dataDir() / "to-cubase-single.ins").string();
    for (const char* program : {"ardour", "cubase", "reaper", "rosegarden", "muse"}) {
        const auto run = runConvert({"check", single, "--for", program}, {}, kEnv);
        EXPECT_EQ(run.status, 0) << program << "\n" << describe(run);
    }
    const auto hapax = runConvert({"check", single, "--for", "hapax"}, {}, kEnv);
    EXPECT_EQ(hapax.status, 1);
    EXPECT_EQ(hapax.out.rfind(single + ": problem: written for Hapax: \"Test Synth-1.0 (A)\": 2 names hold "
                                       "characters the Hapax does not take",
                              0),
              0u)
        << hapax.out;

    const std::string two = (dataDir() / "ins-synth.ins").string();
    const auto empty = runConvert({"check", two, "--for", "ardour"}, {}, kEnv);
    EXPECT_EQ(empty.status, 1);
    EXPECT_NE(empty.out.find(two + ": problem: written for Ardour: \"Synth Two\" holds no patches"),
              std::string::npos)
        << empty.out;
    EXPECT_EQ(empty.out.find("Quorvix's own"), std::string::npos) << empty.out;
}

TEST(CheckCommand, ReadsCompressedInputAsEveryCommandDoes)
{
    TempDir dir;
    const std::string plain = readFile(dataDir() / "broken-cakewalk-faults.ins");
    quorvix::StringSink packed;
    quorvix::GzipSink gzip(packed);
    gzip.write(plain);
    gzip.finish();
    writeFile(dir / "faults.ins.gz", packed.text);
    const auto run = runConvert({"check", (dir / "faults.ins.gz").string()});
    EXPECT_EQ(run.status, 1) << describe(run);
    EXPECT_EQ(lineNumbers((dir / "faults.ins.gz").string(), run.out), (std::vector<int>{5, 14, 15, 16, 17}));

    // A Rosegarden device file is compressed as Rosegarden writes it, and checked so.
    const auto written = runConvert(
        {"to-rosegarden", (dataDir() / "to-cubase-single.ins").string(), "-o", (dir / "d.rgd").string()}, {},
        kEnv);
    ASSERT_EQ(written.status, 0) << describe(written);
    const auto device = runConvert({"check", (dir / "d.rgd").string()});
    EXPECT_EQ(device.status, 0) << describe(device);
}

TEST(CheckCommand, UsageErrorsExitTwo)
{
    const std::string single = (dataDir() / "to-cubase-single.ins").string();
    const auto unknown = runConvert({"check", single, "--for", "logic"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_EQ(unknown.err, "quorvix-convert: error: --for \"logic\" names no program check knows; it takes "
                           "cakewalk, cubase, ardour, reaper, rosegarden, muse or hapax\n");

    TempDir dir;
    const auto table = runConvert({"to-csv", single, "-o", (dir / "t.csv").string()}, {}, kEnv);
    ASSERT_EQ(table.status, 0) << describe(table);
    const auto csv = runConvert({"check", (dir / "t.csv").string()});
    EXPECT_EQ(csv.status, 2);
    EXPECT_NE(csv.err.find("which no one program reads: name the program with --for (cakewalk,"),
              std::string::npos)
        << csv.err;
    EXPECT_EQ(runConvert({"check", (dir / "t.csv").string(), "--for", "reaper"}).status, 0);

    const auto missing = runConvert({"check", (dir / "none.midnam").string()});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "");
    EXPECT_EQ(runConvert({"check"}).status, 2);
}

/// The kinds of problems a check prints: each message without its file, line, quoted names and numbers.
std::set<std::string> kindsOf(const std::string& out)
{
    static const std::regex place("^.*?: problem: "), quoted("\"[^\"]*\""), number("[0-9]+");
    std::set<std::string> kinds;
    for (const std::string& line : linesOf(out))
        kinds.insert(std::regex_replace(std::regex_replace(std::regex_replace(line, place, ""), quoted, "Q"),
                                        number, "N"));
    return kinds;
}

TEST(CheckCommand, DocumentsWrittenFromTheCorpusHoldNothingArdourReadsOtherwise)
{
    QUORVIX_REQUIRE_CORPUS(corpus);
    // A document read and written again holds no problem its source did not have already (sources that
    // Ardour ships merge several modes, or select banks by program change).
    TempDir dir;
    std::size_t written = 0;
    for (const auto& entry : fs::directory_iterator(corpus / "midnam")) {
        if (entry.path().extension() != ".midnam")
            continue;
        SCOPED_TRACE(entry.path().filename().string());
        const fs::path folder = dir / entry.path().stem().string();
        // Documents of lists for devices of other files hold no device to write.
        if (runConvert({"to-midnam", entry.path().string(), "--all", "-o", folder.string() + "/"}, {}, kEnv)
                .status != 0)
            continue;
        const std::set<std::string> own = kindsOf(runConvert({"check", entry.path().string()}).out);
        for (const auto& document : fs::directory_iterator(folder)) {
            ++written;
            for (const std::string& kind : kindsOf(runConvert({"check", document.path().string()}).out))
                EXPECT_TRUE(own.count(kind) > 0) << document.path().filename().string() << ": " << kind;
        }
    }
    EXPECT_GT(written, 300u);

    // From every other format the documents hold nothing Ardour rejects or reads otherwise, but what the
    // writer carries for the other programs that read MIDNAM: banks a program change selects (Rosegarden's
    // TG77 file), RPN names (which Ardour takes for controllers of their numbers) and NRPN names; and the
    // names of models Ardour installs, which a definition's name may be.
    for (const char* format : {"ins", "idf", "rgd", "reabank", "cubase"}) {
        for (const auto& entry : fs::directory_iterator(corpus / format)) {
            if (entry.path().extension() == ".md")
                continue;
            SCOPED_TRACE(entry.path().filename().string());
            const auto run = runConvert({"check", entry.path().string(), "--for", "ardour"}, {}, kEnv);
            static const std::regex carried(
                "Quorvix's own .*: (bank .*: Ardour ignores <ProgramChange> in a "
                "bank's MIDICommands|control [0-9]+ of Type \"RPN\" .*|controller "
                "[0-9]+ is named again .*|[0-9]+ NRPN names? of list .*|model .* is "
                "the model of a document Ardour installs)");
            for (const std::string& line : linesOf(run.out))
                EXPECT_TRUE(line.find("Quorvix's own") == std::string::npos ||
                            std::regex_search(line, carried))
                    << line;
        }
    }
}

} // namespace
