#include "device/port_choice.h"

#include "platform/app_error.h"
#include "platform/settings_store.h"

#include <QDialogButtonBox>
#include <QFont>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const QString kCaption = QStringLiteral("Порт прибора");
const QString kMarker = QStringLiteral(" (выбран)");

bool overridden(SerialPortSource source)
{
    return source == SerialPortSource::Simulator || source == SerialPortSource::Option ||
           source == SerialPortSource::Environment;
}

// "Первый порт задан параметром --port1: /dev/pts/3."
QString overrideLine(int number, SerialPortSource source, const QString& device)
{
    const QString port = number == 1 ? QStringLiteral("Первый") : QStringLiteral("Второй");
    switch (source) {
    case SerialPortSource::Simulator:
        return QStringLiteral("%1 порт \u2014 имитатор прибора (--demo): %2.").arg(port, device);
    case SerialPortSource::Option:
        return QStringLiteral("%1 порт задан параметром --port%2: %3.")
            .arg(port)
            .arg(number)
            .arg(device);
    case SerialPortSource::Environment:
        return QStringLiteral("%1 порт задан переменной окружения FLN_PORT%2: %3.")
            .arg(port)
            .arg(number)
            .arg(device);
    default:
        return QString();
    }
}

} // namespace

PortChoiceDialog::PortChoiceDialog(std::shared_ptr<const SerialPortSystem> system,
                                   SettingsStore& settings, QWidget* parent)
    : QDialog(parent), m_system(std::move(system)), m_settings(settings)
{
    setObjectName(QStringLiteral("PortChoiceDialog"));
    setWindowTitle(kCaption);
    setModal(true);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Порт, к которому подключен прибор:"), this));
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("PortList"));
    m_list->setMinimumSize(460, 160);
    layout->addWidget(m_list);
    m_inEffect = new QLabel(this);
    m_inEffect->setObjectName(QStringLiteral("PortInEffect"));
    m_inEffect->setWordWrap(true);
    m_inEffect->setStyleSheet(QStringLiteral("font-weight: bold"));
    m_inEffect->hide();
    layout->addWidget(m_inEffect);
    m_current = new QLabel(this);
    m_current->setObjectName(QStringLiteral("CurrentChoice"));
    m_current->setWordWrap(true);
    layout->addWidget(m_current);

    auto* buttons = new QDialogButtonBox(this);
    auto* refreshButton =
        buttons->addButton(QStringLiteral("Обновить"), QDialogButtonBox::ActionRole);
    refreshButton->setObjectName(QStringLiteral("RefreshButton"));
    auto* autoButton =
        buttons->addButton(QStringLiteral("Автоматически"), QDialogButtonBox::ResetRole);
    autoButton->setObjectName(QStringLiteral("AutomaticButton"));
    m_ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    m_ok->setObjectName(QStringLiteral("OkButton"));
    auto* cancel = buttons->addButton(QStringLiteral("Отмена"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("CancelButton"));
    layout->addWidget(buttons);

    connect(refreshButton, &QPushButton::clicked, this, &PortChoiceDialog::refresh);
    connect(autoButton, &QPushButton::clicked, this, &PortChoiceDialog::chooseAutomatic);
    connect(m_ok, &QPushButton::clicked, this, &PortChoiceDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &PortChoiceDialog::reject);
    connect(m_list, &QListWidget::currentRowChanged, this,
            [this](int row) { m_ok->setEnabled(row >= 0); });
    connect(m_list, &QListWidget::itemDoubleClicked, this, &PortChoiceDialog::accept);

    refresh();
}

void PortChoiceDialog::refresh()
{
    const QString chosen = readChosenPort(m_settings);
    m_ports = discoverSerialPorts(*m_system);
    m_names.clear();
    m_list->clear();
    int chosenRow = -1;
    for (const SerialPortEntry& e : m_ports) {
        const bool isChosen = e.isNamed(chosen);
        auto* item = new QListWidgetItem(e.path + QStringLiteral(" \u2014 ") + e.description +
                                         (isChosen ? kMarker : QString()));
        if (isChosen) {
            QFont f = item->font();
            f.setBold(true);
            item->setFont(f);
            chosenRow = m_list->count();
        }
        m_list->addItem(item);
        m_names.append(e.storedName());
    }
    // A chosen adapter that is unplugged now stays in the list, so that the
    // user sees what the program waits for. A device that exists but is no
    // port the search lists (a pseudo-terminal, a Bluetooth port) is used
    // all the same.
    if (!chosen.isEmpty() && chosenRow < 0) {
        const QString state = m_system->exists(chosen)
                                  ? QStringLiteral("подключено (нет среди найденных портов)")
                                  : QStringLiteral("не подключен");
        auto* item = new QListWidgetItem(chosen + QStringLiteral(" \u2014 ") + state + kMarker);
        QFont f = item->font();
        f.setBold(true);
        item->setFont(f);
        chosenRow = m_list->count();
        m_list->addItem(item);
        m_names.append(chosen);
    }
    m_list->setCurrentRow(chosenRow);
    m_ok->setEnabled(chosenRow >= 0);

    if (chosen.isEmpty())
        m_current->setText(
            m_ports.isEmpty()
                ? QStringLiteral("Последовательные порты не найдены. Подключите адаптер и нажмите "
                                 "«Обновить».")
                : QStringLiteral("Сейчас порт выбирается автоматически: сначала адаптеры USB, "
                                 "затем встроенные порты."));
    else
        m_current->setText(QStringLiteral("Выбран порт %1.").arg(chosen));

    const QString inEffect = overrideText(chosen);
    m_inEffect->setText(inEffect);
    m_inEffect->setVisible(!inEffect.isEmpty());
}

void PortChoiceDialog::setOverrides(const SerialPortSources& overrides)
{
    m_overrides = overrides;
    m_overrides.stored.clear();
    refresh();
}

QString PortChoiceDialog::overrideText(const QString& chosen) const
{
    SerialPortSources sources = m_overrides;
    sources.stored = chosen;
    const SerialPortAssignment a = assignSerialPorts(
        sources, m_ports, [this](const QString& path) { return m_system->exists(path); });
    const bool first = overridden(a.source1), second = overridden(a.source2);
    if (!first && !second)
        return QString();
    QStringList lines;
    if (first)
        lines << overrideLine(1, a.source1, a.port1);
    if (second)
        lines << overrideLine(2, a.source2, a.port2);
    if (first && second) {
        lines << QStringLiteral("Выбор в этом окне сейчас не действует.");
    } else {
        const QString other = first ? a.port2 : a.port1;
        const QString which = first ? QStringLiteral("второго") : QStringLiteral("первого");
        lines
            << (other.isEmpty()
                    ? QStringLiteral("Выбор в этом окне действует только для %1 порта.").arg(which)
                    : QStringLiteral("Выбор в этом окне действует только для %1 порта "
                                     "(сейчас это %2).")
                          .arg(which, other));
    }
    return lines.join(u'\n');
}

QString PortChoiceDialog::selectedName() const
{
    const int row = m_list->currentRow();
    return row >= 0 && row < m_names.size() ? m_names.at(row) : QString();
}

void PortChoiceDialog::accept()
{
    const QString name = selectedName();
    if (name.isEmpty())
        return;
    writeChosenPort(m_settings, name); // a failure reaches the default error report
    QDialog::accept();
}

void PortChoiceDialog::chooseAutomatic()
{
    writeChosenPort(m_settings, QString());
    QDialog::accept();
}
