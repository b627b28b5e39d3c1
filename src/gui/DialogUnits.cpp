#include "DialogUnits.h"

#include <QFontMetrics>
#include <QString>

namespace quorvix::gui {

namespace {

/// a * b / c rounded to the nearest integer, halves away from zero (c > 0).
int mulDiv(int a, int b, int c)
{
    const long long product = static_cast<long long>(a) * b;
    const long long half = c / 2;
    return static_cast<int>(product >= 0 ? (product + half) / c : (product - half) / c);
}

} // namespace

DialogUnits::DialogUnits(const QFont& font)
{
    const QFontMetrics metrics(font);
    const int alphabet =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    m_baseWidth = qMax(1, (alphabet / 26 + 1) / 2);
    m_baseHeight = qMax(1, metrics.height());
}

int DialogUnits::x(int units) const
{
    return mulDiv(units, m_baseWidth, 4);
}

int DialogUnits::y(int units) const
{
    return mulDiv(units, m_baseHeight, 8);
}

} // namespace quorvix::gui
