#pragma once

// The fixed-size records of the instrument definition library: the list of a file's definitions and the
// flat voice list of one definition, as the Cubase script writer takes it.

#include "model/Instrument.h"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

/// One instrument definition of a loaded file.
struct ZT_cwdef
{
    char name[80]; ///< definition name, NUL-terminated, cut to fit
};

/// One voice (named program) of the chosen definition.
struct ZT_cwbankvoice
{
    char reserved[64];    ///< unused; zero
    std::int32_t bank;    ///< bank select MSB * 128 + LSB
    char name[64];        ///< voice name as read (bytes), NUL-terminated, cut to fit
    std::int32_t program; ///< program number counted from 0
};

static_assert(sizeof(ZT_cwdef) == 80);
static_assert(sizeof(ZT_cwbankvoice) == 136);
static_assert(offsetof(ZT_cwbankvoice, bank) == 64);
static_assert(offsetof(ZT_cwbankvoice, name) == 68);
static_assert(offsetof(ZT_cwbankvoice, program) == 132);

namespace quorvix {

/// Copies `name` into a NUL-terminated field of `fieldSize` bytes (at least 1), cutting it to fieldSize - 1
/// bytes; a name that is valid UTF-8 is never cut inside a character. Unused bytes are set to 0.
void copyNameField(char* field, std::size_t fieldSize, std::string_view name);

/// What a field filled by copyNameField reads back as: the bytes it keeps, up to the first NUL among them.
std::string_view nameInField(std::string_view name, std::size_t fieldSize);

/// One record per voice of the instrument, in InstrumentSet::forEachVoice order, names cut to the field. With
/// `toWindows1252`, names of a UTF-8 set are converted (a character Windows-1252 lacks becomes "?").
std::vector<ZT_cwbankvoice> voiceRecords(const InstrumentSet& set, const Instrument& instrument,
                                         bool toWindows1252 = false);

} // namespace quorvix
