// Every format of the table reads back what its writer wrote: each file of the shared corpus that Quorvix
// reads (and a fixture that uses every list an .ins file can hold) goes through the writer of every format,
// and the voices, drum-note names and controller names the target carries come back. Every corpus file is
// detected as the format of its folder.

#include "MidnamSupport.h"
#include "TestSupport.h"
#include "formats/FormatTable.h"
#include "formats/Formats.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <map>
#include <pugixml.hpp>
#include <set>
#include <sstream>

using namespace quorvix;
namespace fs = std::filesystem;

namespace {

/// A name as every writer keeps it: its ASCII letters and digits. Writers may drop or replace the rest
/// (blanks at the ends, characters a format cannot hold, bytes a Windows code page has no place for).
std::string lettersOf(std::string_view name)
{
    std::string letters;
    for (const char c : name)
        if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))
            letters += c;
    return letters;
}

/// What instruments carry, however their lists are laid out: the names of each voice ("bank program"), of
/// each drum note of a voice ("bank program note") and of each controller ("kind number").
struct Carried
{
    std::map<std::string, std::set<std::string>> voices;
    std::map<std::string, std::set<std::string>> drums;
    std::map<std::string, std::set<std::string>> controls;
};

void addVoices(Carried& carried, const InstrumentSet& set, const Instrument& instrument, bool drums)
{
    for (const Bank& bank : instrument.banks) {
        if (bank.patchList < 0)
            continue;
        for (const Patch& patch : set.patchLists[static_cast<std::size_t>(bank.patchList)].patches) {
            const std::string voice = std::to_string(bank.number) + " " + std::to_string(patch.program);
            carried.voices[voice].insert(set.utf8(patch.name));
            const std::int32_t notes = patch.noteList >= 0 ? patch.noteList : instrument.noteList;
            if (drums && notes >= 0)
                for (const NameEntry& note : set.noteLists[static_cast<std::size_t>(notes)].notes)
                    carried.drums[voice + " " + std::to_string(note.number)].insert(set.utf8(note.name));
        }
    }
}

void addControls(Carried& carried, const InstrumentSet& set, std::int32_t list)
{
    if (list < 0)
        return;
    const ControlList& controls = set.controlLists[static_cast<std::size_t>(list)];
    for (const NameEntry& control : controls.controls)
        carried
            .controls[std::to_string(static_cast<int>(controls.kind)) + " " + std::to_string(control.number)]
            .insert(set.utf8(control.name));
}

/// What the instruments at `chosen` hold of what a format carries.
Carried carriedBy(const InstrumentSet& set, const std::vector<std::size_t>& chosen, const FormatCarries& kept)
{
    Carried carried;
    for (const std::size_t index : chosen) {
        const Instrument& instrument = set.instruments[index];
        addVoices(carried, set, instrument, kept.drumNotes);
        if (kept.controllers)
            addControls(carried, set, instrument.controllers);
        if (kept.rpnNrpn) {
            addControls(carried, set, instrument.rpns);
            addControls(carried, set, instrument.nrpns);
        }
    }
    return carried;
}

/// Differences between what was written and what came back: a number missing or added, or a name that came
/// back with letters the source's names of that number do not begin with (or, when `exact`, that none of
/// them is).
std::string changes(const char* what, const std::map<std::string, std::set<std::string>>& written,
                    const std::map<std::string, std::set<std::string>>& back, bool exact)
{
    std::string found;
    for (const auto& [number, names] : written)
        if (!back.contains(number))
            found += std::string(what) + " " + number + " " + *names.begin() + " is lost\n";
    for (const auto& [number, names] : back) {
        const auto source = written.find(number);
        if (source == written.end()) {
            found += std::string(what) + " " + number + " " + *names.begin() + " is added\n";
            continue;
        }
        for (const std::string& name : names) {
            // A name without letters may come back as a writer's placeholder ("Program 5").
            bool begun = exact && source->second.contains(name);
            for (const std::string& original : source->second)
                begun = begun || (!exact && (lettersOf(original).starts_with(lettersOf(name)) ||
                                             lettersOf(original).empty()));
            if (!begun)
                found += std::string(what) + " " + number + " comes back as " + name + "\n";
        }
    }
    return found;
}

/// The first few differences, and how many there are.
std::string changes(const Carried& written, const Carried& back, bool exact = false)
{
    const std::string all = changes("voice", written.voices, back.voices, exact) +
                            changes("drum", written.drums, back.drums, exact) +
                            changes("control", written.controls, back.controls, exact);
    std::size_t end = 0;
    for (int line = 0; line < 5 && end != std::string::npos; ++line)
        end = all.find('\n', end + 1);
    if (end == std::string::npos)
        return all;
    return all.substr(0, end + 1) + "... " + std::to_string(std::count(all.begin(), all.end(), '\n')) +
           " in all\n";
}

std::vector<std::size_t> allOf(const InstrumentSet& set)
{
    std::vector<std::size_t> all(set.instruments.size());
    for (std::size_t i = 0; i < all.size(); ++i)
        all[i] = i;
    return all;
}

/// A file written of a set, read back as what it is detected as.
struct WrittenFile
{
    std::vector<std::size_t> held; ///< the instruments of the set it holds, the one it is written for first
    std::string text;
    ReadResult back;
};

/// Every file the row writes of the set (one for each instrument its fileOf names), each read back.
std::vector<WrittenFile> throughWriter(const FormatRow& row, const InstrumentSet& set, bool sourceIsUtf8)
{
    std::map<std::size_t, std::vector<std::size_t>> held;
    for (std::size_t i = 0; i < set.instruments.size(); ++i)
        held[row.writer.fileOf(set, i)].push_back(i);
    WriteSettings settings;
    settings.sourceName = "source";
    settings.sourceIsUtf8 = sourceIsUtf8;
    std::vector<WrittenFile> files;
    for (auto& [instrument, instruments] : held) {
        StringSink out;
        Diagnostics warnings;
        row.writer.write(set, instrument, settings, out, warnings);
        WrittenFile& file = files.emplace_back(WrittenFile{std::move(instruments), std::move(out.text), {}});
        if (const FormatRow* detected = formatRow(detectFormat(file.text)); detected != &row)
            file.back.fail({}, "is detected as " + std::string(detected ? detected->name : "no format"));
        else
            file.back = row.read(file.text, "stem");
    }
    return files;
}

/// What every file the row writes of the set carries, read back (nothing of a file that did not read back).
Carried carriedThrough(const FormatRow& row, const InstrumentSet& set)
{
    Carried carried;
    for (const WrittenFile& file : throughWriter(row, set, row.encoding == FormatEncoding::Utf8)) {
        const Carried back = carriedBy(file.back.set, allOf(file.back.set), row.carries);
        for (const auto& [field, from] :
             {std::pair{&Carried::voices, &back.voices}, std::pair{&Carried::drums, &back.drums},
              std::pair{&Carried::controls, &back.controls}})
            for (const auto& [number, names] : *from)
                (carried.*field)[number].insert(names.begin(), names.end());
    }
    return carried;
}

/// The files of the folder and those below it, sorted.
std::vector<fs::path> filesBelow(const fs::path& folder)
{
    std::vector<fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.is_regular_file())
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

/// What a MIDNAM document holds that makes Ardour send or show the wrong thing: a patch list shared by banks
/// that select differently (Ardour gives its patches one bank), a controller after an RPN or NRPN in a
/// control list (Ardour keeps the first entry of a number).
std::string ardourFaults(const std::string& document)
{
    pugi::xml_document xml;
    xml.load_string(document.c_str());
    std::string faults;
    std::map<std::string, std::string> selectOfList;
    for (const pugi::xpath_node uses : xml.select_nodes("//PatchBank/UsesPatchNameList")) {
        std::ostringstream select;
        uses.node().parent().child("MIDICommands").print(select, "", pugi::format_raw);
        const auto [known, fresh] =
            selectOfList.try_emplace(uses.node().attribute("Name").value(), select.str());
        if (!fresh && known->second != select.str())
            faults += "list " + known->first + " shared by banks that select differently\n";
    }
    for (const pugi::xpath_node list : xml.select_nodes("//ControlNameList")) {
        bool parameters = false;
        for (pugi::xml_node control : list.node().children("Control")) {
            const std::string type = control.attribute("Type").value();
            parameters = parameters || type == "RPN" || type == "NRPN";
            if (parameters && (type == "7bit" || type == "14bit"))
                faults += std::string("controller ") + control.attribute("Name").value() + " after an RPN\n";
        }
    }
    return faults;
}

/// Where the corpus keeps the files of each format; files of other folders are of none Quorvix reads.
struct CorpusFolder
{
    const char* folder;
    FileFormat format;
};
constexpr CorpusFolder kCorpusFolders[] = {
    {"ins", FileFormat::Ins},
    {"ins/foreign", FileFormat::Unknown}, // binary files that share the extension
    {"cubase", FileFormat::CubaseScript},
    {"midnam", FileFormat::Midnam},
    {"midnam/dtd", FileFormat::Unknown},
    {"reabank", FileFormat::Reabank},
};

/// The format of the corpus folder that holds the file (the innermost listed one); Unknown for the others.
FileFormat folderFormat(const fs::path& corpus, const fs::path& file)
{
    const std::string folder = file.parent_path().lexically_relative(corpus).generic_string();
    FileFormat format = FileFormat::Unknown;
    std::size_t matched = 0;
    for (const CorpusFolder& known : kCorpusFolders) {
        const std::string_view name = known.folder;
        const bool holds = folder == name || folder.starts_with(std::string(name) + "/");
        if (holds && name.size() > matched) {
            format = known.format;
            matched = name.size();
        }
    }
    return format;
}

/// The fixture that uses every list an .ins file can hold, and every corpus file of a format Quorvix reads.
std::vector<fs::path> readableFiles()
{
    std::vector<fs::path> files{test::dataDir() / "ins-synth.ins"};
    if (const auto corpus = test::corpusDir())
        for (const fs::path& file : filesBelow(*corpus))
            if (folderFormat(*corpus, file) != FileFormat::Unknown)
                files.push_back(file);
    return files;
}

} // namespace

TEST(FormatRoundTrips, EveryFileThroughEveryWriterComesBackWithWhatTheWriterCarries)
{
    std::vector<std::string> documents;
    std::size_t read = 0;
    for (const fs::path& file : readableFiles()) {
        SCOPED_TRACE(file.filename().string());
        const std::string bytes = test::readFile(file);
        const FormatRow* source = formatRow(detectFormat(bytes));
        ASSERT_NE(source, nullptr);
        const ReadResult original = source->read(bytes, "stem");
        read += original.ok() ? 1 : 0;
        for (const FormatRow& target : formatTable()) {
            if (!target.writer.write)
                continue;
            SCOPED_TRACE(target.name);
            for (const WrittenFile& out :
                 throughWriter(target, original.set, source->encoding == FormatEncoding::Utf8)) {
                if (target.format == FileFormat::Midnam && source->format == FileFormat::Ins)
                    documents.push_back(out.text);
                const Carried written = carriedBy(original.set, out.held, target.carries);
                // A file of instruments without voices holds nothing a reader could take.
                if (written.voices.empty())
                    continue;
                ASSERT_TRUE(out.back.ok()) << out.back.error->message;
                const Carried back = carriedBy(out.back.set, allOf(out.back.set), target.carries);
                EXPECT_EQ(changes(written, back), "");
                // What came back changed is what the format holds: written again, it comes back the same.
                if (!changes(written, back, true).empty()) {
                    EXPECT_EQ(changes(back, carriedThrough(target, out.back.set), true), "");
                }
            }
        }
    }
    EXPECT_GT(read, test::corpusDir() ? 400u : 0u);
    for (const std::string& document : documents)
        EXPECT_EQ(ardourFaults(document), "") << document.substr(0, 400);
    if (test::midnamDtdMissing().empty()) {
        documents.resize(std::min<std::size_t>(documents.size(), 50));
        EXPECT_EQ(test::midnamDtdErrors(documents), "");
    }
}

TEST(FormatRoundTrips, EveryCorpusFileIsDetectedAsTheFormatOfItsFolder)
{
    QUORVIX_REQUIRE_CORPUS(corpus);
    std::string wrong;
    std::map<FileFormat, std::size_t> counts;
    for (const fs::path& file : filesBelow(corpus)) {
        if (file.parent_path() == corpus)
            continue; // the corpus's own notes
        const FileFormat expected = folderFormat(corpus, file);
        const FileFormat detected = detectFormat(test::readFile(file));
        ++counts[detected];
        if (detected != expected) {
            const FormatRow* row = formatRow(detected);
            wrong += file.lexically_relative(corpus).generic_string() + ": " +
                     std::string(row ? row->name : "no format") + "\n";
        }
    }
    EXPECT_EQ(wrong, "");
    EXPECT_GT(counts[FileFormat::Midnam], 450u);
    EXPECT_GT(counts[FileFormat::Unknown], 100u);
}
