#include "formats/ins/InsReader.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <span>
#include <system_error>
#include <unordered_map>
#include <utility>

namespace quorvix {

namespace {

enum Section : std::uint8_t
{
    kPatchNames,
    kNoteNames,
    kControllerNames,
    kRpnNames,
    kNrpnNames,
    kListSectionCount,
    kInstrumentDefinitions = kListSectionCount,
    kNoSection,
    kUnknownSection,
};

constexpr std::array<std::string_view, 6> kSectionLines = {
    ".Patch Names", ".Note Names", ".Controller Names",
    ".RPN Names",   ".NRPN Names", ".Instrument Definitions",
};

constexpr std::array<std::string_view, kListSectionCount> kListKinds = {
    "patch list", "note list", "controller list", "RPN list", "NRPN list",
};

constexpr std::uint32_t kHighestBank = 16383;
constexpr std::uint32_t kNumberTooLarge = 1'000'000'000; // any parsed number above this is saturated to it

// Reference codes: a list index when >= 0, otherwise one of these.
constexpr std::int32_t kNoList = -1;
constexpr std::int32_t kBuiltin0To127 = -2;
constexpr std::int32_t kBuiltin1To128 = -3;
constexpr std::int32_t kBuiltinOther = -4; // a built-in list of another section; it has no entries we use

// Names of the built-in patch lists: "0" .. "128" one after another; entry k of a list starts at
// kBuiltinOffsets[k].
struct BuiltinNames
{
    std::string text;
    std::array<std::uint32_t, 130> offsets{};

    BuiltinNames()
    {
        for (int i = 0; i <= 128; ++i) {
            offsets[static_cast<std::size_t>(i)] = static_cast<std::uint32_t>(text.size());
            text += std::to_string(i);
        }
        offsets[129] = static_cast<std::uint32_t>(text.size());
    }
};

const BuiltinNames& builtinNames()
{
    static const BuiltinNames names;
    return names;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view trim(std::string_view s)
{
    std::size_t begin = 0;
    std::size_t end = s.size();
    while (begin < end && isBlank(s[begin]))
        ++begin;
    while (end > begin && isBlank(s[end - 1]))
        --end;
    return s.substr(begin, end - begin);
}

/// Decimal digits only (leading zeros allowed); values above kNumberTooLarge are saturated to it.
bool parseNumber(std::string_view s, std::uint32_t& value)
{
    if (s.empty())
        return false;
    std::uint64_t v = 0;
    for (char c : s) {
        if (c < '0' || c > '9')
            return false;
        v = std::min<std::uint64_t>(v * 10 + static_cast<std::uint64_t>(c - '0'), kNumberTooLarge);
    }
    value = static_cast<std::uint32_t>(v);
    return true;
}

std::string quoted(std::string_view s)
{
    std::string out;
    out.reserve(s.size() + 2);
    out += '"';
    out += s;
    out += '"';
    return out;
}

struct Entry
{
    std::uint32_t nameOffset; // into the file's bytes, or past them into the built-in names
    std::uint32_t nameLength;
    std::int32_t number;
};

struct List
{
    std::uint32_t nameOffset = 0;
    std::uint32_t nameLength = 0;
    std::uint32_t line = 0;
    std::uint32_t baseOffset = 0;
    std::uint32_t baseLength = 0;
    std::uint32_t baseLine = 0; // 0: no BasedOn
    std::uint32_t entryBegin = 0;
    std::uint32_t entryCount = 0;
    std::int32_t base = kNoList;
    std::int32_t merged = -1; // index into Data::merged once computed
    Section section = kPatchNames;
    bool live = false; // false when a later list of the same name replaced it
};

struct PatchLine
{
    std::uint32_t line;
    std::uint32_t bank; // as written; saturated
    std::uint32_t refOffset;
    std::uint32_t refLength;
    bool star;
};

struct OtherRef
{
    std::uint32_t line;
    std::uint32_t refOffset;
    std::uint32_t refLength;
    Section section;
};

struct PlanItem
{
    std::int32_t bank;
    std::int32_t list;
};

struct Instrument
{
    std::uint32_t nameOffset = 0;
    std::uint32_t nameLength = 0;
    std::uint32_t line = 0;
    std::uint32_t patchBegin = 0;
    std::uint32_t patchCount = 0;
    std::uint32_t planBegin = 0;
    std::uint32_t planCount = 0;
    std::uint8_t method = 0;
};

} // namespace

struct InsFile::Data
{
    std::string text;
    std::vector<List> lists;
    std::vector<Entry> entries;
    std::vector<Instrument> instruments;
    std::vector<PatchLine> patchLines;
    std::vector<OtherRef> otherRefs;
    std::vector<PlanItem> plan;
    std::vector<std::vector<Entry>> merged;
    std::array<std::vector<Entry>, 2> builtins;
    std::array<std::unordered_map<std::string_view, std::int32_t>, kListSectionCount> listByName;

    std::vector<InsWarning>* warnings = nullptr;
    std::size_t droppedWarnings = 0;

    std::string_view view(std::uint32_t offset, std::uint32_t length) const
    {
        if (offset >= text.size())
            return std::string_view(builtinNames().text).substr(offset - text.size(), length);
        return std::string_view(text).substr(offset, length);
    }
    std::uint32_t offsetOf(std::string_view s) const
    {
        return static_cast<std::uint32_t>(s.data() - text.data());
    }

    void warn(std::size_t line, std::string message)
    {
        if (warnings->size() >= kMaxWarnings) {
            ++droppedWarnings;
            return;
        }
        warnings->push_back(InsWarning{line, std::move(message)});
    }

    void parseLines();
    void handleLine(std::string_view line, std::uint32_t lineNumber);
    void handleListLine(std::string_view line, std::uint32_t lineNumber);
    void handleInstrumentLine(std::string_view line, std::uint32_t lineNumber);
    void resolve();
    void resolveBases();
    void sortEntries(List& list);
    void planInstrument(Instrument& instrument, std::vector<std::int32_t>& placeOfBank);
    std::int32_t findList(Section section, std::string_view name) const;
    std::span<const Entry> ownEntries(const List& list) const;
    std::span<const Entry> mergedEntries(std::int32_t list);

    Section section = kNoSection;
    bool sawSection = false;
    std::int32_t currentList = kNoList;
    std::int32_t currentInstrument = -1;
};

InsFile::InsFile() = default;
InsFile::~InsFile() = default;
InsFile::InsFile(InsFile&&) noexcept = default;
InsFile& InsFile::operator=(InsFile&&) noexcept = default;

bool InsFile::load(const std::filesystem::path& path)
{
    m_data.reset();
    m_warnings.clear();
    m_error.clear();

#if defined(_WIN32)
    std::FILE* file = _wfopen(path.c_str(), L"rb");
#else
    std::FILE* file = std::fopen(path.c_str(), "rb");
#endif
    if (file == nullptr) {
        m_error = "cannot be read: " + std::generic_category().message(errno);
        return false;
    }
    std::string bytes;
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (!ec && size < std::numeric_limits<std::uint32_t>::max())
        bytes.reserve(static_cast<std::size_t>(size));
    std::array<char, 65536> chunk;
    for (;;) {
        const std::size_t got = std::fread(chunk.data(), 1, chunk.size(), file);
        bytes.append(chunk.data(), got);
        if (got < chunk.size())
            break;
        if (bytes.size() > std::numeric_limits<std::uint32_t>::max() / 2) {
            std::fclose(file);
            m_error = "is too large for an instrument definition file";
            return false;
        }
    }
    const bool failed = std::ferror(file) != 0;
    const int readErrno = errno;
    std::fclose(file);
    if (failed) {
        m_error = "cannot be read: " + std::generic_category().message(readErrno);
        return false;
    }
    return parse(std::move(bytes));
}

bool InsFile::parse(std::string bytes)
{
    m_data.reset();
    m_warnings.clear();
    m_error.clear();

    // Offsets are 32-bit, and the built-in names live just past the file's bytes.
    if (bytes.size() > std::numeric_limits<std::uint32_t>::max() / 2) {
        m_error = "is too large for an instrument definition file";
        return false;
    }
    if (const void* nul = std::memchr(bytes.data(), '\0', bytes.size())) {
        m_error = "holds a NUL byte (at byte " +
                  std::to_string(static_cast<const char*>(nul) - bytes.data()) +
                  "), so it is no instrument definition file";
        return false;
    }

    auto data = std::make_unique<Data>();
    data->text = std::move(bytes);
    data->warnings = &m_warnings;
    data->parseLines();
    if (!data->sawSection) {
        m_warnings.clear();
        m_error = "has none of the section lines (.Patch Names, .Note Names, .Controller Names, .RPN Names, "
                  ".NRPN Names, .Instrument Definitions), so it is no instrument definition file";
        return false;
    }
    data->resolve();

    std::stable_sort(m_warnings.begin(), m_warnings.end(),
                     [](const InsWarning& a, const InsWarning& b) { return a.line < b.line; });
    if (data->droppedWarnings > 0)
        m_warnings.push_back(InsWarning{m_warnings.back().line,
                                        std::to_string(data->droppedWarnings) + " more warnings not shown"});
    data->warnings = nullptr;
    m_data = std::move(data);
    return true;
}

std::size_t InsFile::definitionCount() const
{
    return m_data ? m_data->instruments.size() : 0;
}

std::string_view InsFile::definitionName(std::size_t index) const
{
    if (index >= definitionCount())
        return {};
    const Instrument& instrument = m_data->instruments[index];
    return m_data->view(instrument.nameOffset, instrument.nameLength);
}

std::size_t InsFile::voiceCount(std::size_t index)
{
    if (index >= definitionCount())
        return 0;
    const Instrument& instrument = m_data->instruments[index];
    std::size_t count = 0;
    for (std::uint32_t i = 0; i < instrument.planCount; ++i)
        count += m_data->mergedEntries(m_data->plan[instrument.planBegin + i].list).size();
    return count;
}

std::vector<InsVoice> InsFile::voices(std::size_t index)
{
    std::vector<InsVoice> result;
    if (index >= definitionCount())
        return result;
    result.reserve(voiceCount(index));
    const Instrument& instrument = m_data->instruments[index];
    for (std::uint32_t i = 0; i < instrument.planCount; ++i) {
        const PlanItem item = m_data->plan[instrument.planBegin + i];
        for (const Entry& entry : m_data->mergedEntries(item.list))
            result.push_back(
                InsVoice{item.bank, entry.number, m_data->view(entry.nameOffset, entry.nameLength)});
    }
    return result;
}

// ---------------------------------------------------------------------------------------------------------
// Reading lines

void InsFile::Data::parseLines()
{
    const char* const bytes = text.data();
    const std::size_t size = text.size();
    std::size_t pos = 0;
    if (size >= 3 && text.compare(0, 3, "\xEF\xBB\xBF") == 0)
        pos = 3;

    // Next LF and next CR at or after pos; searched again only once passed, so that a file with only one kind
    // of line end is still read in one pass.
    auto find = [&](char c, std::size_t from) {
        const void* hit = std::memchr(bytes + from, c, size - from);
        return hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - bytes) : size;
    };
    std::size_t nextLf = find('\n', pos);
    std::size_t nextCr = find('\r', pos);
    std::uint32_t lineNumber = 0;
    while (pos < size) {
        ++lineNumber;
        if (nextLf < pos)
            nextLf = find('\n', pos);
        if (nextCr < pos)
            nextCr = find('\r', pos);
        const std::size_t end = std::min(nextLf, nextCr);
        std::size_t next = end + 1;
        if (end == nextCr && nextLf == end + 1)
            next = end + 2;
        handleLine(std::string_view(bytes + pos, end - pos), lineNumber);
        pos = next;
    }
}

void InsFile::Data::handleLine(std::string_view line, std::uint32_t lineNumber)
{
    // A ';' at the start of the line or after a blank starts a comment.
    for (std::size_t from = 0;;) {
        const auto semicolon = line.find(';', from);
        if (semicolon == std::string_view::npos)
            break;
        if (semicolon == 0 || isBlank(line[semicolon - 1])) {
            line = line.substr(0, semicolon);
            break;
        }
        from = semicolon + 1;
    }
    line = trim(line);
    if (line.empty())
        return;

    if (line.front() == '.') {
        currentList = kNoList;
        currentInstrument = -1;
        section = kUnknownSection;
        for (std::size_t i = 0; i < kSectionLines.size(); ++i) {
            if (line == kSectionLines[i]) {
                section = static_cast<Section>(i);
                sawSection = true;
            }
        }
        if (section == kUnknownSection)
            warn(lineNumber, "unknown section " + quoted(line) + "; its lines are ignored");
        return;
    }

    switch (section) {
    case kNoSection:
        warn(lineNumber, "line outside any section ignored");
        return;
    case kUnknownSection:
        return;
    case kInstrumentDefinitions:
        handleInstrumentLine(line, lineNumber);
        return;
    default:
        handleListLine(line, lineNumber);
        return;
    }
}

void InsFile::Data::handleListLine(std::string_view line, std::uint32_t lineNumber)
{
    if (line.front() == '[') {
        currentList = kNoList;
        if (line.back() != ']' || line.size() < 2) {
            warn(lineNumber, "list header without closing \"]\" ignored, and the lines under it");
            return;
        }
        const std::string_view name = trim(line.substr(1, line.size() - 2));
        List list;
        list.nameOffset = offsetOf(name);
        list.nameLength = static_cast<std::uint32_t>(name.size());
        list.line = lineNumber;
        list.section = section;
        list.entryBegin = static_cast<std::uint32_t>(entries.size());
        currentList = static_cast<std::int32_t>(lists.size());
        lists.push_back(list);
        return;
    }
    if (currentList == kNoList) {
        warn(lineNumber, "line outside any list ignored");
        return;
    }
    const auto equals = line.find('=');
    if (equals == std::string_view::npos) {
        warn(lineNumber, "line without \"=\" ignored");
        return;
    }
    const std::string_view key = trim(line.substr(0, equals));
    const std::string_view value = trim(line.substr(equals + 1));
    List& list = lists[static_cast<std::size_t>(currentList)];
    if (key == "BasedOn") {
        if (value.empty()) {
            warn(lineNumber, "BasedOn without a list name ignored");
            return;
        }
        list.baseOffset = offsetOf(value);
        list.baseLength = static_cast<std::uint32_t>(value.size());
        list.baseLine = lineNumber;
        return;
    }
    std::uint32_t number = 0;
    if (!parseNumber(key, number)) {
        warn(lineNumber, quoted(key) + " is not a number; line ignored");
        return;
    }
    const std::uint32_t highest = section == kRpnNames || section == kNrpnNames ? 16383 : 127;
    if (number > highest) {
        warn(lineNumber, "number " + std::string(key) + " is out of range 0.." + std::to_string(highest) +
                             "; entry ignored");
        return;
    }
    // Only patch lists make voices; the other lists are kept for their names and references.
    if (section != kPatchNames)
        return;
    entries.push_back(
        Entry{offsetOf(value), static_cast<std::uint32_t>(value.size()), static_cast<std::int32_t>(number)});
    ++list.entryCount;
}

void InsFile::Data::handleInstrumentLine(std::string_view line, std::uint32_t lineNumber)
{
    if (line.front() == '[') {
        currentInstrument = -1;
        if (line.back() != ']' || line.size() < 2) {
            warn(lineNumber, "instrument header without closing \"]\" ignored, and the lines under it");
            return;
        }
        const std::string_view name = trim(line.substr(1, line.size() - 2));
        Instrument instrument;
        instrument.nameOffset = offsetOf(name);
        instrument.nameLength = static_cast<std::uint32_t>(name.size());
        instrument.line = lineNumber;
        instrument.patchBegin = static_cast<std::uint32_t>(patchLines.size());
        currentInstrument = static_cast<std::int32_t>(instruments.size());
        instruments.push_back(instrument);
        return;
    }
    if (currentInstrument < 0) {
        warn(lineNumber, "line outside any instrument ignored");
        return;
    }
    const auto equals = line.find('=');
    if (equals == std::string_view::npos) {
        warn(lineNumber, "line without \"=\" ignored");
        return;
    }
    const std::string_view key = trim(line.substr(0, equals));
    const std::string_view value = trim(line.substr(equals + 1));
    Instrument& instrument = instruments[static_cast<std::size_t>(currentInstrument)];

    auto bracketed = [&](std::string_view prefix, std::string_view& inner) {
        if (key.size() < prefix.size() + 1 || key.substr(0, prefix.size()) != prefix || key.back() != ']')
            return false;
        inner = trim(key.substr(prefix.size(), key.size() - prefix.size() - 1));
        return true;
    };
    auto reference = [&](Section target) {
        if (value.empty()) {
            warn(lineNumber, std::string(key) + " names no list; line ignored");
            return;
        }
        otherRefs.push_back(
            OtherRef{lineNumber, offsetOf(value), static_cast<std::uint32_t>(value.size()), target});
    };

    std::string_view inner;
    if (bracketed("Patch[", inner)) {
        PatchLine patch{lineNumber, 0, offsetOf(value), static_cast<std::uint32_t>(value.size()),
                        inner == "*"};
        if (!patch.star && (!parseNumber(inner, patch.bank) || patch.bank > kHighestBank)) {
            warn(lineNumber, "bank " + quoted(inner) + " of " + std::string(key) +
                                 " is not a number from 0 to 16383; line ignored");
            return;
        }
        if (value.empty()) {
            warn(lineNumber, std::string(key) + " names no list; line ignored");
            return;
        }
        patchLines.push_back(patch);
        ++instrument.patchCount;
    } else if (bracketed("Key[", inner)) {
        reference(kNoteNames);
    } else if (bracketed("Drum[", inner)) {
        // Drum flags do not change the voice list.
    } else if (key == "Control") {
        reference(kControllerNames);
    } else if (key == "RPN") {
        reference(kRpnNames);
    } else if (key == "NRPN") {
        reference(kNrpnNames);
    } else if (key == "BankSelMethod") {
        if (value.size() == 1 && value[0] >= '0' && value[0] <= '3')
            instrument.method = static_cast<std::uint8_t>(value[0] - '0');
        else
            warn(lineNumber, "BankSelMethod " + quoted(value) + " is not 0, 1, 2 or 3; line ignored");
    } else if (key == "UsesNotesAsControllers" || key == "UseNotesAsControllers" ||
               key == "NoControllerReset") {
        // Playback settings: nothing to convert.
    } else {
        warn(lineNumber, "unknown key " + quoted(key) + " ignored");
    }
}

// ---------------------------------------------------------------------------------------------------------
// Resolving references

namespace {

/// `name` without its "{{ ... }}" tags, which some programs append to references for their own use
/// ("Patch[0]=GM Bank {{ GM_BANK }}" names the list "GM Bank").
std::string withoutTags(std::string_view name)
{
    std::string result;
    for (;;) {
        const auto open = name.find("{{");
        if (open == std::string_view::npos)
            break;
        const auto close = name.find("}}", open + 2);
        if (close == std::string_view::npos)
            break;
        result += name.substr(0, open);
        name = name.substr(close + 2);
    }
    result += name;
    return std::string(trim(result));
}

} // namespace

std::int32_t InsFile::Data::findList(Section listSection, std::string_view name) const
{
    const auto& byName = listByName[listSection];
    if (const auto it = byName.find(name); it != byName.end())
        return it->second;
    if (name.find("{{") != std::string_view::npos) {
        const std::string untagged = withoutTags(name);
        if (untagged.size() < name.size() && !untagged.empty())
            return findList(listSection, untagged);
    }
    if (listSection == kPatchNames) {
        if (name == "0..127")
            return kBuiltin0To127;
        if (name == "1..128")
            return kBuiltin1To128;
        return kNoList;
    }
    if (name == "0..127" || name == "1..128" || name == "0..16383" ||
        (listSection == kNoteNames && name == "Diatonic"))
        return kBuiltinOther;
    return kNoList;
}

void InsFile::Data::resolve()
{
    const auto textSize = static_cast<std::uint32_t>(text.size());
    const BuiltinNames& names = builtinNames();
    for (std::size_t b = 0; b < builtins.size(); ++b) {
        builtins[b].reserve(128);
        for (std::uint32_t program = 0; program < 128; ++program) {
            const std::size_t shown = program + b; // "0..127" names program p "p", "1..128" names it "p+1"
            builtins[b].push_back(Entry{textSize + names.offsets[shown],
                                        names.offsets[shown + 1] - names.offsets[shown],
                                        static_cast<std::int32_t>(program)});
        }
    }

    for (std::size_t i = 0; i < lists.size(); ++i) {
        List& list = lists[i];
        const std::string_view name = view(list.nameOffset, list.nameLength);
        auto [it, inserted] = listByName[list.section].try_emplace(name, static_cast<std::int32_t>(i));
        if (!inserted) {
            List& earlier = lists[static_cast<std::size_t>(it->second)];
            earlier.live = false;
            warn(list.line, std::string(kListKinds[list.section]) + " " + quoted(name) + " of line " +
                                std::to_string(earlier.line) + " is defined again; this one replaces it");
            it->second = static_cast<std::int32_t>(i);
        }
        list.live = true;
    }
    resolveBases();
    for (List& list : lists) {
        if (list.live && list.section == kPatchNames)
            sortEntries(list);
    }

    std::vector<std::int32_t> placeOfBank(kHighestBank + 2, -1);
    for (Instrument& instrument : instruments)
        planInstrument(instrument, placeOfBank);

    for (const OtherRef& ref : otherRefs) {
        const std::string_view name = view(ref.refOffset, ref.refLength);
        if (findList(ref.section, name) == kNoList)
            warn(ref.line, std::string(kListKinds[ref.section]) + " " + quoted(name) + " is not defined");
    }
}

void InsFile::Data::resolveBases()
{
    for (List& list : lists) {
        // A file may define a list under a built-in name, often empty as a placeholder: its entries are then
        // laid over the built-in names.
        if (list.live && list.baseLine == 0 && list.section == kPatchNames) {
            const std::string_view name = view(list.nameOffset, list.nameLength);
            if (name == "0..127")
                list.base = kBuiltin0To127;
            else if (name == "1..128")
                list.base = kBuiltin1To128;
        }
        if (!list.live || list.baseLine == 0)
            continue;
        const std::string_view baseName = view(list.baseOffset, list.baseLength);
        list.base = findList(list.section, baseName);
        if (list.base == kNoList)
            warn(list.baseLine, std::string(kListKinds[list.section]) + " " +
                                    quoted(view(list.nameOffset, list.nameLength)) + " is based on " +
                                    quoted(baseName) + ", which is not defined");
        else if (list.base == kBuiltinOther)
            list.base = kNoList;
    }

    // Each list has at most one base, so a cycle is found by following the bases from every list once.
    enum : std::uint8_t
    {
        kUnvisited,
        kOnPath,
        kDone
    };
    std::vector<std::uint8_t> state(lists.size(), kUnvisited);
    std::vector<std::int32_t> path;
    for (std::size_t start = 0; start < lists.size(); ++start) {
        path.clear();
        std::int32_t at = static_cast<std::int32_t>(start);
        while (at >= 0 && state[static_cast<std::size_t>(at)] == kUnvisited) {
            state[static_cast<std::size_t>(at)] = kOnPath;
            path.push_back(at);
            at = lists[static_cast<std::size_t>(at)].base;
        }
        if (at >= 0 && state[static_cast<std::size_t>(at)] == kOnPath) {
            List& closing = lists[static_cast<std::size_t>(path.back())];
            warn(closing.baseLine, std::string(kListKinds[closing.section]) + " " +
                                       quoted(view(closing.nameOffset, closing.nameLength)) +
                                       " is based on " +
                                       quoted(view(closing.baseOffset, closing.baseLength)) +
                                       ", which leads back to it; this BasedOn is ignored");
            closing.base = kNoList;
        }
        for (std::int32_t visited : path)
            state[static_cast<std::size_t>(visited)] = kDone;
    }
}

void InsFile::Data::sortEntries(List& list)
{
    const auto begin = entries.begin() + list.entryBegin;
    const auto end = begin + list.entryCount;
    const bool ascending = std::adjacent_find(begin, end, [](const Entry& a, const Entry& b) {
                               return a.number >= b.number;
                           }) == end;
    if (ascending)
        return;
    // Programs are 0..127: place each entry in its program's slot, a later one over an earlier one.
    std::array<std::int32_t, 128> slot;
    slot.fill(-1);
    for (auto it = begin; it != end; ++it)
        slot[static_cast<std::size_t>(it->number)] = static_cast<std::int32_t>(it - begin);
    std::vector<Entry> sorted;
    sorted.reserve(list.entryCount);
    for (std::int32_t index : slot) {
        if (index >= 0)
            sorted.push_back(begin[index]);
    }
    std::copy(sorted.begin(), sorted.end(), begin);
    list.entryCount = static_cast<std::uint32_t>(sorted.size());
}

void InsFile::Data::planInstrument(Instrument& instrument, std::vector<std::int32_t>& placeOfBank)
{
    instrument.planBegin = static_cast<std::uint32_t>(plan.size());
    std::int32_t starPlace = -1;
    for (std::uint32_t i = 0; i < instrument.patchCount; ++i) {
        const PatchLine& patch = patchLines[instrument.patchBegin + i];
        const std::string_view refName = view(patch.refOffset, patch.refLength);
        std::int32_t bank = 0;
        const std::string written = patch.star ? std::string("*") : std::to_string(patch.bank);
        if (!patch.star) {
            bank = static_cast<std::int32_t>(patch.bank);
            if (instrument.method == 1) {
                // Controller 0 only: b is the MSB, unless it is written as MSB * 128 already.
                if (bank <= 127)
                    bank *= 128;
                else if (bank % 128 != 0)
                    warn(patch.line, "Patch[" + written +
                                         "] under BankSelMethod=1 is no bank select MSB; taken as bank " +
                                         written);
            } else if (instrument.method == 2 && bank > 127) {
                warn(patch.line, "Patch[" + written +
                                     "] under BankSelMethod=2 is no bank select LSB; taken as bank " +
                                     written);
            }
        }
        std::int32_t list = findList(kPatchNames, refName);
        if (list == kNoList)
            warn(patch.line, "patch list " + quoted(refName) + " of Patch[" + written + "] is not defined");

        std::int32_t& place = patch.star ? starPlace : placeOfBank[static_cast<std::size_t>(bank)];
        if (place >= 0) {
            plan[static_cast<std::size_t>(place)].list = list;
        } else {
            place = static_cast<std::int32_t>(plan.size());
            plan.push_back(PlanItem{patch.star ? -1 : bank, list});
        }
    }

    // Patch[*] stands for bank 0 when no line of the instrument gives bank 0 its own list.
    const bool bankZeroGiven = placeOfBank[0] >= 0;
    if (starPlace >= 0) {
        if (bankZeroGiven)
            plan.erase(plan.begin() + starPlace);
        else
            plan[static_cast<std::size_t>(starPlace)].bank = 0;
    }
    for (std::size_t i = instrument.planBegin; i < plan.size(); ++i) {
        if (plan[i].bank >= 0)
            placeOfBank[static_cast<std::size_t>(plan[i].bank)] = -1;
    }
    placeOfBank[0] = -1;
    instrument.planCount = static_cast<std::uint32_t>(plan.size() - instrument.planBegin);
}

std::span<const Entry> InsFile::Data::ownEntries(const List& list) const
{
    return std::span<const Entry>(entries).subspan(list.entryBegin, list.entryCount);
}

std::span<const Entry> InsFile::Data::mergedEntries(std::int32_t listIndex)
{
    auto known = [&](std::int32_t index) -> std::span<const Entry> {
        if (index == kBuiltin0To127)
            return builtins[0];
        if (index == kBuiltin1To128)
            return builtins[1];
        if (index < 0)
            return {};
        const List& list = lists[static_cast<std::size_t>(index)];
        if (list.base == kNoList)
            return ownEntries(list);
        return merged[static_cast<std::size_t>(list.merged)];
    };
    auto needsMerge = [&](std::int32_t index) {
        if (index < 0)
            return false;
        const List& list = lists[static_cast<std::size_t>(index)];
        return list.base != kNoList && list.merged < 0;
    };

    // Merge each list of the chain once, from the deepest base up; the result is kept for every later use.
    std::vector<std::int32_t> chain;
    for (std::int32_t at = listIndex; needsMerge(at); at = lists[static_cast<std::size_t>(at)].base)
        chain.push_back(at);
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        List& list = lists[static_cast<std::size_t>(*it)];
        const std::span<const Entry> own = ownEntries(list);
        const std::span<const Entry> base = known(list.base);
        std::vector<Entry> result;
        result.reserve(own.size() + base.size());
        std::size_t o = 0;
        std::size_t b = 0;
        while (o < own.size() || b < base.size()) {
            if (b == base.size() || (o < own.size() && own[o].number <= base[b].number)) {
                if (b < base.size() && own[o].number == base[b].number)
                    ++b;
                result.push_back(own[o++]);
            } else {
                result.push_back(base[b++]);
            }
        }
        result.shrink_to_fit();
        list.merged = static_cast<std::int32_t>(merged.size());
        merged.push_back(std::move(result));
    }
    return known(listIndex);
}

} // namespace quorvix
