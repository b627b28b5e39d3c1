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
#include <iterator>
#include <map>
#include <pugixml.hpp>
#include <set>
#include <sstream>
#include <vector>

using namespace quorvix;
namespace fs = std::filesystem;

namespace {

bool isLetter(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

/// True when the ASCII letters and digits of `name` begin those of `original`, where each character of
/// `original` beyond ASCII may stand for up to three of them (a writer may spell "é" as "e", "ß" as "ss",
/// "€" as "EUR"), or `original` has none (a writer may give such a name a placeholder, "Program 5"). Writers
/// may drop or replace the rest: blanks at the ends, characters a format cannot hold, bytes a Windows code
/// page has no place for.
bool keepsLettersOf(std::string_view original, std::string_view name)
{
    if (std::none_of(original.begin(), original.end(), isLetter))
        return true;
    constexpr char kOther = '\x80'; // a character beyond ASCII (its first byte)
    std::string want;
    for (const char c : original)
        if (isLetter(c) || static_cast<unsigned char>(c) >= 0xC0)
            want += isLetter(c) ? c : kOther;
    std::string got;
    std::copy_if(name.begin(), name.end(), std::back_inserter(got), isLetter);
    // keeps[i * (m + 1) + j]: the letters of `got` from j on begin what `want` from i on stands for.
    const std::size_t n = want.size();
    const std::size_t m = got.size();
    std::vector<char> keeps((n + 1) * (m + 1), 0);
    const auto at = [&](std::size_t i, std::size_t j) -> char& { return keeps[i * (m + 1) + j]; };
    for (std::size_t i = n + 1; i-- > 0;) {
        for (std::size_t j = m + 1; j-- > 0;) {
            if (j == m)
                at(i, j) = 1;
            else if (i == n)
                at(i, j) = 0;
            else if (want[i] != kOther)
                at(i, j) = want[i] == got[j] && at(i + 1, j + 1);
            else
                for (std::size_t spelled = 0; spelled <= 3 && j + spelled <= m && !at(i, j); ++spelled)
                    at(i, j) = at(i + 1, j + spelled);
        }
    }
    return at(0, 0) != 0;
}

/// A name and what it names: bank and program of a voice, bank, program and note of a drum name, or kind
/// and number of a controller, packed into one number (the last two below 65536) to sort fast.
struct Named
{
    std::uint64_t number;
    std::string name;

    Named(std::int32_t first, std::int32_t second, std::int32_t third, std::string text)
        : number(std::uint64_t{static_cast<std::uint32_t>(first)} << 32 |
                 std::uint64_t{static_cast<std::uint16_t>(second)} << 16 | static_cast<std::uint16_t>(third)),
          name(std::move(text))
    {}
    bool operator<(const Named& other) const
    {
        return number != other.number ? number < other.number : name < other.name;
    }
    bool operator==(const Named& other) const { return number == other.number && name == other.name; }
};

/// What instruments carry, however their lists are laid out, sorted and without repeats.
struct Carried
{
    std::vector<Named> voices;
    std::vector<Named> drums;
    std::vector<Named> controls;

    void sort()
    {
        for (std::vector<Named>* list : {&voices, &drums, &controls}) {
            std::sort(list->begin(), list->end());
            list->erase(std::unique(list->begin(), list->end()), list->end());
        }
    }
};

void addVoices(Carried& carried, const InstrumentSet& set, const Instrument& instrument,
               const FormatCarries& kept)
{
    const bool drums = kept.drumNotes;
    for (const Bank& bank : instrument.banks) {
        if (bank.patchList < 0 || (!kept.programBanks && bank.select.program >= 0))
            continue;
        for (const Patch& patch : set.patchLists[static_cast<std::size_t>(bank.patchList)].patches) {
            if (patch.program > 127)
                continue; // a reader keeps it to name it; no format holds it
            carried.voices.emplace_back(bank.number, patch.program, 0, set.utf8(patch.name));
            const std::int32_t notes = patch.noteList >= 0 ? patch.noteList : instrument.noteList;
            if (drums && notes >= 0)
                for (const NameEntry& note : set.noteLists[static_cast<std::size_t>(notes)].notes)
                    carried.drums.emplace_back(bank.number, patch.program, note.number, set.utf8(note.name));
        }
    }
}

void addControls(Carried& carried, const InstrumentSet& set, std::int32_t list)
{
    if (list < 0)
        return;
    const ControlList& controls = set.controlLists[static_cast<std::size_t>(list)];
    for (const NameEntry& control : controls.controls)
        carried.controls.emplace_back(static_cast<std::int32_t>(controls.kind), control.number, 0,
                                      set.utf8(control.name));
}

/// What the instruments at `chosen` hold of what a format carries.
Carried carriedBy(const InstrumentSet& set, const std::vector<std::size_t>& chosen, const FormatCarries& kept)
{
    Carried carried;
    for (const std::size_t index : chosen) {
        const Instrument& instrument = set.instruments[index];
        addVoices(carried, set, instrument, kept);
        if (kept.controllers)
            addControls(carried, set, instrument.controllers);
        if (kept.rpnNrpn) {
            addControls(carried, set, instrument.rpns);
            addControls(carried, set, instrument.nrpns);
        }
    }
    carried.sort();
    return carried;
}

std::string describe(const char* what, const Named& named)
{
    return std::string(what) + " " + std::to_string(static_cast<std::int32_t>(named.number >> 32)) + " " +
           std::to_string(named.number >> 16 & 0xFFFF) + " " + std::to_string(named.number & 0xFFFF) + " \"" +
           named.name + "\"";
}

/// Differences between what was written and what came back: a number missing or added, or a name that does
/// not keep the letters of a source name of its number (or, when `exact`, is none of them).
std::string changes(const char* what, const std::vector<Named>& written, const std::vector<Named>& back,
                    bool exact)
{
    const auto byNumber = [](const Named& a, const Named& b) { return a.number < b.number; };
    std::string found;
    for (const Named& source : written)
        if (!std::binary_search(back.begin(), back.end(), source, byNumber))
            found += describe(what, source) + " is lost\n";
    for (const Named& named : back) {
        const auto [first, last] = std::equal_range(written.begin(), written.end(), named, byNumber);
        const bool kept = std::any_of(first, last, [&](const Named& source) {
            return exact ? source.name == named.name : keepsLettersOf(source.name, named.name);
        });
        if (!kept)
            found += describe(what, named) + (first == last ? " is added\n" : " is no name of its number\n");
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

/// The files written of a set for some of its instruments (one file, or the files of an output of several),
/// each read back as what it is detected as.
struct WrittenFile
{
    std::vector<std::size_t> held;  ///< the instruments of the set it holds, the one it is written for first
    std::vector<std::string> texts; ///< the files, in order
    std::vector<ReadResult> backs;  ///< each read back

    /// The first read that failed, or nullptr.
    const ReadResult* failed() const
    {
        for (const ReadResult& back : backs)
            if (!back.ok())
                return &back;
        return nullptr;
    }
};

/// What the reads of one output carry, as one.
Carried carriedBack(const std::vector<ReadResult>& backs, const FormatCarries& kept);

/// Every output the row writes of the set (one for each instrument its fileOf names, in the files its parts
/// name), each file read back.
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
        WrittenFile& file = files.emplace_back(WrittenFile{std::move(instruments), {}, {}});
        for (settings.part = 0; settings.part < row.writer.parts(set, instrument); ++settings.part) {
            StringSink out;
            Diagnostics warnings;
            row.writer.write(set, instrument, settings, out, warnings);
            ReadResult& back = file.backs.emplace_back();
            if (const FormatRow* detected = formatRow(detectFormat(out.text)); detected != &row)
                back.fail({}, "is detected as " + std::string(detected ? detected->name : "no format"));
            else
                back = row.read(out.text, "stem");
            file.texts.push_back(std::move(out.text));
        }
    }
    return files;
}

Carried carriedBack(const std::vector<ReadResult>& backs, const FormatCarries& kept)
{
    Carried carried;
    for (const ReadResult& read : backs) {
        const Carried back = carriedBy(read.set, allOf(read.set), kept);
        carried.voices.insert(carried.voices.end(), back.voices.begin(), back.voices.end());
        carried.drums.insert(carried.drums.end(), back.drums.begin(), back.drums.end());
        carried.controls.insert(carried.controls.end(), back.controls.begin(), back.controls.end());
    }
    carried.sort();
    return carried;
}

/// What every file the row writes of the sets carries, read back (nothing of a file that did not read back).
Carried carriedThrough(const FormatRow& row, const std::vector<ReadResult>& reads)
{
    std::vector<ReadResult> backs;
    for (const ReadResult& read : reads)
        for (WrittenFile& file : throughWriter(row, read.set, row.encoding == FormatEncoding::Utf8))
            for (ReadResult& back : file.backs)
                backs.push_back(std::move(back));
    return carriedBack(backs, row.carries);
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
    {"rgd", FileFormat::Rosegarden},
    {"idf", FileFormat::Muse},
    {"csv", FileFormat::Csv},
    {"csv/iridium", FileFormat::Unknown}, // a parameter map without controller numbers
    {"csv/reabank", FileFormat::Unknown}, // tables pasted from manuals, separated by spaces
    {"csv/xfm", FileFormat::Unknown},     // banks side by side, without a header row
    {"midiguide", FileFormat::Csv},
    {"hapax", FileFormat::Hapax},
};

/// The format of the corpus folder that holds the file (the innermost listed one); Unknown for the others.
FileFormat folderFormat(const fs::path& corpus, const fs::path& file)
{
    const std::string folder = file.parent_path().lexically_relative(corpus).generic_string();
    FileFormat format = FileFormat::Unknown;
    if (file.extension() == ".md" || file.filename().string().starts_with("."))
        return format; // a folder's notes on its files, its list of sources
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
                    documents.push_back(out.texts.front());
                const Carried written = carriedBy(original.set, out.held, target.carries);
                // A file of instruments without voices holds nothing a reader could take.
                if (written.voices.empty())
                    continue;
                const ReadResult* failed = out.failed();
                ASSERT_EQ(failed, nullptr) << failed->error->message;
                const Carried back = carriedBack(out.backs, target.carries);
                // What came back changed is what the format holds: written again, it comes back the same.
                if (!changes(written, back, true).empty()) {
                    EXPECT_EQ(changes(written, back), "");
                    EXPECT_EQ(changes(back, carriedThrough(target, out.backs), true), "");
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
    EXPECT_GT(counts[FileFormat::Unknown],
              15u); // folders of formats Quorvix does not read, and foreign files
    EXPECT_GT(counts[FileFormat::Csv], 30u);
    EXPECT_GE(counts[FileFormat::Hapax], 34u);
}
