#pragma once

// Banks that one bank numbering cannot hold together. Two banks that select the same bank and name the same
// program (a drum set and a melodic bank on one MSB/LSB, a device's modes, banks told apart by SysEx) cannot
// be one bank of a definition without losing patches or giving one of them a number the device does not
// have. Such banks are kept apart: each group of banks is written as a definition of its own.

#include "model/Instrument.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace quorvix {

/// The number a bank goes by where banks are numbered as the method sends them: the MSB under MsbOnly, the
/// LSB under LsbOnly, else bankNumberOf().
std::int32_t bankNumberUnder(BankSelectMethod method, std::int32_t number);

/// Banks of an instrument that can share one bank numbering.
struct BankGroup
{
    std::vector<std::size_t> banks; ///< indexes into Instrument::banks, in the instrument's order
    /// For a group after the first: the bank that opened it and the bank of the first group whose programs
    /// it names (both indexes into Instrument::banks).
    std::size_t opener = 0;
    std::size_t collidesWith = 0;
};

/// The instrument's banks that hold patches, in groups where no two banks of one number (under the
/// instrument's method) name the same program. The first group takes every bank that fits it; a bank that
/// fits no group opens a further one. Banks of one number whose programs differ stay in one group.
std::vector<BankGroup> bankGroups(const InstrumentSet& set, const Instrument& instrument);

/// The same for a format that tells banks apart by more, or other, than their number: two banks are of one
/// number when `keyOf` gives them the same key.
std::vector<BankGroup> bankGroups(const InstrumentSet& set, const Instrument& instrument,
                                  const std::function<std::int64_t(const Bank&)>& keyOf);

/// What a bank select sends, as a user reads it: "CC0 1 / CC32 0", "program change 100", "nothing".
std::string bankSelectText(const BankSelect& select);

/// The name of a bank as a user knows it: its own, else its patch list's, else "Bank N".
std::string bankTitle(const InstrumentSet& set, const Bank& bank);

} // namespace quorvix
