#include "formats/csv/CsvColumns.h"

#include <algorithm>
#include <initializer_list>
#include <span>

namespace quorvix::csv {

namespace {

/// A column's name without blanks, underscores, hyphens and dots, in lower case.
std::string keyOf(std::string_view name)
{
    std::string key;
    for (const char c : name) {
        if (c == ' ' || c == '\t' || c == '_' || c == '-' || c == '.')
            continue;
        key += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return key;
}

struct Spelling
{
    Column column;
    std::vector<std::string_view> keys;
};

/// The spellings of the columns of patch, note and controller lists.
const Spelling kSpellings[] = {
    {Column::Device, {"device"}},
    {Column::Bank, {"bank", "banknumber"}},
    {Column::BankName, {"bankname"}},
    {Column::Msb, {"msb", "bankmsb", "cc0", "bankselectmsb"}},
    {Column::Lsb, {"lsb", "banklsb", "cc32", "bankselectlsb"}},
    {Column::Program, {"program", "prog", "pc", "programchange", "programnumber"}},
    {Column::Name, {"name", "patch", "preset", "patchname", "presetname", "programname", "voicename"}},
    {Column::Category, {"category"}},
    {Column::List, {"list"}},
    {Column::Note, {"note", "notenumber"}},
    {Column::Type, {"type"}},
    {Column::Number, {"number"}},
};

/// midi.guide's columns, as its tables name them.
const Spelling kMidiGuideSpellings[] = {
    {Column::Manufacturer, {"manufacturer"}},
    {Column::Device, {"device"}},
    {Column::Section, {"section"}},
    {Column::CcMsb, {"ccmsb"}},
    {Column::CcLsb, {"cclsb"}},
    {Column::NrpnMsb, {"nrpnmsb"}},
    {Column::NrpnLsb, {"nrpnlsb"}},
    {Column::NoteMin, {"notenumberminvalue"}},
    {Column::NoteMax, {"notenumbermaxvalue"}},
};

/// The columns of `cells` that `spellings` name, the first cell of each.
Header find(const std::vector<std::string>& keys, std::span<const Spelling> spellings)
{
    Header header;
    header.at.fill(Header::kNone);
    for (std::size_t i = 0; i < keys.size(); ++i)
        for (const Spelling& spelling : spellings) {
            std::size_t& at = header.at[static_cast<std::size_t>(spelling.column)];
            if (at == Header::kNone &&
                std::find(spelling.keys.begin(), spelling.keys.end(), keys[i]) != spelling.keys.end())
                at = i;
        }
    return header;
}

/// The index of the first cell whose key is `key`, or kNone.
std::size_t cellOf(const std::vector<std::string>& keys, std::string_view key)
{
    const auto found = std::find(keys.begin(), keys.end(), key);
    return found != keys.end() ? static_cast<std::size_t>(found - keys.begin()) : Header::kNone;
}

/// The names of the header's cells that no column of `read` takes.
std::vector<std::string> unreadOf(const std::vector<std::string>& cells, const Header& header,
                                  std::initializer_list<Column> read)
{
    std::vector<std::string> unread;
    for (std::size_t i = 0; i < cells.size(); ++i)
        if (!cells[i].empty() &&
            std::none_of(read.begin(), read.end(), [&](Column column) { return header[column] == i; }))
            unread.push_back(cells[i]);
    return unread;
}

} // namespace

std::optional<Header> headerKind(const std::vector<std::string>& cells)
{
    if (cells.size() < 2)
        return std::nullopt;
    std::vector<std::string> keys;
    for (const std::string& cell : cells)
        keys.push_back(keyOf(cell));

    Header guide = find(keys, kMidiGuideSpellings);
    guide.at[static_cast<std::size_t>(Column::Name)] = cellOf(keys, "parametername");
    if (guide.has(Column::Name) && (guide.has(Column::CcMsb) || guide.has(Column::NrpnMsb))) {
        guide.kind = TableKind::MidiGuide;
        return guide;
    }
    guide.at[static_cast<std::size_t>(Column::Name)] = cellOf(keys, "soundname");
    guide.at[static_cast<std::size_t>(Column::Note)] = cellOf(keys, "notenumberdefaultvalue");
    if (guide.has(Column::Name) && guide.has(Column::Note)) {
        guide.kind = TableKind::MidiTrigger;
        return guide;
    }

    Header header = find(keys, kSpellings);
    if (!header.has(Column::Name))
        return std::nullopt;
    if (header.has(Column::Type) && header.has(Column::Number)) {
        header.kind = TableKind::Controls;
        header.unread = unreadOf(cells, header, {Column::Device, Column::Type, Column::Number, Column::Name});
    } else if (header.has(Column::Program)) {
        header.kind = TableKind::Voices;
        header.unread = unreadOf(cells, header,
                                 {Column::Device, Column::Bank, Column::BankName, Column::Msb, Column::Lsb,
                                  Column::Program, Column::Name});
    } else if (header.has(Column::Note)) {
        header.kind = TableKind::Notes;
        header.unread = unreadOf(cells, header, {Column::Device, Column::List, Column::Note, Column::Name});
    } else {
        return std::nullopt;
    }
    return header;
}

} // namespace quorvix::csv
