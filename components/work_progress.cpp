#include "components/work_progress.h"

#include <QApplication>
#include <QProgressDialog>

#include <algorithm>

namespace {

// The bar counts in thousandths: a step that does not move it only lets the
// windows handle their events, which costs far less than redrawing the bar.
constexpr int kRange = 1000;

} // namespace

WorkProgress::WorkProgress(QWidget* parent, const QString& objectName, const QString& title,
                           const QString& text, qint64 total)
    : m_dialog(std::make_unique<QProgressDialog>(parent)), m_total(total)
{
    m_dialog->setObjectName(objectName);
    m_dialog->setWindowTitle(title);
    m_dialog->setLabelText(text);
    m_dialog->setCancelButtonText(QStringLiteral("Отмена"));
    m_dialog->setRange(0, kRange);
    m_dialog->setMinimumDuration(0);
    m_dialog->setWindowModality(Qt::ApplicationModal);
    m_dialog->setAutoClose(false);
    m_dialog->setAutoReset(false);
    m_dialog->setValue(0);
}

WorkProgress::~WorkProgress() = default;

bool WorkProgress::step(qint64 done, qint64 total)
{
    const int value =
        int(std::clamp<qint64>(done * kRange / std::max<qint64>(1, total), 0, kRange));
    if (value != m_shown) {
        m_shown = value;
        m_dialog->setValue(value); // also runs the event loop of the modal window
    } else {
        QApplication::processEvents();
    }
    return !m_dialog->wasCanceled();
}

void WorkProgress::lastStage(const QString& text)
{
    m_dialog->setLabelText(text);
    m_dialog->setCancelButton(nullptr);
}
