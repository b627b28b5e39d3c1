#pragma once

// Names as a Squarp Hapax takes them: its alphabet is ASCII letters, digits, the space and a few signs.

#include <string>
#include <string_view>

namespace quorvix::hapax {

/// `utf8` (UTF-8 text) in the characters the Hapax takes in a name: a Latin letter with an accent as its
/// letter (é as e, ä as ae, ß as ss, Ø as O), Windows-1252 punctuation as the ASCII sign it stands for
/// (’ as ', – as -, « as <<), tabs and line breaks as spaces, every other character it refuses left out
/// ("#", which would start a comment, too); runs of spaces made one, none at either end. Empty when nothing
/// is left.
std::string deviceName(std::string_view utf8);

} // namespace quorvix::hapax
