// CSV spreadsheets written from the model: the three tables, quoting, what is warned about, and the tables of
// every corpus definition as Python's csv module reads them.

#include "TestSupport.h"
#include "formats/FormatTable.h"
#include "formats/Formats.h"
#include "formats/csv/CsvReader.h"
#include "formats/csv/CsvTable.h"
#include "formats/csv/CsvWriter.h"

#include <gtest/gtest.h>
#include <string>

using namespace quorvix;
namespace fs = std::filesystem;

namespace {

struct Written
{
    std::string text;
    std::string warnings;
};

/// The table of the first instrument of an .ins text.
Written toCsv(const std::string& ins, CsvContent content)
{
    const ReadResult read = formatRow(FileFormat::Ins)->read(ins, "stem");
    EXPECT_TRUE(read.ok());
    StringSink out;
    Diagnostics warnings;
    writeCsv(read.set, read.set.instruments.at(0), content, out, warnings);
    Written written{out.text, {}};
    for (const Diagnostic& warning : warnings.list())
        written.warnings += warning.message + "\n";
    return written;
}

const std::string kLists = ".Patch Names\n[P]\n0=Piano\n1=Strings, \"Soft\"\n2=Pad\n"
                           ".Note Names\n[Kit]\n38=Snare\n36=Kick\n"
                           ".Controller Names\n[C]\n74=Cutoff\n"
                           ".NRPN Names\n[N]\n300=Drive\n"
                           ".Instrument Definitions\n[Synth]\n";

TEST(CsvWriter, WritesTheTableOfItsContentAndSaysWhatItLeavesOut)
{
    const std::string bom = "\xEF\xBB\xBF";
    const struct
    {
        const char* what;
        std::string definition;
        CsvContent content;
        std::string text;
        std::string warnings;
    } cases[] = {
        {"voices by bank number, quoted where a reader would lose something", "Patch[257]=P\nPatch[0]=P\n",
         CsvContent::Voices,
         bom + "device,bank,bank_name,msb,lsb,program,name\r\nSynth,0,P,0,0,0,Piano\r\n"
               "Synth,0,P,0,0,1,\"Strings, \"\"Soft\"\"\"\r\nSynth,0,P,0,0,2,Pad\r\n"
               "Synth,257,P,2,1,0,Piano\r\nSynth,257,P,2,1,1,\"Strings, \"\"Soft\"\"\"\r\n"
               "Synth,257,P,2,1,2,Pad\r\n",
         ""},
        {"a byte the bank select does not send is an empty cell", "BankSelMethod=2\nPatch[5]=P\n",
         CsvContent::Voices,
         bom + "device,bank,bank_name,msb,lsb,program,name\r\nSynth,5,P,,5,0,Piano\r\n"
               "Synth,5,P,,5,1,\"Strings, \"\"Soft\"\"\"\r\nSynth,5,P,,5,2,Pad\r\n",
         ""},
        {"a program change bank has no column; note and controller names are left out",
         "BankSelMethod=3\nPatch[4]=P\nKey[*,*]=Kit\nControl=C\n", CsvContent::Voices,
         bom + "device,bank,bank_name,msb,lsb,program,name\r\nSynth,4,P,,,0,Piano\r\n"
               "Synth,4,P,,,1,\"Strings, \"\"Soft\"\"\"\r\nSynth,4,P,,,2,Pad\r\n",
         "\"Synth\": 1 bank is selected with a program change 100 + bank, which the table has no column for; "
         "the \"bank\" cell holds the bank's number\n"
         "\"Synth\": its drum-note names are not written: a table of voices holds patch names (to-csv --what "
         "notes writes them)\n"
         "\"Synth\": its controller, RPN and NRPN names are not written: a table of voices holds patch names "
         "(to-csv --what controllers writes them)\n"},
        {"notes by list and number", "Patch[0]=P\nKey[0,0]=Kit\n", CsvContent::Notes,
         bom + "device,list,note,name\r\nSynth,Kit,36,Kick\r\nSynth,Kit,38,Snare\r\n", ""},
        {"controllers, then NRPNs", "Control=C\nNRPN=N\n", CsvContent::Controllers,
         bom + "device,type,number,name\r\nSynth,cc,74,Cutoff\r\nSynth,nrpn,300,Drive\r\n", ""},
        {"a table without names says so", "Patch[0]=P\n", CsvContent::Controllers,
         bom + "device,type,number,name\r\n",
         "\"Synth\" holds no controller, RPN or NRPN names: the CSV spreadsheet written for it names none\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Written written = toCsv(kLists + c.definition, c.content);
        EXPECT_EQ(written.text, c.text);
        EXPECT_EQ(written.warnings, c.warnings);
        EXPECT_EQ(detectFormat(written.text), FileFormat::Csv);
        const ReadResult back = readCsv(written.text, "stem");
        EXPECT_EQ(back.ok(), written.text.find("\r\nSynth") != std::string::npos);
        EXPECT_TRUE(back.warnings.empty());
    }
}

TEST(CsvWriter, QuotesAFieldOnlyWhereAReaderWouldLoseSomething)
{
    const struct
    {
        std::string field;
        std::string written;
    } cases[] = {
        {"Piano", "Piano"},
        {"", ""},
        {"a,b", "\"a,b\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"two\nlines", "\"two\nlines\""},
        {"cr\r", "\"cr\r\""},
        {" lead", "\" lead\""},
        {"tail\t", "\"tail\t\""},
        {"semi;colon", "semi;colon"},
        {"Ünïcode", "Ünïcode"},
    };
    for (const auto& c : cases) {
        std::string row;
        csv::appendField(row, c.field);
        EXPECT_EQ(row, c.written);
        const ReadResult back = readCsv("program,name\n0," + row + "\n", "stem");
        ASSERT_TRUE(back.ok());
        const PatchList& list = *back.set.patchListOf(back.set.instruments.at(0).banks.at(0));
        EXPECT_EQ(back.set.text(list.patches.at(0).name), c.field == "cr\r" ? "cr\n" : c.field);
    }
}

/// Python's csv module on the tables listed in `manifest` ("PATH\tVOICES" lines): the paths of those whose
/// rows are not the voices a header row announces, then "N tables".
const char* const kPythonCheck = R"(
import codecs, csv, sys
bad, count = [], 0
for line in open(sys.argv[1], encoding='utf-8'):
    path, voices = line.rstrip('\n').rsplit('\t', 1)
    raw = open(path, 'rb').read()
    with open(path, encoding='utf-8-sig', newline='') as f:
        rows = list(csv.reader(f))
    fits = raw.startswith(codecs.BOM_UTF8) and rows[0] == 'device,bank,bank_name,msb,lsb,program,name'.split(',')
    body = rows[1:]
    fits = fits and len(body) == int(voices) and all(len(r) == 7 and 0 <= int(r[5]) <= 127 for r in body)
    if not fits:
        bad.append(path)
    count += 1
print('\n'.join(bad + ['%d tables' % count]))
)";

TEST(CsvWriter, EveryCorpusDefinitionWritesATableThatPythonAndQuorvixReadWithEveryVoice)
{
    QUORVIX_REQUIRE_CORPUS(corpus);
    test::TempDir dir;
    std::string manifest;
    std::size_t tables = 0;
    for (const auto& entry : fs::directory_iterator(corpus / "ins")) {
        if (entry.path().extension() != ".ins")
            continue;
        SCOPED_TRACE(entry.path().filename().string());
        const ReadResult read = formatRow(FileFormat::Ins)->read(test::readFile(entry.path()), "stem");
        ASSERT_TRUE(read.ok());
        for (std::size_t i = 0; i < read.set.instruments.size(); ++i) {
            const Instrument& instrument = read.set.instruments[i];
            std::size_t voices = 0;
            read.set.forEachVoice(instrument, [&](const Voice& voice) { voices += voice.program <= 127; });
            StringSink out;
            Diagnostics warnings;
            writeCsv(read.set, instrument, CsvContent::Voices, out, warnings);
            const ReadResult back = readCsv(out.text, "stem");
            if (voices > 0) {
                ASSERT_TRUE(back.ok()) << back.error->message;
                std::size_t readBack = 0;
                for (const Instrument& again : back.set.instruments)
                    readBack += back.set.voiceCount(again);
                EXPECT_EQ(readBack, voices) << i;
            }
            const fs::path table = dir / (std::to_string(tables++) + ".csv");
            test::writeFile(table, out.text);
            manifest += table.string() + "\t" + std::to_string(voices) + "\n";
        }
    }
    test::writeFile(dir / "manifest", manifest);
    const test::RunResult python =
        test::runProgram("python3", {"-c", kPythonCheck, (dir / "manifest").string()});
    if (python.status == 127)
        GTEST_SKIP() << "python3 not found: the tables were not read with Python's csv module";
    EXPECT_EQ(python.status, 0) << python.err;
    EXPECT_EQ(python.out, std::to_string(tables) + " tables\n");
    EXPECT_GT(tables, 40u);
}

} // namespace
