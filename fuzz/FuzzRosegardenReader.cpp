// Arbitrary bytes (gzip-compressed or not) through the Rosegarden reader: it either fails with a message or
// gives instruments whose lists are all within the set.

#include "FuzzCheck.h"
#include "formats/rosegarden/RosegardenReader.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    quorvix::fuzz::checkRead(
        quorvix::readRosegarden(std::string(reinterpret_cast<const char*>(data), size), "Fuzz"));
    return 0;
}
