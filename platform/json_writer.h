#pragma once

#include <QString>

// The JSON our commands print for scripts, written as it goes, on one line:
// ", " between members and elements, ": " after a key. A number that is not
// finite (a sum that overflowed) is written as null, so the text always parses.
//
//   JsonWriter w;
//   w.beginObject().key("records").integer(3).key("first").null().endObject();
//   // {"records": 3, "first": null}
class JsonWriter
{
public:
    JsonWriter& beginObject() { return open(u'{'); }
    JsonWriter& endObject() { return close(u'}'); }
    JsonWriter& beginArray() { return open(u'['); }
    JsonWriter& endArray() { return close(u']'); }
    // The name of the next member of the open object; its value follows.
    JsonWriter& key(const QString& name);

    JsonWriter& string(const QString& text);
    // 15 significant digits, a decimal point; not finite: null.
    JsonWriter& number(double value);
    JsonWriter& integer(qint64 value);
    JsonWriter& boolean(bool value);
    JsonWriter& null();

    // What is written so far.
    const QString& text() const { return m_text; }

    // `text` as a JSON string: quoted, with quotes, backslashes and control
    // characters escaped.
    static QString quoted(const QString& text);

private:
    JsonWriter& open(QChar bracket);
    JsonWriter& close(QChar bracket);
    // Before a value: the separator from the value before it, if any.
    void separate();

    QString m_text;
    bool m_first = true; // the open object or array has nothing yet
    bool m_afterKey = false;
};
