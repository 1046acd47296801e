#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QPushButton;

// The file version of an executable, from its version information: the
// FileVersion string of the string table that the first translation names.
// "0.0.0.0" for a file without version information, without a translation or
// without a FileVersion.
QString get_file_version(const QString& path);

// The about box.
class Tform6 : public QDialog
{
    Q_OBJECT

public:
    // `executable`: the file whose version is shown (the program's own by default).
    explicit Tform6(QWidget* parent = nullptr, const QString& executable = QString());

    void FormShow();
    void Button1Click();

    QLabel* StaticText1 = nullptr;
    QLabel* StaticText2 = nullptr;
    QLabel* StaticText3 = nullptr;
    QPushButton* Button1 = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QString m_executable;
};
