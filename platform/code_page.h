#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringView>

#include <memory>
#include <optional>

// One row of the xBase language-driver table: the byte in the table header,
// the Windows code page it names and the Windows locale (0: none).
struct LanguageDriver
{
    quint8 id = 0;
    int codePage = 0;
    quint16 locale = 0;
};

// Every row of the published table, in byte order.
const QList<LanguageDriver>& languageDrivers();
std::optional<LanguageDriver> findLanguageDriver(quint8 id);
// The code page a language driver byte names; 0 for byte 0 or an unknown byte.
int codePageOfLanguageDriver(quint8 id);

// The language driver byte a new table gets on a system with this ANSI code
// page and locale: the highest matching byte of the dBase range (5..0x5D),
// else of the FoxPro range, else the same search by locale alone, else 0.
quint8 selectLanguageDriver(int ansiCodePage, quint16 locale);

// The system's ANSI code page and the low 16 bits of the user's locale, as
// Windows would give them for the current locale.
int systemAnsiCodePage();
quint16 systemLocaleId();

// Whether the converters for this code page are available on this system.
bool isCodePageInstalled(int codePage);

// Converts texts between Unicode and one single- or multi-byte code page.
// ASCII passes straight through (every code page here keeps the lower half).
class CodePageConverter
{
public:
    explicit CodePageConverter(int codePage);
    ~CodePageConverter();
    CodePageConverter(const CodePageConverter&) = delete;
    CodePageConverter& operator=(const CodePageConverter&) = delete;

    int codePage() const { return m_codePage; }
    bool isValid() const;

    QString toUnicode(QByteArrayView bytes) const;
    // nullopt when a character has no byte in this code page: the caller
    // refuses the text rather than store a substitute.
    std::optional<QByteArray> fromUnicode(QStringView text) const;

private:
    struct Codecs;
    int m_codePage;
    std::unique_ptr<Codecs> m_codecs;
};
