#include "formats/cubase/ScriptReader.h"

#include "base/Text.h"
#include "formats/cubase/CakewalkDefinitionWriter.h"
#include "formats/cubase/ScriptEntry.h"

#include <algorithm>
#include <cstring>
#include <map>

namespace quorvix {

namespace {

bool startsWithNoCase(std::string_view text, std::string_view prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        const char a = text[i] >= 'A' && text[i] <= 'Z' ? static_cast<char>(text[i] - 'A' + 'a') : text[i];
        if (a != prefix[i])
            return false;
    }
    return true;
}

/// Calls `handle(line, number)` for every line; lines end at LF, a CR before it is dropped.
template <typename Handle>
void forEachLine(std::string_view text, Handle&& handle)
{
    std::uint32_t number = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const void* found = std::memchr(text.data() + pos, '\n', text.size() - pos);
        const std::size_t end =
            found ? static_cast<std::size_t>(static_cast<const char*>(found) - text.data()) : text.size();
        std::string_view line = text.substr(pos, end - pos);
        if (found && !line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        handle(line, ++number);
        pos = end + 1;
    }
}

std::string bankText(std::int32_t msb, std::int32_t lsb)
{
    const auto part = [](std::int32_t value) { return value < 0 ? std::string("-") : std::to_string(value); };
    return "MSB " + part(msb) + ", LSB " + part(lsb);
}

struct PendingPatch
{
    std::uint8_t program;
    TextRef name;
    std::uint32_t line;
};

struct PendingBank
{
    BankSelect select;
    std::vector<PendingPatch> patches;
    std::int32_t heading = -1; ///< the heading all its entries stand under; -2 when they differ
};

} // namespace

bool looksLikeCubaseScript(std::string_view text)
{
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    bool first = true;
    bool found = false;
    forEachLine(text, [&](std::string_view line, std::uint32_t) {
        if (found)
            return;
        const std::string_view content = trimBlanks(line);
        if (content.empty())
            return;
        if (first && startsWithNoCase(content, "[cubase parse file]"))
            found = true;
        first = false;
        std::size_t spaces = 0;
        while (spaces < line.size() && line[spaces] == ' ')
            ++spaces;
        // A line that only starts like an entry ("[p1 of 3]") makes no script: an entry has its program
        // number and its "]".
        const std::string_view entry = line.substr(spaces);
        if (isEntryLine(entry) && entry.find(']') != std::string_view::npos &&
            !parseEntryLine(entry).programText.empty())
            found = true;
    });
    return found;
}

ReadResult readCubaseScript(std::string bytes, std::string_view fileStem)
{
    ReadResult result;
    const TextEncoding encoding = guessEncoding(bytes);
    result.set = InstrumentSet(std::move(bytes), encoding);
    InstrumentSet& set = result.set;
    std::string_view text = set.source();
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);

    std::string_view deviceName;
    std::string_view manufacturer;
    std::vector<PendingBank> banks;
    std::map<std::pair<std::int32_t, std::int32_t>, std::size_t> bankBySelect;
    std::vector<TextRef> headings;                  ///< every heading line, in order
    std::vector<std::int32_t> headingBanks;         ///< per heading: the one bank under it, -2 for several
    std::vector<std::int32_t> openHeadings(10, -1); ///< the open heading of each level
    std::size_t entries = 0;
    bool sawTabEntry = false;
    Diagnostics& warnings = result.warnings;

    forEachLine(text, [&](std::string_view line, std::uint32_t number) {
        if (line.size() > kMaxScriptLineLength)
            warnings.warn(number, "line is longer than " + std::to_string(kMaxScriptLineLength) +
                                      " characters; Cubase may not read it");
        std::size_t spaces = 0;
        while (spaces < line.size() && line[spaces] == ' ')
            ++spaces;
        const std::string_view content = line.substr(spaces);
        const std::string_view blanksTrimmed = trimBlanks(line);
        if (!isEntryLine(content)) {
            if (isEntryLine(blanksTrimmed)) {
                if (!sawTabEntry)
                    warnings.warn(number, "an entry line indented with a tab is no entry line; it is left "
                                          "out (indent with spaces, or not at all)");
                sawTabEntry = true;
            } else if (startsWithNoCase(blanksTrimmed, "[device name]")) {
                if (deviceName.empty())
                    deviceName = trimBlanks(blanksTrimmed.substr(13));
            } else if (startsWithNoCase(blanksTrimmed, "[device manufacturer]")) {
                manufacturer = trimBlanks(blanksTrimmed.substr(21));
            } else if (startsWithNoCase(blanksTrimmed, "[mode")) {
                std::fill(openHeadings.begin(), openHeadings.end(), -1);
            } else if (blanksTrimmed.size() >= 4 && blanksTrimmed[0] == '[' && blanksTrimmed[1] == 'g' &&
                       blanksTrimmed[2] >= '1' && blanksTrimmed[2] <= '9' && blanksTrimmed[3] == ']') {
                const auto level = static_cast<std::size_t>(blanksTrimmed[2] - '0');
                openHeadings[level] = static_cast<std::int32_t>(headings.size());
                for (std::size_t deeper = level + 1; deeper < openHeadings.size(); ++deeper)
                    openHeadings[deeper] = -1;
                headings.push_back(set.refer(trimBlanks(blanksTrimmed.substr(4))));
                headingBanks.push_back(-1);
            }
            return;
        }

        const EntryFields fields = parseEntryLine(content);
        if (fields.programText.empty()) {
            warnings.warn(number, "entry without a program number left out");
            return;
        }
        const std::int32_t program = DecimalValue(fields.programText);
        std::int32_t msb = 0;
        std::int32_t lsb = 0;
        if (fields.threeNumbers) {
            msb = fields.secondNegative ? -1 : DecimalValue(fields.secondText);
            lsb = fields.thirdNegative ? -1 : DecimalValue(fields.thirdText);
        } else {
            const std::int32_t bank = DecimalValue(fields.secondText);
            msb = bank / 128;
            lsb = bank % 128;
        }
        if (program > 127 || msb > 127 || lsb > 127) {
            warnings.warn(number,
                          "entry " +
                              std::string(fields.name.empty() ? "without a name"
                                                              : "\"" + std::string(fields.name) + "\"") +
                              " left out: program " + std::to_string(program) + ", " + bankText(msb, lsb) +
                              " cannot be sent (programs and bank selects go from 0 to 127)");
            return;
        }
        ++entries;
        const auto [found, inserted] = bankBySelect.try_emplace({msb, lsb}, banks.size());
        if (inserted) {
            PendingBank bank;
            bank.select.msb = static_cast<std::int16_t>(msb);
            bank.select.lsb = static_cast<std::int16_t>(lsb);
            banks.push_back(std::move(bank));
        }
        const std::size_t bankIndex = found->second;
        PendingBank& bank = banks[bankIndex];
        std::int32_t heading = -1;
        for (auto it = openHeadings.rbegin(); it != openHeadings.rend() && heading < 0; ++it)
            heading = *it;
        if (bank.patches.empty())
            bank.heading = heading;
        else if (bank.heading != heading)
            bank.heading = -2;
        if (heading >= 0) {
            std::int32_t& under = headingBanks[static_cast<std::size_t>(heading)];
            under = under == -1 || under == static_cast<std::int32_t>(bankIndex)
                        ? static_cast<std::int32_t>(bankIndex)
                        : -2;
        }
        bank.patches.push_back(
            PendingPatch{static_cast<std::uint8_t>(program), set.refer(fields.name), number});
    });

    if (entries == 0) {
        std::string why = "holds no entry line (\"[p2, program, msb, lsb] name\")";
        if (text.find('\n') == std::string_view::npos && text.find('\r') != std::string_view::npos)
            why += "; its lines end in a lone CR, which Cubase scripts do not use";
        result.fail({}, why);
        return result;
    }

    Instrument instrument;
    // Every view into the text is taken before keep() may move it.
    const TextRef manufacturerRef = set.refer(manufacturer);
    instrument.name = deviceName.empty() ? set.keep(fileStem) : set.refer(deviceName);
    if (!manufacturer.empty() && manufacturer != "-") {
        instrument.device = 0;
        set.devices.push_back(Device{manufacturerRef, instrument.name, {}, {}});
    }
    bool sameMethod = true;
    BankSelectMethod method = BankSelectMethod::Normal;
    for (std::size_t b = 0; b < banks.size(); ++b) {
        PendingBank& pending = banks[b];
        std::stable_sort(pending.patches.begin(), pending.patches.end(),
                         [](const PendingPatch& x, const PendingPatch& y) { return x.program < y.program; });
        PatchList list;
        for (std::size_t i = 0; i < pending.patches.size(); ++i) {
            const PendingPatch& patch = pending.patches[i];
            if (i + 1 < pending.patches.size() && pending.patches[i + 1].program == patch.program) {
                warnings.warn(pending.patches[i + 1].line,
                              "program " + std::to_string(patch.program) + " of bank " +
                                  bankText(pending.select.msb, pending.select.lsb) +
                                  " is named again (first at line " + std::to_string(patch.line) +
                                  "); the later name is used");
                continue;
            }
            list.patches.push_back(Patch{patch.name, patch.program, kNoList});
        }
        Bank bank;
        bank.select = pending.select;
        bank.number = bankNumberOf(bank.select);
        if (pending.heading >= 0 &&
            headingBanks[static_cast<std::size_t>(pending.heading)] == static_cast<std::int32_t>(b))
            bank.name = headings[static_cast<std::size_t>(pending.heading)];
        list.name = bank.name;
        bank.patchList = static_cast<std::int32_t>(set.patchLists.size());
        set.patchLists.push_back(std::move(list));
        BankSelectMethod own = BankSelectMethod::Normal;
        methodOf(bank.select, own);
        if (b == 0)
            method = own;
        sameMethod = sameMethod && own == method;
        instrument.banks.push_back(bank);
    }
    instrument.method = sameMethod ? method : BankSelectMethod::Normal;
    set.instruments.push_back(std::move(instrument));
    warnings.sortByLine();
    warnings.finish();
    return result;
}

} // namespace quorvix
