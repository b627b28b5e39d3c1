// Arbitrary bytes through the MusE reader, strict and in recovery: it either fails with a message or
// gives instruments whose lists are all within the set.

#include "FuzzCheck.h"
#include "formats/muse/MuseReader.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    quorvix::fuzz::checkRead(
        quorvix::readMuse(std::string(reinterpret_cast<const char*>(data), size), "Fuzz"));
    return 0;
}
