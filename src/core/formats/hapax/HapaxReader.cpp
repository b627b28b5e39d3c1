#include "formats/hapax/HapaxReader.h"

#include "base/Encoding.h"
#include "base/LineCursor.h"
#include "base/Text.h"
#include "formats/hapax/HapaxParser.h"
#include "formats/reaper/ReaperText.h"

#include <algorithm>
#include <map>

namespace quorvix {

namespace hapax {

namespace {

/// The highest PC the model keeps: programs go up to 255.
constexpr std::int32_t kHighestKeptPc = 256;

/// A bank byte: NULL (-1) or 0 to 127; false for anything else.
bool bankByte(std::string_view field, std::int16_t& value)
{
    if (equalsNoCase(field, "NULL")) {
        value = -1;
        return true;
    }
    const auto number = decimalDigits(field, 127, TooLarge::Fails);
    value = static_cast<std::int16_t>(number.value_or(0));
    return number.has_value();
}

std::string byteText(std::int16_t value)
{
    return value < 0 ? std::string("NULL") : std::to_string(value);
}

} // namespace

Fields::Fields(std::string_view text)
{
    for (;;) {
        const auto colon = text.find(':');
        if (count < kMostFields)
            at[count] = text.substr(0, colon);
        ++count;
        if (colon == std::string_view::npos)
            return;
        text.remove_prefix(colon + 1);
    }
}

void DefinitionParser::refused(const std::string& what, bool read)
{
    warn(what + ": the Hapax refuses the file at this line" + (read ? "; read all the same" : "; skipped"));
}

bool DefinitionParser::nameTaken(std::string_view name, std::string_view what)
{
    if (name.empty()) {
        refused(std::string(what) + " needs a name", false);
        return false;
    }
    if (const std::string character = refusedCharacter(name, m_set.encoding); !character.empty())
        refused(std::string(what) + " " + inQuotes(toUtf8(name, m_set.encoding)) + " holds " +
                    inQuotes(character) + ", which the Hapax does not take in a name",
                true);
    return true;
}

void DefinitionParser::line(std::uint32_t number, std::string_view text)
{
    m_line = number;
    const std::string_view statement = statementOf(text);
    if (m_section == Section::Comment && !statement.empty() && statement.front() != '[') {
        ++m_comment;
        nameTaken(statement, "the comment line");
        return;
    }
    std::string_view name;
    bool closing = false;
    if (statement.empty())
        return;
    if (isSectionLine(statement, name, closing))
        sectionLine(name, closing);
    else if (m_section == Section::None)
        directive(statement);
    else
        entry(statement);
}

void DefinitionParser::directive(std::string_view statement)
{
    std::string_view value;
    const std::string_view keyword = firstField(statement, value);
    const auto known = directiveNamed(keyword);
    if (!known) {
        refused(inQuotes(toUtf8(keyword, m_set.encoding)) +
                    " is no directive of a definition (VERSION, TRACKNAME, TYPE, OUTPORT, OUTCHAN, INPORT, "
                    "INCHAN, MAXRATE) and stands outside every section",
                false);
        return;
    }
    m_anyStatement = true;
    const std::string name(directiveName(*known));
    if (value.empty()) {
        refused(name + " needs a value (NULL keeps the track's own)", false);
        return;
    }
    if (const std::string_view problem = directiveValueProblem(*known, value); !problem.empty()) {
        refused(name + " " + inQuotes(toUtf8(value, m_set.encoding)) + " is none of " + std::string(problem),
                false);
        return;
    }
    const bool null = equalsNoCase(value, "NULL");
    if (*known == Directive::TrackName) {
        if (!null && nameTaken(value, "TRACKNAME"))
            m_trackName = m_set.refer(value);
    } else if (*known == Directive::Type) {
        m_type.clear();
        for (const char c : value)
            m_type += static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    } else if (*known != Directive::Version && !null) {
        m_settings.push_back(name + " " + std::string(value));
    }
}

void DefinitionParser::sectionLine(std::string_view name, bool closing)
{
    const Section section = sectionNamed(name);
    const std::string shown = "[" + toUtf8(name, m_set.encoding) + "]";
    if (closing) {
        if (section != m_section || section == Section::None)
            warn("[/" + toUtf8(name, m_set.encoding) + "] closes no open " + shown + " section; ignored");
        else
            m_section = Section::None;
        return;
    }
    if (m_section != Section::None)
        refused(
            shown + " opens while [" +
                (m_section == Section::Unknown ? std::string("...") : std::string(sectionName(m_section))) +
                "] is still open (no [/" + std::string(sectionName(m_section)) + "] before it)",
            true);
    if (section == Section::Unknown)
        refused(shown + " is no section of a definition", false);
    else
        m_anyStatement = true;
    m_section = section;
    m_sectionLine = m_line;
}

void DefinitionParser::entry(std::string_view statement)
{
    std::string_view name;
    const Fields fields(firstField(statement, name));
    switch (m_section) {
    case Section::Pc:
        return pcLine(fields, name);
    case Section::DrumLanes:
        return laneLine(fields, name);
    case Section::Cc:
        return ccLine(fields, name);
    case Section::CcPair:
        return pairLine(fields, name);
    case Section::Nrpn:
        return nrpnLine(fields, name);
    case Section::Assign:
        ++m_assign;
        return;
    case Section::Automation:
        if (++m_automation == 65)
            refused("a definition holds at most 64 automation lanes", true);
        return;
    case Section::None:
    case Section::Comment:
    case Section::Unknown:
        return;
    }
}

void DefinitionParser::pcLine(const Fields& fields, std::string_view name)
{
    if (fields.count != 1 && fields.count != 3) {
        refused("a [PC] line is \"PC NAME\" or \"PC:MSB:LSB NAME\"", false);
        return;
    }
    const auto pc = decimalDigits(fields.at[0], 1u << 20, TooLarge::Highest);
    Entry entry;
    if (!pc || *pc < 1 || *pc > static_cast<std::uint64_t>(kHighestKeptPc)) {
        refused("PC " + inQuotes(toUtf8(fields.at[0], m_set.encoding)) + " is not a number from 1 to 128",
                false);
        return;
    }
    if (fields.count == 3 && !(bankByte(fields.at[1], entry.msb) && bankByte(fields.at[2], entry.lsb))) {
        refused("the MSB and LSB of a [PC] line are numbers from 0 to 127 or NULL", false);
        return;
    }
    if (!nameTaken(name, "a [PC] line"))
        return;
    if (*pc > 128)
        refused("PC " + std::to_string(*pc) + " is outside 1 to 128", true);
    if (m_pcs.size() == kMostPcLines)
        warn("the definition has more than 128 [PC] lines, the most Squarp documents (firmware 3.10 loads "
             "more)");
    entry.number = static_cast<std::int32_t>(*pc);
    entry.name = m_set.refer(name);
    entry.line = m_line;
    m_pcs.push_back(entry);
}

void DefinitionParser::makeBanks(Instrument& instrument)
{
    // The PC lines of each bank, by the bank's bytes, the banks in the order their first lines come.
    std::map<std::pair<std::int16_t, std::int16_t>, std::size_t> bankOf;
    std::vector<std::vector<const Entry*>> lines;
    for (const Entry& pc : m_pcs) {
        const auto [at, fresh] = bankOf.try_emplace({pc.msb, pc.lsb}, lines.size());
        if (fresh)
            lines.emplace_back();
        lines[at->second].push_back(&pc);
    }
    for (std::vector<const Entry*>& bank : lines) {
        std::stable_sort(bank.begin(), bank.end(),
                         [](const Entry* a, const Entry* b) { return a->number < b->number; });
        // Named by the bytes it sends, as its [PC] lines write them: the file names no banks.
        const BankSelect select{bank.front()->msb, bank.front()->lsb, -1};
        const TextRef name = m_set.keep("Bank " + byteText(select.msb) + ":" + byteText(select.lsb));
        instrument.banks.push_back(
            Bank{bankNumberOf(select), select, name, static_cast<std::int32_t>(m_set.patchLists.size())});
        std::vector<Patch>& patches = m_set.patchLists.emplace_back().patches;
        const Entry* previous = nullptr;
        for (const Entry* pc : bank) {
            if (previous != nullptr && previous->number == pc->number) {
                // A PC given twice in a bank: the later name, as for the other formats.
                m_result.warnings.warn(pc->line,
                                       "PC " + std::to_string(pc->number) + " of MSB " + byteText(pc->msb) +
                                           " LSB " + byteText(pc->lsb) + " is given again (first on line " +
                                           std::to_string(previous->line) + "); the later name is kept");
                patches.back().name = pc->name;
            } else {
                patches.push_back(Patch{pc->name, pc->number - 1, kNoList});
            }
            previous = pc;
        }
    }
    instrument.method = agreedMethod(instrument.banks);
}

bool DefinitionParser::finish(std::string_view fileStem)
{
    if (!m_anyStatement) {
        m_result.fail({}, "holds no directive or section: a Hapax definition has lines such as "
                          "\"VERSION 1\", \"TRACKNAME NAME\" or \"[PC]\"");
        return false;
    }
    Instrument instrument;
    instrument.name = m_trackName.empty() ? m_set.keepUtf8(fileStem) : m_trackName;
    makeBanks(instrument);
    makeNoteList(instrument);
    makeControlLists(instrument);
    m_result.warnings.sortByLine();
    warnNotCarried(instrument);
    m_set.instruments.push_back(std::move(instrument));
    return true;
}

} // namespace hapax

bool looksLikeHapax(std::string_view head)
{
    return hapax::looksLikeDefinition(head);
}

ReadResult readHapax(std::string bytes, std::string_view fileStem)
{
    ReadResult result;
    if (!beginTextRead(result, std::move(bytes), "a Hapax definition"))
        return result;
    if (startsWithByteOrderMark(result.set.source()))
        result.warnings.warn(1, "the file starts with a UTF-8 byte-order mark, which Squarp's template has "
                                "not: remove it if the Hapax refuses the file");
    hapax::DefinitionParser parser(result);
    readLines(result, parser, fileStem);
    return result;
}

} // namespace quorvix
