#pragma once

// Paths travel through the core as UTF-8 text; std::filesystem wants its own type. These convert without
// depending on the system's narrow code page (Windows).

#include <filesystem>
#include <string>

namespace quorvix {

/// The path named by UTF-8 text.
inline std::filesystem::path pathFromText(const std::string& text)
{
#if defined(_WIN32)
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
#else
    return std::filesystem::path(text);
#endif
}

/// The path as UTF-8 text.
inline std::string textFromPath(const std::filesystem::path& path)
{
#if defined(_WIN32)
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
#else
    return path.string();
#endif
}

} // namespace quorvix
