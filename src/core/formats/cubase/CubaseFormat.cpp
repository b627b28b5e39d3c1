#include "base/Encoding.h"
#include "base/Text.h"
#include "formats/FormatTable.h"
#include "formats/cubase/CubaseScriptWriter.h"
#include "formats/cubase/ScriptCheck.h"
#include "formats/cubase/ScriptReader.h"
#include "model/SpareLists.h"
#include "model/VoiceRecord.h"

namespace quorvix {

namespace {

/// The instrument's name as the window holds it: cut to the 79 bytes of the library's definition record.
std::string windowName(const InstrumentSet& set, std::size_t instrument)
{
    ZT_cwdef record{};
    copyNameField(record.name, sizeof record.name, set.text(set.instruments[instrument].name));
    return std::string(record.name);
}

void write(const InstrumentSet& set, std::size_t index, const WriteSettings& settings, OutputSink& out,
           Diagnostics& warnings)
{
    // Cubase reads scripts in the Windows code page: names of UTF-8 formats are converted, while .ins files
    // and scripts keep their bytes.
    const bool convert = settings.sourceIsUtf8;
    const Instrument& instrument = set.instruments[index];
    thread_local std::string storage; // converted names, reused from one instrument to the next
    const std::vector<ScriptVoice> voices = ScriptVoices(set, instrument, convert, storage);
    std::string name = windowName(set, index);
    if (convert && set.encoding == TextEncoding::Utf8)
        name = utf8ToWindows1252(name);
    if (const SpareLists spare = spareListsOf(set, instrument.device); spare.notes + spare.controls > 0)
        warnings.warn(0, std::to_string(spare.notes + spare.controls) +
                             " note and controller name lists of the device that no patch uses are left "
                             "out: a Cubase patchname script holds patch names only");
    for (const std::int32_t i : WriteCubaseScript(voices, name, settings.stamp, out)) {
        const ScriptVoice& voice = voices[static_cast<std::size_t>(i)];
        warnings.warn(0, inQuotes(voice.name) + " Bank " + std::to_string(voice.bank) +
                             " fits no group and is left out");
    }
}

} // namespace

FormatRow cubaseScriptFormat()
{
    FormatRow row;
    row.format = FileFormat::CubaseScript;
    row.name = "Cubase patchname script";
    row.plural = "Cubase patchname scripts";
    row.listed = "a Cubase patchname script";
    row.helpName = "a Cubase script";
    row.fileType = "Cubase Patchname Script Files";
    row.extensions = {".txt"};
    row.failure = InputFailure::NoWindowsScript;
    row.recognise = looksLikeCubaseScript;
    row.read = readCubaseScript;
    row.program = "cubase";
    row.programName = "Cubase";
    row.check = checkForCubase;
    FormatWriter& writer = row.writer;
    writer.command = "to-cubase";
    writer.summary = "Convert instrument definitions to Cubase patchname scripts";
    writer.outputHelp =
        "Write the script here; - writes it to standard output. Default: the name the window "
        "proposes (the definition's letters, digits, spaces and underscores, then .txt) in the "
        "current folder. With --all, the folder for the scripts";
    writer.footer = "Without --index, --definition or --all the file must hold a single definition.\n"
                    "Voices that fit no group of the script are left out, with a warning each.\n"
                    "SOURCE_DATE_EPOCH, when set, gives the time stamp of the script.\n"
                    "Exit status: 0 done, 1 a file or conversion error, 2 a usage error.\n"
                    "\n"
                    "Examples:\n"
                    "  quorvix-convert to-cubase Synth.ins --definition \"My Synth\" -o MySynth.txt\n"
                    "  quorvix-convert to-cubase Synth.ins --all -o scripts";
    writer.fileStem = windowName;
    writer.write = write;
    return row;
}

} // namespace quorvix
