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

/// The byte-order mark a UTF-8 file may start with.
inline constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

/// True when the text starts with a UTF-8 byte-order mark.
inline bool startsWithByteOrderMark(std::string_view text)
{
    return text.substr(0, kUtf8ByteOrderMark.size()) == kUtf8ByteOrderMark;
}

/// The text without the UTF-8 byte-order mark it may start with.
inline std::string_view withoutByteOrderMark(std::string_view text)
{
    return startsWithByteOrderMark(text) ? text.substr(kUtf8ByteOrderMark.size()) : text;
}

/// True when the bytes are well-formed UTF-8 (no overlong forms, surrogates or values above U+10FFFF).
bool isValidUtf8(std::string_view bytes);

/// The encoding of a text file's bytes: UTF-8 when they are valid UTF-8, else Windows-1252.
TextEncoding guessEncoding(std::string_view bytes);

/// Length of the UTF-8 sequence that starts at `i`, or 1 when the bytes there are not valid UTF-8.
std::size_t utf8SequenceLength(std::string_view text, std::size_t i);

/// The character that starts at `i` of UTF-8 text, with the bytes it takes in `length`; U+FFFD (one byte)
/// where the bytes there are not valid UTF-8.
char32_t utf8CharacterAt(std::string_view text, std::size_t i, std::size_t& length);

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

/// The code units of text in UTF-16 or UTF-32.
enum class WideEncoding : unsigned char
{
    None, ///< not wide text: UTF-8, an 8-bit code page or binary data
    Utf16LE,
    Utf16BE,
    Utf32LE,
    Utf32BE,
};

/// The wide encoding of text from its first bytes: a byte-order mark, or else a first character that is
/// ASCII (not NUL) in the zero bytes of one of the four encodings. None for anything else.
WideEncoding wideEncodingOf(std::string_view bytes);

/// Wide text as UTF-8, without its byte-order mark. With `partial` the bytes may end inside a character
/// (the first bytes of a file): what is cut off is left out. False at an unpaired surrogate, a value above
/// U+10FFFF, a NUL character or (without `partial`) a cut-off last character; `out` then holds the text
/// before it.
bool wideToUtf8(std::string_view bytes, WideEncoding encoding, std::string& out, bool partial = false);

} // namespace quorvix
