#include "TextCodec.h"

#include <QByteArray>
#include <QFile>
#include <QStringDecoder>
#include <array>

namespace quorvix::gui {

namespace {

/// Unicode values of the bytes 0x80 to 0x9F; 0xA0 to 0xFF equal their Latin-1 code points.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

QByteArray byteArray(std::string_view bytes)
{
    return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

} // namespace

QString displayText(std::string_view bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(byteArray(bytes));
    if (!utf8.hasError())
        return text;
    return fromWindows1252(bytes);
}

QString fromWindows1252(std::string_view bytes)
{
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80 && byte < 0xA0)
            text.append(QChar(kHighControls[byte - 0x80u]));
        else
            text.append(QChar(static_cast<char16_t>(byte)));
    }
    return text;
}

std::string toWindows1252(const QString& text)
{
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(text.size()));
    // Code points, not UTF-16 units: a character outside the BMP becomes one "?", not two.
    for (const char32_t code : text.toUcs4()) {
        if (code < 0x80 || (code >= 0xA0 && code <= 0xFF)) {
            bytes.push_back(static_cast<char>(code));
            continue;
        }
        char byte = '?';
        for (std::size_t i = 0; i < kHighControls.size(); ++i) {
            if (kHighControls[i] == code) {
                byte = static_cast<char>(0x80 + i);
                break;
            }
        }
        bytes.push_back(byte);
    }
    return bytes;
}

// The core takes paths as UTF-8 text on Windows (it hands wide strings to the system), and as the file
// system's own bytes elsewhere; QFile::encodeName would give the ANSI code page on Windows.
std::string pathBytes(const QString& path)
{
#if defined(Q_OS_WIN)
    const QByteArray encoded = path.toUtf8();
#else
    const QByteArray encoded = QFile::encodeName(path);
#endif
    return std::string(encoded.constData(), static_cast<std::size_t>(encoded.size()));
}

QString pathText(std::string_view bytes)
{
#if defined(Q_OS_WIN)
    return QString::fromUtf8(byteArray(bytes));
#else
    return QFile::decodeName(byteArray(bytes));
#endif
}

} // namespace quorvix::gui
