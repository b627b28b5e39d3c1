#pragma once

#include <QIcon>

namespace quorvix::gui {

/// The application icon from the program's resources, in every size it comes in.
QIcon applicationIcon();

} // namespace quorvix::gui
