#pragma once

// The named lists of one MIDNAM document (patch, note and control name lists), found by name and turned into
// the set's lists when a device first uses them. Private to formats/midnam.
//
// Where MIDNAM leaves a point open, the reader does what Ardour's reader does:
// - A list is looked up by its Name among the lists of the device that uses it, then among all lists of the
//   document (ExtendingDeviceNames included); of two lists with one name, the later one counts.
// - A Patch's Number is a label, kept as the patch's label; its program is its ProgramChange attribute, else
// the ProgramChange of its
//   PatchMIDICommands.
// - A Control without Type is a 7-bit controller; of two notes (or controls of one type) with one number the
//   first is kept. Control value names are not read.

#include "base/Diagnostic.h"
#include "formats/midnam/MidnamSource.h"
#include "model/ReadResult.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quorvix::midnam {

enum class ListKind : std::uint8_t
{
    Patch,
    Note,
    Control,
};

/// The set's control lists made from one ControlNameList; kNoList for a kind it does not name.
struct ControlLists
{
    std::int32_t controllers = kNoList;
    std::int32_t rpns = kNoList;
    std::int32_t nrpns = kNoList;
};

/// What a MIDICommands or PatchMIDICommands element sends that the model keeps.
struct Commands
{
    std::int16_t msb = -1; ///< CC0, 0..127
    std::int16_t lsb = -1; ///< CC32, 0..127
    std::optional<std::int32_t> program;
    pugi::xml_node programAt;
};

/// One Patch of a PatchNameList as read.
struct ParsedPatch
{
    TextRef name;
    std::uint8_t program = 0;
    bool ownSelect = false; ///< its PatchMIDICommands send CC0 or CC32
    BankSelect select;      ///< the bank those send, when ownSelect
    std::int32_t noteList = kNoList;
    pugi::xml_node node;
    TextRef label; ///< its Number, the label the device shows
};

/// One Control of a ControlNameList as read, with its element for warnings.
struct ReadControl
{
    NameEntry entry;
    pugi::xml_node node;
};

/// The control types of a ControlNameList: 7bit, 14bit, RPN and NRPN.
inline constexpr std::size_t kControlTypeCount = 4;

class Lists
{
public:
    Lists(const Source& source, ReadResult& result);

    /// Starts reading a device (a MasterDeviceNames or StandardDeviceMode): references are looked up in it
    /// first, and the lists made for the previous device are no longer shared.
    void beginDevice(pugi::xml_node device);

    /// The list a UsesPatchNameList, UsesNoteNameList or UsesControlNameList names; null, with a warning,
    /// when the document holds none of that name.
    pugi::xml_node resolve(ListKind kind, pugi::xml_node uses);

    /// The set's note list made from a NoteNameList.
    std::int32_t noteList(pugi::xml_node list);
    /// The set's control lists made from a ControlNameList.
    ControlLists controlLists(pugi::xml_node list);
    /// The banks a PatchBank that selects `bankSelect` and names `list` stands for: its own and those its
    /// patches' own commands select, in the order their first patches stand.
    std::vector<BankSelect> selectsOf(pugi::xml_node list, const BankSelect& bankSelect);
    /// The set's patch list holding the patches of `list` that select `select` (by their own commands, or,
    /// with `withUnowned`, by having none), programs ascending; made once per device and reused.
    std::int32_t patchList(pugi::xml_node list, const BankSelect& select, bool withUnowned,
                           std::string_view bankName);

    /// What a MIDICommands or PatchMIDICommands element sends; `owner` names it in warnings.
    Commands commands(pugi::xml_node element, std::string_view owner);

    /// Keeps a name (trimmed) in the set. Bytes that are not UTF-8 are read as Windows-1252, with one
    /// warning per document.
    TextRef keepName(pugi::xml_node at, std::string_view text);
    /// Keeps a name as it stands (a patch, note or control name: MIDNAM keeps their blanks), read like
    /// keepName.
    TextRef keepText(pugi::xml_node at, std::string_view text);
    void warn(pugi::xml_node at, std::string message);
    void warn(pugi::xml_attribute at, std::string message);

private:
    struct Definition
    {
        pugi::xml_node node;
        pugi::xml_node owner; ///< the child of the root it stands in
    };
    struct MadeList
    {
        BankSelect content; ///< the select its own-select patches have; {-2, -2, -2} when it holds none
        bool withUnowned = false;
        std::int32_t index = kNoList;
    };
    /// The patches of a PatchNameList (those without a usable program left out), in document order, and
    /// indexes into them by the bank they select.
    struct ParsedList
    {
        std::vector<ParsedPatch> patches;
        TextRef name;
        std::vector<std::uint32_t> unowned; ///< the patches without commands of their own that select a bank
        std::unordered_map<std::int32_t, std::vector<std::uint32_t>>
            owned;                             ///< the others, by the bank they select
        std::vector<std::uint32_t> firstOwned; ///< the first patch of each bank they select, in order
        std::vector<MadeList> made;            ///< the set's patch lists made from it
    };

    using ControlsByType = std::array<std::vector<ReadControl>, kControlTypeCount>;

    void indexDocument();
    /// The controls of a ControlNameList by type, each type's by number, of a number named twice the first.
    ControlsByType readControls(pugi::xml_node list, std::string_view listName);
    /// Moves the 14-bit controllers into the controller list; the kind of that list.
    ControlKind mergeControllers(ControlsByType& byType);
    /// The set's control list of the controls, named after the list and `suffix`; kNoList for none.
    std::int32_t makeControlList(pugi::xml_node list, std::string_view listName,
                                 const std::vector<ReadControl>& controls, ControlKind kind,
                                 std::string_view suffix);
    ParsedList& parsed(pugi::xml_node list);

    const Source& m_source;
    ReadResult& m_result;
    std::unordered_map<std::string_view, std::vector<Definition>> m_definitions[3];
    pugi::xml_node m_device;
    std::unordered_map<const void*, std::int32_t> m_noteLists;
    std::unordered_map<const void*, ControlLists> m_controlLists;
    std::unordered_map<const void*, ParsedList> m_parsed;
    bool m_warnedEncoding = false;
};

} // namespace quorvix::midnam
