#include "app/ModelFiles.h"

#include "app/Messages.h"
#include "base/Encoding.h"
#include "base/OutputSink.h"
#include "base/Text.h"

#include <algorithm>
#include <numeric>
#include <vector>

namespace quorvix {

namespace {

/// Warnings shown in a message box at most; the rest are counted.
constexpr std::size_t kShownWarnings = 8;

std::string stemOf(std::string_view path)
{
    std::string name = fileNameOf(path);
    const auto dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0)
        name.resize(dot);
    return name;
}

/// The typed name in the set's encoding: the proposal is already in it, anything else was typed as
/// Windows-1252.
std::string inSetEncoding(const InstrumentSet& set, std::string_view typed, std::string_view proposed)
{
    if (typed == proposed || set.encoding == TextEncoding::Windows1252)
        return std::string(typed);
    return windows1252ToUtf8(typed);
}

} // namespace

bool throughModel(FileFormat format)
{
    return format != FileFormat::Unknown && format != FileFormat::Ins && format != FileFormat::CubaseScript;
}

namespace {

/// The formats of the table read (`writing` false) or written through the model, in the table's order.
std::vector<const FormatRow*> modelFormats(bool writing)
{
    std::vector<const FormatRow*> rows;
    for (const FormatRow& row : formatTable())
        if (throughModel(row.format) && (writing ? row.writer.write != nullptr : row.read != nullptr))
            rows.push_back(&row);
    return rows;
}

std::string filterOf(const std::vector<const FormatRow*>& rows)
{
    std::string filter;
    for (const FormatRow* row : rows) {
        std::string patterns;
        for (const std::string_view extension : row->extensions)
            patterns += (patterns.empty() ? "*" : ";*") + std::string(extension);
        filter += std::string(row->fileType) + " (" + patterns + ")|" + patterns + "|";
    }
    return filter + "|";
}

} // namespace

std::string scriptOpenFilter()
{
    return messages::kScriptOpenFilterStart + filterOf(modelFormats(false));
}

std::string scriptSaveFilter()
{
    return messages::kScriptSaveFilterStart + filterOf(modelFormats(true));
}

const FormatRow* scriptSaveFormat(std::string_view path, std::size_t fileType)
{
    const std::vector<const FormatRow*> rows = modelFormats(true);
    const FormatRow* selected = fileType >= 1 && fileType <= rows.size() ? rows[fileType - 1] : nullptr;
    const auto hasOneOf = [&](const FormatRow& row) {
        return std::any_of(row.extensions.begin(), row.extensions.end(), [&](std::string_view extension) {
            return hasExtension(path, extension.substr(1));
        });
    };
    // ".txt" is the script's own extension: another format of .txt files is saved only when it is chosen.
    if (hasExtension(path, "txt"))
        return selected != nullptr && hasOneOf(*selected) ? selected : nullptr;
    for (const FormatRow* row : rows)
        if (hasOneOf(*row))
            return row;
    return selected;
}

std::vector<std::string> instrumentFilePaths(const FormatRow& format, const std::string& path,
                                             const InstrumentSet& set, std::size_t instrument)
{
    const std::size_t parts = instrument < set.instruments.size() ? format.writer.parts(set, instrument) : 1;
    if (parts <= 1)
        return {path};
    const std::size_t nameStart = path.size() - fileNameOf(path).size();
    const auto dot = path.rfind('.');
    const std::size_t stemEnd = dot != std::string::npos && dot > nameStart ? dot : path.size();
    std::vector<std::string> paths;
    for (std::size_t part = 0; part < parts; ++part)
        paths.push_back(
            path.substr(0, nameStart) +
            partFileStem(std::string_view(path).substr(nameStart, stemEnd - nameStart), part, parts) +
            path.substr(stemEnd));
    return paths;
}

WriteResult writeInstrumentFile(const FormatRow& format, const std::string& path, const InstrumentSet& set,
                                std::size_t instrument, const std::string& sourceName, const TimeStamp& stamp,
                                Diagnostics& warnings)
{
    if (instrument >= set.instruments.size())
        return {false, "there is no instrument to write"};
    // The window's definitions come from .ins files, whose names keep their bytes.
    WriteSettings settings;
    settings.sourceName = sourceName;
    settings.stamp = stamp;
    WriteResult result{true, {}};
    const std::vector<std::string> paths = instrumentFilePaths(format, path, set, instrument);
    for (std::size_t part = 0; part < paths.size() && result.ok; ++part) {
        settings.part = part;
        result = writeAtomically(paths[part], [&](OutputSink& sink) {
            if (part == 0 && !format.writer.saysWhenEmpty)
                warnWhenEmpty(format, set, instrument, warnings);
            format.writer.write(set, instrument, settings, sink, warnings);
            return true;
        });
        if (!result.ok && paths.size() > 1)
            result.error = inQuotes(paths[part]) + ": " + result.error;
    }
    warnings.finish();
    return result;
}

InstrumentDocument readInstrumentDocument(std::string bytes, FileFormat format, std::string_view path)
{
    InstrumentDocument document;
    document.read = readInstruments(std::move(bytes), format, stemOf(path));
    const InstrumentSet& set = document.read.set;
    if (!document.read.ok() || set.instruments.empty())
        return document;
    const Instrument& first = set.instruments.front();
    const bool hasDevice = first.device >= 0 && static_cast<std::size_t>(first.device) < set.devices.size() &&
                           !set.devices[static_cast<std::size_t>(first.device)].model.empty();
    document.proposedName =
        set.text(hasDevice ? set.devices[static_cast<std::size_t>(first.device)].model : first.name);
    return document;
}

std::string documentFailure(const InstrumentDocument& document)
{
    if (document.read.ok())
        return document.read.set.instruments.empty() ? std::string(messages::kNoInstrumentInDocument)
                                                     : std::string();
    const Diagnostic& error = *document.read.error;
    std::string place;
    if (error.at.line > 0) {
        place = "line " + std::to_string(error.at.line);
        if (error.at.column > 0)
            place += ", column " + std::to_string(error.at.column);
        place += ": ";
    }
    return place + error.message;
}

TextLines definitionLinesOf(InstrumentDocument& document, std::string_view typedName,
                            const InsWriteOptions& options, Diagnostics& warnings)
{
    InstrumentSet& set = document.read.set;
    const std::string proposed = document.proposedName;
    const std::string name = inSetEncoding(set, typedName, proposed);
    if (set.instruments.size() == 1) {
        set.instruments.front().name = set.keep(name);
    } else if (!proposed.empty()) {
        for (Instrument& instrument : set.instruments) {
            const std::string own(set.text(instrument.name));
            if (own.starts_with(proposed))
                instrument.name = set.keep(name + own.substr(proposed.size()));
        }
    }

    for (const Diagnostic& warning : document.read.warnings.list())
        warnings.warn(warning.at, warning.message);
    std::vector<std::size_t> all(set.instruments.size());
    std::iota(all.begin(), all.end(), std::size_t{0});
    StringSink sink;
    writeIns(set, all, options, sink, warnings);
    warnings.finish();

    TextLines lines;
    std::string_view text = sink.text;
    while (!text.empty()) {
        const auto end = text.find("\r\n");
        lines.Add(std::string(text.substr(0, end)));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 2);
    }
    return lines;
}

std::string withWarnings(std::string message, std::string_view fileName, const Diagnostics& warnings)
{
    if (warnings.empty())
        return message;
    message += "\n";
    const auto& list = warnings.list();
    const std::size_t shown = std::min(list.size(), kShownWarnings);
    for (std::size_t i = 0; i < shown; ++i)
        message += "\n" + formatDiagnostic(fileName, list[i]);
    if (warnings.size() > shown) {
        const std::size_t more = warnings.size() - shown;
        message += "\n... and " + std::to_string(more) + (more == 1 ? " more warning" : " more warnings");
    }
    return message;
}

std::string withReason(std::string_view message, std::string_view path, std::string_view reason)
{
    std::string text(message);
    if (!reason.empty())
        text += "\n\n" + std::string(path) + ": " + std::string(reason);
    return text;
}

bool hasExtension(std::string_view path, std::string_view extension)
{
    const std::string name = fileNameOf(path);
    if (name.size() <= extension.size() + 1 || name[name.size() - extension.size() - 1] != '.')
        return false;
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    return std::equal(extension.begin(), extension.end(),
                      name.end() - static_cast<std::ptrdiff_t>(extension.size()),
                      [&](char wanted, char given) { return lower(wanted) == lower(given); });
}

std::string fileNameOf(std::string_view path)
{
    const auto slash = path.find_last_of("/\\");
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

} // namespace quorvix
