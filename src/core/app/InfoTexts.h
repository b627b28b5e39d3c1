#pragma once

// The texts of the Info box, shared by every front end (the desktop program's Info box, the command line's
// --version). They name only Quorvix.

namespace quorvix::info {

/// The program's name (control 1011).
inline constexpr const char* kProgramName = "Quorvix";
/// The version line (control 1018).
inline constexpr const char* kVersionLine = "Version 2.0";
/// The line about the instrument definition library (control 1012).
inline constexpr const char* kLibraryLine = "An application with ZT MIDIFILE";
/// The legal notice with the year (control 1013).
inline constexpr const char* kLegalNotice = "Copyright (C) 2026 The Quorvix developers";
/// The contact line (control 1014).
inline constexpr const char* kContact = "Contact: team@quorvix.org";
/// The project's web address (control 1015).
inline constexpr const char* kWebAddress = "https://quorvix.org";
/// The address of the .ins reader's documentation (control 1016).
inline constexpr const char* kReaderDocs = "https://quorvix.org/docs/ins-reader";

} // namespace quorvix::info
