// Where text lives: the set's source and kept names, and UTF-8 checks over long text.

#include "base/Encoding.h"
#include "model/Instrument.h"

#include <gtest/gtest.h>
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
