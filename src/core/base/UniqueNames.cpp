#include "base/UniqueNames.h"

namespace quorvix {

std::string UniqueNames::make(const std::string& name)
{
    if (m_taken.insert(name).second)
        return name;
    unsigned long& next = m_next.try_emplace(name, 2).first->second;
    std::string candidate;
    do
        candidate = name + " (" + std::to_string(next++) + ")";
    while (!m_taken.insert(candidate).second);
    return candidate;
}

} // namespace quorvix
