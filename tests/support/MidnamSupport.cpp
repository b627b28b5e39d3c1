#include "MidnamSupport.h"

#include "TestSupport.h"

#include <algorithm>
#include <sstream>

namespace fs = std::filesystem;

namespace quorvix::test {

namespace {

std::optional<fs::path> dtdPath()
{
    const auto corpus = corpusDir();
    if (!corpus)
        return std::nullopt;
    fs::path dtd = *corpus / "midnam" / "dtd" / "MIDINameDocument10.dtd";
    std::error_code ec;
    return fs::is_regular_file(dtd, ec) ? std::optional<fs::path>(dtd) : std::nullopt;
}

std::string select(const BankSelect& select)
{
    auto part = [](std::int16_t value) { return value < 0 ? std::string("-") : std::to_string(value); };
    return part(select.msb) + " " + part(select.lsb) + " " + part(select.program);
}

const char* kindName(ControlKind kind)
{
    constexpr const char* kNames[] = {"7bit", "14bit", "RPN", "NRPN"};
    return kNames[static_cast<int>(kind)];
}

} // namespace

std::string describeInstrument(const InstrumentSet& set, const Instrument& instrument)
{
    std::string out = std::string(set.text(instrument.name));
    if (instrument.device >= 0) {
        const Device& device = set.devices[static_cast<std::size_t>(instrument.device)];
        out += " (" + std::string(set.text(device.manufacturer)) + " " + std::string(set.text(device.model)) +
               ")";
    }
    out += " method " + std::to_string(static_cast<int>(instrument.method)) + "\n";
    std::vector<std::int32_t> noteLists;
    auto noteList = [&](std::int32_t index) {
        if (index >= 0 && std::find(noteLists.begin(), noteLists.end(), index) == noteLists.end())
            noteLists.push_back(index);
        return std::string(set.text(set.noteLists[static_cast<std::size_t>(index)].name));
    };
    if (instrument.noteList >= 0)
        out += "notes " + noteList(instrument.noteList) + "\n";
    for (const Bank& bank : instrument.banks) {
        out += "bank " + std::string(set.text(bank.name)) + " [" + select(bank.select) + "] #" +
               std::to_string(bank.number) + " list" + std::to_string(bank.patchList) + ":";
        if (bank.patchList >= 0) {
            for (const Patch& patch : set.patchLists[static_cast<std::size_t>(bank.patchList)].patches) {
                out += " " + std::to_string(patch.program) + ":" + std::string(set.text(patch.name));
                if (patch.noteList >= 0)
                    out += "{" + noteList(patch.noteList) + "}";
            }
        }
        out += "\n";
    }
    for (const std::int32_t index : {instrument.controllers, instrument.rpns, instrument.nrpns}) {
        if (index < 0)
            continue;
        const ControlList& list = set.controlLists[static_cast<std::size_t>(index)];
        out += "controls " + std::string(set.text(list.name)) + " " + kindName(list.kind) + ":";
        for (const NameEntry& control : list.controls)
            out += " " + std::to_string(control.number) + ":" + std::string(set.text(control.name));
        out += "\n";
    }
    for (const std::int32_t index : noteLists) {
        const NoteList& list = set.noteLists[static_cast<std::size_t>(index)];
        out += "notelist " + std::string(set.text(list.name)) + ":";
        for (const NameEntry& note : list.notes)
            out += " " + std::to_string(note.number) + ":" + std::string(set.text(note.name));
        out += "\n";
    }
    return out;
}

std::vector<std::string> namesOf(const InstrumentSet& set, const Instrument& instrument)
{
    std::vector<std::string> lines;
    if (instrument.noteList >= 0) {
        for (const NameEntry& note : set.noteLists[static_cast<std::size_t>(instrument.noteList)].notes)
            lines.push_back("note " + std::to_string(note.number) + " " + std::string(set.text(note.name)));
    }
    for (const Bank& bank : instrument.banks) {
        if (bank.patchList < 0)
            continue;
        for (const Patch& patch : set.patchLists[static_cast<std::size_t>(bank.patchList)].patches) {
            const std::string key = "[" + select(bank.select) + "] " + std::to_string(patch.program);
            lines.push_back("patch " + key + " " + std::string(set.text(patch.name)));
            if (patch.noteList < 0)
                continue;
            for (const NameEntry& note : set.noteLists[static_cast<std::size_t>(patch.noteList)].notes)
                lines.push_back("note " + key + " " + std::to_string(note.number) + " " +
                                std::string(set.text(note.name)));
        }
    }
    for (const std::int32_t index : {instrument.controllers, instrument.rpns, instrument.nrpns}) {
        if (index < 0)
            continue;
        const ControlList& list = set.controlLists[static_cast<std::size_t>(index)];
        for (const NameEntry& control : list.controls)
            lines.push_back(std::string("control ") + kindName(list.kind) + " " +
                            std::to_string(control.number) + " " + std::string(set.text(control.name)));
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

std::string midnamDtdMissing()
{
    if (!dtdPath())
        return "no MIDINameDocument10.dtd under " QUORVIX_CORPUS_DIR "/midnam/dtd, skipping the DTD check";
    if (runProgram("xmllint", {"--version"}).status != 0)
        return "xmllint not found (package libxml2-utils), skipping the DTD check";
    return {};
}

std::string midnamDtdErrors(const std::vector<fs::path>& files)
{
    const auto dtd = dtdPath();
    if (!dtd)
        return "no DTD";
    std::vector<std::string> args = {"--noout", "--nonet", "--dtdvalid", dtd->string()};
    for (const auto& file : files)
        args.push_back(file.string());
    const RunResult run = runProgram("xmllint", args);
    if (run.status == 0)
        return {};
    // Keep the complaints; drop the lines about the DOCTYPE's network address, which --nonet refuses.
    std::istringstream lines(run.err + run.out);
    std::string line;
    std::string errors;
    while (std::getline(lines, line)) {
        const bool complaint =
            line.find("error") != std::string::npos || line.find("does not validate") != std::string::npos;
        if (complaint && line.find("entity") == std::string::npos)
            errors += line + "\n";
    }
    return errors.empty() ? "xmllint failed with status " + std::to_string(run.status) + ":\n" + run.err
                          : errors;
}

std::string midnamDtdErrors(const std::vector<std::string>& documents)
{
    TempDir dir;
    std::vector<fs::path> files;
    for (std::size_t i = 0; i < documents.size(); ++i) {
        files.push_back(dir / ("written-" + std::to_string(i + 1) + ".midnam"));
        writeFile(files.back(), documents[i]);
    }
    return midnamDtdErrors(files);
}

} // namespace quorvix::test
