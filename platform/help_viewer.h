#pragma once

#include <QPointer>
#include <QString>

class QTextBrowser;

// The help window: a text browser on the Russian user manual. It opens at
// the manual's contents, from `fln.html` in the program's folder when there
// is one (a build tree), else from the installed manual in the documentation
// folder beside the program's (`../share/doc/fln`, where the package puts
// it), else from the copy built into the program.
class HelpViewer
{
public:
    static const QString kFileName;    // "fln.html"
    static const QString kBuiltInCopy; // the resource path of the built-in copy
    // The installed manual's folder, relative to the program's folder.
    static const QString kInstalledDir; // "../share/doc/fln"

    explicit HelpViewer(const QString& programDir);
    ~HelpViewer();
    HelpViewer(const HelpViewer&) = delete;
    HelpViewer& operator=(const HelpViewer&) = delete;

    // The manual that showContents opens: the file next to the program, the
    // installed one, or the built-in copy.
    QString helpFile() const;
    // Shows (or raises) the window at the contents, or at the section with
    // the anchor `section` ("print"), placed wholly on the screen; Esc
    // closes it.
    void showContents();
    void showSection(const QString& section);
    QTextBrowser* window() const;

private:
    QString m_programDir;
    QPointer<QTextBrowser> m_window;
};
