#include "platform/help_viewer.h"

#include "platform/window_placement.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QShortcut>
#include <QTextBrowser>
#include <QUrl>
#include <QWindow>

const QString HelpViewer::kFileName = QStringLiteral("fln.html");
const QString HelpViewer::kBuiltInCopy = QStringLiteral(":/help/fln.html");
const QString HelpViewer::kInstalledDir = QStringLiteral("../share/doc/fln");

HelpViewer::HelpViewer(const QString& programDir) : m_programDir(programDir) {}

HelpViewer::~HelpViewer()
{
    delete m_window;
}

QTextBrowser* HelpViewer::window() const
{
    return m_window;
}

QString HelpViewer::helpFile() const
{
    if (m_programDir.isEmpty())
        return kBuiltInCopy;
    const QDir programDir(m_programDir);
    for (const QString& candidate : {kFileName, QString(kInstalledDir + u'/' + kFileName)}) {
        const QFileInfo file(programDir, candidate);
        if (file.isFile())
            return QDir::cleanPath(file.absoluteFilePath());
    }
    return kBuiltInCopy;
}

void HelpViewer::showContents()
{
    showSection(QString());
}

void HelpViewer::showSection(const QString& section)
{
    if (!m_window) {
        m_window = new QTextBrowser;
        m_window->setObjectName(QStringLiteral("HelpWindow"));
        m_window->setAttribute(Qt::WA_DeleteOnClose, false);
        m_window->setOpenExternalLinks(true);
        m_window->resize(760, 560);
        auto* close = new QShortcut(QKeySequence(Qt::Key_Escape), m_window);
        QObject::connect(close, &QShortcut::activated, m_window, &QWidget::close);
    }
    const QString file = helpFile();
    QUrl url =
        file.startsWith(u':') ? QUrl(QStringLiteral("qrc") + file) : QUrl::fromLocalFile(file);
    if (!section.isEmpty())
        url.setFragment(section);
    m_window->setSource(url);
    if (!section.isEmpty())
        m_window->scrollToAnchor(section);
    m_window->setWindowTitle(m_window->documentTitle().isEmpty() ? QStringLiteral("Помощь")
                                                                 : m_window->documentTitle());
    if (!m_window->isVisible())
        centreOnScreen(*m_window); // wholly on the screen, caption bar included
    m_window->show();
    // Opened from a modal window (a preview), the manual must belong to it:
    // beside a modal window, another one takes no input.
    QWidget* modal = QApplication::activeModalWidget();
    if (modal && modal != m_window && m_window->windowHandle() && modal->windowHandle())
        m_window->windowHandle()->setTransientParent(modal->windowHandle());
    m_window->raise();
    m_window->activateWindow();
}
