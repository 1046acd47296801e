#include "device/receive.h"

#include "data/app_state.h"
#include "platform/app_error.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>

#include <algorithm>

namespace {

const QString kCaption = QStringLiteral("Прием данных");
const QString kWaiting = QStringLiteral("Ожидание готовности прибора ...");
const QString kReceiving = QStringLiteral("Идет прием информации ...");
const QString kInstrumentName = QStringLiteral("ФЛН-РК2");
const QString kWrongInstrument = QStringLiteral("Вы подключили не тот прибор !");
const QString kNotFound =
    QStringLiteral("Прибор не обнаружен! Проверте правильность подключения согласно инструкции!");
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

TForm2::TForm2(AppState& state, DialogService& dialogs, const SerialPortMap& ports, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), m_state(state),
      m_dialogs(dialogs), m_protocol(*this, state.archive)
{
    setObjectName(QStringLiteral("Form2"));
    setModal(true);
    setWindowTitle(kCaption);
    setFont(pixelFont(font(), 11));
    setFixedSize(490, 245);

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

    CommPortDriver1 = new TCommPortDriver(ports, this);
    CommPortDriver1->setObjectName(QStringLiteral("CommPortDriver1"));
    CommPortDriver1->setPort(pnCustom);
    CommPortDriver1->setPortName(DownloadProtocol::kFirstPort);
    CommPortDriver1->setStopBits(sb2BITS);
    CommPortDriver1->setEnableDTROnOpen(false);
    CommPortDriver1->setInBufSize(4096);
    CommPortDriver1->setOutBufSize(4096);
    CommPortDriver1->setOnReceiveData(
        [this](TCommPortDriver* sender, const std::uint8_t* data, std::uint32_t size) {
            CommPortDriver1ReceiveData(sender, data, size);
        });
    CommPortDriver1->setOnPortFailure(
        [this](TCommPortDriver*, const QString& reason) { m_protocol.portFailed(reason); });

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setSingleShot(false);
    // A coarse timer may fire up to 5 % early; the timeouts are "after".
    Timer1->setTimerType(Qt::PreciseTimer);
    Timer1->setInterval(m_detectionMs);
    connect(Timer1, &QTimer::timeout, this, &TForm2::Timer1Timer);

    Timer2 = new QTimer(this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer2->setInterval(m_requestMs);
    Timer2->setTimerType(Qt::PreciseTimer);
    connect(Timer2, &QTimer::timeout, this, &TForm2::Timer2Timer);
}

TForm2::~TForm2() = default;

void TForm2::setTimerIntervals(int detectionMs, int requestMs)
{
    m_detectionMs = detectionMs;
    m_requestMs = requestMs;
    Timer1->setInterval(detectionMs);
    Timer2->setInterval(requestMs);
}

void TForm2::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
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
    m_protocol.start();
}

void TForm2::FormClose()
{
    Timer2->stop();
    Timer1->stop();
}

void TForm2::Timer1Timer()
{
    m_protocol.detectionTimeout();
}

void TForm2::Timer2Timer()
{
    m_protocol.requestTimeout();
}

void TForm2::Button1Click()
{
    m_protocol.cancel();
}

void TForm2::CommPortDriver1ReceiveData(TCommPortDriver*, const std::uint8_t* DataPtr,
                                        std::uint32_t DataSize)
{
    try {
        m_protocol.receive(DataPtr, DataSize);
    } catch (const RangeError&) {
        // The download cannot go on: shut it down cleanly, then let the
        // default error report show the error.
        CommPortDriver1->ClosePort();
        done(2);
        throw;
    }
}

void TForm2::setPortName(const QString& name)
{
    CommPortDriver1->setPortName(name);
}

QString TForm2::portName() const
{
    return CommPortDriver1->PortName();
}

void TForm2::openPort()
{
    CommPortDriver1->OpenPort();
}

void TForm2::closePort()
{
    CommPortDriver1->ClosePort();
}

void TForm2::sendChar(char c)
{
    CommPortDriver1->SendChar(c);
}

void TForm2::startDetectionTimer()
{
    Timer1->start(m_detectionMs);
}

void TForm2::stopDetectionTimer()
{
    Timer1->stop();
}

void TForm2::startRequestTimer()
{
    Timer2->start(m_requestMs);
}

void TForm2::stopRequestTimer()
{
    Timer2->stop();
}

void TForm2::showProgress(int position)
{
    ProgressBar1->setValue(qBound(0, position, 100));
}

void TForm2::showWaiting()
{
    setValue(StaticText5, QString());
    setValue(StaticText1, QString());
    setValue(StaticText7, QString());
    StaticText2->setText(kWaiting);
    setWindowTitle(kCaption);
}

void TForm2::showIdentified(const QString& version)
{
    setValue(StaticText5, kInstrumentName);
    setValue(StaticText1, version);
    StaticText2->setText(kReceiving);
}

void TForm2::showRecordCount(int count)
{
    setValue(StaticText7, QString::number(count));
}

void TForm2::reportWrongInstrument()
{
    m_dialogs.message(this, kWrongInstrument, kErrorCaption, DialogService::Icon::Stop,
                      DialogService::Buttons::Ok);
}

void TForm2::reportNotFound()
{
    m_dialogs.message(this, kNotFound, kErrorCaption, DialogService::Icon::Stop,
                      DialogService::Buttons::Ok);
}

void TForm2::reportPortFailure(const QString& text)
{
    m_dialogs.message(this, text, kErrorCaption, DialogService::Icon::Stop,
                      DialogService::Buttons::Ok);
}

void TForm2::finish(int result)
{
    done(result);
}

void TForm2::setValue(QLabel* label, const QString& text)
{
    label->setText(text);
    label->adjustSize();
}
