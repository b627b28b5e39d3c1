#include "TextCodec.h"

#include "base/Encoding.h"

#include <QByteArray>
#include <QFile>
#include <QStringDecoder>

namespace quorvix::gui {

namespace {

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
    return QString::fromStdString(windows1252ToUtf8(bytes));
}

std::string toWindows1252(const QString& text)
{
    return utf8ToWindows1252(text.toStdString());
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
