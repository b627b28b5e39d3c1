#include "formats/ins/InsReader.h"

#include "base/Encoding.h"
#include "base/InputFile.h"
#include "base/LineCursor.h"
#include "formats/ins/InsParse.h"

#include <algorithm>
#include <limits>

namespace quorvix {

namespace {

constexpr std::string_view kInsKind = "instrument definition file";

} // namespace

namespace ins {

std::string builtinNameText()
{
    std::string text = "0..1271..128";
    for (int i = 0; i <= 128; ++i)
        text += std::to_string(i);
    return text;
}

} // namespace ins

bool looksLikeIns(std::string_view text)
{
    LineCursor lines(withoutByteOrderMark(text));
    std::string_view line;
    while (lines.next(line)) {
        if (const auto semicolon = line.find(';'); semicolon != std::string_view::npos)
            line = line.substr(0, semicolon);
        line = trimBlanks(line);
        if (!line.empty() && line.front() == '.' &&
            std::find(ins::kSectionLines.begin(), ins::kSectionLines.end(), line) != ins::kSectionLines.end())
            return true;
    }
    return false;
}

ReadResult readIns(std::string bytes)
{
    ReadResult result;
    if (const std::string why = whyNotText(bytes, kInsKind); !why.empty()) {
        result.fail({}, why);
        return result;
    }
    // Offsets are 32-bit, and the set keeps a few names of its own after the file's bytes.
    if (bytes.size() > std::numeric_limits<std::uint32_t>::max() / 2) {
        result.fail({}, "is too large for an instrument definition file");
        return result;
    }
    const TextEncoding encoding = guessEncoding(bytes);
    result.set = InstrumentSet(std::move(bytes), encoding);
    const TextRef builtin = result.set.keep(ins::builtinNameText());
    const std::string_view text = result.set.source();

    ins::RawFile raw;
    ins::parseInsLines(text, raw, result.warnings);
    if (!raw.sawSection) {
        result.warnings = Diagnostics();
        result.set = InstrumentSet();
        result.fail({},
                    "has none of the section lines (.Patch Names, .Note Names, .Controller Names, "
                    ".RPN Names, .NRPN Names, .Instrument Definitions), so it is no instrument definition "
                    "file");
        return result;
    }
    ins::buildInsModel(raw, result.set.text(builtin), result.set, result.warnings);
    result.warnings.sortByLine();
    result.warnings.finish();
    return result;
}

bool InsFile::parse(std::string bytes)
{
    ReadResult result = readIns(std::move(bytes));
    m_warnings.clear();
    m_error.clear();
    if (!result.ok()) {
        m_set = InstrumentSet();
        m_error = result.error->message;
        return false;
    }
    m_set = std::move(result.set);
    for (const Diagnostic& warning : result.warnings.list())
        m_warnings.push_back(InsWarning{warning.at.line, warning.message});
    return true;
}

bool InsFile::load(const std::string& path)
{
    InputFile input = readInputFile(path, kInsKind);
    if (!input.ok()) {
        m_set = InstrumentSet();
        m_warnings.clear();
        m_error = input.error;
        return false;
    }
    return parse(std::move(input.bytes));
}

std::string_view InsFile::definitionName(std::size_t index) const
{
    if (index >= definitionCount())
        return {};
    return m_set.text(m_set.instruments[index].name);
}

std::vector<Voice> InsFile::voices(std::size_t index) const
{
    std::vector<Voice> result;
    if (index >= definitionCount())
        return result;
    const Instrument& instrument = m_set.instruments[index];
    result.reserve(m_set.voiceCount(instrument));
    m_set.forEachVoice(instrument, [&](const Voice& voice) { result.push_back(voice); });
    return result;
}

} // namespace quorvix
