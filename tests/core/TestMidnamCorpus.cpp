// The MIDNAM reader and writer over every document of the shared corpus: each reads, keeps every patch that
// has a program, and survives MIDNAM -> model -> MIDNAM -> model with every name, in DTD-valid documents.

#include "MidnamSupport.h"
#include "TestSupport.h"
#include "formats/midnam/MidnamReader.h"
#include "formats/midnam/MidnamWriter.h"

#include <algorithm>
#include <charconv>
#include <gtest/gtest.h>
#include <map>
#include <pugixml.hpp>
#include <set>
#include <string>
#include <vector>

namespace quorvix {
namespace {

namespace fs = std::filesystem;

constexpr const char* kNoDevice = "holds no device: only lists for devices defined in other files "
                                  "(ExtendingDeviceNames)";

std::vector<fs::path> corpusDocuments(const fs::path& corpus)
{
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(corpus / "midnam")) {
        if (entry.is_regular_file() && entry.path().extension() == ".midnam")
            files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    return text;
}

/// A whole number from 0 to 127 in an attribute (white space around it allowed), else -1.
int number(pugi::xml_attribute attribute)
{
    const std::string_view text = trimmed(attribute.value());
    int value = -1;
    const auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), value);
    return status == std::errc() && end == text.data() + text.size() && value >= 0 && value <= 127 ? value
                                                                                                   : -1;
}

int controlValue(pugi::xml_node commands, const char* control)
{
    return number(commands.find_child_by_attribute("ControlChange", "Control", control).attribute("Value"));
}

/// The patches the name sets of a document reach, counted apart from the reader: per PatchBank the distinct
/// (bank, program) pairs of the patches of its list (its own or the one it names) with a program of 0 to 127;
/// a patch whose commands send CC0 or CC32 is in the bank they select.
std::size_t countPatches(const std::string& bytes)
{
    pugi::xml_document document;
    document.load_buffer(bytes.data(), bytes.size());
    std::map<std::string_view, pugi::xml_node> lists;
    for (const pugi::xpath_node& list : document.select_nodes("//PatchNameList[@Name]"))
        lists[trimmed(list.node().attribute("Name").value())] = list.node();
    std::size_t count = 0;
    for (const pugi::xpath_node& found :
         document.select_nodes("/MIDINameDocument/*/ChannelNameSet/PatchBank")) {
        const pugi::xml_node bank = found.node();
        const pugi::xml_node commands = bank.child("MIDICommands");
        pugi::xml_node list = bank.child("PatchNameList");
        if (!list) {
            const auto named = lists.find(trimmed(bank.child("UsesPatchNameList").attribute("Name").value()));
            list = named == lists.end() ? pugi::xml_node() : named->second;
        }
        std::set<std::tuple<int, int, int>> programs;
        for (const pugi::xml_node patch : list.children("Patch")) {
            const pugi::xml_node own = patch.child("PatchMIDICommands");
            const int program = patch.attribute("ProgramChange")
                                    ? number(patch.attribute("ProgramChange"))
                                    : number(own.child("ProgramChange").attribute("Number"));
            const bool ownBank = controlValue(own, "0") >= 0 || controlValue(own, "32") >= 0;
            const pugi::xml_node selecting = ownBank ? own : commands;
            if (program >= 0)
                programs.emplace(controlValue(selecting, "0"), controlValue(selecting, "32"), program);
        }
        count += programs.size();
    }
    // A device without a name set: each of its own lists is read as one bank.
    for (const pugi::xpath_node& found :
         document.select_nodes("/MIDINameDocument/MasterDeviceNames[not(ChannelNameSet)]/PatchNameList")) {
        std::set<std::tuple<int, int, int>> programs;
        for (const pugi::xml_node patch : found.node().children("Patch")) {
            const pugi::xml_node own = patch.child("PatchMIDICommands");
            const int program = patch.attribute("ProgramChange")
                                    ? number(patch.attribute("ProgramChange"))
                                    : number(own.child("ProgramChange").attribute("Number"));
            if (program >= 0)
                programs.emplace(controlValue(own, "0"), controlValue(own, "32"), program);
        }
        count += programs.size();
    }
    return count;
}

TEST(MidnamCorpus, EveryDocumentReadsWithEveryPatch)
{
    QUORVIX_REQUIRE_CORPUS(corpus);
    std::size_t devices = 0;
    std::size_t listsOnly = 0;
    for (const fs::path& file : corpusDocuments(corpus)) {
        SCOPED_TRACE(file.filename().string());
        const std::string bytes = test::readFile(file);
        EXPECT_TRUE(looksLikeMidnam(bytes));
        const ReadResult result = readMidnam(bytes);
        if (!result) {
            EXPECT_EQ(result.error->message, kNoDevice);
            ++listsOnly;
            continue;
        }
        ++devices;
        std::size_t voices = 0;
        for (const Instrument& instrument : result.set.instruments)
            voices += result.set.voiceCount(instrument);
        EXPECT_EQ(voices, countPatches(bytes));
        for (const Diagnostic& warning : result.warnings.list())
            EXPECT_GT(warning.at.line, 0u) << warning.message;
    }
    EXPECT_GT(devices, 300u);
    EXPECT_GT(listsOnly, 0u);
}

/// Reads every corpus document, writes each device (all its name sets in one document, as to-midnam does)
/// and hands the original, the first instrument of the device and what was written to `check`.
template <typename Check>
void roundTripCorpus(const fs::path& corpus, Check&& check)
{
    for (const fs::path& file : corpusDocuments(corpus)) {
        const ReadResult original = readMidnam(test::readFile(file));
        for (std::size_t i = 0; original && i < original.set.instruments.size(); ++i) {
            if (midnamDocumentOf(original.set, i).front() != i)
                continue;
            StringSink written;
            Diagnostics warnings;
            writeMidnam(original.set, original.set.instruments[i],
                        {"", file.filename().string(), {"01/01/26", "00:00:00"}}, written, warnings);
            check(file.stem().string() + "-" + std::to_string(i + 1), original, i, written.text);
        }
    }
}

/// What Ardour finds a device by and shows of it besides the names: its models, its name sets with their
/// channels, its modes' channel assignments, the patches' labels.
std::string identityOf(const InstrumentSet& set, const std::vector<std::size_t>& instruments, bool withModes)
{
    std::string out;
    if (const std::int32_t index = set.instruments[instruments.front()].device; index >= 0) {
        const Device& device = set.devices[static_cast<std::size_t>(index)];
        out += "spare " + std::to_string(device.spareNoteLists.size()) + "/" +
               std::to_string(device.spareControlLists.size()) + ", models " +
               std::string(set.text(device.model));
        for (const TextRef more : device.moreModels)
            out += "," + std::string(set.text(more));
        for (const DeviceMode& mode : device.modes) {
            if (!withModes)
                break;
            out += "\nmode " + std::string(set.text(mode.name)) + ":";
            for (const TextRef nameSet : mode.nameSets)
                out += " " + std::string(set.text(nameSet));
        }
    }
    for (const std::size_t i : instruments) {
        const Instrument& instrument = set.instruments[i];
        // A name set without a name is written with the instrument's.
        const TextRef nameSet = instrument.nameSet.empty() ? instrument.name : instrument.nameSet;
        out += "\nname set " + std::string(set.text(nameSet)) + " " + std::to_string(instrument.channels);
        for (const Bank& bank : instrument.banks) {
            if (bank.patchList < 0)
                continue;
            // What has no label of its own is written with its program as its label.
            const PatchList& list = set.patchLists[static_cast<std::size_t>(bank.patchList)];
            for (std::size_t p = 0; p < list.labels.size(); ++p) {
                if (set.text(list.labels[p]) != std::to_string(list.patches[p].program))
                    out += " " + std::string(set.text(list.labels[p]));
            }
        }
    }
    return out;
}

TEST(MidnamCorpus, RoundTripKeepsEveryNameModelNameSetChannelAndLabel)
{
    QUORVIX_REQUIRE_CORPUS(corpus);
    std::size_t instruments = 0;
    std::size_t severalNameSets = 0;
    roundTripCorpus(corpus, [&](const std::string& name, const ReadResult& original, std::size_t first,
                                const std::string& written) {
        SCOPED_TRACE(name);
        const ReadResult back = readMidnam(written);
        ASSERT_TRUE(back.ok()) << back.error->message;
        const std::vector<std::size_t> group = midnamDocumentOf(original.set, first);
        ASSERT_EQ(back.set.instruments.size(), group.size());
        for (std::size_t i = 0; i < group.size(); ++i) {
            EXPECT_EQ(test::namesOf(back.set, back.set.instruments[i]),
                      test::namesOf(original.set, original.set.instruments[group[i]]));
        }
        // A device whose source assigns no channels is written with a mode that assigns them.
        if (const std::int32_t device = original.set.instruments[first].device; device >= 0) {
            const bool withModes = !original.set.devices[static_cast<std::size_t>(device)].modes.empty();
            EXPECT_EQ(identityOf(back.set, midnamDocumentOf(back.set, 0), withModes),
                      identityOf(original.set, group, withModes));
        }
        instruments += group.size();
        severalNameSets += group.size() > 1;
    });
    EXPECT_GT(instruments, 400u);
    EXPECT_GT(severalNameSets, 50u);
}

TEST(MidnamCorpus, EveryWrittenDocumentIsValidAgainstTheDtd)
{
    QUORVIX_REQUIRE_CORPUS(corpus);
    QUORVIX_REQUIRE_MIDNAM_DTD();
    // All of them, in one xmllint run: that takes about a second.
    test::TempDir dir;
    std::vector<fs::path> files;
    roundTripCorpus(corpus,
                    [&](const std::string& name, const ReadResult&, std::size_t, const std::string& written) {
                        files.push_back(dir / (name + ".midnam"));
                        test::writeFile(files.back(), written);
                    });
    EXPECT_GT(files.size(), 300u);
    EXPECT_EQ(test::midnamDtdErrors(files), "");
}

} // namespace
} // namespace quorvix
