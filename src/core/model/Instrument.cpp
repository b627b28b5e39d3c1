#include "model/Instrument.h"

#include <cassert>
#include <cstdint>
#include <limits>
#include <stdexcept>

namespace quorvix {

BankSelect bankSelectFor(BankSelectMethod method, std::int32_t number)
{
    BankSelect select;
    const auto msb = static_cast<std::int16_t>((number / 128) & 127);
    const auto lsb = static_cast<std::int16_t>(number % 128);
    switch (method) {
    case BankSelectMethod::Normal:
        select.msb = msb;
        select.lsb = lsb;
        break;
    case BankSelectMethod::MsbOnly:
        select.msb = msb;
        break;
    case BankSelectMethod::LsbOnly:
        select.lsb = lsb;
        break;
    case BankSelectMethod::ProgramChange:
        select.program = static_cast<std::int16_t>(100 + number);
        break;
    }
    return select;
}

std::int32_t bankNumberOf(const BankSelect& select)
{
    if (select.program >= 0 && select.msb < 0 && select.lsb < 0)
        return select.program - 100;
    return std::int32_t{select.msb > 0 ? select.msb : std::int16_t{0}} * 128 +
           (select.lsb > 0 ? select.lsb : 0);
}

bool methodOf(const BankSelect& select, BankSelectMethod& method)
{
    const bool msb = select.msb >= 0;
    const bool lsb = select.lsb >= 0;
    if (select.program >= 0) {
        if (msb || lsb || select.program < 100)
            return false;
        method = BankSelectMethod::ProgramChange;
    } else if (msb == lsb) {
        method = BankSelectMethod::Normal;
    } else {
        method = msb ? BankSelectMethod::MsbOnly : BankSelectMethod::LsbOnly;
    }
    return true;
}

InstrumentSet::InstrumentSet(std::string source, TextEncoding textEncoding)
    : encoding(textEncoding), m_source(std::move(source))
{
    if (m_source.size() > std::numeric_limits<std::uint32_t>::max())
        throw std::length_error("a source of more than 4 GiB");
}

namespace {

/// Whether `part` lies within `text` (compared as addresses: the two may belong to different buffers).
bool lies(std::string_view part, std::string_view text)
{
    const auto at = reinterpret_cast<std::uintptr_t>(part.data());
    const auto start = reinterpret_cast<std::uintptr_t>(text.data());
    return at >= start && at - start <= text.size() && part.size() <= text.size() - (at - start);
}

} // namespace

TextRef InstrumentSet::refer(std::string_view part) const
{
    if (part.empty())
        return {};
    if (lies(part, m_source))
        return TextRef{static_cast<std::uint32_t>(part.data() - m_source.data()),
                       static_cast<std::uint32_t>(part.size())};
    assert(lies(part, m_kept));
    return TextRef{
        static_cast<std::uint32_t>(m_source.size() + static_cast<std::size_t>(part.data() - m_kept.data())),
        static_cast<std::uint32_t>(part.size())};
}

TextRef InstrumentSet::keep(std::string_view text)
{
    const std::size_t used = m_source.size() + m_kept.size();
    if (text.size() > std::numeric_limits<std::uint32_t>::max() - used)
        throw std::length_error("names of more than 4 GiB");
    const TextRef ref{static_cast<std::uint32_t>(used), static_cast<std::uint32_t>(text.size())};
    m_kept.append(text);
    return ref;
}

TextRef InstrumentSet::keepUtf8(std::string_view text)
{
    if (encoding == TextEncoding::Windows1252 && isValidUtf8(text))
        return keep(utf8ToWindows1252(text));
    return keep(text);
}

BankSelectMethod agreedMethod(const std::vector<Bank>& banks)
{
    bool found = false;
    BankSelectMethod agreed = BankSelectMethod::Normal;
    for (const Bank& bank : banks) {
        BankSelectMethod method;
        if ((bank.select.msb < 0 && bank.select.lsb < 0) || !methodOf(bank.select, method))
            continue;
        if (found && method != agreed)
            return BankSelectMethod::Normal;
        found = true;
        agreed = method;
    }
    return agreed;
}

std::size_t InstrumentSet::voiceCount(const Instrument& instrument) const
{
    std::size_t count = 0;
    for (const Bank& bank : instrument.banks) {
        if (const PatchList* list = patchListOf(bank))
            count += list->patches.size();
    }
    return count;
}

} // namespace quorvix
