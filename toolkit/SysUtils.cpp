#include "toolkit/SysUtils.h"
#include <QStringDecoder>
#include <QStringEncoder>

Exception::Exception(QString message) : FMessage(std::move(message)), FWhat(FMessage.toUtf8()) {}
Exception::~Exception() = default;
const char* Exception::what() const noexcept { return FWhat.constData(); }

EDatabaseError::EDatabaseError(QString message, TKind kind) : Exception(std::move(message)), FKind(kind) {}

QString SDuplicateClassMessage(const QString& className)
{
    return QStringLiteral("A class named %1 already exists").arg(className);
}

QString FormatOne(const QString& format, const QString& arg)
{
    QString out = format;
    qsizetype at = out.indexOf(QLatin1String("%s"), 0, Qt::CaseInsensitive);
    if (at >= 0)
        out.replace(at, 2, arg);
    return out;
}

QString FromGbk(const char* text)
{
    if (!text)
        return {};
    return FromGbk(QByteArray(text));
}

QString FromGbk(const QByteArray& bytes)
{
    QStringDecoder decoder("GB18030");
    if (!decoder.isValid())
        return QString::fromLocal8Bit(bytes);
    return decoder.decode(bytes);
}

QByteArray ToGbk(const QString& text)
{
    QStringEncoder encoder("GB18030");
    if (!encoder.isValid())
        return text.toLocal8Bit();
    return encoder.encode(text);
}

QString AsciiUpper(const QString& text)
{
    QString out = text;
    for (QChar& c : out)
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            c = QChar(c.unicode() - 32);
    return out;
}
