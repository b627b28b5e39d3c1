// Writes the benchmark's inputs: a master instrument definition file and a Cubase patchname script of about
// the requested size each. The output depends only on the size, never on the clock or the machine, so that
// runs on different days measure the same bytes.
//
//   quorvix-bench-generate OUTDIR MEGABYTES...
//
// writes OUTDIR/master-<N>MB.ins, OUTDIR/script-<N>MB.txt, OUTDIR/script-random-<N>MB.txt and
// OUTDIR/device-<N>MB.rgd (a Rosegarden device file that unpacks to about N MB) and
// OUTDIR/instruments-<N>MB.idf (a MusE instrument definition) for each N.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <utility>
#include <zlib.h>

namespace fs = std::filesystem;

namespace {

/// A small deterministic generator (xorshift64*), the same on every platform.
class Random
{
public:
    explicit Random(std::uint64_t seed) : m_state(seed != 0 ? seed : 1) {}

    std::uint64_t next()
    {
        m_state ^= m_state >> 12;
        m_state ^= m_state << 25;
        m_state ^= m_state >> 27;
        return m_state * 2685821657736338717ULL;
    }

    /// A value in [0, bound).
    std::uint32_t below(std::uint32_t bound) { return static_cast<std::uint32_t>(next() % bound); }

private:
    std::uint64_t m_state;
};

constexpr std::string_view kWords[] = {
    "Grand",    "Piano", "Bright", "Warm", "Strings", "Pad",     "Lead",   "Bass",    "Organ", "Choir",
    "Brass",    "Synth", "Sweep",  "Bell", "Harp",    "Guitar",  "Nylon",  "Steel",   "Muted", "Slap",
    "Flute",    "Oboe",  "Horn",   "Sax",  "Vibes",   "Marimba", "Glass",  "Soft",    "Hard",  "Stack",
    "Ensemble", "Solo",  "Mellow", "Dark", "Fat",     "Thin",    "Analog", "Digital", "Vox",   "Drums",
};
constexpr std::size_t kWordCount = sizeof(kWords) / sizeof(kWords[0]);

/// A voice name of two or three words and a number; now and then with characters real files have:
/// Windows-1252 accents, punctuation, brackets.
std::string voiceName(Random& random, std::uint32_t serial)
{
    std::string name(kWords[random.below(kWordCount)]);
    name += ' ';
    name += kWords[random.below(kWordCount)];
    if (random.below(3) == 0) {
        name += ' ';
        name += kWords[random.below(kWordCount)];
    }
    switch (random.below(16)) {
    case 0:
        name += " \xE9t\xE9"; // Windows-1252 "été"
        break;
    case 1:
        name += " & Co.";
        break;
    case 2:
        name += " (L+R)";
        break;
    case 3:
        name += " {XG}";
        break;
    default:
        break;
    }
    name += ' ';
    name += std::to_string(serial % 1000);
    return name;
}

/// Writes a master .ins of about `targetBytes` shaped like the files users merge into one: many instruments,
/// each with full patch lists, a variation list and drum kits that use BasedOn in chains and mostly as
/// forward references (the base is defined after the list that names it), note names for the kits, controller
/// and NRPN lists. Like real files, the scripts made from it are about as large as the file (here 1.5 times).
std::string masterIns(std::uint64_t targetBytes)
{
    Random random(0x5157524958ULL + targetBytes);
    std::string patches;
    std::string notes;
    std::string controllers;
    std::string nrpns;
    std::string instruments;
    patches.reserve(static_cast<std::size_t>(targetBytes * 2 / 3));
    notes.reserve(static_cast<std::size_t>(targetBytes / 6));
    nrpns.reserve(static_cast<std::size_t>(targetBytes / 5));

    const std::string header = "; Master instrument definitions for benchmarking\r\n"
                               "; Generated, deterministic\r\n\r\n";
    static constexpr int kBanks[][3] = {
        {0, 1, 2},             // LSB only
        {0, 128, 256},         // MSB * 128
        {15488, 15489, 15490}, // GM2
        {8192, 105, 1024},     // XG SFX, panel, Mega
    };
    static constexpr int kDrumBanks[] = {16256, 16128, 15360, 16256};

    const auto entries = [&](std::string& out, int first, int count, int step, std::uint32_t& serial) {
        for (int i = 0; i < count; ++i) {
            out += std::to_string(first + i * step);
            out += '=';
            out += voiceName(random, serial++);
            out += "\r\n";
        }
        out += "\r\n";
    };

    std::uint32_t serial = 0;
    std::uint64_t size = header.size() + 200;
    for (std::uint32_t instrument = 0; size < targetBytes; ++instrument) {
        const std::string stem = "Bench " + std::to_string(instrument);
        const std::size_t before =
            patches.size() + notes.size() + controllers.size() + nrpns.size() + instruments.size();

        // Patch lists: Variation (BasedOn Full B, forward), Full A, Full B, Kits.
        patches += "[" + stem + " Variation]\r\nBasedOn=" + stem + " Full B\r\n";
        entries(patches, 3, 16, 8, serial);
        patches += "[" + stem + " Full A]\r\n";
        entries(patches, 0, 128, 1, serial);
        patches += "[" + stem + " Full B]\r\n";
        entries(patches, 0, 128, 1, serial);
        patches += "[" + stem + " Kits]\r\n";
        entries(patches, 0, 8, 8, serial);

        // Note lists of the kits: Brush (BasedOn Room, forward) -> Room (BasedOn Standard) -> Standard.
        notes += "[" + stem + " Brush]\r\nBasedOn=" + stem + " Room\r\n";
        entries(notes, 36, 10, 2, serial);
        notes += "[" + stem + " Room]\r\nBasedOn=" + stem + " Standard\r\n";
        entries(notes, 40, 10, 2, serial);
        notes += "[" + stem + " Standard]\r\n";
        entries(notes, 27, 61, 1, serial);

        controllers += "[" + stem + " Controllers]\r\n";
        entries(controllers, 0, 20, 5, serial);
        nrpns += "[" + stem + " NRPN]\r\n";
        entries(nrpns, 128, 100, 131, serial);

        const auto& banks = kBanks[instrument % 4];
        const std::string drums = std::to_string(kDrumBanks[instrument % 4]);
        instruments += "[" + stem + " Synth]\r\n";
        if (instrument % 4 == 1)
            instruments += "BankSelMethod=0\r\n";
        instruments += "Control=" + stem + " Controllers\r\nNRPN=" + stem + " NRPN\r\n";
        instruments += "Patch[" + std::to_string(banks[0]) + "]=" + stem + " Full A\r\n";
        instruments += "Patch[" + std::to_string(banks[1]) + "]=" + stem + " Full B\r\n";
        instruments += "Patch[" + std::to_string(banks[2]) + "]=" + stem + " Variation\r\n";
        instruments += "Patch[" + drums + "]=" + stem + " Kits\r\n";
        instruments += "Key[" + drums + ",0]=" + stem + " Standard\r\nKey[" + drums + ",8]=" + stem +
                       " Room\r\nKey[" + drums + ",16]=" + stem + " Brush\r\nDrum[" + drums + ",*]=1\r\n\r\n";

        size +=
            patches.size() + notes.size() + controllers.size() + nrpns.size() + instruments.size() - before;
    }
    return header + ".Patch Names\r\n\r\n" + patches + ".Note Names\r\n\r\n" + notes +
           ".Controller Names\r\n\r\n" + controllers + ".RPN Names\r\n\r\n.NRPN Names\r\n\r\n" + nrpns +
           ".Instrument Definitions\r\n\r\n" + instruments;
}

/// Writes a Cubase patchname script of about `targetBytes` with exactly 1000 banks (when the size allows
/// one entry per bank): every group visits each bank once, so that every bank collects many programs. With
/// `shuffled` the banks of each group come in a new random order, as in scripts merged from many sources;
/// otherwise they come in one fixed cycle.
std::string cubaseScript(std::uint64_t targetBytes, bool shuffled)
{
    Random random(0x43554241ULL + targetBytes);
    Random order(0x5348554646ULL + targetBytes);
    std::string text;
    text.reserve(static_cast<std::size_t>(targetBytes + 4096));
    text += "[cubase parse file]\r\n[parser version 0001]\r\n"
            "[comment] Cubase Patchname Scriptfile generated for benchmarking\r\n"
            "[creators first name] Bench\r\n[creators last name] Bench\r\n[device manufacturer] -\r\n"
            "[device name] Bench Synth\r\n[script name] Bench Synth\r\n[script version] -\r\n\r\n"
            "[define patchnames]\r\n\r\n[mode]\tXG Voices\r\n\r\n[g1]\tStandard XG Voices\r\n\r\n";
    constexpr int kBankCount = 1000;
    int banks[kBankCount];
    for (int i = 0; i < kBankCount; ++i)
        banks[i] = i;
    char entry[64];
    std::uint32_t serial = 0;
    int group = 0;
    while (text.size() + 16 < targetBytes) {
        // One group heading per 1000 entries, as scripts have them; each group visits every bank once.
        text += "\r\n[g2]\t\tGroup ";
        text += std::to_string(group);
        text += "\r\n";
        const int program = group % 128;
        if (shuffled) {
            for (int i = kBankCount - 1; i > 0; --i) // Fisher-Yates
                std::swap(banks[i], banks[order.below(static_cast<std::uint32_t>(i + 1))]);
        }
        for (int visit = 0; visit < kBankCount && text.size() + 16 < targetBytes; ++visit) {
            const int bank = banks[visit];
            const int number = bank * 7 + 3; // spread over MSB and LSB
            if (bank % 10 == 9) {
                // Two-number form, as "Other Voices" writes it.
                std::snprintf(entry, sizeof entry, "[p2, %3d, %3d]\t", program, number);
            } else {
                std::snprintf(entry, sizeof entry, "[p3, %3d, %3d, %3d]\t", program, number / 128,
                              number % 128);
            }
            text += entry;
            text += voiceName(random, serial++);
            text += "\r\n";
        }
        ++group;
    }
    text += "\r\n[end]\r\n";
    return text;
}

/// A voice name as XML attribute text: UTF-8, "&" escaped.
std::string xmlName(const std::string& name)
{
    std::string text;
    for (const char c : name) {
        if (c == '&')
            text += "&amp;";
        else if (c == '\xE9')
            text += "\xC3\xA9";
        else
            text += c;
    }
    return text;
}

/// A Rosegarden device file of about `targetBytes` of XML: banks of 128 programs on distinct MSB/LSB pairs,
/// every twentieth a drum bank whose programs name one of 16 key mappings, 32 controls.
std::string deviceXml(std::uint64_t targetBytes)
{
    Random random(targetBytes ^ 0x52474400);
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE rosegarden-data>\n"
                       "<rosegarden-data version=\"26.06\">\n<studio thrufilter=\"0\" recordfilter=\"0\">\n"
                       "    <device id=\"0\" name=\"Bench Device\" direction=\"play\" variation=\"\" "
                       "connection=\"\" bankselecttype=\"0\" type=\"midi\">\n";
    std::string keys;
    for (int map = 0; map < 16; ++map) {
        keys += "        <keymapping name=\"Kit " + std::to_string(map) + "\">\n";
        for (int note = 35; note < 82; ++note)
            keys += "          <key number=\"" + std::to_string(note) + "\" name=\"" +
                    xmlName(voiceName(random, static_cast<std::uint32_t>(note))) + "\"/>\n";
        keys += "        </keymapping>\n";
    }
    std::string controls = "        <controls>\n";
    for (int control = 0; control < 32; ++control)
        controls += "            <control name=\"Control " + std::to_string(control) +
                    "\" type=\"controller\" description=\"&lt;none&gt;\" min=\"0\" max=\"127\" default=\"0\" "
                    "controllervalue=\"" +
                    std::to_string(control + 16) + "\" colourindex=\"0\" ipbposition=\"-1\"/>\n";
    controls += "        </controls>\n";
    const std::uint64_t fixed = text.size() + keys.size() + controls.size() + 64;
    std::uint32_t serial = 0;
    for (int bank = 0; bank < 16384 && text.size() + fixed < targetBytes; ++bank) {
        const bool drums = bank % 20 == 19;
        text += "        <bank name=\"Bank " + std::to_string(bank) + "\" percussion=\"" +
                (drums ? "true" : "false") + "\" msb=\"" + std::to_string(bank / 128) + "\" lsb=\"" +
                std::to_string(bank % 128) + "\">\n";
        for (int program = 0; program < 128; ++program) {
            text += "            <program id=\"" + std::to_string(program) + "\" name=\"" +
                    xmlName(voiceName(random, serial++)) + "\"";
            if (drums)
                text += " keymapping=\"Kit " + std::to_string(program % 16) + "\"";
            text += " />\n";
        }
        text += "        </bank>\n";
    }
    return text + controls + keys + "    </device>\n</studio>\n</rosegarden-data>\n";
}

/// A MusE instrument definition of about `targetBytes`: one instrument, PatchGroups of 128 patches on
/// distinct bank bytes, every twentieth a group of drum patches with a drum map each, 32 controllers.
std::string museXml(std::uint64_t targetBytes)
{
    Random random(targetBytes ^ 0x49444600);
    std::string text =
        "<?xml version=\"1.0\"?>\n<muse version=\"1.0\">\n  <MidiInstrument name=\"Bench Synth\">\n";
    std::string maps = "    <Drummaps>\n";
    std::uint32_t serial = 0;
    const std::string tail = "  </MidiInstrument>\n</muse>\n";
    for (int bank = 0; bank < 16384 && text.size() + maps.size() + tail.size() < targetBytes; ++bank) {
        const bool drums = bank % 20 == 19;
        const std::string bytes =
            " hbank=\"" + std::to_string(bank / 128) + "\" lbank=\"" + std::to_string(bank % 128) + "\"";
        text += "    <PatchGroup name=\"Group " + std::to_string(bank) + "\">\n";
        for (int program = 0; program < 128; ++program) {
            text += "      <Patch name=\"" + xmlName(voiceName(random, serial++)) + "\"" + bytes +
                    " prog=\"" + std::to_string(program) + "\"" + (drums ? " drum=\"1\"" : "") + " />\n";
            if (drums && program % 16 == 0) {
                maps += "      <entry>\n        <patch_collection" + bytes + " prog=\"" +
                        std::to_string(program) + "\" />\n        <drummap>\n";
                for (int note = 35; note < 82; ++note)
                    maps += "          <entry pitch=\"" + std::to_string(note) + "\"><name>" +
                            xmlName(voiceName(random, static_cast<std::uint32_t>(note))) +
                            "</name></entry>\n";
                maps += "        </drummap>\n      </entry>\n";
            }
        }
        text += "    </PatchGroup>\n";
    }
    for (int control = 0; control < 32; ++control)
        text += "    <Controller name=\"Control " + std::to_string(control) + "\" l=\"" +
                std::to_string(control + 16) + "\" />\n";
    return text + maps + "    </Drummaps>\n" + tail;
}

/// The bytes gzip-compressed, as Rosegarden stores its files.
std::string gzipped(const std::string& bytes)
{
    z_stream stream{};
    if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY) !=
        Z_OK)
        return {};
    std::string out(deflateBound(&stream, static_cast<uLong>(bytes.size())), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    stream.avail_in = static_cast<uInt>(bytes.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    const int status = deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return status == Z_STREAM_END ? out : std::string();
}

bool writeOut(const fs::path& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "cannot write %s\n", path.string().c_str());
        return false;
    }
    std::printf("%s\t%zu bytes\n", path.string().c_str(), bytes.size());
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s OUTDIR MEGABYTES...\n", argv[0]);
        return 2;
    }
    const fs::path outDir = argv[1];
    std::error_code ec;
    fs::create_directories(outDir, ec);
    for (int i = 2; i < argc; ++i) {
        const long megabytes = std::strtol(argv[i], nullptr, 10);
        if (megabytes <= 0 || megabytes > 4096) {
            std::fprintf(stderr, "size out of range: %s\n", argv[i]);
            return 2;
        }
        const std::uint64_t bytes = static_cast<std::uint64_t>(megabytes) * 1000 * 1000;
        const std::string suffix = std::to_string(megabytes) + "MB";
        if (!writeOut(outDir / ("master-" + suffix + ".ins"), masterIns(bytes)) ||
            !writeOut(outDir / ("script-" + suffix + ".txt"), cubaseScript(bytes, false)) ||
            !writeOut(outDir / ("script-random-" + suffix + ".txt"), cubaseScript(bytes, true)) ||
            !writeOut(outDir / ("device-" + suffix + ".rgd"), gzipped(deviceXml(bytes))) ||
            !writeOut(outDir / ("instruments-" + suffix + ".idf"), museXml(bytes)))
            return 1;
    }
    return 0;
}
