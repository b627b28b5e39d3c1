#include "formats/FormatTable.h"

#include "base/FileNames.h"
#include "base/Text.h"

#include <algorithm>
#include <cctype>

namespace quorvix {

// Each format's row, made in its own folder.
FormatRow insFormat();
FormatRow cubaseScriptFormat();
FormatRow midnamFormat();
FormatRow reabankFormat();
FormatRow rosegardenFormat();
FormatRow museFormat();
FormatRow csvFormat();
FormatRow hapaxFormat();

std::span<const FormatRow> formatTable()
{
    static const std::vector<FormatRow> rows{insFormat(),     cubaseScriptFormat(), midnamFormat(),
                                             reabankFormat(), rosegardenFormat(),   museFormat(),
                                             csvFormat(),     hapaxFormat()};
    return rows;
}

std::string instrumentNameStem(const InstrumentSet& set, std::size_t instrument)
{
    return set.utf8(set.instruments[instrument].name);
}

std::size_t ownFile(const InstrumentSet&, std::size_t index)
{
    return index;
}

std::size_t onePart(const InstrumentSet&, std::size_t)
{
    return 1;
}

std::string partFileStem(std::string_view stem, std::size_t part, std::size_t parts)
{
    if (parts <= 1)
        return std::string(stem);
    const std::string count = std::to_string(parts);
    std::string number = std::to_string(part + 1);
    number.insert(0, count.size() - std::min(count.size(), number.size()), '0');
    // The number must survive the cutting of a long name to a file name's length (with " (2)" and the
    // extension beside it).
    constexpr std::size_t kRoom = 32;
    return std::string(cutAtCharacter(stem, kFileNameLimit - kRoom)) + " " + number;
}

const FormatRow* formatRow(FileFormat format)
{
    for (const FormatRow& row : formatTable())
        if (row.format == format)
            return &row;
    return nullptr;
}

const FormatRow* formatOfProgram(std::string_view program)
{
    for (const FormatRow& row : formatTable())
        if (!row.program.empty() && row.program == program)
            return &row;
    return nullptr;
}

const FormatRow* formatOfExtension(std::string_view path)
{
    const auto slash = path.find_last_of("/\\");
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const auto dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0) // ".ins" alone is a hidden file's name, not an extension
        return nullptr;
    std::string extension(name.substr(dot));
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
    for (const FormatRow& row : formatTable())
        if (std::find(row.extensions.begin(), row.extensions.end(), extension) != row.extensions.end())
            return &row;
    return nullptr;
}

namespace {

/// True when the instrument holds something the format carries: patches (of a program a program change
/// sends: a reader may keep higher ones, to be named), or its note or controller names.
bool holdsNames(const FormatRow& row, const InstrumentSet& set, const Instrument& instrument)
{
    bool sendable = false;
    set.forEachVoice(instrument, [&](const Voice& voice) { sendable = sendable || voice.program <= 127; });
    if (sendable)
        return true;
    const Device* device =
        instrument.device >= 0 && static_cast<std::size_t>(instrument.device) < set.devices.size()
            ? &set.devices[static_cast<std::size_t>(instrument.device)]
            : nullptr;
    const bool notes =
        instrument.noteList != kNoList || (device != nullptr && !device->spareNoteLists.empty());
    const bool controls = instrument.controllers != kNoList || instrument.rpns != kNoList ||
                          instrument.nrpns != kNoList ||
                          (device != nullptr && !device->spareControlLists.empty());
    return (row.carries.drumNotes && notes) || (row.carries.controllers && controls);
}

} // namespace

void warnWhenEmpty(const FormatRow& row, const InstrumentSet& set, std::size_t index, Diagnostics& warnings)
{
    // The instruments of one file stand next to each other, from the one whose file it is.
    for (std::size_t i = index; i < set.instruments.size() && row.writer.fileOf(set, i) == index; ++i)
        if (holdsNames(row, set, set.instruments[i]))
            return;
    warnings.warn(0, inQuotes(set.text(set.instruments[index].name)) + " holds no patches: the " +
                         std::string(row.name) + " written for it names none");
}

std::string listedFormats(std::string_view FormatRow::*field, std::string_view last)
{
    std::vector<std::string_view> names;
    for (const FormatRow& row : formatTable())
        if (!(row.*field).empty())
            names.push_back(row.*field);
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0)
            text += i + 1 == names.size() ? last : std::string_view(", ");
        text += names[i];
    }
    return text;
}

} // namespace quorvix
