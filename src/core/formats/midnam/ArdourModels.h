#pragma once

// The models of the MIDNAM documents Ardour installs: Ardour ignores a model of a document that it has
// loaded from another file already.

#include <string_view>

namespace quorvix {

/// True when one of the documents in Ardour's share/patchfiles names `model` in a <Model>.
bool isArdourModel(std::string_view model);

} // namespace quorvix
