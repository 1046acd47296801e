// The document commands of the main window: New, Open, Append, Save, Close
// and the filling of the table from the archive image. The window asks and
// shows; MeasurementDocument does the work.
#include "app/main.h"
#include "data/measurement_schema.h"

#include "app/app_state.h"
#include "components/data_grid.h"
#include "components/grid_row_source.h"
#include "data/archive_decoding.h"
#include "data/measurement_document.h"
#include "device/receive.h"

#include <QDir>
#include <QFileInfo>

namespace {

const QString& kSortTag = MeasurementSchema::kSortTag;

// The preparation every file dialog of these commands gets before it is shown.
void prepareFileDialog(DialogService::FileRequest& dialog, const QString& filter)
{
    dialog.fileName.clear();
    dialog.filterIndex = 1;
    dialog.defaultExtension = QStringLiteral(".db");
    dialog.filter = filter;
}

bool confirmed(const DialogService::FileResult& r)
{
    return r.accepted && !r.fileName.isEmpty();
}

} // namespace

void TForm1::N2Click()
{
    postTypedComment();
    // The open table is closed before the dialog: a New that the user then
    // abandons leaves no table open.
    if (m_state.tableOpen)
        Close_DB();
    prepareFileDialog(SaveDialog1, QStringLiteral("Файлы данных|*.db"));
    // A table already under the chosen name is replaced only when the user
    // says so; "Нет" brings the name choice back with that name filled in.
    for (;;) {
        const DialogService::FileResult r = m_dialogs.saveFile(this, SaveDialog1);
        if (!confirmed(r))
            return;
        SaveDialog1.fileName = r.fileName;
        if (!QFileInfo::exists(r.fileName) ||
            m_dialogs.message(this,
                              DocumentTexts::replaceQuestion(QFileInfo(r.fileName).fileName()),
                              kAppTitle, DialogService::Icon::Question,
                              DialogService::Buttons::YesNo) == DialogService::Answer::Yes)
            break;
    }
    if (!Form2 || Form2->exec() != 1)
        return;
    Create_DB();
}

void TForm1::N3Click()
{
    postTypedComment();
    prepareFileDialog(OpenDialog1, QStringLiteral("Базы данных|*.db"));
    const DialogService::FileResult r = m_dialogs.openFile(this, OpenDialog1);
    if (!confirmed(r))
        return;
    OpenDialog1.fileName = r.fileName;
    if (m_state.tableOpen)
        Close_DB();
    m_state.defaultDir = QDir::toNativeSeparators(QFileInfo(r.fileName).absolutePath());
    Open_DB(r.fileName);
}

void TForm1::N4Click()
{
    postTypedComment();
    if (!m_state.tableOpen) {
        prepareFileDialog(OpenDialog1, QStringLiteral("Базы данных|*.db"));
        const DialogService::FileResult r = m_dialogs.openFile(this, OpenDialog1);
        if (confirmed(r)) {
            OpenDialog1.fileName = r.fileName;
            Open_DB(r.fileName);
        }
    }
    if (!m_state.tableOpen)
        return;
    if (!Form2 || Form2->exec() == 2)
        return;
    // With the sort cleared the table's last row is the last row of the file.
    if (Dbf1.isOpen())
        reset_sort(kSortTag);
    flash2fln01(true);
    m_state.tableOpen = true;
    Save_DB();
    find_mma();
    tab_vis_en();
}

void TForm1::N5Click()
{
    Save_DB();
}

void TForm1::N7Click()
{
    postTypedComment();
    Close_DB();
}

void TForm1::Create_DB()
{
    MeasurementDocument doc(Dbf1, m_state);
    doc.beginCreate();
    if (doc.archiveEmpty()) {
        m_dialogs.message(this, DocumentTexts::kArchiveEmpty, QStringLiteral("Ошибка"),
                          DialogService::Icon::Information, DialogService::Buttons::Ok);
        return;
    }
    doc.createTable(SaveDialog1.fileName);
    setTableColour(true);
    takeTableLimits();
    flash2fln01(false);
    find_mma();
    enable_button();
    tab_vis_en();
    load_layout(kLayoutValue);
    m_state.modified = false;
}

void TForm1::Open_DB(const QString& path)
{
    if (m_state.tableOpen)
        Close_DB();
    MeasurementDocument doc(Dbf1, m_state);
    if (!doc.openTable(path)) {
        m_dialogs.message(this, DocumentTexts::kBrokenTable, QStringLiteral("Ошибка"),
                          DialogService::Icon::Stop, DialogService::Buttons::Ok);
        return;
    }
    find_mma();
    Dbf1.first();
    setTableColour(true);
    takeTableLimits();
    enable_button();
    tab_vis_en();
    load_layout(kLayoutValue);
    setApplicationTitle(MeasurementDocument::titleFor(path));
    m_state.modified = false;
}

void TForm1::Save_DB()
{
    if (!m_state.tableOpen)
        return;
    postTypedComment();
    MeasurementDocument(Dbf1, m_state).save();
    showFileOutput(QStringLiteral("Таблица сохранена"), Dbf1.tableFile());
}

void TForm1::postTypedComment()
{
    if (Dbf1.isOpen() && DBGridPro1)
        DBGridPro1->endEditInProgress();
}

void TForm1::Close_DB()
{
    if (m_state.modified) {
        const auto answer =
            m_dialogs.message(this, QStringLiteral("Сохранить изменения в таблицах ?"), kAppTitle,
                              DialogService::Icon::Question, DialogService::Buttons::YesNo);
        if (answer == DialogService::Answer::Yes)
            Save_DB();
    }
    // Closing with no table shown in this run keeps the stored layout as it is.
    if (m_layoutRestored)
        save_layout(kLayoutValue);
    MeasurementDocument(Dbf1, m_state).close();
    disable_button();
    tab_vis_dis();
    setApplicationTitle(kAppTitle);
    setTableColour(false);
}

void TForm1::flash2fln01(bool append)
{
    const std::optional<int> added = ::flash2fln01(Dbf1, m_state.archive, m_state.regional, append);
    if (append && added)
        m_dialogs.message(this, DocumentTexts::recordsAdded(*added), DocumentTexts::kAppendCaption,
                          DialogService::Icon::Information, DialogService::Buttons::Ok);
}
