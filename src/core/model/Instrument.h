#pragma once

// The instrument model that every format reads into and writes from. An InstrumentSet holds what one file
// describes: devices, the instruments of those devices (a Cakewalk instrument definition, a MIDNAM channel
// name set, a Cubase script, a REAPER bank file), their banks, and the patch, note, controller, RPN and NRPN
// name lists the instruments use. Lists are shared: several banks (or instruments) may use one patch list.
// Names are bytes in the set's encoding, kept by the set and reached through TextRef.

#include "base/Encoding.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quorvix {

/// A piece of text kept by an InstrumentSet. Stays valid when the set grows; read it with set.text(ref).
struct TextRef
{
    std::uint32_t offset = 0;
    std::uint32_t length = 0;

    bool empty() const { return length == 0; }
};

/// How a device switches banks (Cakewalk's BankSelMethod).
enum class BankSelectMethod : std::uint8_t
{
    Normal = 0,        ///< CC0 = bank / 128 and CC32 = bank % 128
    MsbOnly = 1,       ///< CC0 only
    LsbOnly = 2,       ///< CC32 only
    ProgramChange = 3, ///< a program change 100 + bank before the patch's own program change
};

/// The messages that select a bank; a negative field is not sent.
struct BankSelect
{
    std::int16_t msb = -1;     ///< controller 0
    std::int16_t lsb = -1;     ///< controller 32
    std::int16_t program = -1; ///< a program change sent before the patch's own

    bool operator==(const BankSelect&) const = default;
};

/// The messages that select bank `number` (MSB * 128 + LSB) under `method`.
BankSelect bankSelectFor(BankSelectMethod method, std::int32_t number);

/// The bank number of what `select` sends: MSB * 128 + LSB (an unsent part counts 0), or for a selecting
/// program change its number - 100.
std::int32_t bankNumberOf(const BankSelect& select);

/// The method that sends what `select` sends, when one does: CC0 + CC32 (or nothing) is Normal, CC0 alone
/// MsbOnly, CC32 alone LsbOnly, a program change of 100 or more alone ProgramChange.
bool methodOf(const BankSelect& select, BankSelectMethod& method);

struct Bank;

/// The method that every bank's select agrees on (a bank that sends neither CC0 nor CC32 agrees with any);
/// Normal when they differ.
BankSelectMethod agreedMethod(const std::vector<Bank>& banks);

inline constexpr std::int32_t kNoList = -1;

/// The most note lists a set holds, so that a patch names its own in the bits its program leaves.
inline constexpr std::size_t kMostNoteLists = (std::size_t{1} << 22) - 1;

/// Twelve bytes: a large file holds millions.
struct Patch
{
    TextRef name;
    std::int32_t program : 9 = 0;         ///< 0..127 (a reader may keep up to 255, to warn about)
    std::int32_t noteList : 23 = kNoList; ///< the note names this patch uses (index into noteLists)
};
static_assert(sizeof(Patch) == 12);

/// Programs ascending, each at most once.
struct PatchList
{
    TextRef name;
    std::vector<Patch> patches;
    /// Empty, or one per patch: the number the device displays for it ("A00", "U 1-1"), empty where the
    /// source gives none.
    std::vector<TextRef> labels;
};

/// A named note, controller, RPN or NRPN number.
struct NameEntry
{
    std::uint16_t number = 0;
    TextRef name;
};

/// Note names (0..127), ascending, each at most once.
struct NoteList
{
    TextRef name;
    std::vector<NameEntry> notes;
    std::int32_t device =
        -1; ///< for a list no instrument uses: the device that holds it (index into devices)
};

enum class ControlKind : std::uint8_t
{
    Controller,   ///< a 7-bit controller, 0..127
    Controller14, ///< a 14-bit controller pair, 0..31 (its MSB controller number)
    Rpn,          ///< 0..16383
    Nrpn,         ///< 0..16383
};

/// Names of controllers (or RPNs, or NRPNs), ascending by number.
struct ControlList
{
    TextRef name;
    ControlKind kind = ControlKind::Controller;
    std::vector<NameEntry> controls;
    std::int32_t device =
        -1; ///< for a list no instrument uses: the device that holds it (index into devices)
};

struct Bank
{
    std::int32_t number = 0; ///< bankNumberOf(select): MSB * 128 + LSB
    BankSelect select;
    TextRef name;                     ///< may be empty
    std::int32_t patchList = kNoList; ///< index into patchLists
};

inline constexpr int kMidiChannels = 16;

/// A way the device assigns its instruments to the 16 channels (a MIDNAM CustomDeviceMode).
struct DeviceMode
{
    TextRef name;
    std::array<TextRef, kMidiChannels> nameSets; ///< the Instrument::nameSet each channel uses; empty: none
};

struct Device
{
    TextRef manufacturer; ///< may be empty
    TextRef model;
    std::vector<TextRef> moreModels; ///< further models the same names are for
    std::vector<DeviceMode> modes;   ///< empty when the source assigns no channels
    /// The note and control lists (indexes into noteLists, controlLists) of the device that no instrument
    /// uses, in the source's order.
    std::vector<std::int32_t> spareNoteLists = {};
    std::vector<std::int32_t> spareControlLists = {};
};

struct Instrument
{
    TextRef name;
    std::int32_t device = -1; ///< index into devices; -1 when the source names none
    BankSelectMethod method = BankSelectMethod::Normal;
    std::vector<Bank> banks;            ///< in the source's order
    std::int32_t noteList = kNoList;    ///< the note names of every patch that names none of its own
    std::int32_t controllers = kNoList; ///< index into controlLists (Controller and Controller14 names)
    std::int32_t rpns = kNoList;        ///< index into controlLists (Rpn names)
    std::int32_t nrpns = kNoList;       ///< index into controlLists (Nrpn names)
    /// The name of the device's name set this instrument is (a MIDNAM ChannelNameSet); empty when the device
    /// has no name sets. Instruments of one device with name sets are written back as one device.
    TextRef nameSet;
    std::uint16_t channels = 0xFFFF; ///< the channels it is available on: bit n for channel n + 1
};

/// One voice of an instrument: a named program of one of its banks.
struct Voice
{
    std::int32_t bank = 0;    ///< the number of its bank (Bank::number)
    std::int32_t program = 0; ///< 0..127
    std::string_view name;
};

/// Everything one file describes, with the text its names are made of.
class InstrumentSet
{
public:
    InstrumentSet() = default;
    /// A set whose text starts with the source's bytes, so that readers can keep names where they stand.
    InstrumentSet(std::string source, TextEncoding encoding);

    /// The text of a reference. The view is valid until the next keep().
    std::string_view text(TextRef ref) const
    {
        // The source and the kept texts are stored apart, so that keeping a name never moves the source.
        if (ref.offset < m_source.size())
            return std::string_view(m_source).substr(ref.offset, ref.length);
        return std::string_view(m_kept).substr(ref.offset - m_source.size(), ref.length);
    }
    /// The source's bytes, as given at construction.
    std::string_view source() const { return m_source; }
    /// A reference to a part of the set's text (a view that text() or source() gave).
    TextRef refer(std::string_view part) const;
    /// Copies text into the set (std::length_error beyond 4 GiB in all).
    TextRef keep(std::string_view text);
    /// Copies UTF-8 text into the set in its encoding (converted for a Windows-1252 set).
    TextRef keepUtf8(std::string_view text);
    /// The bytes of all its text: the source and what keep() added.
    std::size_t textSize() const { return m_source.size() + m_kept.size(); }
    /// Makes room for `bytes` more of keep() at once (a set that a whole other set is copied into).
    void reserveKept(std::size_t bytes) { m_kept.reserve(m_kept.size() + bytes); }

    /// The encoding of every name in the set.
    TextEncoding encoding = TextEncoding::Utf8;

    std::vector<Device> devices;
    std::vector<PatchList> patchLists;
    std::vector<NoteList> noteLists;
    std::vector<ControlList> controlLists;
    std::vector<Instrument> instruments;

    /// The patch list a bank names, or null when it names none the set holds (a bank without patches).
    const PatchList* patchListOf(const Bank& bank) const
    {
        if (bank.patchList < 0 || static_cast<std::size_t>(bank.patchList) >= patchLists.size())
            return nullptr;
        return &patchLists[static_cast<std::size_t>(bank.patchList)];
    }

    /// The control list at `index`, or null when the set holds none there.
    const ControlList* controlListAt(std::int32_t index) const
    {
        if (index < 0 || static_cast<std::size_t>(index) >= controlLists.size())
            return nullptr;
        return &controlLists[static_cast<std::size_t>(index)];
    }

    /// The note names a patch of `instrument` plays with: its own list, else the instrument's; kNoList when
    /// that is no list of the set or names no note.
    std::int32_t drumNotesOf(const Instrument& instrument, const Patch& patch) const
    {
        const std::int32_t list = patch.noteList != kNoList ? patch.noteList : instrument.noteList;
        return namesNotes(list) ? list : kNoList;
    }

    /// True for a note list of the set that names at least one note.
    bool namesNotes(std::int32_t list) const
    {
        return list >= 0 && static_cast<std::size_t>(list) < noteLists.size() &&
               !noteLists[static_cast<std::size_t>(list)].notes.empty();
    }

    /// The number of voices: every patch of every bank.
    std::size_t voiceCount(const Instrument& instrument) const;

    /// Calls `visit(const Voice&)` for every voice: the banks in order, in each its patches by program.
    template <typename Visit>
    void forEachVoice(const Instrument& instrument, Visit&& visit) const
    {
        for (const Bank& bank : instrument.banks) {
            if (const PatchList* list = patchListOf(bank))
                for (const Patch& patch : list->patches)
                    visit(Voice{bank.number, patch.program, text(patch.name)});
        }
    }

    /// A text of the set as UTF-8.
    std::string utf8(TextRef ref) const { return toUtf8(text(ref), encoding); }

private:
    std::string m_source;
    std::string m_kept; ///< the texts of keep(), at offsets from m_source.size() on
};

} // namespace quorvix
