#include "formats/FormatTable.h"
#include "formats/rosegarden/RosegardenReader.h"

namespace quorvix {

FormatRow rosegardenFormat()
{
    FormatRow row;
    row.format = FileFormat::Rosegarden;
    row.name = "Rosegarden device file";
    row.listed = "a Rosegarden device file (.rgd)";
    row.helpName = "a Rosegarden device file";
    row.fileType = "Rosegarden Device Files";
    row.extensions = {".rgd"};
    row.encoding = FormatEncoding::Utf8;
    row.carries = {true, true, false, false, true};
    row.recognise = looksLikeRosegarden;
    row.read = readRosegarden;
    return row;
}

} // namespace quorvix
