#include "model/VoiceRecord.h"

#include "base/Encoding.h"

#include <algorithm>
#include <cstring>

namespace quorvix {

void copyNameField(char* field, std::size_t fieldSize, std::string_view name)
{
    if (fieldSize == 0)
        return;
    std::size_t length = std::min(name.size(), fieldSize - 1);
    if (length < name.size() && isValidUtf8(name)) {
        while (length > 0 && (static_cast<unsigned char>(name[length]) & 0xC0) == 0x80)
            --length;
    }
    std::memset(field, 0, fieldSize);
    std::memcpy(field, name.data(), length);
}

} // namespace quorvix
