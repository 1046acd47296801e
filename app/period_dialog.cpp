#include "app/period_dialog.h"

#include <QDateTimeEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr qint64 kDay = 86400;

QDateTimeEdit* momentField(const char* name)
{
    auto* f = new QDateTimeEdit;
    f->setObjectName(QString::fromLatin1(name));
    // The instrument's clock as DATE and TIME give it: no zone, no hour of
    // it skipped or doubled.
    f->setTimeSpec(Qt::UTC);
    f->setDisplayFormat(QStringLiteral("dd.MM.yyyy HH:mm:ss"));
    f->setCalendarPopup(true);
    return f;
}

qint64 momentOfField(const QDateTimeEdit& f)
{
    const QDateTime dt = f.dateTime();
    return momentOf(dt.date(), dt.time());
}

} // namespace

PeriodDialog::PeriodDialog(const TablePeriod& span, QWidget* parent) : QDialog(parent), m_span(span)
{
    setObjectName(QStringLiteral("PeriodDialog"));
    setWindowTitle(QStringLiteral("Выделить период"));
    setModal(true);

    From = momentField("From");
    To = momentField("To");
    auto* fields = new QFormLayout;
    fields->addRow(QStringLiteral("&С:"), From);
    fields->addRow(QStringLiteral("&По:"), To);

    WholeTable = new QPushButton(QStringLiteral("Вся &таблица"));
    WholeTable->setObjectName(QStringLiteral("WholeTable"));
    WholeDay = new QPushButton(QStringLiteral("Весь &день"));
    WholeDay->setObjectName(QStringLiteral("WholeDay"));
    LastDay = new QPushButton(QStringLiteral("Последние &24 ч"));
    LastDay->setObjectName(QStringLiteral("LastDay"));
    for (QPushButton* b : {WholeTable, WholeDay, LastDay})
        b->setAutoDefault(false);
    auto* shortcuts = new QHBoxLayout;
    shortcuts->addWidget(WholeTable);
    shortcuts->addWidget(WholeDay);
    shortcuts->addWidget(LastDay);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("ОК"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Отмена"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addLayout(shortcuts);
    layout->addWidget(buttons);

    connect(WholeTable, &QPushButton::clicked, this,
            [this] { setPeriod(m_span.first, m_span.last); });
    connect(WholeDay, &QPushButton::clicked, this, [this] {
        const qint64 start = momentDay(momentOfField(*From)) * kDay;
        setPeriod(start, start + kDay - 1);
    });
    connect(LastDay, &QPushButton::clicked, this,
            [this] { setPeriod(std::max(m_span.first, m_span.last - kDay), m_span.last); });

    setPeriod(span.first, span.last);
}

Period PeriodDialog::period() const
{
    return Period{momentOfField(*From), momentOfField(*To)};
}

void PeriodDialog::setPeriod(qint64 from, qint64 to)
{
    From->setDateTime(momentDateTime(from));
    To->setDateTime(momentDateTime(to));
}
