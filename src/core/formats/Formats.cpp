#include "formats/Formats.h"

namespace quorvix {

FileFormat detectFormat(std::string_view bytes)
{
    const std::span<const FormatRow> rows = formatTable();
    for (const FormatRow& row : rows)
        if (row.looksPastHead && row.recognise(bytes))
            return row.format;
    const std::string_view head = bytes.substr(0, kDetectionBytes);
    for (const FormatRow& row : rows)
        if (!row.looksPastHead && row.recognise(head))
            return row.format;
    return FileFormat::Unknown;
}

bool detectionNeedsMore(std::string_view head)
{
    if (head.find_first_not_of(" \t\r\n") == std::string_view::npos)
        return false;
    for (const FormatRow& row : formatTable())
        if (row.needsMore != nullptr && row.needsMore(head))
            return true;
    return false;
}

std::string_view formatName(FileFormat format)
{
    const FormatRow* row = formatRow(format);
    return row != nullptr ? row->name : std::string_view("file of unknown format");
}

std::string unknownFormatReason(std::string_view bytes)
{
    if (bytes.find_first_not_of(" \t\r\n") == std::string_view::npos)
        return "is empty";
    return "is none of the files Quorvix reads: " + listedFormats(&FormatRow::listed);
}

ReadResult readInstruments(std::string bytes, FileFormat format, std::string_view fileStem)
{
    if (const FormatRow* row = formatRow(format); row != nullptr && row->read != nullptr)
        return row->read(std::move(bytes), fileStem);
    ReadResult result;
    result.fail({}, unknownFormatReason(bytes));
    return result;
}

} // namespace quorvix
