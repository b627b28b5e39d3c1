// Squarp Hapax definitions written from the model: the bank bytes, drum lanes, controllers and names, what is
// warned about, the split of more than 128 voices into files of whole banks, and every file written checked
// against the rules the device applies when it loads one.

#include "TestSupport.h"
#include "formats/FormatTable.h"
#include "formats/Formats.h"
#include "formats/hapax/HapaxReader.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <gtest/gtest.h>
#include <numeric>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace quorvix {
namespace {

/// A number of decimal digits from `lowest` to `highest`; -1 for anything else.
int numberIn(const std::string& text, int lowest, int highest)
{
    if (text.empty() || text.size() > 6 || text.find_first_not_of("0123456789") != std::string::npos)
        return -1;
    const int value = std::stoi(text);
    return value >= lowest && value <= highest ? value : -1;
}

bool byteOrNull(const std::string& text)
{
    return text == "NULL" || numberIn(text, 0, 127) >= 0;
}

std::vector<std::string> split(const std::string& text, char at)
{
    std::vector<std::string> parts;
    std::stringstream stream(text);
    for (std::string part; std::getline(stream, part, at);)
        parts.push_back(part);
    if (!text.empty() && text.back() == at)
        parts.emplace_back();
    return parts;
}

/// Why the Hapax refuses an entry of `section` ("PC", ...), or "".
std::string entryRefusal(const std::string& section, const std::vector<std::string>& f, int rows)
{
    const std::size_t n = f.size();
    if (section == "PC")
        return (n == 1 || n == 3) && numberIn(f[0], 1, 128) > 0 &&
                       (n == 1 || (byteOrNull(f[1]) && byteOrNull(f[2])))
                   ? ""
                   : "a PC outside 1 to 128 or a bank byte outside 0 to 127";
    if (section == "DRUMLANES")
        return n == 4 && numberIn(f[0], 1, rows) > 0 && byteOrNull(f[1]) &&
                       (f[2] == "NULL" || numberIn(f[2], 1, 16) > 0) && byteOrNull(f[3])
                   ? ""
                   : "a lane outside the rows, or a trigger, channel or note the Hapax does not take";
    if (section == "CC")
        return (n == 1 || n == 2) && numberIn(f[0], 0, 127) >= 0 ? "" : "a controller outside 0 to 127";
    if (section == "CC_PAIR")
        return n == 2 && numberIn(f[0], 0, 127) >= 0 && numberIn(f[1], 0, 127) >= 0 ? "" : "a bad pair";
    if (section == "NRPN") {
        const bool low = f[0].empty() || f[0] == "0";
        return n == 3 && (low || numberIn(f[0], 0, 127) >= 0) && numberIn(f[1], 0, low ? 16383 : 127) >= 0 &&
                       (f[2] == "7" || f[2] == "14")
                   ? ""
                   : "an NRPN outside its ranges";
    }
    return "a section no writer should write";
}

/// The Hapax's rules applied to a file as the device applies them: the first line it would refuse, as
/// "line N: WHY" (N counting every physical line, as "syntax error line N" does), or "" when it loads. The
/// rules of the files Quorvix writes are stricter than the device's: ASCII, LF, no trailing blank, a final
/// line end, VERSION 1 first, at most 128 [PC] lines, every section closed.
std::string deviceRefusal(const std::string& file, int rows = 8)
{
    if (file.empty() || file.back() != '\n')
        return "no final line end";
    if (file.rfind("VERSION 1\n", 0) != 0)
        return "line 1: not VERSION 1";
    const std::string nameCharacters = " _-+!\"$'()*,./:<=>?@";
    const std::set<std::string> sections = {"DRUMLANES", "PC", "CC", "CC_PAIR", "NRPN"};
    std::string open;
    std::size_t pcs = 0;
    int number = 0;
    std::istringstream in(file);
    for (std::string raw; std::getline(in, raw);) {
        const std::string at = "line " + std::to_string(++number) + ": ";
        if (std::any_of(raw.begin(), raw.end(), [](char c) { return c < ' ' || c > '~'; }))
            return at + "a byte that is no printable ASCII (CR, tab, UTF-8)";
        if (!raw.empty() && raw.back() == ' ')
            return at + "a blank at the end";
        std::string line = raw.substr(0, raw.find('#'));
        while (!line.empty() && line.back() == ' ')
            line.pop_back();
        if (line.empty())
            continue;
        if (line.front() == '[') {
            const bool closing = line.size() > 2 && line[1] == '/';
            const std::string name = line.substr(closing ? 2 : 1, line.size() - (closing ? 3 : 2));
            if (line.back() != ']' || sections.count(name) == 0)
                return at + "no section the writer writes";
            if (closing != !open.empty() || (closing && name != open))
                return at + (closing ? "closes a section that is not open" : "opens inside [" + open + "]");
            open = closing ? "" : name;
            continue;
        }
        const auto blank = line.find(' ');
        const std::string head = line.substr(0, blank);
        const std::string name = blank == std::string::npos ? "" : line.substr(blank + 1);
        const bool nameTaken =
            !name.empty() && name.front() != ' ' && std::all_of(name.begin(), name.end(), [&](char c) {
                return std::isalnum(static_cast<unsigned char>(c)) ||
                       nameCharacters.find(c) != std::string::npos;
            });
        if (!nameTaken)
            return at + "a name missing, or with a character the Hapax refuses";
        if (open.empty()) {
            if (head == "TYPE"      ? name != "POLY" && name != "DRUM"
                : head == "VERSION" ? name != "1"
                                    : head != "TRACKNAME")
                return at + "a directive the writer does not write";
            continue;
        }
        if (open == "PC" && ++pcs > 128)
            return at + "more than 128 [PC] lines";
        if (const std::string why = entryRefusal(open, split(head, ':'), rows); !why.empty())
            return at + why;
    }
    return open.empty() ? "" : "[" + open + "] is not closed";
}

TEST(HapaxWriter, TheChecksOfTheTestsRefuseWhatTheHapaxRefuses)
{
    std::string manyPcs = "VERSION 1\n[PC]\n";
    for (int pc = 1; pc <= 129; ++pc)
        manyPcs += std::to_string(pc % 128 + 1) + " V\n";
    const struct
    {
        std::string file;
        int rows;
        std::string refusal;
    } cases[] = {
        {"VERSION 1\nTRACKNAME Synth\nTYPE DRUM\n[PC]\n1:NULL:0 A # comment\n[/PC]\n", 8, ""},
        {"VERSION 1\nTRACKNAME preenfm2&3\n", 8,
         "line 2: a name missing, or with a character the Hapax refuses"},
        {"VERSION 1\r\n", 8, "line 1: not VERSION 1"},
        {"VERSION 1\n[PC]\n129 X\n[/PC]\n", 8,
         "line 3: a PC outside 1 to 128 or a bank byte outside 0 to 127"},
        {"VERSION 1\n[PC]\n1:1:NULL\n[/PC]\n", 8,
         "line 3: a name missing, or with a character the Hapax refuses"},
        {"VERSION 1\n[PC]\n1 X\n", 8, "[PC] is not closed"},
        {"VERSION 1\n[DRUMLANES]\n9:NULL:NULL:36 K\n[/DRUMLANES]\n", 8,
         "line 3: a lane outside the rows, or a trigger, channel or note the Hapax does not take"},
        {"VERSION 1\n[DRUMLANES]\n9:NULL:NULL:36 K\n[/DRUMLANES]\n", 16, ""},
        {"VERSION 1\n[NRPN]\n1:200:7 X\n[/NRPN]\n", 8, "line 3: an NRPN outside its ranges"},
        {manyPcs + "[/PC]\n", 8, "line 131: more than 128 [PC] lines"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(deviceRefusal(c.file, c.rows), c.refusal) << c.file;
}

struct Written
{
    std::vector<std::string> files;
    std::vector<std::string> warnings; ///< of each file
};

/// Every file the Hapax row writes for instrument `index` of the set, with their warnings.
Written writeAll(const InstrumentSet& set, std::size_t index, const std::string& rows = "8")
{
    const FormatRow& row = *formatRow(FileFormat::Hapax);
    WriteSettings settings;
    settings.sourceName = "s\xC3\xBC\xC3\x9F.ins";
    settings.stamp = {"12/09/26", "10:00:00"};
    settings.values = {rows};
    Written written;
    for (settings.part = 0; settings.part < row.writer.parts(set, index); ++settings.part) {
        StringSink out;
        Diagnostics warnings;
        row.writer.write(set, index, settings, out, warnings);
        written.files.push_back(out.text);
        written.warnings.emplace_back();
        for (const Diagnostic& d : warnings.list())
            written.warnings.back() += d.message + "\n";
        EXPECT_EQ(deviceRefusal(out.text, std::stoi(rows)), "") << out.text;
    }
    return written;
}

Written fromIns(const std::string& text, const std::string& rows = "8")
{
    const ReadResult read = formatRow(FileFormat::Ins)->read(text, "stem");
    EXPECT_TRUE(read.ok());
    return writeAll(read.set, 0, rows);
}

const std::string kLists =
    ".Patch Names\n[P]\n0=Piano\n1=Str\xC3\xA4nge & Pads #1\n2=\xE6\x97\xA5\xE6\x9C\xAC\n"
    ".Note Names\n[Kit]\n36=Kick\n37=Rim\n38=Snare\n39=Clap\n40=Snare 2\n41=Tom\n42=Hat\n"
    "43=Tom 2\n44=Pedal\n"
    ".Controller Names\n[C]\n7=Volume\n74=Cutoff\n121=Reset\n"
    ".RPN Names\n[R]\n0=Bend range\n.NRPN Names\n[N]\n1026=Decay\n"
    ".Instrument Definitions\n[Synth]\n";

TEST(HapaxWriter, WritesBankBytesDrumLanesAndControllersAndSaysWhatItLeftOutOrChanged)
{
    const std::string renamed =
        "\"Synth\": 1 name holds characters the Hapax does not take, written without them: "
        "\"Str\xC3\xA4nge & Pads #1\" as \"Straenge Pads 1\"\n\"Synth\": 1 name has no "
        "character the Hapax takes, written as their numbers: \"\xE6\x97\xA5\xE6\x9C\xAC\" as "
        "\"PC 3\"\n";
    const struct
    {
        const char* what;
        std::string definition;
        std::string rows;
        std::vector<std::string> written; ///< parts of the file
        std::string warnings;
    } cases[] = {
        {"CC0 and CC32",
         "Patch[258]=P\n",
         "8",
         {"VERSION 1\n# Generated with Quorvix 12/09/26 10:00:00 from suess.ins\nTRACKNAME Synth\nTYPE POLY\n"
          "[PC]\n1:2:2 Piano\n2:2:2 Straenge Pads 1\n3:2:2 PC 3\n[/PC]\n"},
         renamed},
        {"CC0 alone", "BankSelMethod=1\nPatch[256]=P\n", "8", {"\n1:2:NULL Piano\n"}, renamed},
        {"CC32 alone", "BankSelMethod=2\nPatch[3]=P\n", "8", {"\n1:NULL:3 Piano\n"}, renamed},
        {"a program change selects the bank",
         "BankSelMethod=3\nPatch[5]=P\n",
         "8",
         {"TYPE POLY\n"},
         "\"Synth\": 3 voices of bank \"P\" are left out: a program change selects the bank, which the Hapax "
         "does not send\n"},
        {"a definition of drum kits",
         "Patch[0]=P\nKey[*,*]=Kit\n",
         "8",
         {"TYPE DRUM\n[DRUMLANES]\n1:NULL:NULL:36 Kick\n2:NULL:NULL:37 Rim\n",
          "8:NULL:NULL:43 Tom 2\n[/DRUMLANES]\n[PC]\n1:0:0 Piano\n"},
         "\"Synth\": 1 drum note beyond the 8 lanes is left out (firmware 3.10 and later takes 16): 44 "
         "\"Pedal\"\n" +
             renamed},
        {"16 rows", "Patch[0]=P\nKey[*,*]=Kit\n", "16", {"9:NULL:NULL:44 Pedal\n[/DRUMLANES]\n"}, renamed},
        {"a drum voice among others",
         "Patch[0]=P\nKey[0,1]=Kit\n",
         "8",
         {"TYPE POLY\n[PC]\n"},
         "\"Synth\": the drum-note names of 1 voice are left out: a definition has drum lanes only when all "
         "its "
         "voices are drum kits (TYPE DRUM)\n" +
             renamed},
        {"controllers, NRPNs and RPNs",
         "Patch[0]=P\nControl=C\nRPN=R\nNRPN=N\n",
         "8",
         {"[/PC]\n[CC]\n7 Volume\n74 Cutoff\n121 Reset\n[/CC]\n[NRPN]\n8:2:7 Decay\n[/NRPN]\n"},
         renamed +
             "\"Synth\": controllers 120 to 127 are in [CC], where the Hapax shows them, but cannot be "
             "automated: "
             "121 \"Reset\"\n\"Synth\": 1 RPN name is left out: a Hapax definition holds no RPN names\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Written written = fromIns(kLists + c.definition, c.rows);
        ASSERT_EQ(written.files.size(), 1u);
        for (const std::string& part : c.written)
            EXPECT_NE(written.files[0].find(part), std::string::npos) << part << "\n" << written.files[0];
        EXPECT_EQ(written.warnings[0], c.warnings);
    }

    // Windows-1252 names, and a track name that keeps nothing.
    const Written latin = fromIns(".Patch Names\n[P]\n0=Caf\xE9 \x93Noir\x94\n1=Stra\xDF"
                                  "e \x96 1\n"
                                  ".Instrument Definitions\n[M\xE4"
                                  "ander]\nPatch[0]=P\n");
    EXPECT_NE(
        latin.files[0].find("TRACKNAME Maeander\nTYPE POLY\n[PC]\n1:0:0 Cafe \"Noir\"\n2:0:0 Strasse - 1\n"),
        std::string::npos)
        << latin.files[0];
    const Written nameless =
        fromIns(".Patch Names\n[P]\n0=A\n.Instrument Definitions\n[\xE6\x97\xA5]\nPatch[0]=P\n");
    EXPECT_NE(nameless.files[0].find("\nTRACKNAME NULL\n"), std::string::npos);
    EXPECT_EQ(nameless.warnings[0],
              "\"\xE6\x97\xA5\" has no character the Hapax takes in a name: TRACKNAME NULL "
              "keeps the track's own name\n");
}

/// An .ins text of banks of `sizes` programs (bank b is Patch[b]), with controller names.
std::string banksOf(const std::vector<int>& sizes)
{
    std::string text = ".Patch Names\n";
    for (std::size_t b = 0; b < sizes.size(); ++b) {
        text += "[B" + std::to_string(b) + "]\n";
        for (int p = 0; p < sizes[b]; ++p)
            text += std::to_string(p) + "=" +
                    (b == sizes.size() - 1 && p == 0 ? "R&B" : "V" + std::to_string(p)) + "\n";
    }
    text += ".Controller Names\n[C]\n7=Volume\n.Instrument Definitions\n[Big]\nControl=C\n";
    for (std::size_t b = 0; b < sizes.size(); ++b)
        text += "Patch[" + std::to_string(b) + "]=B" + std::to_string(b) + "\n";
    return text;
}

TEST(HapaxWriter, WritesMoreThan128VoicesAsFilesOfWholeBanksEachWithTheOtherSections)
{
    const struct
    {
        std::vector<int> banks;
        std::vector<std::size_t> lines; ///< [PC] lines of each file
    } cases[] = {
        {{128}, {128}},       {{100, 100, 100}, {100, 100, 100}}, {{60, 60, 60}, {120, 60}},
        {{128, 1}, {128, 1}}, {{1, 128, 5, 5}, {1, 128, 10}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.banks.size());
        const Written written = fromIns(banksOf(c.banks));
        ASSERT_EQ(written.files.size(), c.lines.size());
        std::size_t voices = 0;
        for (std::size_t f = 0; f < written.files.size(); ++f) {
            const std::string& file = written.files[f];
            const auto from = file.find("[PC]\n") + 5;
            EXPECT_EQ(static_cast<std::size_t>(
                          std::count(file.begin() + static_cast<std::ptrdiff_t>(from),
                                     file.begin() + static_cast<std::ptrdiff_t>(file.find("[/PC]")), '\n')),
                      c.lines[f]);
            EXPECT_NE(file.find("TRACKNAME Big\nTYPE POLY\n"), std::string::npos);
            EXPECT_NE(file.find("[CC]\n7 Volume\n[/CC]\n"), std::string::npos)
                << "every file has the controllers";
            const ReadResult back = readHapax(file, "x");
            voices += back.set.voiceCount(back.set.instruments.at(0));
            if (f > 0) {
                EXPECT_EQ(written.warnings[f], "");
            }
        }
        EXPECT_EQ(voices, static_cast<std::size_t>(std::accumulate(c.banks.begin(), c.banks.end(), 0)));
        const std::string renamed =
            "\"Big\": 1 name holds characters the Hapax does not take, written without "
            "them: \"R&B\" as \"RB\"\n";
        if (c.lines.size() == 1)
            EXPECT_EQ(written.warnings[0], renamed);
        else
            EXPECT_EQ(written.warnings[0],
                      renamed + "\"Big\": " + std::to_string(voices) +
                          " voices are more than the 128 [PC] lines of a Hapax definition: written as " +
                          std::to_string(c.lines.size()) +
                          " files of whole banks, each with the definition's "
                          "other sections\n");
    }
    EXPECT_EQ(partFileStem("Synth", 0, 1), "Synth");
    EXPECT_EQ(partFileStem("Synth", 2, 9), "Synth 3");
    EXPECT_EQ(partFileStem("Synth", 0, 12), "Synth 01");
    EXPECT_EQ(partFileStem("Synth", 11, 12), "Synth 12");
    EXPECT_EQ(partFileStem(std::string(300, 'x'), 0, 2), std::string(223, 'x') + " 1");
}

TEST(HapaxWriter, EveryCorpusDefinitionGivesFilesTheHapaxLoadsThatTogetherHoldEveryVoice)
{
    QUORVIX_REQUIRE_CORPUS(corpus);
    std::size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(corpus / "ins")) {
        if (entry.path().extension() != ".ins")
            continue;
        SCOPED_TRACE(entry.path().filename().string());
        const ReadResult read = formatRow(FileFormat::Ins)->read(test::readFile(entry.path()), "stem");
        ASSERT_TRUE(read.ok());
        const InstrumentSet& set = read.set;
        for (std::size_t i = 0; i < set.instruments.size(); ++i) {
            SCOPED_TRACE(std::string(set.text(set.instruments[i].name)));
            // Every voice a PC line can select: its bank bytes, program and name.
            std::set<std::string> wanted;
            for (const Bank& bank : set.instruments[i].banks)
                if (const PatchList* list = set.patchListOf(bank); list != nullptr && bank.select.program < 0)
                    for (const Patch& patch : list->patches)
                        wanted.insert(std::to_string(bank.select.msb) + ":" +
                                      std::to_string(bank.select.lsb) + ":" + std::to_string(patch.program));
            std::set<std::string> held;
            for (const std::string rows : {"8", "16"}) {
                const Written written = writeAll(set, i, rows);
                files += written.files.size();
                held.clear();
                for (const std::string& file : written.files) {
                    ASSERT_EQ(detectFormat(file), FileFormat::Hapax);
                    const ReadResult back = readHapax(file, "x");
                    ASSERT_TRUE(back.ok());
                    // What the reader names in a file with 16 rows is the rows older firmware refuses.
                    if (rows == "8") {
                        EXPECT_TRUE(back.warnings.empty()) << back.warnings.list().front().message;
                    }
                    for (const Bank& bank : back.set.instruments.at(0).banks)
                        for (const Patch& patch : back.set.patchListOf(bank)->patches)
                            held.insert(std::to_string(bank.select.msb) + ":" +
                                        std::to_string(bank.select.lsb) + ":" +
                                        std::to_string(patch.program));
                }
                EXPECT_EQ(held, wanted);
            }
        }
    }
    EXPECT_GT(files, 200u);
}

} // namespace
} // namespace quorvix
