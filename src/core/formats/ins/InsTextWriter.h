#pragma once

// The writer behind writeIns: plans the definitions (an instrument's banks that one bank numbering cannot
// hold become further definitions) and the lists they use, then writes the file. Private to formats/ins.

#include "base/Diagnostic.h"
#include "base/LineWriter.h"
#include "base/OutputSink.h"
#include "base/UniqueNames.h"
#include "formats/ins/InsWriter.h"
#include "model/BankGroups.h"
#include "model/Instrument.h"

#include <array>
#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

namespace quorvix::ins {

class InsTextWriter
{
public:
    InsTextWriter(const InstrumentSet& set, std::span<const std::size_t> instruments,
                  const InsWriteOptions& options, OutputSink& out, Diagnostics& warnings)
        : m_set(set), m_instruments(instruments), m_options(options), m_out(out), m_warnings(warnings)
    {}

    void run();

private:
    enum Kind
    {
        kPatch,
        kNote,
        kController,
        kRpn,
        kNrpn,
        kKinds
    };

    /// A bank as the definition writes it: banks of one written number share one list.
    struct PlannedBank
    {
        std::int32_t written;
        std::int32_t list; ///< index into the set's patch lists, or past them into m_mergedLists
        TextRef name;      ///< the name of the first bank of the number
    };
    /// A definition written: an instrument, or the banks of one that its first definition cannot hold.
    struct Definition
    {
        std::size_t instrument;
        std::string name;
        std::vector<PlannedBank> plan;
    };

    void planDefinitions();
    void warnSilentBanks(const std::string& name);
    std::vector<PlannedBank> planBanks(const Instrument& instrument, const std::string& name,
                                       const BankGroup& group);
    const PatchList& patchList(std::int32_t index) const
    {
        const auto own = static_cast<std::int32_t>(m_set.patchLists.size());
        return index < own ? m_set.patchLists[static_cast<std::size_t>(index)]
                           : m_mergedLists[static_cast<std::size_t>(index - own)];
    }
    std::string text(TextRef ref) const;
    std::string safe(TextRef ref, std::string_view what);
    void checkEncoding(TextRef ref);
    void chooseEncoding();
    void nameLists();
    void nameSpareLists();
    const std::string& listName(Kind kind, std::int32_t index) const;
    void writeHeader(LineWriter& lines);
    void writeLists(LineWriter& lines);
    /// The lines of a patch list; programs above 127, which no definition holds, are named in a warning.
    void writePatches(LineWriter& lines, std::int32_t index);
    void writeInstrument(LineWriter& lines, const Definition& definition);

    const InstrumentSet& m_set;
    std::span<const std::size_t> m_instruments;
    const InsWriteOptions& m_options;
    OutputSink& m_out;
    Diagnostics& m_warnings;
    bool m_toWindows1252 = false;
    bool m_ascii = true; ///< every name checked is ASCII
    bool m_fits = true;  ///< every name checked fits Windows-1252
    std::vector<Definition> m_definitions;
    std::vector<PatchList> m_mergedLists;
    /// The banks of the instrument planned that select no bank, by what the definition will send for them.
    std::map<std::string, std::vector<std::string>> m_silentBanks;
    // The lists written, in first-use order, with the names they are written under.
    std::array<std::vector<std::int32_t>, kKinds> m_order;
    std::array<std::map<std::int32_t, std::string>, kKinds> m_names;
    std::array<UniqueNames, kKinds> m_taken;
};

} // namespace quorvix::ins
