#pragma once

#include "platform/dialog_service.h"

#include <QColor>
#include <QDialog>
#include <QList>
#include <QQueue>
#include <QString>

#include <functional>

// The dialog service of the tests: every answer comes from a queue filled by
// the test, and every call is recorded with its texts. A question with no
// queued answer fails the running test at once (and answers No / Cancel)
// instead of waiting for a user who is not there. Plain OK messages need no
// answer.
class ScriptedDialogService : public DialogService
{
public:
    enum class Kind
    {
        Message,
        OpenFile,
        SaveFile,
        Color,
        PrintSetup,
        Modal
    };

    struct Call
    {
        Kind kind = Kind::Message;
        QString text;
        QString caption;
        Icon icon = Icon::None;
        Buttons buttons = Buttons::Ok;
        FileRequest request; // file dialogs
        QColor color;        // colour dialog: the start colour
        PrintRequest print;  // print dialog
    };
    // What a scripted modal window does while it is "shown": inspect or drive
    // the window, and return its result.
    using ModalScript = std::function<int(QDialog&)>;
    // What the user does in the print dialog before OK: choose pages, copies…
    using PrintSetupScript = std::function<void(QPrinter&)>;

    // --- scripting ---
    void queueAnswer(Answer answer) { m_answers.enqueue(answer); }
    void queueOpenFile(const QString& fileName, bool accepted = true)
    {
        m_openFiles.enqueue({accepted, fileName});
    }
    void queueSaveFile(const QString& fileName, bool accepted = true)
    {
        m_saveFiles.enqueue({accepted, fileName});
    }
    void queueColor(const QColor& color, bool accepted = true)
    {
        m_colors.enqueue({accepted, color});
    }
    void queuePrintSetup(bool accepted, PrintSetupScript setUp = {})
    {
        m_printSetups.enqueue({accepted, std::move(setUp)});
    }
    // Without a queued script a modal window is recorded, not shown, and
    // returns 0.
    void queueModal(ModalScript script) { m_modals.enqueue(std::move(script)); }

    // Called as each message is shown, before it is answered: a test looks
    // at the windows as the user then sees them.
    void setMessageSeen(std::function<void(const Call&)> seen) { m_messageSeen = std::move(seen); }

    // --- what was asked ---
    const QList<Call>& calls() const { return m_calls; }
    QList<Call> calls(Kind kind) const;
    QList<Call> messages() const { return calls(Kind::Message); }
    void clear() { m_calls.clear(); }
    // Answers queued but never asked for.
    int pendingAnswers() const;

    // --- DialogService ---
    Answer message(QWidget* parent, const QString& text, const QString& caption, Icon icon,
                   Buttons buttons) override;
    FileResult openFile(QWidget* parent, const FileRequest& request) override;
    FileResult saveFile(QWidget* parent, const FileRequest& request) override;
    bool chooseColor(QWidget* parent, QColor& color) override;
    bool printSetup(QWidget* parent, QPrinter& printer, const PrintRequest& request) override;
    int execModal(QDialog& window) override;

private:
    void unexpected(const QString& what);

    QList<Call> m_calls;
    QQueue<Answer> m_answers;
    QQueue<FileResult> m_openFiles;
    QQueue<FileResult> m_saveFiles;
    QQueue<QPair<bool, QColor>> m_colors;
    QQueue<QPair<bool, PrintSetupScript>> m_printSetups;
    QQueue<ModalScript> m_modals;
    std::function<void(const Call&)> m_messageSeen;
};
