// Bytes in, Cubase script out. Input that starts with the byte 1 is a voice list made straight from the
// bytes (any bank and program, names up to the full 64-byte field without a terminator); anything else is
// read as an .ins file whose definitions are converted one by one. Every script must be complete and well
// formed.

#include "FuzzCheck.h"
#include "formats/cubase/CubaseScriptWriter.h"
#include "formats/ins/InsReader.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

class Bytes
{
public:
    Bytes(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
    bool empty() const { return m_at >= m_size; }
    std::uint8_t byte() { return m_at < m_size ? m_data[m_at++] : 0; }
    std::int32_t int32()
    {
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i)
            value = (value << 8) | byte();
        return static_cast<std::int32_t>(value);
    }
    std::string_view take(std::size_t count)
    {
        count = std::min(count, m_size - std::min(m_at, m_size));
        std::string_view text(reinterpret_cast<const char*>(m_data) + m_at, count);
        m_at += count;
        return text;
    }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_at = 0;
};

using quorvix::fuzz::check;

void convertAndCheck(std::vector<ZT_cwbankvoice>& voices, std::string_view instrument)
{
    std::vector<std::uint8_t> taken(voices.size(), 0);
    std::int32_t cursor = 0;
    quorvix::TextLines lines;
    const auto count = static_cast<std::int32_t>(voices.size());
    const auto leftOut = quorvix::ConvertToCubaseScript(voices.data(), count, taken.data(), cursor,
                                                        instrument, {"01/02/03", "04:05:06"}, lines);
    check(lines.GetSize() >= 15 && lines[lines.GetSize() - 1] == "[end]" && cursor == 0);
    std::size_t entries = 0;
    for (const std::string& line : lines) {
        check(line.find_first_of("\r\n") == std::string::npos);
        if (line.size() > 2 && line[0] == '[' && line[1] == 'p' && line[2] != 'a') {
            ++entries;
            for (const char c : line)
                check(quorvix::IsScriptCharacter(static_cast<unsigned char>(c)));
        }
    }
    check(entries + leftOut.size() == voices.size());
    for (const std::int32_t i : leftOut) {
        check(i >= 0 && i < count && taken[static_cast<std::size_t>(i)] == 0);
        const auto& voice = voices[static_cast<std::size_t>(i)];
        check(voice.bank < 0 || voice.bank > 16383 || voice.program < 0 || voice.program > 127);
    }
}

void fromRecords(Bytes& bytes)
{
    const std::string instrument(bytes.take(bytes.byte() % 100));
    std::vector<ZT_cwbankvoice> voices;
    while (!bytes.empty() && voices.size() < 4096) {
        ZT_cwbankvoice voice{};
        const std::uint8_t kind = bytes.byte();
        if (kind & 1) {
            voice.bank = bytes.int32();
            voice.program = bytes.int32();
        } else {
            const std::int32_t msb = bytes.byte(); // mostly real banks and programs
            voice.bank = msb * 128 + bytes.byte();
            voice.program = bytes.byte();
        }
        const std::string_view name = bytes.take(kind >> 1 & 0x7F);
        std::memcpy(voice.name, name.data(), std::min(name.size(), sizeof voice.name));
        voices.push_back(voice);
    }
    convertAndCheck(voices, instrument);
}

void fromInsFile(Bytes& bytes)
{
    quorvix::InsFile file;
    if (!file.parse(std::string(bytes.take(SIZE_MAX))))
        return;
    for (std::size_t d = 0; d < file.definitionCount() && d < 16; ++d) {
        std::vector<ZT_cwbankvoice> voices;
        for (const auto& voice : file.voices(d)) {
            ZT_cwbankvoice record{};
            record.bank = voice.bank;
            record.program = voice.program;
            quorvix::copyNameField(record.name, sizeof record.name, voice.name);
            voices.push_back(record);
        }
        convertAndCheck(voices, file.definitionName(d));
        (void)quorvix::DefaultScriptFileName(file.definitionName(d));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Bytes bytes(data, size);
    if (size > 0 && data[0] == 1) {
        bytes.byte();
        fromRecords(bytes);
    } else {
        fromInsFile(bytes);
    }
    return 0;
}
