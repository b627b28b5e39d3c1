#include "TestSupport.h"
#include "formats/reaper/ReabankReader.h"

#include <gtest/gtest.h>
#include <sstream>
#include <string>

using namespace quorvix;
using namespace std::string_literals;

namespace {

std::string selectPart(std::int16_t value)
{
    return value < 0 ? "-" : std::to_string(value);
}

// "number:msb:lsb:name[program=name,...]" per bank, separated by "|"; names as UTF-8.
std::string banksText(const ReadResult& read)
{
    const InstrumentSet& set = read.set;
    std::string text;
    for (const Bank& bank : set.instruments.at(0).banks) {
        const PatchList& list = set.patchLists.at(static_cast<std::size_t>(bank.patchList));
        EXPECT_EQ(set.utf8(list.name), set.utf8(bank.name));
        text += (text.empty() ? "" : "|") + std::to_string(bank.number) + ':' + selectPart(bank.select.msb) +
                ':' + selectPart(bank.select.lsb) + ':' + set.utf8(bank.name) + '[';
        for (std::size_t i = 0; i < list.patches.size(); ++i)
            text += (i ? "," : "") + std::to_string(list.patches[i].program) + '=' +
                    set.utf8(list.patches[i].name);
        text += ']';
    }
    return text;
}

std::string warningsText(const Diagnostics& warnings)
{
    std::string text;
    for (const Diagnostic& warning : warnings.list())
        text += std::to_string(warning.at.line) + ": " + warning.message + "\n";
    return text;
}

// Names each case of a table by its "what", for readable test listings.
template <typename Case>
requires requires(const Case& c)
{
    c.what;
}
void PrintTo(const Case& c, std::ostream* out)
{
    *out << c.what;
}

struct ReadCase
{
    const char* what;
    std::string file, banks, warnings;
};

class ReabankRead : public testing::TestWithParam<ReadCase>
{};

TEST_P(ReabankRead, GivesTheseBanksAndWarnings)
{
    const ReadResult read = readReabank(GetParam().file, "stem");
    ASSERT_TRUE(read.ok()) << read.error->message;
    EXPECT_EQ(banksText(read), GetParam().banks);
    EXPECT_EQ(warningsText(read.warnings), GetParam().warnings);
}

const std::string kStar = "a placeholder Reaticulate fills in and REAPER cannot send; the bank is kept ";
const std::string kNeither =
    "this line is neither a Bank line, a program line (\"NUMBER NAME\") nor a \"//\" comment; skipped\n";
const std::string kSkipped = "; the bank and its programs are skipped\n";

INSTANTIATE_TEST_SUITE_P(
    Lines, ReabankRead,
    testing::Values(
        ReadCase{"comments, annotations, blank lines, CR LF",
                 "// GM\r\n\r\n//! g=\"x\"\r\nBank 65 1 Horns\r\n//! c=legato\r\n20 legato\r\n1 long\r\n",
                 "8321:65:1:Horns[1=long,20=legato]", ""},
        ReadCase{"the later of a repeated program wins",
                 "Bank 0 0 B\n9 nine\n3 three\n9 NINE\nBank 0 1 C\n9 c\n",
                 "0:0:0:B[3=three,9=NINE]|1:0:1:C[9=c]",
                 "4: program 9 is given again in this bank (first on line 2); the later name is kept\n"},
        ReadCase{"bad lines are skipped with their line numbers",
                 "0 early\nBank 0 0 B\n0 ok\nhello\n-1 minus\n128 big\n7\n99999999999999999999 huge\n",
                 "0:0:0:B[0=ok]",
                 "1: program line before the first Bank line; skipped\n4: " + kNeither + "5: " + kNeither +
                     "6: program \"128\" is outside 0..127; skipped\n7: program 7 has no name; skipped\n"
                     "8: program is outside 0..127; skipped\n"},
        ReadCase{"a bad Bank line skips its programs, not the next bank",
                 "Bank 200 0 X\n0 x\nBank 0 x1 Y\nBank 3\nBank 1 0 B\n0 b\nBanks 1 1 C\n", "128:1:0:B[0=b]",
                 "1: the bank's MSB \"200\" is not a number from 0 to 127 or \"*\"" + kSkipped +
                     "3: the bank's LSB \"x1\" is not a number from 0 to 127 or \"*\"" + kSkipped +
                     "4: Bank line needs an MSB and an LSB (\"Bank 0 0 NAME\")" + kSkipped +
                     "7: " + kNeither},
        ReadCase{"stars are not sent", "Bank 5 * L\nBank * 7 M\nBank * * N\n20 legato\n",
                 "640:5:-:L[]|7:-:7:M[]|0:-:-:N[20=legato]",
                 "1: the bank gives \"*\" for its LSB, " + kStar +
                     "without CC32\n2: the bank gives \"*\" for its MSB, " + kStar +
                     "without CC0\n3: the bank gives \"*\" for its MSB and LSB, " + kStar +
                     "without bank select\n"},
        ReadCase{"lower-case keyword, tabs, blanks around names, lone CR, leading zeros",
                 "bank\t1\t2\tTabbed  \r0\tGrand \t\r  001   Two  words \rBank 007 010\r",
                 "130:1:2:Tabbed[0=Grand,1=Two  words]|906:7:10:[]", ""},
        ReadCase{"the same numbers twice stay two banks",
                 "Bank 0 0 Capital\n0 Piano 1\nBank 0 0 Drums\n0 STANDARD",
                 "0:0:0:Capital[0=Piano 1]|0:0:0:Drums[0=STANDARD]", ""},
        ReadCase{"a name keeps what follows the number", "Bank 0 0 A\n3 (Piano) Rag // old\n",
                 "0:0:0:A[3=(Piano) Rag // old]", ""},
        ReadCase{"UTF-8 with a byte-order mark",
                 "\xEF\xBB\xBF"
                 "Bank 0 0 Caf\xC3\xA9\n17 70\xE2\x80\x99s\n",
                 "0:0:0:Caf\xC3\xA9[17=70\xE2\x80\x99s]", ""},
        ReadCase{"Windows-1252", "Bank 0 0 Caf\xE9\n0 \x93Quote\x94 \x80\n",
                 "0:0:0:Caf\xC3\xA9[0=\xE2\x80\x9CQuote\xE2\x80\x9D \xE2\x82\xAC]", ""},
        ReadCase{"one invalid byte makes the whole file Windows-1252", "Bank 0 0 \xC3\xA9\n0 \xE9\n",
                 "0:0:0:\xC3\x83\xC2\xA9[0=\xC3\xA9]", ""}));

struct NameCase
{
    const char* what;
    std::string file, stem, name;
};

class ReabankInstrumentName : public testing::TestWithParam<NameCase>
{};

TEST_P(ReabankInstrumentName, Is)
{
    const ReadResult read = readReabank(GetParam().file, GetParam().stem);
    ASSERT_TRUE(read.ok()) << read.error->message;
    EXPECT_EQ(read.set.utf8(read.set.instruments.at(0).name), GetParam().name);
}

const std::string kBank = "Bank 0 0 A\n";

INSTANTIATE_TEST_SUITE_P(
    Rules, ReabankInstrumentName,
    testing::Values(
        NameCase{"a generator comment: the stem", "// Generated using rea-parse.py\n" + kBank, "fp", "fp"},
        NameCase{"title", "// SC-88 Pro Reabank File v1.0.0\n// more\n" + kBank, "s", "SC-88 Pro"},
        NameCase{"title word alone", "// .reabank files define MIDI bank information\n" + kBank, "s", "s"},
        NameCase{"only the first comment is a title", "// Roland\n// JV Reabank\n" + kBank, "s", "s"},
        NameCase{"Instrument line wins", "// My Reabank\n//INSTRUMENT:Roland JV\n" + kBank, "s", "Roland JV"},
        NameCase{"empty Instrument line", "// Instrument:  \n" + kBank, "s", "s"},
        NameCase{"after the first Bank line", kBank + "// Instrument: Late\n", "s", "s"},
        NameCase{"annotations name nothing", "//! n=\"Strings\" Reabank\n" + kBank, "s", "s"},
        NameCase{"UTF-8 stem in a Windows-1252 file", "Bank 0 0 \xE9\n", "Caf\xC3\xA9 \xE2\x82\xAC",
                 "Caf\xC3\xA9 \xE2\x82\xAC"}));

class ReabankMethod : public testing::TestWithParam<std::pair<std::string, BankSelectMethod>>
{};

TEST_P(ReabankMethod, IsWhatTheBanksAgreeOn)
{
    const ReadResult read = readReabank(GetParam().first, "s");
    ASSERT_TRUE(read.ok());
    EXPECT_EQ(read.set.instruments.at(0).method, GetParam().second) << GetParam().first;
}

INSTANTIATE_TEST_SUITE_P(Banks, ReabankMethod,
                         testing::Values(std::pair{"Bank 0 0 A\nBank 1 3 B\n"s, BankSelectMethod::Normal},
                                         std::pair{"Bank * * A\nBank 4 * B\n"s, BankSelectMethod::MsbOnly},
                                         std::pair{"Bank * 1 A\nBank * 2 B\n"s, BankSelectMethod::LsbOnly},
                                         std::pair{"Bank 1 * A\nBank 1 2 B\n"s, BankSelectMethod::Normal},
                                         std::pair{"Bank * * A\n"s, BankSelectMethod::Normal}));

struct ErrorCase
{
    const char* what;
    std::string file;
    std::uint32_t line;
    std::string message;
};

class ReabankError : public testing::TestWithParam<ErrorCase>
{};

TEST_P(ReabankError, FailsWithThisMessageAndNoWarnings)
{
    const ReadResult read = readReabank(GetParam().file, "s");
    ASSERT_FALSE(read.ok());
    EXPECT_EQ(read.error->at.line, GetParam().line);
    EXPECT_EQ(read.error->message, GetParam().message);
    EXPECT_TRUE(read.warnings.empty()) << warningsText(read.warnings);
    EXPECT_FALSE(looksLikeReabank(GetParam().file));
}

const std::string kEmpty =
    "the file is empty: a REAPER bank file lists banks (\"Bank 0 0 NAME\") and their programs (\"0 NAME\")";
const std::string kNoBank = "holds no bank: no line reads \"Bank MSB LSB NAME\"";
const std::string kBinary = "holds a NUL byte: this is binary data, not a REAPER bank file";

INSTANTIATE_TEST_SUITE_P(
    Files, ReabankError,
    testing::Values(ErrorCase{"empty", "", 0, kEmpty},
                    ErrorCase{"blanks and a byte-order mark", "\xEF\xBB\xBF \r\n\t\n", 0, kEmpty},
                    ErrorCase{"comments only", "// a\n//! b\n", 0, kNoBank},
                    ErrorCase{"an instrument definition", "[.Patch Names]\n[GM]\n0=Piano\n", 0, kNoBank},
                    ErrorCase{"a note-name file", "# GM drums\n36 Kick\n", 0, kNoBank},
                    ErrorCase{"binary", "\x01\x00\x7F"s, 1, kBinary},
                    ErrorCase{"NUL on line 3 after CR LF", "Bank 0 0 A\r\n0 a\r\nx\0"s, 3, kBinary},
                    ErrorCase{"NUL right after a line end", "Bank 0 0 A\n\0"s, 2, kBinary},
                    ErrorCase{"every Bank line bad", "// c\nBank x 0 A\n0 a\nBank 0 128 B\n", 2,
                              "holds no usable bank: every Bank line was skipped"}));

class ReabankSniff : public testing::TestWithParam<std::pair<std::string, bool>>
{};

TEST_P(ReabankSniff, Decides)
{
    EXPECT_EQ(looksLikeReabank(GetParam().first), GetParam().second) << GetParam().first;
}

INSTANTIATE_TEST_SUITE_P(Heads, ReabankSniff,
                         testing::Values(std::pair{"// SC-88 Pro\n//\nBank 0 0 Capital\n0 Piano 1\n"s, true},
                                         std::pair{"\xEF\xBB\xBF\r\n\r\n  bank\t1\t2\r\n"s, true},
                                         std::pair{"Bank * * Horns"s, true}, std::pair{"Bank 3 4"s, true},
                                         std::pair{"Bank 200 0 X\n"s, false},
                                         std::pair{"0 Piano\nBank 0 0 X\n"s, false},
                                         std::pair{"[cubase parse file]\n[parser version 0001]\n"s, false},
                                         std::pair{"; Cakewalk\n\n.Patch Names\n[GM]\n"s, false},
                                         std::pair{"<?xml version=\"1.0\"?>\n<MIDINameDocument>\n"s, false},
                                         std::pair{"Bank 0 0 X\n\0"s, false},
                                         std::pair{std::string(70000, '/') + "\nBank 0 0 X\n", false},
                                         std::pair{"Bank 0 0 X\n" + std::string(70000, ' ') + '\0', true}));

// Counts Bank lines and the program lines under them by the file's own words, not the reader's.
std::pair<std::size_t, std::size_t> countLines(const std::string& bytes)
{
    std::size_t banks = 0;
    std::size_t programs = 0;
    std::istringstream in(bytes);
    for (std::string line; std::getline(in, line);) {
        std::string first;
        std::istringstream(line) >> first;
        if (first == "Bank")
            ++banks;
        else if (banks > 0 && !first.empty() && first.find_first_not_of("0123456789") == std::string::npos)
            ++programs;
    }
    return {banks, programs};
}

TEST(ReabankCorpus, EveryFileKeepsEveryBankAndProgramLine)
{
    QUORVIX_REQUIRE_CORPUS(corpus);
    // Bank and program lines as awk counts them.
    const std::vector<std::tuple<std::string, std::size_t, std::size_t>> files = {
        {"sc-88-pro.reabank", 133, 3224},
        {"fp-90.reabank", 48, 351},
        {"fp-90-drums.reabank", 1, 9},
        {"psr-e323.reabank", 50, 482}};
    for (const auto& [file, banks, programs] : files) {
        const std::string bytes = test::readFile(corpus / "reabank" / file);
        EXPECT_EQ(countLines(bytes), std::pair(banks, programs)) << file;
        EXPECT_TRUE(looksLikeReabank(bytes)) << file;
        const ReadResult read = readReabank(bytes, "stem");
        ASSERT_TRUE(read.ok()) << file << ": " << read.error->message;
        EXPECT_TRUE(read.warnings.empty()) << file << ": " << warningsText(read.warnings);
        EXPECT_EQ(read.set.encoding, TextEncoding::Utf8);
        EXPECT_EQ(read.set.instruments.at(0).banks.size(), banks) << file;
        EXPECT_EQ(read.set.voiceCount(read.set.instruments[0]), programs) << file;
    }
}

} // namespace
