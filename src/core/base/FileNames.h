#pragma once

// File names made from names that a user or a device chose: visible, within the length every file system
// allows, and never a name that Windows keeps for a device (a folder written on one system is often copied
// to another).

#include <cstddef>
#include <string>
#include <string_view>

namespace quorvix {

/// The longest file name, in bytes, that the file systems written to allow.
inline constexpr std::size_t kFileNameLimit = 255;

/// The stem of a file whose name leaves nothing visible.
inline constexpr std::string_view kUnnamedFileStem = "Unnamed";

/// True when Windows takes the file name for a device whatever its extension: CON, PRN, AUX, NUL, COM0-9,
/// LPT0-9 (also with a superscript digit), CONIN$ and CONOUT$, in any letter case, up to the first dot and
/// with trailing blanks ignored ("aux.txt", "Con ").
bool isWindowsDeviceName(std::string_view fileName);

/// The file name unchanged, or with "_" after its device part when Windows takes it for a device
/// ("CON_", "aux_.txt").
std::string avoidingDeviceNames(std::string_view fileName);

/// The first bytes of `text`, at most `limit`, ending where a UTF-8 character ends.
std::string_view cutAtCharacter(std::string_view text, std::size_t limit);

/// A file stem made from `name`: its ASCII letters, digits, spaces and underscores and its other UTF-8
/// characters (every file system written to holds them; Windows through its wide API), but no control or
/// invisible formatting character, no byte that is not UTF-8, and none of the ASCII signs that file systems
/// forbid or treat apart (/ \ : * ? " < > | and the dot): it never names a hidden file or another folder.
/// `fallback` when no visible character is left. At most `limit` bytes, cut between characters; a device
/// name gets "_" as avoidingDeviceNames gives it.
std::string fileStemFrom(std::string_view name, std::string_view fallback,
                         std::size_t limit = kFileNameLimit);

/// stem + suffix + extension within kFileNameLimit bytes: the stem is cut between characters as far as
/// needed, and a name that Windows takes for a device gets "_" after the stem.
std::string fittedFileName(std::string_view stem, std::string_view suffix, std::string_view extension);

} // namespace quorvix
