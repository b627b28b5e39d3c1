#pragma once

// Reader of Cakewalk instrument definition files (.ins). It reads the whole file once, keeps its bytes and
// refers to names inside them, and resolves every reference (BasedOn, Patch[...]) after the whole file has
// been read, so that the order of lists and instruments in the file never matters.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quorvix {

/// Something the reader skipped or could not resolve; the file still loads.
struct InsWarning
{
    std::size_t line = 0; ///< 1-based line of the file
    std::string message;
};

/// One named program of an instrument definition.
struct InsVoice
{
    std::int32_t bank = 0;    ///< bank select MSB * 128 + LSB
    std::int32_t program = 0; ///< 0..127
    std::string_view name; ///< bytes as read, trimmed; valid as long as the InsFile lives and is not reloaded
};

/// A parsed .ins file.
class InsFile
{
public:
    /// Most warnings kept; further ones are counted and summed up in one last warning.
    static constexpr std::size_t kMaxWarnings = 10000;

    InsFile();
    ~InsFile();
    InsFile(const InsFile&) = delete;
    InsFile& operator=(const InsFile&) = delete;
    InsFile(InsFile&&) noexcept;
    InsFile& operator=(InsFile&&) noexcept;

    /// Parses the bytes of a whole file. Returns false, with error() set and nothing else kept, when the
    /// bytes are no instrument definition file (a NUL byte, or none of the six section lines).
    bool parse(std::string bytes);
    /// Reads the file at `path` and parses it; false with error() set when it cannot be read or parsed.
    bool load(const std::filesystem::path& path);

    /// Why the last parse or load failed; empty after a success.
    const std::string& error() const { return m_error; }
    /// Warnings of the last parse, in line order of where they were found.
    const std::vector<InsWarning>& warnings() const { return m_warnings; }

    /// Number of instruments in `.Instrument Definitions`, in file order.
    std::size_t definitionCount() const;
    /// Name of the definition at `index` (bytes as read, trimmed).
    std::string_view definitionName(std::size_t index) const;
    /// Number of voices of the definition at `index`; the same as voices(index).size().
    std::size_t voiceCount(std::size_t index);
    /// Voices of the definition at `index`: its Patch[b] lines in file order (a bank given twice: the later
    /// list at the earlier place), and within each list the programs in ascending order.
    std::vector<InsVoice> voices(std::size_t index);

private:
    struct Data;
    std::unique_ptr<Data> m_data;
    std::string m_error;
    std::vector<InsWarning> m_warnings;
};

} // namespace quorvix

struct MIDIFile;

namespace quorvix {

/// The reader behind a library handle: after ZT_CWInsLoad it holds that load's definitions, warnings and,
/// when the load failed, its error. Null for a null handle.
const InsFile* insFileOf(const MIDIFile* file);
InsFile* insFileOf(MIDIFile* file);

} // namespace quorvix
