#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

namespace quorvix::gui {

/// Converts dialog-template units to pixels by a font's metrics, so a window keeps its proportions on every
/// font and screen: one horizontal unit is a quarter of the average character width, one vertical unit an
/// eighth of the character height. Results are rounded to the nearest pixel.
class DialogUnits
{
public:
    explicit DialogUnits(const QFont& font);

    /// Average width of A-Z and a-z in pixels (the horizontal base unit).
    int baseWidth() const { return m_baseWidth; }
    /// Character height in pixels (the vertical base unit).
    int baseHeight() const { return m_baseHeight; }

    int x(int units) const;
    int y(int units) const;
    QSize size(int width, int height) const { return {x(width), y(height)}; }
    QRect rect(int left, int top, int width, int height) const
    {
        return {x(left), y(top), x(width), y(height)};
    }

private:
    int m_baseWidth;
    int m_baseHeight;
};

} // namespace quorvix::gui
