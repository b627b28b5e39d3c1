#include "CakewalkDefinitionWriter.h"

// Placeholder: the script reader is being built.

namespace quorvix {

DefinitionConversion ConvertToCakewalkDefinition(const std::string&, std::string_view, const TimeStamp&)
{
    DefinitionConversion result;
    result.status = DefinitionConversion::Status::CannotOpen;
    return result;
}

DefinitionConversion ConvertToCakewalkDefinition(std::istream&, std::string_view, const TimeStamp&)
{
    DefinitionConversion result;
    result.status = DefinitionConversion::Status::ReadError;
    return result;
}

std::string DefaultDefinitionFileName(std::string_view scriptPath) { return std::string(scriptPath) + ".ins"; }

} // namespace quorvix
