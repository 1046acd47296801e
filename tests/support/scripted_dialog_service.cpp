#include "tests/support/scripted_dialog_service.h"

#include <QPrinter>
#include <QTest>

QList<ScriptedDialogService::Call> ScriptedDialogService::calls(Kind kind) const
{
    QList<Call> out;
    for (const Call& c : m_calls)
        if (c.kind == kind)
            out << c;
    return out;
}

int ScriptedDialogService::pendingAnswers() const
{
    return int(m_answers.size() + m_openFiles.size() + m_saveFiles.size() + m_colors.size() +
               m_printSetups.size() + m_modals.size());
}

void ScriptedDialogService::unexpected(const QString& what)
{
    const QByteArray text = ("unexpected dialog, no answer queued: " + what).toUtf8();
    qWarning("%s", text.constData());
    QTest::qFail(text.constData(), __FILE__, __LINE__);
}

DialogService::Answer ScriptedDialogService::message(QWidget*, const QString& text,
                                                     const QString& caption, Icon icon,
                                                     Buttons buttons)
{
    Call c;
    c.kind = Kind::Message;
    c.text = text;
    c.caption = caption;
    c.icon = icon;
    c.buttons = buttons;
    m_calls << c;
    if (m_messageSeen)
        m_messageSeen(c);
    if (buttons == Buttons::Ok)
        return m_answers.isEmpty() ? Answer::Ok : m_answers.dequeue();
    if (m_answers.isEmpty()) {
        unexpected(QStringLiteral("question \"%1\" (%2)").arg(text, caption));
        return Answer::No;
    }
    return m_answers.dequeue();
}

DialogService::FileResult ScriptedDialogService::openFile(QWidget*, const FileRequest& request)
{
    Call c;
    c.kind = Kind::OpenFile;
    c.request = request;
    m_calls << c;
    if (m_openFiles.isEmpty()) {
        unexpected(QStringLiteral("open file dialog"));
        return {};
    }
    return m_openFiles.dequeue();
}

DialogService::FileResult ScriptedDialogService::saveFile(QWidget*, const FileRequest& request)
{
    Call c;
    c.kind = Kind::SaveFile;
    c.request = request;
    m_calls << c;
    if (m_saveFiles.isEmpty()) {
        unexpected(QStringLiteral("save file dialog"));
        return {};
    }
    return m_saveFiles.dequeue();
}

bool ScriptedDialogService::chooseColor(QWidget*, QColor& color)
{
    Call c;
    c.kind = Kind::Color;
    c.color = color;
    m_calls << c;
    if (m_colors.isEmpty()) {
        unexpected(QStringLiteral("colour dialog"));
        return false;
    }
    const auto [accepted, chosen] = m_colors.dequeue();
    if (accepted)
        color = chosen;
    return accepted;
}

bool ScriptedDialogService::printSetup(QWidget*, QPrinter& printer, const PrintRequest& request)
{
    Call c;
    c.kind = Kind::PrintSetup;
    c.print = request;
    m_calls << c;
    if (m_printSetups.isEmpty()) {
        unexpected(QStringLiteral("print dialog"));
        return false;
    }
    const auto [accepted, setUp] = m_printSetups.dequeue();
    if (accepted && setUp)
        setUp(printer);
    return accepted;
}

int ScriptedDialogService::execModal(QDialog& window)
{
    Call c;
    c.kind = Kind::Modal;
    c.caption = window.windowTitle();
    m_calls << c;
    if (m_modals.isEmpty())
        return 0;
    return m_modals.dequeue()(window);
}
