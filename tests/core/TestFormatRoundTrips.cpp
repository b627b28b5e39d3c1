// Every format Quorvix writes reads back with what it carries: each voice, drum-note name and controller name
// survives a round trip through MIDNAM, REAPER bank files and instrument definitions, for the real files of
// the shared corpus and for a fixture that uses every list an .ins file can hold.

#include "MidnamSupport.h"
#include "TestSupport.h"
#include "formats/Formats.h"
#include "formats/ins/InsWriter.h"
#include "formats/midnam/MidnamWriter.h"
#include "formats/reaper/ReabankWriter.h"

#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <numeric>
#include <pugixml.hpp>
#include <set>
#include <sstream>

using namespace quorvix;
namespace fs = std::filesystem;

namespace {

/// What an instrument carries, however its lists are laid out: "bank program name" per voice, "bank program
/// note name" per drum name of a voice, "kind number name" per controller.
struct Carried
{
    std::multiset<std::string> voices;
    std::set<std::string> drums;
    std::set<std::string> controls;

    bool operator==(const Carried&) const = default;
};

void PrintTo(const Carried& carried, std::ostream* out)
{
    *out << carried.voices.size() << " voices, " << carried.drums.size() << " drum names, "
         << carried.controls.size()
         << " controller names; first voice: " << (carried.voices.empty() ? "-" : *carried.voices.begin());
}

/// The voices without their bank numbers (what a format that numbers some banks anew still holds), with
/// their names as `written` writes them.
std::multiset<std::string> patchesOf(const std::vector<Carried>& all,
                                     const std::function<std::string(std::string_view)>& written)
{
    std::multiset<std::string> patches;
    for (const Carried& carried : all) {
        for (const std::string& voice : carried.voices) {
            const std::string patch = voice.substr(voice.find(' ') + 1);
            const auto space = patch.find(' ');
            patches.insert(patch.substr(0, space + 1) + written(patch.substr(space + 1)));
        }
    }
    return patches;
}

std::string asIns(std::string_view name)
{
    bool changed = false;
    return insSafeName(name, changed);
}

/// Names on one line, as REAPER bank files hold them.
std::string oneLine(std::string_view name)
{
    std::string line(name);
    std::replace(line.begin(), line.end(), '\t', ' ');
    return line;
}

Carried carriedBy(const InstrumentSet& set, const Instrument& instrument, bool withNotesAndControls)
{
    Carried carried;
    for (const Bank& bank : instrument.banks) {
        if (bank.patchList < 0)
            continue;
        for (const Patch& patch : set.patchLists[static_cast<std::size_t>(bank.patchList)].patches) {
            const std::string voice = std::to_string(bank.number) + " " + std::to_string(patch.program);
            carried.voices.insert(voice + " " + set.utf8(patch.name));
            const std::int32_t notes = patch.noteList >= 0 ? patch.noteList : instrument.noteList;
            if (withNotesAndControls && notes >= 0)
                for (const NameEntry& note : set.noteLists[static_cast<std::size_t>(notes)].notes)
                    carried.drums.insert(voice + " " + std::to_string(note.number) + " " +
                                         set.utf8(note.name));
        }
    }
    if (withNotesAndControls)
        for (const std::int32_t list : {instrument.controllers, instrument.rpns, instrument.nrpns})
            if (list >= 0)
                for (const NameEntry& control : set.controlLists[static_cast<std::size_t>(list)].controls)
                    carried.controls.insert(std::to_string(static_cast<int>(
                                                set.controlLists[static_cast<std::size_t>(list)].kind)) +
                                            " " + std::to_string(control.number) + " " +
                                            set.utf8(control.name));
    return carried;
}

std::vector<Carried> carriedBy(const InstrumentSet& set, bool withNotesAndControls)
{
    std::vector<Carried> all;
    for (const Instrument& instrument : set.instruments)
        all.push_back(carriedBy(set, instrument, withNotesAndControls));
    return all;
}

ReadResult readAs(const std::string& bytes, FileFormat format)
{
    EXPECT_EQ(detectFormat(bytes), format) << bytes.substr(0, 200);
    return readInstruments(bytes, format, "stem");
}

/// The instrument written in a format of one instrument per file, and read back.
ReadResult throughOne(const InstrumentSet& set, const Instrument& instrument, FileFormat format,
                      std::vector<std::string>& documents)
{
    StringSink out;
    Diagnostics warnings;
    if (format == FileFormat::Midnam)
        writeMidnam(set, instrument, {}, out, warnings);
    else
        writeReabank(set, instrument, {}, out, warnings);
    if (format == FileFormat::Midnam)
        documents.push_back(out.text);
    return readAs(out.text, format);
}

/// Every instrument of the set written into one .ins file, and read back.
ReadResult throughIns(const InstrumentSet& set)
{
    std::vector<std::size_t> all(set.instruments.size());
    std::iota(all.begin(), all.end(), std::size_t{0});
    StringSink out;
    Diagnostics warnings;
    writeIns(set, all, {}, out, warnings);
    return readAs(out.text, FileFormat::Ins);
}

std::vector<fs::path> filesIn(const fs::path& folder, const std::string& extension)
{
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().extension() == extension)
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

/// The .ins files of the corpus (not the foreign ones) and the fixture that uses every kind of list.
std::vector<fs::path> insFiles()
{
    std::vector<fs::path> files{test::dataDir() / "ins-synth.ins"};
    if (const auto corpus = test::corpusDir())
        for (const fs::path& file : filesIn(*corpus / "ins", ".ins"))
            files.push_back(file);
    return files;
}

/// What in a MIDNAM document makes Ardour send or show the wrong thing: a patch list shared by banks that
/// select differently (Ardour gives its patches one bank), a controller after an RPN or NRPN in a control
/// list (Ardour keeps the first entry of a number).
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

} // namespace

TEST(FormatRoundTrips, InsThroughMidnamAndReaperKeepsWhatEachCarries)
{
    std::vector<std::string> documents;
    for (const fs::path& file : insFiles()) {
        SCOPED_TRACE(file.filename().string());
        const ReadResult ins = readAs(test::readFile(file), FileFormat::Ins);
        ASSERT_TRUE(ins.ok()) << ins.error->message;
        for (const Instrument& instrument : ins.set.instruments) {
            SCOPED_TRACE(std::string(ins.set.text(instrument.name)));
            // MIDNAM carries voices, drum names and controllers; back into an .ins they all stay.
            const ReadResult midnam = throughOne(ins.set, instrument, FileFormat::Midnam, documents);
            ASSERT_TRUE(midnam.ok()) << midnam.error->message;
            ASSERT_EQ(midnam.set.instruments.size(), 1u);
            const ReadResult back = throughIns(midnam.set);
            ASSERT_TRUE(back.ok()) << back.error->message;
            EXPECT_EQ(carriedBy(back.set, true), std::vector{carriedBy(ins.set, instrument, true)});
            // A REAPER bank file carries the voices (of an instrument that has some).
            if (ins.set.voiceCount(instrument) == 0)
                continue;
            const ReadResult reabank = throughOne(ins.set, instrument, FileFormat::Reabank, documents);
            ASSERT_TRUE(reabank.ok()) << reabank.error->message;
            EXPECT_EQ(patchesOf({carriedBy(throughIns(reabank.set).set, false)}, oneLine),
                      patchesOf({carriedBy(ins.set, instrument, false)}, oneLine));
        }
    }
    for (const std::string& document : documents)
        EXPECT_EQ(ardourFaults(document), "") << document.substr(0, 400);
    if (test::midnamDtdMissing().empty()) {
        EXPECT_EQ(test::midnamDtdErrors(std::vector<std::string>(documents.begin(), documents.begin() + 50)),
                  "");
    }
}

TEST(FormatRoundTrips, EveryCorpusFileOfTheOtherFormatsBecomesAnInsWithEveryPatch)
{
    QUORVIX_REQUIRE_CORPUS(corpus);
    const struct
    {
        const char* folder;
        const char* extension;
        FileFormat format;
    } folders[] = {
        {"midnam", ".midnam", FileFormat::Midnam},
        {"reabank", ".reabank", FileFormat::Reabank},
        {"cubase", ".txt", FileFormat::CubaseScript},
    };
    std::size_t files = 0;
    for (const auto& folder : folders) {
        for (const fs::path& file : filesIn(corpus / folder.folder, folder.extension)) {
            SCOPED_TRACE(file.filename().string());
            const std::string bytes = test::readFile(file);
            const ReadResult source = readAs(bytes, folder.format);
            if (!source.ok()) {
                EXPECT_NE(source.error->message.find("holds no device"), std::string::npos)
                    << source.error->message;
                continue;
            }
            ++files;
            const ReadResult back = throughIns(source.set);
            ASSERT_TRUE(back.ok()) << back.error->message;
            // Banks a definition cannot tell apart are numbered anew: every patch stays, with its name.
            EXPECT_EQ(patchesOf(carriedBy(back.set, false), asIns),
                      patchesOf(carriedBy(source.set, false), asIns));
        }
    }
    EXPECT_GT(files, 400u);
}
