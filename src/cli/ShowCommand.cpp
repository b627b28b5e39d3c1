// quorvix-convert show: what a file holds, definition by definition, for a terminal or as one JSON document.

#include "CliSupport.h"
#include "Commands.h"
#include "app/Messages.h"
#include "base/Text.h"
#include "base/UniqueNames.h"
#include "model/BankGroups.h"

#include <cstdio>
#include <map>
#include <nlohmann/json.hpp>

namespace quorvix::cli {

namespace {

using json = nlohmann::ordered_json; // keys in the order the README documents them

struct ShowOptions
{
    std::string file;
    Selection selection;
    bool json = false;
};

std::string_view methodKey(BankSelectMethod method)
{
    switch (method) {
    case BankSelectMethod::MsbOnly:
        return "cc0";
    case BankSelectMethod::LsbOnly:
        return "cc32";
    case BankSelectMethod::ProgramChange:
        return "program-change";
    case BankSelectMethod::Normal:
    default:
        return "cc0-cc32";
    }
}

std::string_view methodText(BankSelectMethod method)
{
    switch (method) {
    case BankSelectMethod::MsbOnly:
        return "CC0 only";
    case BankSelectMethod::LsbOnly:
        return "CC32 only";
    case BankSelectMethod::ProgramChange:
        return "a program change 100 + bank";
    case BankSelectMethod::Normal:
    default:
        return "CC0 and CC32";
    }
}

std::string_view controlKey(ControlKind kind)
{
    switch (kind) {
    case ControlKind::Controller14:
        return "cc14";
    case ControlKind::Rpn:
        return "rpn";
    case ControlKind::Nrpn:
        return "nrpn";
    case ControlKind::Controller:
    default:
        return "cc";
    }
}

/// One definition as the command shows it; names are UTF-8.
class Shown
{
public:
    Shown(const InstrumentSet& set, const Instrument& instrument) : m_set(set), m_instrument(instrument) {}

    json toJson()
    {
        json banks = json::array();
        json patches = json::array();
        for (const Bank& bank : m_instrument.banks) {
            banks.push_back({{"number", bank.number},
                             {"msb", byteOf(bank.select.msb)},
                             {"lsb", byteOf(bank.select.lsb)},
                             {"name", bankTitle(m_set, bank)}});
            if (bank.select.program >= 0)
                banks.back()["program_change"] = bank.select.program;
            forEachPatch(bank, [&](const Patch& patch, const std::string* notes) {
                patches.push_back({{"bank", bank.number},
                                   {"program", patch.program},
                                   {"name", m_set.utf8(patch.name)},
                                   {"notes", notes != nullptr ? json(*notes) : json()}});
            });
        }
        json lists = json::object();
        for (const auto& [index, name] : m_listNames) {
            json notes = json::array();
            for (const NameEntry& note : m_set.noteLists[static_cast<std::size_t>(index)].notes)
                notes.push_back({{"note", note.number}, {"name", m_set.utf8(note.name)}});
            lists[name] = std::move(notes);
        }
        json controllers = json::array();
        forEachControl([&](ControlKind kind, const NameEntry& control) {
            controllers.push_back(
                {{"type", controlKey(kind)}, {"number", control.number}, {"name", m_set.utf8(control.name)}});
        });
        return {{"name", m_set.utf8(m_instrument.name)},
                {"method", methodKey(m_instrument.method)},
                {"banks", std::move(banks)},
                {"patches", std::move(patches)},
                {"note_lists", std::move(lists)},
                {"controllers", std::move(controllers)}};
    }

    std::string toText(std::size_t index)
    {
        std::string out = std::to_string(index) + "  " + inQuotes(m_set.utf8(m_instrument.name)) +
                          "  (bank select: " + std::string(methodText(m_instrument.method)) + ")\n";
        for (const Bank& bank : m_instrument.banks) {
            out += "  bank " + std::to_string(bank.number) + "  " + bankSelectText(bank.select) + "  " +
                   inQuotes(bankTitle(m_set, bank)) + "\n";
            forEachPatch(bank, [&](const Patch& patch, const std::string* notes) {
                std::string number = std::to_string(patch.program);
                out += std::string(7 - number.size(), ' ') + number + "  " + m_set.utf8(patch.name) +
                       (notes != nullptr ? "  [" + *notes + "]" : "") + "\n";
            });
        }
        for (const auto& [list, name] : m_listNames) {
            out += "  note list " + inQuotes(name) + ":";
            for (const NameEntry& note : m_set.noteLists[static_cast<std::size_t>(list)].notes)
                out += " " + std::to_string(note.number) + " " + m_set.utf8(note.name) + ";";
            out.back() = '\n';
        }
        std::string controls;
        forEachControl([&](ControlKind kind, const NameEntry& control) {
            controls += "  " + std::string(controlKey(kind)) + " " + std::to_string(control.number) + " " +
                        m_set.utf8(control.name) + "\n";
        });
        return out + controls;
    }

private:
    static json byteOf(std::int16_t value) { return value >= 0 ? json(value) : json(); }

    /// The name a note list is shown by, unique within the definition.
    const std::string* listName(std::int32_t list)
    {
        if (list < 0 || static_cast<std::size_t>(list) >= m_set.noteLists.size())
            return nullptr;
        auto [at, fresh] = m_listNames.try_emplace(list);
        if (fresh) {
            const std::string name = m_set.utf8(m_set.noteLists[static_cast<std::size_t>(list)].name);
            at->second = m_unique.make(name.empty() ? "Notes" : name);
        }
        return &at->second;
    }

    template <typename Visit>
    void forEachPatch(const Bank& bank, Visit&& visit)
    {
        if (const PatchList* list = m_set.patchListOf(bank))
            for (const Patch& patch : list->patches)
                visit(patch, listName(patch.noteList != kNoList ? patch.noteList : m_instrument.noteList));
    }

    template <typename Visit>
    void forEachControl(Visit&& visit) const
    {
        for (const std::int32_t index : {m_instrument.controllers, m_instrument.rpns, m_instrument.nrpns})
            if (const ControlList* list = m_set.controlListAt(index))
                for (const NameEntry& control : list->controls)
                    visit(list->kind, control);
    }

    const InstrumentSet& m_set;
    const Instrument& m_instrument;
    std::map<std::int32_t, std::string> m_listNames;
    UniqueNames m_unique;
};

void runShow(ShowOptions& options)
{
    Input input = readInput(options.file, messages::kOpenInsFailed);
    const ReadResult read = readModel(input);
    const InstrumentSet& set = read.set;
    const std::vector<std::size_t> chosen =
        chooseInstruments(options.selection, set, inQuotes(options.file), true);
    std::string out;
    if (options.json) {
        json definitions = json::array();
        for (const std::size_t index : chosen)
            definitions.push_back(Shown(set, set.instruments[index]).toJson());
        // Bytes that are no UTF-8 (a name of a file read as UTF-8) come out as U+FFFD rather than ending the
        // run.
        out = json{{"definitions", std::move(definitions)}}.dump(2, ' ', false,
                                                                 json::error_handler_t::replace) +
              "\n";
    } else {
        for (const std::size_t index : chosen)
            out += (out.empty() ? "" : "\n") + Shown(set, set.instruments[index]).toText(index);
    }
    printOutput(out);
}

} // namespace

void setupShowCommand(CLI::App& app)
{
    auto options = std::make_shared<ShowOptions>();
    auto* command = app.add_subcommand(
        "show", "Show what a file holds: each definition's bank-select method, its banks (number, MSB, LSB, "
                "name) with their patches, its drum-note lists and its controller, RPN and NRPN names");
    command->add_option("FILE", options->file, inputHelp())->required();
    addSelectionOptions(*command, options->selection, false);
    command->add_flag("--json", options->json, "Print one JSON document (its schema is in the README)");
    command->footer("Without --index or --definition, every definition of the file is shown.\n"
                    "Exit status: 0 done, 1 a file error, 2 a usage error.\n"
                    "\n"
                    "Examples:\n"
                    "  quorvix-convert show Synth.ins --definition \"My Synth\"\n"
                    "  quorvix-convert show Synth.midnam --json");
    command->callback([options] { runShow(*options); });
}

} // namespace quorvix::cli
