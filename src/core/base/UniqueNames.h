#pragma once

// Names made unique with " (2)", " (3)", …, as lists, definitions and files are named when a source gives
// one name twice.

#include <string>
#include <unordered_map>
#include <unordered_set>

namespace quorvix {

class UniqueNames
{
public:
    /// `name` when it was not given before, else the first of "name (2)", "name (3)", … not given before.
    /// Keeps the next number to try per name, so that giving n names takes time linear in n.
    std::string make(const std::string& name);
    /// Takes a name as given without changing it (a name that must stay as it is).
    void take(const std::string& name) { m_taken.insert(name); }

private:
    std::unordered_set<std::string> m_taken;
    std::unordered_map<std::string, unsigned long> m_next;
};

} // namespace quorvix
