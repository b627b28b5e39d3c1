// A whole Cubase -> Cakewalk conversion from bytes: the bytes are read as a script, and the instrument
// definition produced must load again in our own .ins reader as exactly one instrument of the given name,
// whose every voice lies in a bank the script filed. Written straight into a sink, as quorvix-convert writes
// it, the text and the warnings must be those of the list of lines.

#include "FuzzCheck.h"
#include "formats/cubase/CakewalkDefinitionWriter.h"
#include "formats/ins/InsReader.h"

#include <cstdint>
#include <set>
#include <string>

namespace {

using quorvix::fuzz::check;

/// The number a bank text stands for when it is small enough to be a bank at all; -1 otherwise. Leading
/// zeros count for nothing: the reader takes "0130" as bank 130.
long bankNumber(const std::string& text)
{
    const auto first = text.find_first_not_of('0');
    const std::string digits = first == std::string::npos ? "0" : text.substr(first);
    if (digits.size() > 6 || digits.find_first_not_of("0123456789") != std::string::npos)
        return -1;
    return std::stol(digits);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string script(reinterpret_cast<const char*>(data), size);
    const auto conversion =
        quorvix::ConvertToCakewalkDefinition(script, "Fuzz Synth", {"01/02/03", "04:05:06"});
    if (conversion.status != quorvix::DefinitionConversion::Status::Ok) {
        check(conversion.lines.GetSize() == 0);
        return 0;
    }

    std::string text;
    std::set<long> banks;
    for (const std::string& line : conversion.lines) {
        check(line.find('\n') == std::string::npos);
        text += line;
        text += "\r\n";
        if (line.rfind("Patch[", 0) == 0)
            banks.insert(bankNumber(line.substr(6, line.find(']') - 6)));
    }

    // quorvix-convert writes the same text straight into its target, with the same warnings.
    quorvix::DefinitionConversion streamed;
    quorvix::ScriptConversion direct;
    check(direct.read(std::string_view(reinterpret_cast<const char*>(data), size), streamed));
    quorvix::StringSink sink;
    direct.write("Fuzz Synth", {"01/02/03", "04:05:06"}, sink, streamed);
    check(sink.text == text);
    check(streamed.entriesNotReadBack == conversion.entriesNotReadBack);
    check(streamed.warnings.list().size() == conversion.warnings.list().size());
    for (std::size_t i = 0; i < streamed.warnings.list().size(); ++i) {
        check(streamed.warnings.list()[i].at.line == conversion.warnings.list()[i].at.line);
        check(streamed.warnings.list()[i].message == conversion.warnings.list()[i].message);
    }

    quorvix::InsFile file;
    check(file.parse(text));
    check(file.definitionCount() == 1 && file.definitionName(0) == "Fuzz Synth");
    const auto voices = file.voices(0);
    check(voices.size() == file.voiceCount(0));
    for (const auto& voice : voices) {
        check(voice.program >= 0 && voice.program <= 127);
        check(banks.count(voice.bank) == 1);
    }
    return 0;
}
