// Rosegarden device files read into the model: the mapping of banks, programs, key mappings and controls,
// what is warned about, compressed and damaged files, and the corpus.

#include "TestSupport.h"
#include "base/Gzip.h"
#include "formats/Formats.h"
#include "formats/rosegarden/RosegardenReader.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>
#include <zlib.h>

namespace quorvix {
namespace {

std::string device(const std::string& attributes, const std::string& body)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE "
           "rosegarden-data>\n<rosegarden-data>\n<studio>\n"
           "<device id=\"0\" name=\"Synth\" type=\"midi\"" +
           attributes + ">\n" + body + "</device>\n</studio>\n</rosegarden-data>\n";
}

/// "BANK:PROGRAM NAME [NOTELIST]" for every voice of the first instrument.
std::vector<std::string> voices(const InstrumentSet& set)
{
    std::vector<std::string> out;
    for (const Bank& bank : set.instruments.at(0).banks)
        for (const Patch& patch : set.patchListOf(bank)->patches)
            out.push_back(std::to_string(bank.number) + ":" + std::to_string(patch.program) + " " +
                          std::string(set.text(patch.name)) +
                          (patch.noteList >= 0
                               ? " [" +
                                     std::string(set.text(
                                         set.noteLists[static_cast<std::size_t>(patch.noteList)].name)) +
                                     "]"
                               : ""));
    return out;
}

std::string warnings(const ReadResult& read)
{
    std::string text;
    for (const Diagnostic& d : read.warnings.list())
        text += d.message + "\n";
    return text;
}

TEST(RosegardenReader, MapsBanksProgramsKeyMappingsAndControls)
{
    const std::string keys = "<keymapping name=\"Kit\"><key number=\"36\" name=\"Kick\"/></keymapping>\n";
    const struct
    {
        const char* name;
        std::string source;
        std::vector<std::string> voices;
        const char* warning; ///< a part of the warnings, or empty for none
    } cases[] = {
        {"MSB and LSB give the bank",
         device("", "<bank name=\"A\" msb=\"1\" lsb=\"2\"><program id=\"5\" name=\"Pad\"/></bank>"),
         {"130:5 Pad"},
         ""},
        {"a percussion bank without key mappings of its programs takes the first one",
         device("", "<bank name=\"D\" percussion=\"TRUE\" msb=\"0\" lsb=\"0\"><program id=\"0\" "
                    "name=\"Std\"/></bank>" +
                        keys),
         {"0:0 Std [Kit]"},
         ""},
        {"a melodic and a percussion bank of one MSB and LSB stay two banks",
         device("", "<bank msb=\"0\" lsb=\"0\"><program id=\"0\" name=\"Piano\"/></bank>"
                    "<bank percussion=\"true\" msb=\"0\" lsb=\"0\"><program id=\"0\" name=\"Std\"/></bank>" +
                        keys),
         {"0:0 Piano", "0:0 Std [Kit]"},
         ""},
        {"banks of one key are one, the first program of a number kept",
         device(
             "",
             "<bank msb=\"0\" lsb=\"0\"><program id=\"1\" name=\"B\"/></bank>"
             "<bank msb=\"0\" lsb=\"0\"><program id=\"0\" name=\"A\"/><program id=\"1\" name=\"X\"/></bank>"),
         {"0:0 A", "0:1 B"},
         ""},
        {"program ids above 127 are left out, with a count",
         device("", "<bank name=\"Big\"><program id=\"127\" name=\"Last\"/><program id=\"128\" "
                    "name=\"No\"/></bank>"),
         {"0:127 Last"},
         "1 program of bank \"Big\" without an id from 0 to 127 left out"},
        {"a dangling keymapping is warned about",
         device("", "<bank><program id=\"0\" name=\"P\" keymapping=\"Gone\"/></bank>"),
         {"0:0 P"},
         "keymapping \"Gone\" names no key mapping of the device"},
        {"PC100+ selects banks with a program change of the LSB",
         device(" bankselecttype=\"1\"", "<bank msb=\"0\" lsb=\"119\"><program id=\"0\" name=\"I\"/></bank>"),
         {"19:0 I"},
         ""},
        {"CC31 has no place and is named",
         device(" bankselecttype=\"2\"", "<bank msb=\"0\" lsb=\"3\"><program id=\"0\" name=\"M\"/></bank>"),
         {"3:0 M"},
         "selects banks with CC31"},
        {"pitch bend is no controller",
         device("", "<bank><program id=\"0\" name=\"P\"/></bank><controls><control name=\"PitchBend\" "
                    "type=\"pitchbend\" controllervalue=\"1\"/></controls>"),
         {"0:0 P"},
         "control \"PitchBend\" is a pitchbend control"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ReadResult read = readRosegarden(c.source);
        ASSERT_TRUE(read.ok()) << read.error->message;
        ASSERT_EQ(read.set.instruments.size(), 1u);
        EXPECT_EQ(voices(read.set), c.voices);
        if (std::string(c.warning).empty())
            EXPECT_EQ(warnings(read), "");
        else
            EXPECT_NE(warnings(read).find(c.warning), std::string::npos) << warnings(read);
    }
}

TEST(RosegardenReader, ControllersDevicesAndFailures)
{
    const ReadResult named = readRosegarden(device(
        "", "<controls><control name=\"Pan\" type=\"controller\" controllervalue=\"10\"/></controls>"));
    ASSERT_TRUE(named.ok());
    const ControlList& list = named.set.controlLists.at(0);
    ASSERT_EQ(list.controls.size(), 1u);
    EXPECT_EQ(list.controls[0].number, 10);
    EXPECT_EQ(named.set.text(list.controls[0].name), "Pan");

    const ReadResult audio =
        readRosegarden("<rosegarden-data><studio><device id=\"1\" name=\"Audio\" type=\"audio\"/>"
                       "<device id=\"2\" name=\"Empty\" type=\"midi\"/></studio></rosegarden-data>");
    ASSERT_TRUE(audio.ok());
    EXPECT_TRUE(audio.set.instruments.empty());
    EXPECT_NE(warnings(audio).find("the audio device \"Audio\" is skipped"), std::string::npos);

    const ReadResult stray = readRosegarden(device("", "<bank>\n<program id=\"0\" name=\"A&B\"/></bank>"));
    ASSERT_FALSE(stray.ok());
    EXPECT_EQ(stray.error->at.line, 7u);
    EXPECT_EQ(stray.error->at.column, 26u);
    EXPECT_EQ(stray.error->message,
              "malformed XML: EntityRef: expecting ';' (a \"&\" that starts no reference is written &amp;)");
    const ReadResult escaped =
        readRosegarden(device("", "<!-- a & b --><bank><program id=\"0\" name=\"A&amp;B&#233;\"/></bank>"));
    EXPECT_EQ(voices(escaped.set), std::vector<std::string>{"0:0 A&B\xC3\xA9"});
    // An entity a document declares outside itself is never loaded.
    const auto outside = std::filesystem::temp_directory_path() / "quorvix-outside.xml";
    test::writeFile(outside, "<program id=\"5\" name=\"Taken\"/>");
    const ReadResult declared = readRosegarden(
        "<!DOCTYPE r [<!ENTITY x SYSTEM \"" + outside.string() +
        "\">]><rosegarden-data><studio><device id=\"0\" "
        "name=\"S\" type=\"midi\"><bank><program id=\"0\" name=\"P\"/>&x;</bank></device></studio>"
        "</rosegarden-data>");
    std::filesystem::remove(outside);
    // Whether the reference itself is an error depends on how the path reads as a URI on the system.
    if (declared.ok())
        EXPECT_EQ(voices(declared.set), std::vector<std::string>{"0:0 P"});
    else
        EXPECT_TRUE(declared.set.instruments.empty());
}

std::string gzipped(const std::string& text)
{
    uLongf size = compressBound(static_cast<uLong>(text.size())) + 32;
    std::string out(size, '\0');
    z_stream stream{};
    deflateInit2(&stream, 9, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    stream.avail_in = static_cast<uInt>(text.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

TEST(RosegardenReader, CompressedFilesAreReadAndDamageIsRefused)
{
    const std::string xml = device("", "<bank><program id=\"0\" name=\"P\"/></bank>");
    const std::string packed = gzipped(xml);
    EXPECT_EQ(detectFormat(packed), FileFormat::Rosegarden);
    EXPECT_EQ(detectFormat(xml), FileFormat::Rosegarden);
    EXPECT_EQ(voices(readRosegarden(packed).set), std::vector<std::string>{"0:0 P"});
    EXPECT_EQ(gunzip(packed + packed, 1 << 20, {}).bytes, xml + xml) << "every member in turn";
    EXPECT_EQ(gunzip(packed + "junk", 1 << 20, {}).bytes, xml) << "what follows the data is ignored";

    std::string damaged = packed;
    damaged[damaged.size() / 2] = static_cast<char>(damaged[damaged.size() / 2] ^ 0x55);
    EXPECT_EQ(readRosegarden(damaged).error->message, "its gzip data is damaged");
    EXPECT_EQ(gunzip(packed.substr(0, packed.size() - 12), 1 << 20, {}).error,
              "its gzip data ends before the compressed file does");
    const std::string bomb = gzipped(std::string(1 << 20, ' '));
    EXPECT_EQ(gunzip(bomb, 1000, "1000 bytes").error, "unpacks to more than 1000 bytes");
    EXPECT_EQ(gunzip(bomb, 1000, {}, true).bytes.size(), 1000u) << "a head stops at its length";
}

TEST(RosegardenReader, EveryCorpusFileReadsButTheOneThatIsNoXml)
{
    const auto corpus = test::corpusDir();
    if (!corpus)
        GTEST_SKIP() << "no corpus";
    std::size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(*corpus / "rgd")) {
        if (entry.path().extension() != ".rgd")
            continue;
        ++files;
        SCOPED_TRACE(entry.path().filename().string());
        const ReadResult read = readRosegarden(test::readFile(entry.path()));
        if (entry.path().filename() == "Roland-JD-08.rgd") {
            ASSERT_FALSE(read.ok());
            EXPECT_EQ(read.error->at.line, 40u);
            continue;
        }
        ASSERT_TRUE(read.ok()) << read.error->message;
        EXPECT_FALSE(read.set.instruments.empty());
    }
    EXPECT_EQ(files, 28u);
}

} // namespace
} // namespace quorvix
