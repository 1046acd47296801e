#pragma once

#include <QString>

#include <memory>

class QProgressDialog;
class QWidget;

// The progress window of long work done on the window's thread: the export,
// saving and printing a report. A bar, a text and "Отмена", shown at once and
// modal to the whole program, so nothing else starts while the work runs.
// step() lets the windows handle their events (timers fire, "Отмена" is
// pressed) and says whether to go on: the work stops at its next step after
// "Отмена". A last stage that cannot stop half-way (writing the file) says so
// with lastStage(), which takes the button away.
class WorkProgress
{
public:
    // `objectName` names the window for tests; `total` is what step(done)
    // counts against.
    WorkProgress(QWidget* parent, const QString& objectName, const QString& title,
                 const QString& text, qint64 total = 0);
    ~WorkProgress();
    WorkProgress(const WorkProgress&) = delete;
    WorkProgress& operator=(const WorkProgress&) = delete;

    bool step(qint64 done) { return step(done, m_total); }
    bool step(qint64 done, qint64 total);
    void lastStage(const QString& text);

private:
    std::unique_ptr<QProgressDialog> m_dialog;
    qint64 m_total;
    int m_shown = -1;
};
