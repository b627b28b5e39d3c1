#include "Icon.h"

#include <QImageReader>

// The resources live in this static library, so they are registered by hand, once, before first use.
static bool registerResources()
{
    Q_INIT_RESOURCE(quorvix);
    return true;
}

namespace quorvix::gui {

QIcon applicationIcon()
{
    [[maybe_unused]] static const bool registered = registerResources();
    QIcon icon;
    for (const int size : {16, 32, 48, 128, 256})
        icon.addFile(QStringLiteral(":/icons/quorvix-%1.png").arg(size), QSize(size, size));
    // The drawing itself, where an SVG reader is installed.
    if (QImageReader::supportedImageFormats().contains("svg"))
        icon.addFile(QStringLiteral(":/icons/quorvix.svg"));
    return icon;
}

} // namespace quorvix::gui
