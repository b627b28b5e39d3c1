#pragma once

// Text encodings of the files Quorvix reads and writes: .ins files, Cubase scripts and REAPER files are
// Windows-1252 unless they are valid UTF-8; MIDNAM is UTF-8.

#include <cstddef>
#include <string>
#include <string_view>

namespace quorvix {

/// How the names of a file are encoded.
enum class TextEncoding : unsigned char
{
    Utf8,
    Windows1252,
};

/// True when the bytes are well-formed UTF-8 (no overlong forms, surrogates or values above U+10FFFF).
bool isValidUtf8(std::string_view bytes);

/// The encoding of a text file's bytes: UTF-8 when they are valid UTF-8, else Windows-1252.
TextEncoding guessEncoding(std::string_view bytes);

/// Length of the UTF-8 sequence that starts at `i`, or 1 when the bytes there are not valid UTF-8.
std::size_t utf8SequenceLength(std::string_view text, std::size_t i);

/// Windows-1252 bytes as UTF-8. The five bytes the code page leaves undefined become the C1 controls of the
/// same value.
std::string windows1252ToUtf8(std::string_view bytes);
/// Same, appended to `out`.
void appendWindows1252AsUtf8(std::string& out, std::string_view bytes);

/// UTF-8 as Windows-1252; a character the code page cannot hold (and an invalid byte) becomes `replacement`.
/// `lost` (when given) counts them.
std::string utf8ToWindows1252(std::string_view utf8, char replacement = '?', std::size_t* lost = nullptr);

/// Text in `from` as UTF-8 (a copy when it already is).
std::string toUtf8(std::string_view bytes, TextEncoding from);

} // namespace quorvix
