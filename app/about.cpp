#include "app/about.h"

#include "platform/app_title.h"
#include "platform/version_info.h"
#include "platform/window_placement.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>

QString get_file_version(const QString& path)
{
    static const QString kNone = QStringLiteral("0.0.0.0");
    const auto block = VersionInfo::blockFromFile(path);
    if (!block)
        return kNone;
    const VersionInfo info(*block);

    QString translation;
    if (const auto t = info.query(QStringLiteral("\\VarFileInfo\\Translation"));
        t && t->data.size() >= 4) {
        const auto word = [&](int at) {
            return static_cast<unsigned char>(t->data[at]) |
                   static_cast<unsigned char>(t->data[at + 1]) << 8;
        };
        translation = QStringLiteral("%1%2")
                          .arg(word(0), 4, 16, QLatin1Char('0'))
                          .arg(word(2), 4, 16, QLatin1Char('0'))
                          .toUpper();
    }
    const auto value = info.query(QStringLiteral("\\StringFileInfo\\") + translation +
                                  QStringLiteral("\\FileVersion"));
    // The length counts the terminating zero: below 2 there is no text.
    if (!value || value->length < 2)
        return kNone;
    bool ok = false;
    const int codePage = translation.mid(4).toInt(&ok, 16);
    return value->string(ok && codePage ? codePage : 1252);
}

namespace {

QFont sansSerif(int pixels, bool bold = false)
{
    QFont f(QStringLiteral("MS Sans Serif"));
    f.setPixelSize(pixels);
    f.setBold(bold);
    return f;
}

QLabel* staticText(QWidget* parent, const char* name, const QString& text, const QFont& font,
                   int left, int top)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setFont(font);
    l->move(left, top);
    l->adjustSize();
    return l;
}

} // namespace

Tform6::Tform6(QWidget* parent, const QString& executable)
    : QDialog(parent, Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      m_executable(executable)
{
    setObjectName(QStringLiteral("form6"));
    setWindowTitle(QStringLiteral("О программе"));
    setFixedSize(515, 151);

    StaticText1 = staticText(this, "StaticText1", kAppTitle, sansSerif(16, true), 12, 12);
    StaticText3 = staticText(this, "StaticText3", QStringLiteral("Версия "), sansSerif(13), 12, 44);
    StaticText2 = staticText(this, "StaticText2",
                             QStringLiteral("Программа для передачи данных с прибора ФЛН-РК2"),
                             sansSerif(13), 12, 72);
    Button1 = new QPushButton(QStringLiteral("Ок"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setFont(sansSerif(11));
    Button1->setGeometry(434, 116, 75, 25);
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, &Tform6::Button1Click);
}

void Tform6::showEvent(QShowEvent* event)
{
    if (!event->spontaneous())
        centreOnScreen(*this);
    FormShow();
    QDialog::showEvent(event);
}

void Tform6::FormShow()
{
    const QString file =
        m_executable.isEmpty() ? QCoreApplication::applicationFilePath() : m_executable;
    StaticText3->setText(QStringLiteral("Версия ") + get_file_version(file));
    StaticText3->adjustSize();
}

void Tform6::Button1Click()
{
    done(1);
}
