#include "formats/reaper/ReabankReader.h"

#include "base/Encoding.h"
#include "base/LineCursor.h"
#include "base/Text.h"
#include "formats/reaper/ReaperText.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>

namespace quorvix {

namespace {

constexpr std::int32_t kNotNumber = -1;
constexpr std::int32_t kTooLarge = std::numeric_limits<std::int32_t>::max();

/// The value of a field of decimal digits (kTooLarge when it does not fit), or kNotNumber.
std::int32_t decimalValue(std::string_view field)
{
    const auto value = decimalDigits(field, kTooLarge, TooLarge::Highest);
    return value ? static_cast<std::int32_t>(*value) : kNotNumber;
}

/// An MSB or LSB field: 0..127, or -1 for "*"; false for anything else.
bool selectValue(std::string_view field, std::int16_t& value)
{
    if (field == "*") {
        value = -1;
        return true;
    }
    const std::int32_t number = decimalValue(field);
    if (number < 0 || number > 127)
        return false;
    value = static_cast<std::int16_t>(number);
    return true;
}

bool startsWithNoCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && equalsNoCase(text.substr(0, prefix.size()), prefix);
}

/// The field in quotes, followed by a space, when it is short printable ASCII; otherwise nothing, so that
/// messages never carry bytes of an unknown encoding.
std::string quotedField(std::string_view field)
{
    if (field.size() > 16 ||
        std::any_of(field.begin(), field.end(), [](char c) { return c < ' ' || c > '~'; }))
        return {};
    return inQuotes(field) + " ";
}

/// The name a "// Instrument: NAME" comment gives, or nothing.
std::string_view instrumentComment(std::string_view comment)
{
    constexpr std::string_view kKey = "instrument";
    if (!startsWithNoCase(comment, kKey))
        return {};
    const std::string_view rest = trimBlanks(comment.substr(kKey.size()));
    if (rest.empty() || rest.front() != ':')
        return {};
    return trimBlanks(rest.substr(1));
}

/// The name a title comment "NAME Reabank ..." gives, or nothing.
std::string_view titleComment(std::string_view comment)
{
    constexpr std::string_view kWord = "reabank";
    for (std::size_t at = 1; at + kWord.size() <= comment.size(); ++at) {
        const std::size_t end = at + kWord.size();
        if (isBlank(comment[at - 1]) && equalsNoCase(comment.substr(at, kWord.size()), kWord) &&
            (end == comment.size() || isBlank(comment[end])))
            return trimBlanks(comment.substr(0, at));
    }
    return {};
}

class ReabankParser
{
public:
    explicit ReabankParser(ReadResult& result) : m_result(result), m_set(result.set) {}

    void line(std::uint32_t number, std::string_view text)
    {
        m_number = number;
        text = trimBlanks(text);
        if (text.empty())
            return;
        m_anyText = true;
        std::string_view rest;
        const std::string_view field = firstField(text, rest);
        if (text.substr(0, 2) == "//")
            comment(trimBlanks(text.substr(2)));
        else if (equalsNoCase(field, "bank"))
            bankLine(rest);
        else if (decimalValue(field) != kNotNumber)
            programLine(field, rest);
        else
            warn("this line is neither a Bank line, a program line (\"NUMBER NAME\") nor a \"//\" comment; "
                 "skipped");
    }

    /// Completes the instrument; false, with the error set, when the file holds no usable bank.
    bool finish(std::string_view fileStem)
    {
        closeBank();
        if (m_instrument.banks.empty()) {
            if (!m_anyText)
                m_result.fail({}, "the file is empty: a REAPER bank file lists banks (\"Bank 0 0 NAME\") and "
                                  "their programs (\"0 NAME\")");
            else if (m_firstRejectedBank == 0)
                m_result.fail({}, "holds no bank: no line reads \"Bank MSB LSB NAME\"");
            else
                m_result.fail({m_firstRejectedBank, 0}, "holds no usable bank: every Bank line was skipped");
            return false;
        }
        if (!m_instrumentName.empty())
            m_instrument.name = m_instrumentName;
        else if (!m_titleName.empty())
            m_instrument.name = m_titleName;
        else
            m_instrument.name = m_set.keepUtf8(fileStem);
        m_instrument.method = agreedMethod(m_instrument.banks);
        m_set.instruments.push_back(std::move(m_instrument));
        return true;
    }

private:
    void warn(std::string message) { m_result.warnings.warn(m_number, std::move(message)); }

    void comment(std::string_view text)
    {
        // Reaticulate's annotations ("//!") say nothing about the programs' names.
        if (m_sawBankLine || (!text.empty() && text.front() == '!'))
            return;
        if (const std::string_view name = instrumentComment(text); !name.empty() && m_instrumentName.empty())
            m_instrumentName = m_set.refer(name);
        if (m_firstComment) {
            m_firstComment = false;
            if (const std::string_view name = titleComment(text); !name.empty())
                m_titleName = m_set.refer(name);
        }
    }

    void bankLine(std::string_view fields)
    {
        closeBank();
        m_sawBankLine = true;
        std::string_view name;
        const std::string_view msbField = firstField(fields, fields);
        const std::string_view lsbField = firstField(fields, name);
        BankSelect select;
        std::string problem;
        if (lsbField.empty())
            problem = "Bank line needs an MSB and an LSB (\"Bank 0 0 NAME\")";
        else if (!selectValue(msbField, select.msb))
            problem = "the bank's MSB " + quotedField(msbField) + "is not a number from 0 to 127 or \"*\"";
        else if (!selectValue(lsbField, select.lsb))
            problem = "the bank's LSB " + quotedField(lsbField) + "is not a number from 0 to 127 or \"*\"";
        if (!problem.empty()) {
            warn(problem + "; the bank and its programs are skipped");
            if (m_firstRejectedBank == 0)
                m_firstRejectedBank = m_number;
            return;
        }
        if (select.msb < 0 || select.lsb < 0) {
            const char* part = select.msb >= 0 ? "LSB" : select.lsb >= 0 ? "MSB" : "MSB and LSB";
            const char* kept = select.msb >= 0   ? "without CC32"
                               : select.lsb >= 0 ? "without CC0"
                                                 : "without bank select";
            warn(std::string("the bank gives \"*\" for its ") + part +
                 ", a placeholder Reaticulate fills in and REAPER cannot send; the bank is kept " + kept);
        }
        const TextRef nameRef = m_set.refer(name);
        m_instrument.banks.push_back(
            Bank{bankNumberOf(select), select, nameRef, static_cast<std::int32_t>(m_set.patchLists.size())});
        m_set.patchLists.push_back(PatchList{nameRef, {}, {}});
        m_bankOpen = true;
    }

    void programLine(std::string_view field, std::string_view name)
    {
        const std::int32_t program = decimalValue(field);
        if (!m_bankOpen) {
            if (!m_sawBankLine)
                warn("program line before the first Bank line; skipped");
            return; // under a skipped Bank line, which was reported
        }
        if (program > 127) {
            warn("program " + quotedField(field) + "is outside 0..127; skipped");
            return;
        }
        if (name.empty()) {
            warn("program " + std::to_string(program) + " has no name; skipped");
            return;
        }
        auto& patches = m_set.patchLists.back().patches;
        const auto slot = static_cast<std::size_t>(program);
        if (m_firstLine[slot] != 0) {
            warn("program " + std::to_string(program) + " is given again in this bank (first on line " +
                 std::to_string(m_firstLine[slot]) + "); the later name is kept");
            patches[m_patchIndex[slot]].name = m_set.refer(name);
            return;
        }
        m_firstLine[slot] = m_number;
        m_patchIndex[slot] = static_cast<std::uint8_t>(patches.size());
        patches.push_back(Patch{m_set.refer(name), static_cast<std::uint8_t>(program), kNoList});
    }

    void closeBank()
    {
        if (!m_bankOpen)
            return;
        m_bankOpen = false;
        auto& patches = m_set.patchLists.back().patches;
        for (const Patch& patch : patches)
            m_firstLine[patch.program] = 0;
        std::sort(patches.begin(), patches.end(),
                  [](const Patch& a, const Patch& b) { return a.program < b.program; });
    }

    ReadResult& m_result;
    InstrumentSet& m_set;
    Instrument m_instrument;
    std::uint32_t m_number = 0;
    bool m_anyText = false;
    bool m_sawBankLine = false;
    bool m_bankOpen = false;
    bool m_firstComment = true;
    std::uint32_t m_firstRejectedBank = 0;
    TextRef m_instrumentName;
    TextRef m_titleName;
    std::array<std::uint32_t, 128> m_firstLine{}; ///< per program of the open bank; 0 = not given yet
    std::array<std::uint8_t, 128> m_patchIndex{}; ///< where the open bank's list holds each program
};

} // namespace

bool looksLikeReabank(std::string_view head)
{
    head = head.substr(0, kReabankSniffSize);
    if (head.find('\0') != std::string_view::npos)
        return false;
    LineCursor lines(withoutByteOrderMark(head));
    std::string_view line;
    while (lines.next(line)) {
        line = trimBlanks(line);
        if (line.empty() || line.substr(0, 2) == "//")
            continue;
        std::string_view rest;
        if (!equalsNoCase(firstField(line, rest), "bank"))
            return false;
        const std::string_view msb = firstField(rest, rest);
        const std::string_view lsb = firstField(rest, rest);
        std::int16_t value = 0;
        return selectValue(msb, value) && selectValue(lsb, value);
    }
    return false;
}

ReadResult readReabank(std::string bytes, std::string_view fileStem)
{
    ReadResult result;
    if (!beginTextRead(result, std::move(bytes), "a REAPER bank file"))
        return result;
    ReabankParser parser(result);
    readLines(result, parser, fileStem);
    return result;
}

} // namespace quorvix
