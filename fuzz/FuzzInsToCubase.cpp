// A whole Cakewalk -> Cubase conversion from bytes, along the calls the window and quorvix-convert make: the
// bytes become a file, ZT_CWInsLoad reads it, and every definition (the first 16) is chosen, its voice list
// fetched and converted to a script. Each script must be complete, and our own script reader must read it
// back: no line too long, and every bank written comes back as a bank of the definition. Made from the
// instrument without the voice records, as quorvix-convert makes it, the script must be the same.

#include "FuzzCheck.h"
#include "base/TextLines.h"
#include "formats/cubase/CakewalkDefinitionWriter.h"
#include "formats/cubase/CubaseScriptWriter.h"
#include "legacy/ZT_midifile.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

using quorvix::fuzz::check;

struct LibraryFree
{
    void operator()(MIDIFile* file) const { ZT_Free(file); }
};

struct ArrayDelete
{
    void operator()(void* array) const { ZT_Delete(array); }
};

/// The file the bytes are written to: one per process, so that parallel fuzzing jobs never share one.
const std::filesystem::path& inputPath()
{
    static const std::filesystem::path path = [] {
        std::random_device random;
        return std::filesystem::temp_directory_path() /
               ("quorvix-fuzz-ins-" + std::to_string(random()) + "-" + std::to_string(random()) + ".ins");
    }();
    return path;
}

void convertOne(MIDIFile* library, int index, const std::string& name)
{
    check(ZT_CWInsSetDef(library, index) == 0);
    ZT_cwbankvoice* voices = nullptr;
    long count = -1;
    char noText[1] = {};
    check(ZT_CWInsGetBankVoiceList(library, noText, &voices, &count) == 0);
    std::unique_ptr<ZT_cwbankvoice, ArrayDelete> owned(voices);
    check(count >= 0 && voices != nullptr);

    const auto voiceCount = static_cast<std::int32_t>(count);
    std::vector<std::uint8_t> taken(static_cast<std::size_t>(voiceCount), 0);
    std::int32_t cursor = 0;
    quorvix::TextLines lines;
    const auto leftOut = quorvix::ConvertToCubaseScript(voices, voiceCount, taken.data(), cursor, name,
                                                        {"01/02/03", "04:05:06"}, lines);
    check(lines.GetSize() >= 15 && lines[lines.GetSize() - 1] == "[end]");
    std::set<std::int32_t> writtenBanks;
    std::size_t written = 0;
    for (std::int32_t i = 0; i < voiceCount; ++i) {
        if (taken[static_cast<std::size_t>(i)] != 0) {
            writtenBanks.insert(voices[i].bank);
            ++written;
        }
    }
    check(written + leftOut.size() == static_cast<std::size_t>(voiceCount));

    // quorvix-convert makes the same script from the instrument without the records.
    const quorvix::InsFile* file = quorvix::insFileOf(library);
    check(file != nullptr);
    const quorvix::Instrument& instrument = file->set().instruments[static_cast<std::size_t>(index)];
    std::string storage;
    const auto scriptVoices = quorvix::ScriptVoices(file->set(), instrument, false, storage);
    quorvix::StringSink sink;
    check(quorvix::WriteCubaseScript(scriptVoices, name, {"01/02/03", "04:05:06"}, sink) == leftOut);

    // Read the script back the way "Convert to Cakewalk Instrumentdefinition" does.
    std::string text;
    for (const std::string& line : lines) {
        text += line;
        text += "\r\n";
    }
    check(sink.text == text);
    const auto back = quorvix::ConvertToCakewalkDefinition(text, "Fuzz", {"01/02/03", "04:05:06"});
    using Status = quorvix::DefinitionConversion::Status;
    check(back.status == Status::Ok || (back.status == Status::TooManyBanks && writtenBanks.size() > 1000) ||
          (back.status == Status::NoEntries && written == 0));
    if (back.status != Status::Ok)
        return;
    std::set<std::string> readBanks;
    for (const std::string& line : back.lines)
        if (line.rfind("Patch[", 0) == 0)
            readBanks.insert(line.substr(6, line.find(']') - 6));
    check(readBanks.size() == writtenBanks.size());
    for (const std::int32_t bank : writtenBanks)
        check(readBanks.count(std::to_string(bank)) == 1);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    {
        std::ofstream out(inputPath(), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        check(static_cast<bool>(out));
    }
    std::unique_ptr<MIDIFile, LibraryFree> library(ZT_Init());
    check(library != nullptr);
    const bool loaded = ZT_CWInsLoad(library.get(), inputPath().string().c_str()) == 0;
    // The reader keeps what it needs; the file goes at once, so that no run leaves one behind.
    std::error_code ec;
    std::filesystem::remove(inputPath(), ec);
    if (!loaded)
        return 0;

    ZT_cwdef* defs = nullptr;
    int count = 0;
    const bool listed = ZT_CWInsGetDefs(library.get(), &defs, &count) == 0;
    std::unique_ptr<ZT_cwdef, ArrayDelete> owned(defs);
    if (!listed) {
        check(defs == nullptr && count == 0);
        return 0;
    }
    check(count > 0 && defs != nullptr);
    for (int i = 0; i < count && i < 16; ++i) {
        const char* name = defs[i].name;
        check(std::memchr(name, '\0', sizeof defs[i].name) != nullptr);
        convertOne(library.get(), i, name);
    }
    check(ZT_CWInsSetDef(library.get(), count) != 0);
    return 0;
}
