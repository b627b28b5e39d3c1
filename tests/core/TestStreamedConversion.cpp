// The conversions as the command line runs them, writing straight into a sink, against the same conversions
// into a list of lines as the window runs them: the bytes, the warnings and their lines must be the same.

#include "TestSupport.h"
#include "base/OutputSink.h"
#include "formats/cubase/CakewalkDefinitionWriter.h"
#include "formats/cubase/CubaseScriptWriter.h"

#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>

using namespace quorvix;
using namespace std::string_literals;

namespace {

const TimeStamp kStamp{"12/31/99", "23:59:58"};

std::string joinedCrLf(const TextLines& lines)
{
    std::string text;
    for (const std::string& line : lines)
        text += line + "\r\n";
    return text;
}

std::string describe(const Diagnostics& warnings)
{
    std::string text;
    for (const Diagnostic& warning : warnings.list())
        text += std::to_string(warning.at.line) + ": " + warning.message + "\n";
    return text;
}

/// The script converted through ScriptConversion into a sink.
DefinitionConversion streamed(std::string_view script, std::string& text)
{
    DefinitionConversion result;
    ScriptConversion conversion;
    if (conversion.read(script, result)) {
        StringSink sink;
        conversion.write("Synth ; One", kStamp, sink, result);
        text = sink.text;
    }
    return result;
}

/// A script whose every entry warns (its bank is above the highest), entry k named "N<k>" on a line that
/// `lineOf` records; comment lines between entries make line numbers differ from entry numbers.
std::string warningScript(int entries, std::map<std::string, std::uint32_t>& lineOf)
{
    std::string script;
    std::uint32_t line = 0;
    for (int k = 0; k < entries; ++k) {
        if (k % 7 == 0) {
            script += "[g2]\tGroup\r\n";
            ++line;
        }
        const std::string name = "N" + std::to_string(k);
        script += "[p2, " + std::to_string(k % 128) + ", 20000]\t" + name + "\r\n";
        lineOf[name] = ++line;
    }
    script.resize(script.size() - 2); // the last line lacks its line end
    return script;
}

} // namespace

TEST(StreamedConversion, DefinitionWrittenToASinkEqualsTheLinesTheWindowGets)
{
    struct Case
    {
        std::string what;
        std::string script;
    };
    std::map<std::string, std::uint32_t> lineOf;
    const std::vector<Case> cases = {
        {"names with \" ;\", repeated lines, one number twice",
         "[p2, 1, 5]\tA ;b\r\n[p2, 1, 5]\tA ;b\r\n[p2, 1, 5]\tA;b\r\n[p3, 2, 0, 5]\tX\r\n[p2, 1, 5]\tC\r\n"},
        {"program texts that are not formatted numbers",
         "[p2, 007, 1]\tLead\r\n[p2, , 1]\tNone\r\n[p2, 2147483648, 1]\tBig\r\n[p2, 0, 1]\tZero\r\n"
         "[p2, 1234567890, 1]\tTen\r\n[p2, 7, 1]\tSeven\r\n"},
        {"a last line without its line end keeps its CR", "[p2, 1, 1]\tA\r\n[p2, 2, 1]\tB\r"},
        {"LF line ends, a CR inside a name", "[p2, 1, 1]\tA\rB\n[p2, 2, 1]\tC\r\r\n"},
        {"a NUL ends a line's text", "[p2, 1, 1]\tAB\0CD\r\n[p2, 2, 1]\tE\r\n\0[p2, 3, 1]\tF\r\n"s},
        {"empty names, blanks after the bracket, no bracket",
         "[p2, 1, 1]\r\n[p2, 2, 1]   \r\n[p2, 3, 1\tno bracket\r\n[p2, 4, 1]\t\r\n"},
        {"bank texts: leading zeros, 40 digits, tab-indented entries",
         "[p2, 1, 05]\tA\r\n[p2, 1, 5]\tB\r\n[p2, 2, 0000000000000000000000000000000000000012]\tC\r\n"
         "\t[p2, 3, 5]\tTabbed\r\n  [p3, 4, 0, 12]\tD\r\n"},
        {"entries at the longest line, CR LF after it",
         "[p2, 1, 1]\t" + std::string(245, 'y') + "\r\n[p2, 2, 1]\t" + std::string(245, 'z') + "\r\n"},
        {"more warnings than are kept", warningScript(12000, lineOf)},
    };
    for (const Case& c : cases) {
        const DefinitionConversion listed = ConvertToCakewalkDefinition(c.script, "Synth ; One", kStamp);
        std::string text;
        const DefinitionConversion direct = streamed(c.script, text);
        ASSERT_EQ(listed.status, DefinitionConversion::Status::Ok) << c.what << ": " << listed.detail;
        ASSERT_EQ(direct.status, listed.status) << c.what;
        EXPECT_EQ(text, joinedCrLf(listed.lines)) << c.what;
        EXPECT_EQ(direct.lines.GetSize(), 0) << c.what;
        EXPECT_EQ(direct.entriesNotReadBack, listed.entriesNotReadBack) << c.what;
        EXPECT_EQ(describe(direct.warnings), describe(listed.warnings)) << c.what;
    }
}

TEST(StreamedConversion, WarningsNameTheLineOfTheirEntry)
{
    // 12 000 entries warn; the first 10 000 made (programs ascending) are kept, sorted by line, then the
    // count of the others. Their lines are found only after the conversion, block by block.
    std::map<std::string, std::uint32_t> lineOf;
    const std::string script = warningScript(12000, lineOf);
    std::string text;
    const DefinitionConversion result = streamed(script, text);
    ASSERT_EQ(result.status, DefinitionConversion::Status::Ok);
    EXPECT_EQ(result.entriesNotReadBack, 12000u);
    const auto& list = result.warnings.list();
    ASSERT_EQ(list.size(), Diagnostics::kLimit + 1);
    EXPECT_EQ(list.back().message, "2001 more warnings not shown");
    EXPECT_EQ(list.front().message,
              "the instrument name \"Synth ; One\" is written as \"Synth; One\": a \";\" "
              "after a blank would start a comment");
    std::size_t checked = 0;
    for (std::size_t i = 1; i + 1 < list.size(); ++i) {
        const std::string& message = list[i].message;
        const std::string name = message.substr(1, message.find('"', 1) - 1);
        ASSERT_EQ(lineOf.count(name), 1u) << message;
        ASSERT_EQ(list[i].at.line, lineOf[name]) << message;
        ++checked;
    }
    EXPECT_EQ(checked, Diagnostics::kLimit - 1);
    EXPECT_NE(describe(result.warnings)
                  .find(std::to_string(lineOf["N11999"]) + ": \"N11999\" (program 95, bank "
                                                           "20000) will not read back"),
              std::string::npos)
        << "the last line, which lacks its line end, is counted too";
}

TEST(StreamedConversion, ScriptWrittenToASinkEqualsTheLinesTheWindowGets)
{
    struct Case
    {
        std::string what;
        TextEncoding encoding;
        bool toWindows1252;
        std::vector<std::pair<std::int32_t, std::vector<std::string>>>
            banks; // bank number, names of programs 0..
    };
    const std::string longUtf8 = std::string(62, 'a') + "\xC3\xA9" + "tail"; // the field cuts before the é
    const std::vector<Case> cases = {
        {"every section, and voices no group takes",
         TextEncoding::Windows1252,
         false,
         {{16256, {"Kit"}},
          {0, {"Piano", "Bright"}},
          {110, {"Panel"}},
          {15489, {"GM2"}},
          {1025, {"Mega"}},
          {20000, {"Lost", "Lost too"}},
          {300, {"Other \xE9t\xE9 {XG} ;x"}}}},
        {"UTF-8 names converted for Cubase",
         TextEncoding::Utf8,
         true,
         {{0, {"caf\xC3\xA9", "\xE2\x82\xAC uro", "\xE2\x9C\x93 check"}}, {20000, {longUtf8}}}},
        {"UTF-8 names kept as bytes",
         TextEncoding::Utf8,
         false,
         {{5, {longUtf8, "x}y}z"}}, {20001, {longUtf8}}}},
        {"no voices", TextEncoding::Windows1252, false, {}},
    };
    for (const Case& c : cases) {
        InstrumentSet set(std::string(), c.encoding);
        Instrument instrument;
        instrument.name = set.keep("Synth\r\nName");
        for (const auto& [number, names] : c.banks) {
            PatchList list;
            for (std::size_t p = 0; p < names.size(); ++p)
                list.patches.push_back(Patch{set.keep(names[p]), static_cast<std::uint8_t>(p), kNoList});
            set.patchLists.push_back(list);
            instrument.banks.push_back(
                Bank{number, {}, {}, static_cast<std::int32_t>(set.patchLists.size() - 1)});
        }

        std::vector<ZT_cwbankvoice> records = voiceRecords(set, instrument, c.toWindows1252);
        std::vector<std::uint8_t> taken(records.size(), 0);
        std::int32_t cursor = 5;
        TextLines lines;
        const std::vector<std::int32_t> listedOut =
            ConvertToCubaseScript(records.data(), static_cast<std::int32_t>(records.size()), taken.data(),
                                  cursor, "Synth", kStamp, lines);

        std::string storage;
        const std::vector<ScriptVoice> voices = ScriptVoices(set, instrument, c.toWindows1252, storage);
        StringSink sink;
        const std::vector<std::int32_t> directOut = WriteCubaseScript(voices, "Synth", kStamp, sink);

        EXPECT_EQ(sink.text, joinedCrLf(lines)) << c.what;
        EXPECT_EQ(directOut, listedOut) << c.what;
        ASSERT_EQ(voices.size(), records.size()) << c.what;
        for (std::size_t i = 0; i < voices.size(); ++i) {
            EXPECT_EQ(voices[i].name, VoiceName(records[i])) << c.what << ", voice " << i;
            EXPECT_EQ(voices[i].bank, records[i].bank) << c.what << ", voice " << i;
            EXPECT_EQ(voices[i].program, records[i].program) << c.what << ", voice " << i;
        }
    }
}

namespace {

/// The lines after the header as the group scan makes them: every group in turn takes, in list order, the
/// voices VoiceClassifier finds for it, each section when its Has...Voices holds.
std::vector<std::string> scannedBody(std::vector<ZT_cwbankvoice>& voices, std::vector<std::uint8_t>& taken)
{
    std::int32_t cursor = 0;
    VoiceClassifier classifier(voices.data(), static_cast<std::int32_t>(voices.size()), taken.data(), cursor);
    std::vector<std::string> lines;
    const auto run = [&](ScriptSection section) {
        bool first = true;
        for (const ScriptGroup& group : ScriptGroups()) {
            if (group.section != section)
                continue;
            for (bool heading = false;;) {
                std::string entry = classifier.NextEntryLine(group.tag, group.programLow, group.programHigh,
                                                             group.bankLow, group.bankHigh);
                if (entry.empty())
                    break;
                if (!heading && !first)
                    lines.push_back("");
                if (!heading)
                    lines.push_back(group.heading);
                heading = true;
                lines.push_back(entry);
            }
            first = false;
        }
    };
    bool xg = false;
    if (classifier.HasDrumKitVoices()) {
        lines.insert(lines.end(), {"[mode10]\tDrumkits", "", "[g1]\tDrum- and SFX-Kits", ""});
        run(ScriptSection::DrumKits);
    }
    for (const auto& [section, title] : {std::pair{ScriptSection::Xg, "[g1]\tStandard XG Voices"},
                                         std::pair{ScriptSection::Panel, "[g1]\tPanel Voices"},
                                         std::pair{ScriptSection::Gm2, "[g1]\tGM2 Voices"}}) {
        const bool has = section == ScriptSection::Xg      ? classifier.HasXgVoices()
                         : section == ScriptSection::Panel ? classifier.HasPanelVoices()
                                                           : classifier.HasGm2Voices();
        if (!has)
            continue;
        if (!xg)
            lines.insert(lines.end(), {"", "[mode]\tXG Voices"});
        xg = true;
        lines.insert(lines.end(), {"", title, ""});
        run(section);
    }
    lines.push_back("");
    run(ScriptSection::Other);
    lines.insert(lines.end(), {"", "[end]"});
    return lines;
}

} // namespace

TEST(StreamedConversion, EveryVoiceLandsInTheGroupTheGroupScanFindsForIt)
{
    // Random lists over every bank range the groups name, programs inside and outside 0..127, and voices
    // marked written before: placing each voice once must give what scanning the list per group gives.
    const std::vector<std::int32_t> banks = {16256, 16128, 15360, 0,     1,     101,  102,  104,  105,
                                             127,   128,   1024,  1026,  1027,  1056, 1062, 8192, 15488,
                                             15497, 15498, 16383, 16384, 20000, -1,   -300, 5000, 16255};
    std::uint64_t state = 12345;
    const auto next = [&](std::uint64_t bound) {
        state = state * 6364136223846793005u + 1442695040888963407u;
        return static_cast<std::int32_t>((state >> 33) % bound);
    };
    for (int round = 0; round < 300; ++round) {
        std::vector<ZT_cwbankvoice> voices;
        const int count = next(60);
        for (int i = 0; i < count; ++i)
            voices.push_back(test::makeVoice(banks[static_cast<std::size_t>(next(banks.size()))],
                                             next(10) == 0 ? next(300) - 100 : next(128),
                                             "V" + std::to_string(i)));
        std::vector<std::uint8_t> taken(voices.size(), 0);
        for (auto& flag : taken)
            flag = next(10) == 0 ? 1 : 0;
        std::vector<std::uint8_t> scannedTaken = taken;
        const std::vector<std::string> expected = scannedBody(voices, scannedTaken);

        std::int32_t cursor = 3;
        TextLines lines;
        ConvertToCubaseScript(voices.data(), static_cast<std::int32_t>(voices.size()), taken.data(), cursor,
                              "S", kStamp, lines);
        const std::vector<std::string> body(lines.begin() + 12, lines.end());
        ASSERT_EQ(body, expected) << "round " << round;
        ASSERT_EQ(taken, scannedTaken) << "round " << round;
        ASSERT_EQ(cursor, 0);
    }
}
