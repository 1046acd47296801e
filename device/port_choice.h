#pragma once

#include "device/port_policy.h"

#include <QDialog>

#include <memory>

class QLabel;
class QListWidget;
class QPushButton;
class SettingsStore;

// "Порт прибора…": the discovered ports with their descriptions, the
// current choice marked. OK stores the selected port under its stable name,
// "Автоматически" forgets the choice, "Обновить" looks again after an
// adapter was plugged in. The next download uses what was stored.
class PortChoiceDialog : public QDialog
{
    Q_OBJECT
public:
    PortChoiceDialog(std::shared_ptr<const SerialPortSystem> system, SettingsStore& settings,
                     QWidget* parent = nullptr);

    // What overrides the choice: `--port1`, `FLN_PORT1`, `--demo` and their
    // second-port twins. The dialog then says which port is in effect.
    void setOverrides(const SerialPortSources& overrides);

    // Looks for the ports again ("Обновить").
    void refresh();
    // The name that OK would store; empty when nothing is selected.
    QString selectedName() const;

    const QList<SerialPortEntry>& ports() const { return m_ports; }

public slots:
    void accept() override;

private:
    void chooseAutomatic();
    QString overrideText(const QString& chosen) const;

    std::shared_ptr<const SerialPortSystem> m_system;
    SettingsStore& m_settings;
    QList<SerialPortEntry> m_ports;
    QStringList m_names; // stored name of each row
    SerialPortSources m_overrides;
    QLabel* m_inEffect = nullptr;
    QLabel* m_current = nullptr;
    QListWidget* m_list = nullptr;
    QPushButton* m_ok = nullptr;
};
