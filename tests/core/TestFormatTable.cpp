// The format table against what the user reads of it: the README's table of formats and the man page name
// every format with what it holds, and file names and detection agree with the rows.

#include "TestSupport.h"
#include "formats/Formats.h"

#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

namespace quorvix {
namespace {

std::vector<std::string> cellsOf(const std::string& line)
{
    std::vector<std::string> cells;
    std::stringstream stream(line.substr(1));
    for (std::string cell; std::getline(stream, cell, '|');)
        cells.push_back(cell.substr(cell.find_first_not_of(' '),
                                    cell.find_last_not_of(' ') + 1 - cell.find_first_not_of(' ')));
    return cells;
}

TEST(FormatTable, TheReadmeAndTheManPageListEveryFormatAsTheTableHasIt)
{
    const std::string root = std::string(QUORVIX_TEST_DATA_DIR) + "/../../";
    const std::string readme = test::readFile(root + "README.md");
    const std::string manPage = test::readFile(root + "resources/man/quorvix-convert.1");
    for (const FormatRow& row : formatTable()) {
        SCOPED_TRACE(std::string(row.name));
        const auto at = readme.find("\n| " + std::string(row.name) + " |");
        ASSERT_NE(at, std::string::npos) << "no line of the README's table of formats";
        const std::vector<std::string> cells =
            cellsOf(readme.substr(at + 1, readme.find('\n', at + 1) - at - 1));
        ASSERT_EQ(cells.size(), 8u);
        EXPECT_EQ(cells[1], "`" + std::string(row.extensions.front()) + "`");
        EXPECT_EQ(cells[2], row.writer.command.empty() ? "not yet" : "`" + row.writer.command + "`");
        const bool carries[] = {row.carries.drumNotes, row.carries.controllers, row.carries.rpnNrpn,
                                row.carries.nameSets, row.carries.bankMethods};
        for (std::size_t i = 0; i < std::size(carries); ++i)
            EXPECT_EQ(cells[3 + i].substr(0, 3) == "yes", carries[i]) << "column " << 3 + i;
        EXPECT_NE(manPage.find(row.writer.command.empty() ? std::string(row.extensions.front())
                                                          : row.writer.command),
                  std::string::npos)
            << "not in the man page";
    }
}

TEST(FormatTable, ExtensionsAndNamesComeFromTheRows)
{
    const struct
    {
        const char* path;
        FileFormat format;
    } cases[] = {
        {"Synth.INS", FileFormat::Ins},         {"dir.v2/Synth.Midnam", FileFormat::Midnam},
        {"a\\b.reabank", FileFormat::Reabank},  {"Synth.txt", FileFormat::CubaseScript},
        {".ins", FileFormat::Unknown},          {"Synth", FileFormat::Unknown},
        {"Synth.ins.bak", FileFormat::Unknown}, {"Kits.CSV", FileFormat::Csv},
    };
    for (const auto& c : cases) {
        const FormatRow* row = formatOfExtension(c.path);
        EXPECT_EQ(row != nullptr ? row->format : FileFormat::Unknown, c.format) << c.path;
    }
    EXPECT_EQ(unknownFormatReason("x"),
              "is none of the files Quorvix reads: an instrument definition file "
              "(.ins), a Cubase patchname script, a MIDNAM document, a REAPER bank "
              "file, a Rosegarden device file (.rgd), a MusE instrument definition "
              "(.idf), a CSV spreadsheet (a first row naming its columns) or a Squarp "
              "Hapax instrument definition");
}

} // namespace
} // namespace quorvix
