#include "device/receive.h"

#include "data/archive_image.h"
#include "platform/app_error.h"
#include "platform/app_title.h"
#include "platform/window_placement.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include <algorithm>

namespace {

const QString kCaption = QStringLiteral("Прием данных");
const QString& kWaiting = DownloadSession::kWaitingText;
const QString& kReceiving = DownloadSession::kReceivingText;
const QString kErrorCaption = QStringLiteral("Ошибка");

QFont pixelFont(const QFont& base, int pixels, bool bold = false)
{
    QFont f(base);
    f.setPixelSize(pixels);
    f.setBold(bold);
    return f;
}

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, int left, int top)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->move(left, top);
    label->adjustSize();
    return label;
}

// The design places were measured for MS Sans Serif; a wider substitute font
// would run a label into its value, so the value then moves right.
void keepClearOf(const QLabel* label, QLabel* value)
{
    constexpr int kGap = 6;
    value->move(std::max(value->x(), label->geometry().right() + 1 + kGap), value->y());
}

} // namespace

TForm2::TForm2(ArchiveImage& archive, DialogService& dialogs, const SerialPortMap& ports,
               QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      m_dialogs(dialogs), m_session(archive, ports)
{
    setObjectName(QStringLiteral("Form2"));
    setModal(true);
    setWindowTitle(kCaption);
    setFont(pixelFont(font(), 11));
    setFixedSize(490, 245);
    // In the middle of the screen at every showing, also at the first, when
    // the window manager frames it only after it is shown.
    keepCentredOnScreen(*this);

    StaticText2 = new QLabel(kWaiting, this);
    StaticText2->setObjectName(QStringLiteral("StaticText2"));
    StaticText2->setGeometry(104, 12, 288, 24);
    StaticText2->setAlignment(Qt::AlignCenter);
    StaticText2->setFont(pixelFont(font(), 16, true));
    {
        // Neither status text may be clipped in a font wider than the design's:
        // the line then grows about its centre.
        const QFontMetrics fm(StaticText2->font());
        const int need =
            std::max(fm.horizontalAdvance(kWaiting), fm.horizontalAdvance(kReceiving)) + 4;
        const QRect design = StaticText2->geometry();
        if (need > design.width()) {
            const int w = std::min(need, width());
            const int left = std::max(0, design.left() + (design.width() - w) / 2);
            StaticText2->setGeometry(left, design.top(), w, design.height());
        }
    }

    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setGeometry(20, 57, 453, 17);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);

    GroupBox1 = new QGroupBox(QStringLiteral("Информация"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setGeometry(20, 100, 453, 101);
    GroupBox1->setFont(pixelFont(font(), 13));

    StaticText4 = makeLabel(GroupBox1, "StaticText4", QStringLiteral("Тип прибора:"), 20, 24);
    StaticText5 = makeLabel(GroupBox1, "StaticText5", QString(), 124, 24);
    StaticText3 = makeLabel(GroupBox1, "StaticText3", QStringLiteral("Версия ПО:"), 20, 48);
    StaticText1 = makeLabel(GroupBox1, "StaticText1", QString(), 124, 48);
    StaticText6 =
        makeLabel(GroupBox1, "StaticText6", QStringLiteral("Количество записей:"), 20, 72);
    StaticText7 = makeLabel(GroupBox1, "StaticText7", QString(), 164, 72);
    keepClearOf(StaticText4, StaticText5);
    keepClearOf(StaticText3, StaticText1);
    keepClearOf(StaticText6, StaticText7);

    Button1 = new QPushButton(QStringLiteral("Отмена"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(412, 216, 75, 25);
    Button1->setAutoDefault(false);
    connect(Button1, &QPushButton::clicked, this, &TForm2::Button1Click);

    // The port and the two timers are the session's, under their designer names.
    m_session.setParent(this);
    CommPortDriver1 = &m_session.port();
    Timer1 = &m_session.detectionTimer();
    Timer2 = &m_session.requestTimer();
    connect(&m_session, &DownloadSession::progressChanged, ProgressBar1, &QProgressBar::setValue);
    connect(&m_session, &DownloadSession::waiting, this, [this] {
        setValue(StaticText5, QString());
        setValue(StaticText1, QString());
        setValue(StaticText7, QString());
        StaticText2->setText(kWaiting);
        setWindowTitle(kCaption);
    });
    connect(&m_session, &DownloadSession::identified, this, [this](const QString& version) {
        setValue(StaticText5, DownloadSession::kInstrumentName);
        setValue(StaticText1, version);
        StaticText2->setText(kReceiving);
    });
    connect(&m_session, &DownloadSession::recordCountKnown, this,
            [this](int count) { setValue(StaticText7, QString::number(count)); });
    // Modal: its nested event loop goes on feeding the session.
    connect(&m_session, &DownloadSession::failure, this, [this](const QString& text) {
        m_dialogs.message(this, text, kErrorCaption, DialogService::Icon::Stop,
                          DialogService::Buttons::Ok);
    });
    // Modal too: the other ports are tried once the user has read it.
    connect(&m_session, &DownloadSession::choiceMissing, this, [this](const QString& text) {
        m_dialogs.message(this, text, kAppTitle, DialogService::Icon::Warning,
                          DialogService::Buttons::Ok);
    });
    connect(&m_session, &DownloadSession::finished, this, &TForm2::done);
}

TForm2::~TForm2() = default;

void TForm2::setTimerIntervals(int detectionMs, int requestMs)
{
    m_session.setTimerIntervals(detectionMs, requestMs);
}

void TForm2::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    FormShow();
}

void TForm2::closeEvent(QCloseEvent* event)
{
    // There is no close box; a close request from outside cancels.
    event->ignore();
    Button1Click();
}

void TForm2::reject()
{
    Button1Click();
}

void TForm2::done(int result)
{
    FormClose();
    QDialog::done(result);
}

void TForm2::FormShow()
{
    setWindowTitle(kCaption);
    m_session.start();
}

void TForm2::FormClose()
{
    Timer2->stop();
    Timer1->stop();
}

void TForm2::Timer1Timer()
{
    m_session.detectionTimeout();
}

void TForm2::Timer2Timer()
{
    m_session.requestTimeout();
}

void TForm2::Button1Click()
{
    m_session.cancel();
}

void TForm2::CommPortDriver1ReceiveData(TCommPortDriver*, const std::uint8_t* DataPtr,
                                        std::uint32_t DataSize)
{
    m_session.receive(DataPtr, DataSize);
}

void TForm2::setValue(QLabel* label, const QString& text)
{
    label->setText(text);
    label->adjustSize();
}
