#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace quorvix::gui {

/// Text of the core (bytes) for display: UTF-8 when the bytes are valid UTF-8, else Windows-1252.
QString displayText(std::string_view bytes);

/// Windows-1252 bytes as text. The five bytes the code page leaves undefined become the control characters
/// of the same value, so every byte survives a round trip.
QString fromWindows1252(std::string_view bytes);

/// Text as Windows-1252 bytes; a character the code page cannot hold becomes "?".
std::string toWindows1252(const QString& text);

/// A path of the file system as the core keeps it: UTF-8 on Windows, the file system's bytes elsewhere.
std::string pathBytes(const QString& path);

/// A path the core holds, back in the form Qt's file classes take.
QString pathText(std::string_view bytes);

} // namespace quorvix::gui
