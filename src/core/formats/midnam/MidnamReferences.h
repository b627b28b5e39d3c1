#pragma once

// The references in a MIDNAM document's text that the reader does not read as a user means them. Private to
// formats/midnam.

#include "base/Diagnostic.h"

#include <string_view>

namespace quorvix::midnam {

/// Warns, with the line, about "&#0;" (no character: the text ends there) and about a reference to an entity
/// the document declares (entities are never expanded, so that a document cannot make the reader fetch files
/// or build huge texts; the reference stays as it is written). Comments, CDATA and the DOCTYPE are passed
/// over.
void warnReferences(std::string_view bytes, Diagnostics& warnings);

} // namespace quorvix::midnam
