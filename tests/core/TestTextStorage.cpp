// Where text lives: the set's source and kept names, UTF-8 checks over long text, and how the readers take
// text apart: lines, a byte-order mark and decimal numbers.

#include "base/Encoding.h"
#include "base/LineCursor.h"
#include "base/Text.h"
#include "model/Instrument.h"

#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

using namespace quorvix;

TEST(TextStorage, KeptNamesNeverMoveTheSourceAndEveryReferenceReadsBack)
{
    InstrumentSet set(std::string("[Bank 1]\r\n0=Piano\r\n"), TextEncoding::Windows1252);
    const std::string_view source = set.source();
    const TextRef piano = set.refer(source.substr(12, 5));
    const char* before = source.data();

    std::vector<TextRef> kept;
    for (int i = 0; i < 1000; ++i) // enough to grow the kept text many times
        kept.push_back(set.keep("name " + std::to_string(i)));
    EXPECT_EQ(set.source().data(), before) << "the source stays where it was";
    EXPECT_EQ(set.text(piano), "Piano");
    EXPECT_EQ(piano.offset, 12u);
    EXPECT_EQ(kept.front().offset, source.size()) << "kept names follow the source's offsets";
    for (int i = 0; i < 1000; i += 111)
        EXPECT_EQ(set.text(kept[static_cast<std::size_t>(i)]), "name " + std::to_string(i));

    // A part of a kept name is referred to by its place after the source.
    const std::string_view name = set.text(kept[500]);
    const TextRef part = set.refer(name.substr(5));
    EXPECT_EQ(part.offset, kept[500].offset + 5);
    EXPECT_EQ(set.text(part), "500");
    EXPECT_TRUE(set.refer({}).empty());
    EXPECT_EQ(set.text(TextRef{}), "");
}

TEST(TextStorage, Utf8IsCheckedWhereverTheFirstOtherByteFalls)
{
    // Long ASCII runs are checked eight bytes at a time: a sequence must be judged wherever it starts.
    struct Case
    {
        std::string sequence;
        bool valid;
    };
    const std::vector<Case> cases = {
        {"\xC3\xA9", true},  {"\xE2\x82\xAC", true}, {"\xF0\x9F\x8E\xB9", true},
        {"\xE9", false},     {"\xC3", false},        {"\xED\xA0\x80", false},
        {"\xC0\xAF", false}, {"\x80", false},        {"\xF4\x90\x80\x80", false},
    };
    for (const Case& c : cases) {
        for (std::size_t at = 0; at < 20; ++at) {
            for (const std::size_t after : {std::size_t{0}, std::size_t{1}, std::size_t{13}}) {
                const std::string text = std::string(at, 'a') + c.sequence + std::string(after, 'z');
                EXPECT_EQ(isValidUtf8(text), c.valid)
                    << "sequence at " << at << ", " << after << " bytes after";
            }
        }
    }
    EXPECT_TRUE(isValidUtf8(std::string(1000, 'x')));
    EXPECT_FALSE(isValidUtf8(std::string(1000, 'x') + "\xFF"));
    std::string appended = "kept ";
    appendWindows1252AsUtf8(appended, "\x80 \xE9");
    EXPECT_EQ(appended, "kept \xE2\x82\xAC \xC3\xA9");
}

TEST(TextStorage, LinesEndAtLfCrLfOrALoneCrAndAByteOrderMarkIsSkippedOnce)
{
    struct Case
    {
        std::string text;
        std::string lines; ///< the lines joined by "|"
    };
    const std::vector<Case> cases = {
        {"", ""},
        {"a", "a"},
        {"a\n", "a"},
        {"a\r\nb", "a|b"},
        {"a\rb\r\n\nc", "a|b||c"},
        {"a\r\r\nb\n\r", "a||b|"},
        {"\n\n", "|"},
        {"\xEF\xBB\xBF\xEF\xBB\xBFx\ny", "\xEF\xBB\xBFx|y"},
        {"\xEF\xBBx", "\xEF\xBBx"},
    };
    for (const Case& c : cases) {
        LineCursor lines(withoutByteOrderMark(c.text));
        std::string joined;
        std::string_view line;
        std::uint32_t count = 0;
        while (lines.next(line)) {
            joined += (count++ > 0 ? "|" : "") + std::string(line);
            EXPECT_EQ(lines.number(), count) << c.text;
        }
        EXPECT_EQ(joined, c.lines) << c.text;
    }
    const std::string text = "a\r\nb\rc\n";
    for (const auto& [offset, line] :
         std::vector<std::pair<std::size_t, std::uint32_t>>{{0, 1}, {1, 1}, {3, 2}, {5, 3}, {7, 4}})
        EXPECT_EQ(lineNumberAt(text, offset), line) << "offset " << offset;
}

TEST(TextStorage, DecimalNumbersTakeOnlyDigitsAndSaturateOrFailAboveTheirLimit)
{
    const std::string forty(40, '9');
    struct Case
    {
        std::string text;
        std::uint64_t highest;
        TooLarge tooLarge;
        std::optional<std::uint64_t> value;
    };
    const std::vector<Case> cases = {
        {"0", 127, TooLarge::Fails, 0},
        {"007", 127, TooLarge::Fails, 7},
        {"127", 127, TooLarge::Fails, 127},
        {"128", 127, TooLarge::Fails, std::nullopt},
        {"128", 127, TooLarge::Highest, 127},
        {forty, 1'000'000'000, TooLarge::Highest, 1'000'000'000},
        {forty, 253402300799, TooLarge::Fails, std::nullopt},
        {"253402300799", 253402300799, TooLarge::Fails, 253402300799},
        {"", 127, TooLarge::Highest, std::nullopt},
        {"+1", 127, TooLarge::Highest, std::nullopt},
        {" 1", 127, TooLarge::Highest, std::nullopt},
        {"1 ", 127, TooLarge::Highest, std::nullopt},
        {"1a", 127, TooLarge::Highest, std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(decimalDigits(c.text, c.highest, c.tooLarge), c.value) << '"' << c.text << '"';

    struct SignedCase
    {
        std::string text;
        std::optional<std::int64_t> value;
    };
    const std::vector<SignedCase> signedCases = {
        {"+5", 5},
        {"-5", -5},
        {"-0", 0},
        {"00012", 12},
        {"2147483647", 2147483647},
        {"-2147483648", -2147483648LL},
        {"2147483648", std::nullopt},
        {"-2147483649", std::nullopt},
        {forty, std::nullopt},
        {"+-5", std::nullopt},
        {"--5", std::nullopt},
        {"+", std::nullopt},
        {"-", std::nullopt},
        {"", std::nullopt},
        {"1e3", std::nullopt},
        {"0x10", std::nullopt},
    };
    for (const SignedCase& c : signedCases)
        EXPECT_EQ(signedDecimal(c.text, -2147483648LL, 2147483647), c.value) << '"' << c.text << '"';
}
