#include "base/UniqueNames.h"

#include "base/FileNames.h"

#include <algorithm>

namespace quorvix {

template <class Numbered>
std::string UniqueNames::pick(const std::string& name, const std::string& base, Numbered numbered)
{
    if (m_taken.insert(key(name)).second)
        return name;
    unsigned long& next = m_next.try_emplace(key(base), 2).first->second;
    std::string candidate;
    do
        candidate = numbered(" (" + std::to_string(next++) + ")");
    while (!m_taken.insert(key(candidate)).second);
    return candidate;
}

std::string UniqueNames::key(const std::string& name) const
{
    if (m_letterCase == LetterCase::Counts)
        return name;
    std::string folded = name;
    std::transform(folded.begin(), folded.end(), folded.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return folded;
}

std::string UniqueNames::make(const std::string& name)
{
    return pick(name, name, [&](const std::string& suffix) { return name + suffix; });
}

std::string UniqueNames::makeFileName(std::string_view stem, std::string_view extension)
{
    return pick(fittedFileName(stem, {}, extension), std::string(stem),
                [&](const std::string& suffix) { return fittedFileName(stem, suffix, extension); });
}

std::vector<std::string> uniqueFileNames(const std::vector<std::string>& stems, std::string_view extension)
{
    UniqueNames names(UniqueNames::LetterCase::Ignored);
    std::vector<std::string> files;
    files.reserve(stems.size());
    for (const std::string& stem : stems)
        files.push_back(names.makeFileName(stem, extension));
    return files;
}

} // namespace quorvix
