#pragma once

// The reader of Hapax definitions, line by line: HapaxReader.cpp reads the header, the sections and the
// [PC] lines and makes the instrument; HapaxEntries.cpp reads the drum lanes and the controller lines and
// makes their lists.

#include "formats/hapax/HapaxSyntax.h"
#include "model/ReadResult.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quorvix::hapax {

/// The fields of an entry's first word, split at ":" (at most kMostFields).
struct Fields
{
    static constexpr std::size_t kMostFields = 5;
    std::array<std::string_view, kMostFields> at{};
    std::size_t count = 0; ///< above kMostFields when there are more

    explicit Fields(std::string_view text);
};

/// A named number of a section's line: a PC, drum note, controller or NRPN.
struct Entry
{
    std::int32_t number = 0;
    std::int16_t msb = -1; ///< [PC]: the bank bytes (-1: NULL); [CC_PAIR]: the controllers of the pair
    std::int16_t lsb = -1;
    TextRef name;
    std::uint32_t line = 0;
};

class DefinitionParser
{
public:
    explicit DefinitionParser(ReadResult& result) : m_result(result), m_set(result.set) {}

    void line(std::uint32_t number, std::string_view text);
    /// Makes the instrument; false, with the error set, when the file holds no directive or section.
    bool finish(std::string_view fileStem);

private:
    void warn(std::string message) { m_result.warnings.warn(m_line, std::move(message)); }
    /// Warns that the Hapax refuses the file at this line, and whether the line is read all the same.
    void refused(const std::string& what, bool read);
    /// Warns about a name the Hapax would refuse; false (warned) for a missing one.
    bool nameTaken(std::string_view name, std::string_view what);

    void directive(std::string_view statement);
    void sectionLine(std::string_view name, bool closing);
    void entry(std::string_view statement);
    void pcLine(const Fields& fields, std::string_view name);
    // HapaxEntries.cpp
    void laneLine(const Fields& fields, std::string_view name);
    void ccLine(const Fields& fields, std::string_view name);
    void pairLine(const Fields& fields, std::string_view name);
    void nrpnLine(const Fields& fields, std::string_view name);
    /// Reads a DEFAULT=x (or bare x) field from 0 to `highest`; warns when it is none.
    void defaultField(std::string_view field, std::int64_t highest);
    void makeBanks(Instrument& instrument);
    void makeNoteList(Instrument& instrument);
    void makeControlLists(Instrument& instrument);
    std::int32_t controlList(ControlKind kind, std::vector<Entry> entries, std::string_view what);
    void warnNotCarried(const Instrument& instrument);

    ReadResult& m_result;
    InstrumentSet& m_set;
    std::uint32_t m_line = 0;
    bool m_anyStatement = false;
    Section m_section = Section::None;
    std::uint32_t m_sectionLine = 0;
    TextRef m_trackName;
    std::string m_type; ///< TYPE's value in capitals; empty when not given
    std::vector<Entry> m_pcs;
    std::vector<Entry> m_lanes;
    std::vector<Entry> m_controllers;
    std::vector<Entry> m_pairs;
    std::vector<Entry> m_nrpns;
    std::uint32_t m_lanesLine = 0;       ///< the first drum lane's line
    bool m_warnedRows = false;           ///< rows 9 to 16, which firmware before 3.10 refuses
    std::size_t m_automation = 0;        ///< [AUTOMATION] lines
    std::vector<std::string> m_settings; ///< track settings no other format holds: "OUTPORT A"
    std::size_t m_assign = 0;            ///< [ASSIGN] lines
    std::size_t m_comment = 0;           ///< [COMMENT] lines
    std::size_t m_defaults = 0;          ///< default values of controllers and NRPNs
    std::size_t m_wideNrpns = 0;         ///< NRPNs of 14 bits
    std::size_t m_laneSettings = 0;      ///< drum lanes with a trigger or channel of their own
};

} // namespace quorvix::hapax
