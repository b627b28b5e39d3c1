#include "formats/FormatTable.h"
#include "formats/csv/CsvReader.h"
#include "formats/csv/CsvWriter.h"

namespace quorvix {

namespace {

void write(const InstrumentSet& set, std::size_t instrument, const WriteSettings& settings, OutputSink& out,
           Diagnostics& warnings)
{
    const std::optional<CsvContent> named =
        csvContentNamed(settings.values.empty() ? std::string_view() : settings.values.front());
    const CsvContent content = named.value_or(CsvContent::Voices);
    if (content == CsvContent::Voices)
        warnWhenEmpty(*formatRow(FileFormat::Csv), set, instrument, warnings);
    writeCsv(set, set.instruments[instrument], content, out, warnings);
}

} // namespace

FormatRow csvFormat()
{
    FormatRow row;
    row.format = FileFormat::Csv;
    row.name = "CSV spreadsheet";
    row.plural = "CSV spreadsheets";
    row.listed = "a CSV spreadsheet (a first row naming its columns)";
    row.helpName = "a CSV spreadsheet";
    row.fileType = "CSV Spreadsheets";
    row.extensions = {".csv"};
    row.encoding = FormatEncoding::Utf8;
    row.carries = {false, false, false, false, true};
    row.recognise = looksLikeCsv;
    row.read = readCsv;
    FormatWriter& writer = row.writer;
    writer.command = "to-csv";
    writer.summary = "Convert to CSV spreadsheets (.csv): voices, drum notes or controller names";
    writer.outputHelp = "Write the table here; - writes it to standard output. Default: the definition's "
                        "letters, digits, spaces and underscores, then .csv, in the current folder. With "
                        "--all, the folder for the tables";
    writer.options = {{"--what",
                       "What the table lists: voices (device,bank,bank_name,msb,lsb,program,name), notes "
                       "(device,list,note,name) or controllers (device,type,number,name). Default: voices",
                       "voices|notes|controllers",
                       {"voices", "notes", "controllers"}}};
    writer.footer =
        "The table is UTF-8 with a byte-order mark and CR LF line ends, fields quoted where they hold a\n"
        "comma, a quote, a line break or blanks at either end: spreadsheets open it as it is. Programs are\n"
        "0 to 127 as sent; bank is MSB * 128 + LSB; an MSB or LSB the bank select does not send is an empty\n"
        "cell. Tables are read back by every command, and so are other patch lists whose first row names\n"
        "their columns (program or pc, name or patch, msb, lsb, bank), midi.guide's controller tables and\n"
        "its triggers tables.\n"
        "Exit status: 0 done, 1 a file or conversion error, 2 a usage error.\n"
        "\n"
        "Examples:\n"
        "  quorvix-convert to-csv Synth.ins --definition \"My Synth\"\n"
        "  quorvix-convert to-csv Synth.ins --all --what notes -o drum-kits";
    writer.write = write;
    writer.saysWhenEmpty = true;
    return row;
}

} // namespace quorvix
