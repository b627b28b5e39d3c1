#include "formats/Formats.h"

#include "base/Gzip.h"
#include "base/InputFile.h"

namespace quorvix {

namespace {

/// What compressed bytes hold, for the formats that do not unpack them themselves; empty when they cannot be
/// unpacked.
Unpacked unpackedForReaders(std::string_view bytes)
{
    return gunzip(bytes, kMaxInputSize, kMaxInputSizeText);
}

} // namespace

FileFormat detectFormat(std::string_view bytes)
{
    const std::span<const FormatRow> rows = formatTable();
    if (isGzip(bytes)) {
        for (const FormatRow& row : rows)
            if (row.readsCompressed && row.recognise(bytes))
                return row.format;
        const Unpacked content = unpackedForReaders(bytes);
        return content.ok() && !isGzip(content.bytes) ? detectFormat(content.bytes) : FileFormat::Unknown;
    }
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

std::string unknownFormatReason(std::string_view bytes)
{
    if (bytes.find_first_not_of(" \t\r\n") == std::string_view::npos)
        return "is empty";
    return "is none of the files Quorvix reads: " + listedFormats(&FormatRow::listed);
}

Unpacked asReaderTakes(FileFormat format, std::string bytes)
{
    const FormatRow* row = formatRow(format);
    if (!isGzip(bytes) || (row != nullptr && row->readsCompressed))
        return Unpacked{std::move(bytes), {}};
    return unpackedForReaders(bytes);
}

ReadResult readInstruments(std::string bytes, FileFormat format, std::string_view fileStem)
{
    ReadResult result;
    if (const FormatRow* row = formatRow(format); row != nullptr && row->read != nullptr) {
        Unpacked content = asReaderTakes(format, std::move(bytes));
        if (content.ok())
            return row->read(std::move(content.bytes), fileStem);
        result.fail({}, content.error);
        return result;
    }
    result.fail({}, unknownFormatReason(bytes));
    return result;
}

} // namespace quorvix
