#include "formats/FormatTable.h"
#include "formats/ins/InsCheck.h"
#include "formats/ins/InsReader.h"
#include "formats/ins/InsWriter.h"

namespace quorvix {

namespace {

ReadResult read(std::string bytes, std::string_view)
{
    return readIns(std::move(bytes));
}

void write(const InstrumentSet& set, std::size_t instrument, const WriteSettings& settings, OutputSink& out,
           Diagnostics& warnings)
{
    const std::size_t chosen[] = {instrument};
    writeIns(set, chosen, InsWriteOptions{settings.sourceName, settings.stamp}, out, warnings);
}

} // namespace

FormatRow insFormat()
{
    FormatRow row;
    row.format = FileFormat::Ins;
    row.name = "instrument definition file";
    row.plural = "Cakewalk instrument definitions (.ins)";
    row.listed = "an instrument definition file (.ins)";
    row.helpName = "an .ins file";
    row.fileType = "Cakewalk Instrument Definition Files";
    row.extensions = {".ins"};
    row.failure = InputFailure::OpenInsFailed;
    row.carries = {true, true, true, false, true};
    row.recognise = looksLikeIns;
    row.read = read;
    row.program = "cakewalk";
    row.programName = "Cakewalk";
    row.check = checkForCakewalk;
    FormatWriter& writer = row.writer;
    writer.command = "to-cakewalk";
    writer.summary = "Convert to a Cakewalk instrument definition file (.ins)";
    writer.outputHelp =
        "Write the definition here; - writes it to standard output. Default: the input's path "
        "with the extension .ins";
    writer.footer =
        "A Cubase script is converted as the desktop program converts it: lines longer than 256 characters,\n"
        "more than 1000 distinct banks or no entry line at all fail the conversion, and every entry that a\n"
        "reader of the written definition will not get back is named in a warning.\n"
        "Other formats give one definition per instrument (all of them, unless --index or --definition).\n"
        "SOURCE_DATE_EPOCH, when set, gives the time stamp of the definition.\n"
        "Exit status: 0 done, 1 a file or conversion error, 2 a usage error.\n"
        "\n"
        "Examples:\n"
        "  quorvix-convert to-cakewalk MySynth.txt\n"
        "  quorvix-convert to-cakewalk MySynth.txt --name \"My Synth\" -o MySynth.ins";
    writer.write = write;
    return row;
}

} // namespace quorvix
