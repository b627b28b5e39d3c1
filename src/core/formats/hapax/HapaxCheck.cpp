#include "formats/hapax/HapaxCheck.h"

#include "formats/hapax/HapaxReader.h"

#include <string>

namespace quorvix {

namespace {

bool contains(std::string_view text, std::string_view part)
{
    return text.find(part) != std::string_view::npos;
}

} // namespace

void checkForHapax(std::string_view bytes, Diagnostics& problems)
{
    // The reader names every line the device refuses; of its other warnings, those about what the Hapax
    // does (not about what the other formats can hold) are problems too.
    const ReadResult read = readHapax(std::string(bytes), "check");
    if (!read.ok()) {
        problems.warn(SourcePos{read.error->at.line, 0},
                      "the Hapax loads nothing of it: " + read.error->message);
        return;
    }
    bool refused = false;
    for (const Diagnostic& warning : read.warnings.list()) {
        // What Quorvix makes of the line (read or skipped) is no concern of the device's.
        std::string message = warning.message;
        for (const std::string_view ending : {"; read all the same", "; skipped"})
            if (message.ends_with(ending))
                message.resize(message.size() - ending.size());
        const bool refusing = contains(message, "the Hapax refuses the file at this line");
        if (warning.at.line == 0 ||
            !(refusing || contains(message, "firmware") || contains(message, "the Hapax ignores") ||
              contains(message, "[PC] lines") || contains(message, "byte-order mark")))
            continue;
        const std::string shown = refusing && !refused ? "the Hapax shows \"syntax error line " +
                                                             std::to_string(warning.at.line) +
                                                             "\" and loads nothing of the file: " + message
                                                       : message;
        refused = refused || refusing;
        problems.warn(SourcePos{warning.at.line, 0}, shown);
    }
}

} // namespace quorvix
