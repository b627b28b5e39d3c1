#pragma once

// Names made unique with " (2)", " (3)", …, as lists, definitions and files are named when a source gives
// one name twice.

#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace quorvix {

class UniqueNames
{
public:
    /// Whether two names that differ only in the case of ASCII letters are the same name.
    enum class LetterCase : unsigned char
    {
        Counts,
        Ignored, ///< as many file systems take file names
    };

    explicit UniqueNames(LetterCase letterCase = LetterCase::Counts) : m_letterCase(letterCase) {}

    /// `name` when it was not given before, else the first of "name (2)", "name (3)", … not given before.
    /// Keeps the next number to try per name, so that giving n names takes time linear in n.
    std::string make(const std::string& name);
    /// The same for a file: fittedFileName(stem, "", extension) when not given before, else the first of
    /// fittedFileName(stem, " (2)", extension), … not given before (a name cut to fit can meet another).
    std::string makeFileName(std::string_view stem, std::string_view extension);
    /// Takes a name as given without changing it (a name that must stay as it is).
    void take(const std::string& name) { m_taken.insert(key(name)); }

private:
    template <class Numbered>
    std::string pick(const std::string& name, const std::string& base, Numbered numbered);
    std::string key(const std::string& name) const;

    LetterCase m_letterCase;
    std::unordered_set<std::string> m_taken;
    std::unordered_map<std::string, unsigned long> m_next;
};

/// File names for one file per name: each stem with `extension` (with its dot), " (2)", " (3)", ... for
/// names repeated (letter case ignored), each within the length a file name may have (fittedFileName).
std::vector<std::string> uniqueFileNames(const std::vector<std::string>& stems, std::string_view extension);

} // namespace quorvix
