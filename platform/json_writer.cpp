#include "platform/json_writer.h"

#include <cmath>

QString JsonWriter::quoted(const QString& text)
{
    QString out;
    out.reserve(text.size() + 2);
    out += u'"';
    for (const QChar c : text) {
        if (c == u'"' || c == u'\\') {
            out += u'\\';
            out += c;
        } else if (c.unicode() < 0x20) {
            out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        } else {
            out += c;
        }
    }
    out += u'"';
    return out;
}

void JsonWriter::separate()
{
    if (m_afterKey)
        m_afterKey = false;
    else if (!m_first)
        m_text += QLatin1String(", ");
    m_first = false;
}

JsonWriter& JsonWriter::open(QChar bracket)
{
    separate();
    m_text += bracket;
    m_first = true;
    return *this;
}

JsonWriter& JsonWriter::close(QChar bracket)
{
    m_text += bracket;
    m_first = false;
    return *this;
}

JsonWriter& JsonWriter::key(const QString& name)
{
    separate();
    m_text += quoted(name);
    m_text += QLatin1String(": ");
    m_afterKey = true;
    return *this;
}

JsonWriter& JsonWriter::string(const QString& text)
{
    separate();
    m_text += quoted(text);
    return *this;
}

JsonWriter& JsonWriter::number(double value)
{
    if (!std::isfinite(value))
        return null();
    separate();
    m_text += QString::number(value, 'g', 15);
    return *this;
}

JsonWriter& JsonWriter::integer(qint64 value)
{
    separate();
    m_text += QString::number(value);
    return *this;
}

JsonWriter& JsonWriter::boolean(bool value)
{
    separate();
    m_text += value ? QLatin1String("true") : QLatin1String("false");
    return *this;
}

JsonWriter& JsonWriter::null()
{
    separate();
    m_text += QLatin1String("null");
    return *this;
}
