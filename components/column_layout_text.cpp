#include "components/column_layout_text.h"

#include "platform/app_error.h"

#include <optional>

namespace {

const QString kEol = QStringLiteral("\r\n");
const QString kHolderClass = QStringLiteral("TUniDataStorage");

// Printable ASCII goes inside quotes (a quote doubled), anything else as #code,
// the way the streaming notation writes strings.
QString quoteString(const QString& s)
{
    if (s.isEmpty())
        return QStringLiteral("''");
    QString out;
    bool inQuotes = false;
    for (const QChar c : s) {
        const char16_t u = c.unicode();
        if (u >= 0x20 && u <= 0x7E) {
            if (!inQuotes) {
                out += u'\'';
                inQuotes = true;
            }
            if (u == u'\'')
                out += u'\'';
            out += c;
        } else {
            if (inQuotes) {
                out += u'\'';
                inQuotes = false;
            }
            out += u'#' + QString::number(u);
        }
    }
    if (inQuotes)
        out += u'\'';
    return out;
}

QString setText(const QStringList& members)
{
    return u'[' + members.join(QStringLiteral(", ")) + u']';
}

QString colorText(TColor color)
{
    const QString name = colorToIdent(color);
    return name.isEmpty() ? QString::number(color) : name;
}

void writeProperty(QString& out, const QString& name, const QString& value)
{
    out += QStringLiteral("      ") + name + QStringLiteral(" = ") + value + kEol;
}

// ---------------------------------------------------------------- reading --

struct Token
{
    enum Kind
    {
        End,
        Ident,
        Int,
        String,
        Symbol
    } kind = End;
    QString text; // identifier, string value, or the symbol
    qint64 number = 0;
    int line = 1;
};

class Lexer
{
public:
    explicit Lexer(const QString& text) : m_s(text) {}

    Token next()
    {
        skipBlanks();
        Token t;
        t.line = m_line;
        if (m_pos >= m_s.size())
            return t;
        const QChar c = m_s[m_pos];
        if (c.isLetter() || c == u'_') {
            t.kind = Token::Ident;
            while (m_pos < m_s.size() &&
                   (m_s[m_pos].isLetterOrNumber() || m_s[m_pos] == u'_' || m_s[m_pos] == u'.'))
                t.text += m_s[m_pos++];
            return t;
        }
        if (c.isDigit() ||
            ((c == u'-' || c == u'+') && m_pos + 1 < m_s.size() && m_s[m_pos + 1].isDigit())) {
            t.kind = Token::Int;
            QString digits;
            digits += m_s[m_pos++];
            while (m_pos < m_s.size() && m_s[m_pos].isDigit())
                digits += m_s[m_pos++];
            if (m_pos < m_s.size() && (m_s[m_pos].isLetter() || m_s[m_pos] == u'.'))
                fail(QStringLiteral("Invalid numeric value"), m_line);
            bool ok = false;
            t.number = digits.toLongLong(&ok);
            if (!ok || t.number < -2147483648LL || t.number > 4294967295LL)
                fail(QStringLiteral("Invalid numeric value"), m_line);
            return t;
        }
        if (c == u'$') {
            t.kind = Token::Int;
            ++m_pos;
            QString digits;
            while (m_pos < m_s.size() && isHex(m_s[m_pos]))
                digits += m_s[m_pos++];
            bool ok = false;
            t.number = digits.toLongLong(&ok, 16);
            if (!ok || digits.size() > 8)
                fail(QStringLiteral("Invalid numeric value"), m_line);
            return t;
        }
        if (c == u'\'' || c == u'#') {
            t.kind = Token::String;
            t.text = readString();
            return t;
        }
        t.kind = Token::Symbol;
        t.text = c;
        ++m_pos;
        return t;
    }

    [[noreturn]] static void fail(const QString& what, int line)
    {
        throw AppError(what + QStringLiteral(" on line ") + QString::number(line));
    }

private:
    static bool isHex(QChar c)
    {
        return c.isDigit() || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
    }

    void skipBlanks()
    {
        while (m_pos < m_s.size() && m_s[m_pos].isSpace()) {
            if (m_s[m_pos] == u'\n')
                ++m_line;
            ++m_pos;
        }
    }

    // Quoted runs and #codes side by side, and pieces joined by "+" across
    // lines, make one string.
    QString readString()
    {
        QString value;
        for (;;) {
            if (m_pos < m_s.size() && m_s[m_pos] == u'\'') {
                ++m_pos;
                for (;;) {
                    if (m_pos >= m_s.size() || m_s[m_pos] == u'\r' || m_s[m_pos] == u'\n')
                        fail(QStringLiteral("Unterminated string"), m_line);
                    if (m_s[m_pos] == u'\'') {
                        if (m_pos + 1 < m_s.size() && m_s[m_pos + 1] == u'\'') {
                            value += u'\'';
                            m_pos += 2;
                            continue;
                        }
                        ++m_pos;
                        break;
                    }
                    value += m_s[m_pos++];
                }
            } else if (m_pos < m_s.size() && m_s[m_pos] == u'#') {
                ++m_pos;
                QString digits;
                while (m_pos < m_s.size() && m_s[m_pos].isDigit())
                    digits += m_s[m_pos++];
                bool ok = false;
                const int code = digits.toInt(&ok);
                if (!ok || code > 0xFFFF)
                    fail(QStringLiteral("Invalid string constant"), m_line);
                value += QChar(char16_t(code));
            } else {
                // A "+" continues the string on the next piece.
                const qsizetype save = m_pos;
                const int saveLine = m_line;
                skipBlanks();
                if (m_pos < m_s.size() && m_s[m_pos] == u'+') {
                    ++m_pos;
                    skipBlanks();
                    if (m_pos < m_s.size() && (m_s[m_pos] == u'\'' || m_s[m_pos] == u'#'))
                        continue;
                    fail(QStringLiteral("String expected"), m_line);
                }
                m_pos = save;
                m_line = saveLine;
                return value;
            }
        }
    }

    QString m_s;
    qsizetype m_pos = 0;
    int m_line = 1;
};

class Reader
{
public:
    explicit Reader(const QString& text) : m_lex(text) { advance(); }

    GridColumnList read()
    {
        expectIdent(QStringLiteral("object"));
        QString cls = takeIdent();
        if (isSymbol(u':')) { // "object Name: TClass"
            advance();
            cls = takeIdent();
        }
        if (cls.compare(kHolderClass, Qt::CaseInsensitive) != 0)
            Lexer::fail(kHolderClass + QStringLiteral(" expected"), m_line);
        GridColumnList columns;
        while (!isIdent(QStringLiteral("end"))) {
            const int line = m_tok.line;
            const QString name = takeIdent();
            expectSymbol(u'=');
            if (name.compare(QStringLiteral("Description"), Qt::CaseInsensitive) == 0) {
                takeString();
            } else if (name.compare(QStringLiteral("Data"), Qt::CaseInsensitive) == 0) {
                columns = readItems();
            } else {
                unknownProperty(name, line);
            }
        }
        advance();
        if (m_tok.kind != Token::End)
            Lexer::fail(QStringLiteral("End of file expected"), m_tok.line);
        return columns;
    }

private:
    void advance()
    {
        m_line = m_tok.line;
        m_tok = m_lex.next();
    }
    bool isIdent(const QString& word) const
    {
        return m_tok.kind == Token::Ident && m_tok.text.compare(word, Qt::CaseInsensitive) == 0;
    }
    bool isSymbol(QChar c) const { return m_tok.kind == Token::Symbol && m_tok.text == c; }

    void expectIdent(const QString& word)
    {
        if (!isIdent(word))
            Lexer::fail(u'\'' + word + QStringLiteral("' expected"), m_tok.line);
        advance();
    }
    void expectSymbol(QChar c)
    {
        if (!isSymbol(c))
            Lexer::fail(u'\'' + QString(c) + QStringLiteral("' expected"), m_tok.line);
        advance();
    }
    QString takeIdent()
    {
        if (m_tok.kind != Token::Ident)
            Lexer::fail(QStringLiteral("Identifier expected"), m_tok.line);
        const QString s = m_tok.text;
        advance();
        return s;
    }
    QString takeString()
    {
        if (m_tok.kind != Token::String)
            invalidValue();
        const QString s = m_tok.text;
        advance();
        return s;
    }
    int takeInt()
    {
        if (m_tok.kind != Token::Int || m_tok.number < INT_MIN || m_tok.number > INT_MAX)
            invalidValue();
        const int v = int(m_tok.number);
        advance();
        return v;
    }
    QStringList takeSet()
    {
        expectSymbol(u'[');
        QStringList members;
        if (isSymbol(u']')) {
            advance();
            return members;
        }
        for (;;) {
            members << takeIdent();
            if (isSymbol(u']')) {
                advance();
                return members;
            }
            expectSymbol(u',');
        }
    }
    TColor takeColor()
    {
        if (m_tok.kind == Token::Int) {
            const qint64 v = m_tok.number;
            advance();
            return TColor(quint32(v));
        }
        if (m_tok.kind == Token::Ident) {
            const auto c = identToColor(m_tok.text);
            if (!c)
                invalidValue();
            advance();
            return *c;
        }
        invalidValue();
    }
    template <typename E, typename F>
    E takeEnum(F identOf, std::initializer_list<E> values)
    {
        if (m_tok.kind == Token::Ident)
            for (E v : values)
                if (identOf(v).compare(m_tok.text, Qt::CaseInsensitive) == 0) {
                    advance();
                    return v;
                }
        invalidValue();
    }

    [[noreturn]] void invalidValue()
    {
        Lexer::fail(QStringLiteral("Invalid property value"), m_tok.line);
    }
    [[noreturn]] static void unknownProperty(const QString& name, int line)
    {
        throw AppError(QStringLiteral("Property ") + name +
                       QStringLiteral(" does not exist on line ") + QString::number(line));
    }

    GridColumnList readItems()
    {
        expectSymbol(u'<');
        GridColumnList columns;
        while (!isSymbol(u'>')) {
            expectIdent(QStringLiteral("item"));
            GridColumn col;
            while (!isIdent(QStringLiteral("end"))) {
                const int line = m_tok.line;
                const QString name = takeIdent();
                expectSymbol(u'=');
                readColumnProperty(col, name, line);
            }
            advance();
            columns << col;
        }
        advance();
        return columns;
    }

    void readColumnProperty(GridColumn& col, const QString& name, int line)
    {
        auto is = [&](const char* n) {
            return name.compare(QLatin1String(n), Qt::CaseInsensitive) == 0;
        };
        if (is("FieldName")) {
            col.fieldName = takeString();
        } else if (is("OptionsVisual")) {
            col.optionsVisual = takeSet();
        } else if (is("TitleState")) {
            col.titleState =
                takeEnum(titleStateIdent, {TitleState::tsSortedNone, TitleState::tsSortedUp,
                                           TitleState::tsSortedDown});
        } else if (is("FooterState")) {
            col.footerState = takeEnum(
                footerStateIdent, {FooterState::fsAverage, FooterState::fsCount, FooterState::fsMax,
                                   FooterState::fsMin, FooterState::fsSum, FooterState::fsNone});
        } else if (is("Width")) {
            col.width = takeInt();
        } else if (is("LayoutLevel")) {
            col.layoutLevel = takeInt();
        } else if (is("LayoutIndex")) {
            col.layoutIndex = takeInt();
        } else if (is("Color")) {
            col.color = takeColor();
        } else if (is("Alignment")) {
            col.alignment = takeEnum(
                alignmentIdent, {ColumnAlignment::talDefault, ColumnAlignment::talLeftJustify,
                                 ColumnAlignment::talRightJustify, ColumnAlignment::talCenter});
        } else if (name.startsWith(QStringLiteral("Font."), Qt::CaseInsensitive)) {
            if (!col.font)
                col.font = GridFont{};
            GridFont& f = *col.font;
            if (is("Font.Charset")) {
                if (m_tok.kind == Token::Int)
                    f.charset = QString::number(takeInt());
                else
                    f.charset = takeIdent();
            } else if (is("Font.Color")) {
                f.color = takeColor();
            } else if (is("Font.Height")) {
                f.height = takeInt();
            } else if (is("Font.Name")) {
                f.name = takeString();
            } else if (is("Font.Style")) {
                f.style = takeSet();
            } else {
                unknownProperty(name, line);
            }
        } else {
            unknownProperty(name, line);
        }
    }

    Lexer m_lex;
    Token m_tok;
    int m_line = 1;
};

} // namespace

QString writeColumnLayout(const GridColumnList& columns)
{
    const GridColumn def;
    QString out = QStringLiteral("object ") + kHolderClass + kEol;
    if (columns.isEmpty()) {
        out += QStringLiteral("  Data = <>") + kEol;
    } else {
        out += QStringLiteral("  Data = <") + kEol;
        for (qsizetype i = 0; i < columns.size(); ++i) {
            const GridColumn& c = columns[i];
            out += QStringLiteral("    item") + kEol;
            if (c.fieldName != def.fieldName)
                writeProperty(out, QStringLiteral("FieldName"), quoteString(c.fieldName));
            if (!c.optionsVisual.isEmpty())
                writeProperty(out, QStringLiteral("OptionsVisual"), setText(c.optionsVisual));
            if (c.titleState != def.titleState)
                writeProperty(out, QStringLiteral("TitleState"), titleStateIdent(c.titleState));
            if (c.footerState != def.footerState)
                writeProperty(out, QStringLiteral("FooterState"), footerStateIdent(c.footerState));
            if (c.width != def.width)
                writeProperty(out, QStringLiteral("Width"), QString::number(c.width));
            if (c.layoutLevel != def.layoutLevel)
                writeProperty(out, QStringLiteral("LayoutLevel"), QString::number(c.layoutLevel));
            if (c.layoutIndex != def.layoutIndex)
                writeProperty(out, QStringLiteral("LayoutIndex"), QString::number(c.layoutIndex));
            if (c.color != def.color)
                writeProperty(out, QStringLiteral("Color"), colorText(c.color));
            if (c.alignment != def.alignment)
                writeProperty(out, QStringLiteral("Alignment"), alignmentIdent(c.alignment));
            if (c.font) {
                const GridFont& f = *c.font;
                writeProperty(out, QStringLiteral("Font.Charset"), f.charset);
                writeProperty(out, QStringLiteral("Font.Color"), colorText(f.color));
                writeProperty(out, QStringLiteral("Font.Height"), QString::number(f.height));
                writeProperty(out, QStringLiteral("Font.Name"), quoteString(f.name));
                writeProperty(out, QStringLiteral("Font.Style"), setText(f.style));
            }
            out += QStringLiteral("    end");
            if (i + 1 == columns.size())
                out += u'>';
            out += kEol;
        }
    }
    out += QStringLiteral("end") + kEol;
    return out;
}

GridColumnList readColumnLayout(const QString& text)
{
    Reader reader(text);
    return reader.read();
}

QString normalizeLineEnds(const QString& text)
{
    QString out;
    out.reserve(text.size() + text.size() / 16);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\r') {
            if (i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
            out += kEol;
        } else if (c == u'\n') {
            out += kEol;
        } else {
            out += c;
        }
    }
    return out;
}
