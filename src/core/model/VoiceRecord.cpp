#include "model/VoiceRecord.h"

#include "base/Encoding.h"

#include <algorithm>
#include <cstring>

namespace quorvix {

namespace {

/// The number of bytes of `name` a field of `fieldSize` (at least 1) bytes keeps.
std::size_t keptLength(std::string_view name, std::size_t fieldSize)
{
    std::size_t length = std::min(name.size(), fieldSize - 1);
    if (length < name.size() && isValidUtf8(name)) {
        while (length > 0 && (static_cast<unsigned char>(name[length]) & 0xC0) == 0x80)
            --length;
    }
    return length;
}

} // namespace

void copyNameField(char* field, std::size_t fieldSize, std::string_view name)
{
    if (fieldSize == 0)
        return;
    const std::size_t length = keptLength(name, fieldSize);
    std::memset(field, 0, fieldSize);
    std::memcpy(field, name.data(), length);
}

std::string_view nameInField(std::string_view name, std::size_t fieldSize)
{
    if (fieldSize == 0)
        return {};
    name = name.substr(0, keptLength(name, fieldSize));
    return name.substr(0, std::min(name.find('\0'), name.size()));
}

std::vector<ZT_cwbankvoice> voiceRecords(const InstrumentSet& set, const Instrument& instrument,
                                         bool toWindows1252)
{
    std::vector<ZT_cwbankvoice> records(set.voiceCount(instrument));
    const bool convert = toWindows1252 && set.encoding == TextEncoding::Utf8;
    std::size_t i = 0;
    set.forEachVoice(instrument, [&](const Voice& voice) {
        ZT_cwbankvoice& record = records[i++];
        std::memset(record.reserved, 0, sizeof record.reserved);
        record.bank = voice.bank;
        record.program = voice.program;
        if (convert)
            copyNameField(record.name, sizeof record.name, utf8ToWindows1252(voice.name));
        else
            copyNameField(record.name, sizeof record.name, voice.name);
    });
    return records;
}

} // namespace quorvix
