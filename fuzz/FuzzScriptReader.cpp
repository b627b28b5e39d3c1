// Bytes in, instrument definition out: the bytes are read as a Cubase script. A conversion either fails with
// no lines or gives a complete definition whose every line is short and free of line breaks.

#include "FuzzCheck.h"
#include "formats/cubase/CakewalkDefinitionWriter.h"

#include <cstdint>
#include <string>

using quorvix::fuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);

    const std::string deviceName = quorvix::ScriptDeviceName(bytes);
    check(deviceName.size() <= quorvix::kMaxScriptLineLength);

    const auto conversion = quorvix::ConvertToCakewalkDefinition(bytes, "Fuzz", {"01/02/03", "04:05:06"});
    if (conversion.status != quorvix::DefinitionConversion::Status::Ok) {
        check(conversion.lines.GetSize() == 0 && !conversion.detail.empty());
        return 0;
    }
    const auto& lines = conversion.lines;
    check(lines.GetSize() >= 20 && lines[10] == ".Patch Names" && !lines[lines.GetSize() - 1].empty());
    for (const std::string& line : lines) {
        // A patch line is at most a whole script line plus "=".
        check(line.size() <= 2 * quorvix::kMaxScriptLineLength + 16 && line.find('\n') == std::string::npos);
    }
    return 0;
}
