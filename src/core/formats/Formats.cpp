#include "formats/Formats.h"

#include "formats/cubase/ScriptReader.h"
#include "formats/ins/InsReader.h"
#include "formats/midnam/MidnamReader.h"
#include "formats/reaper/ReabankReader.h"

namespace quorvix {

FileFormat detectFormat(std::string_view bytes)
{
    // A MIDNAM prolog may be of any length; the other formats tell themselves by their first lines.
    if (looksLikeMidnam(bytes))
        return FileFormat::Midnam;
    const std::string_view head = bytes.substr(0, kDetectionBytes);
    if (looksLikeIns(head))
        return FileFormat::Ins;
    if (looksLikeCubaseScript(head))
        return FileFormat::CubaseScript;
    if (looksLikeReabank(head))
        return FileFormat::Reabank;
    return FileFormat::Unknown;
}

bool detectionNeedsMore(std::string_view head)
{
    return head.find_first_not_of(" \t\r\n") != std::string_view::npos && endsInXmlProlog(head);
}

std::string_view formatName(FileFormat format)
{
    switch (format) {
    case FileFormat::Ins:
        return "instrument definition file";
    case FileFormat::CubaseScript:
        return "Cubase patchname script";
    case FileFormat::Midnam:
        return "MIDNAM document";
    case FileFormat::Reabank:
        return "REAPER bank file";
    case FileFormat::Unknown:
        break;
    }
    return "file of unknown format";
}

std::string unknownFormatReason(std::string_view bytes)
{
    if (bytes.find_first_not_of(" \t\r\n") == std::string_view::npos)
        return "is empty";
    return "is none of the files Quorvix reads: an instrument definition file (.ins), a Cubase patchname "
           "script, a MIDNAM document or a REAPER bank file";
}

ReadResult readInstruments(std::string bytes, FileFormat format, std::string_view fileStem)
{
    switch (format) {
    case FileFormat::Ins:
        return readIns(std::move(bytes));
    case FileFormat::CubaseScript:
        return readCubaseScript(std::move(bytes), fileStem);
    case FileFormat::Reabank:
        return readReabank(std::move(bytes), fileStem);
    case FileFormat::Midnam:
        return readMidnam(std::move(bytes));
    default:
        break;
    }
    ReadResult result;
    result.fail({}, unknownFormatReason(bytes));
    return result;
}

} // namespace quorvix
