// The download dialog with the real port component against the simulated
// instrument on a pseudo-terminal, all in this one process and thread.
#include "data/archive_image.h"
#include "device/receive.h"
#include "platform/app_error.h"
#include "platform/serial_device.h"
#include "sim/simulated_instrument.h"
#include "tests/support/scripted_dialog_service.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>

#include <memory>

#include <unistd.h>

namespace {

// Stands in for the program's default error report: an error that leaves a
// handler ends here and is recorded.
class ReportingApplication : public QApplication
{
public:
    using QApplication::QApplication;
    QStringList reported;
    bool notify(QObject* receiver, QEvent* event) override
    {
        try {
            return QApplication::notify(receiver, event);
        } catch (const AppError& e) {
            reported << e.text();
            return false;
        }
    }
};

ReportingApplication* app()
{
    return static_cast<ReportingApplication*>(qApp);
}

const QString kWrong = QStringLiteral("Вы подключили не тот прибор !");
const QString kNotFound =
    QStringLiteral("Прибор не обнаружен! Проверте правильность подключения согласно инструкции!");

// Intervals shortened for the tests; the program's own are checked separately.
constexpr int kDetectMs = 400;
constexpr int kRequestMs = 100;

SimArchive archive(int records)
{
    return SimArchive::generate(7, records, QDateTime(QDate(2026, 1, 10), QTime(0, 0)), 600);
}

std::unique_ptr<SimulatedInstrument> instrument(int records, SimOptions::Fault fault,
                                                double rate = 0, int growBy = 0)
{
    SimOptions o;
    o.fault = fault;
    o.charsPerSecond = rate;
    o.growBy = growBy;
    auto sim = std::make_unique<SimulatedInstrument>(archive(records), o);
    if (!sim->start())
        qFatal("no pseudo-terminal: %s", qPrintable(sim->errorString()));
    return sim;
}

struct Download
{
    ArchiveImage received;
    ScriptedDialogService dialogs;
    SerialPortMap ports;
    std::unique_ptr<TForm2> form;

    Download(const QString& port1, const QString& port2)
    {
        ports.setDevice(1, port1);
        ports.setDevice(2, port2);
        form = std::make_unique<TForm2>(received, dialogs, ports);
        form->setTimerIntervals(kDetectMs, kRequestMs);
        form->CommPortDriver1->setPollingDelay(5);
        received.bytes.fill(0xEE);
        received.decodedLength = 9;
    }
    // Shows the dialog and waits until it ends; returns its result, or -1.
    int run(int timeoutMs = 20000)
    {
        QSignalSpy finished(form.get(), &QDialog::finished);
        form->open();
        if (!finished.wait(timeoutMs))
            return -1;
        return finished.first().first().toInt();
    }
    QByteArray image() const
    {
        return QByteArray(reinterpret_cast<const char*>(received.bytes.data()),
                          received.decodedLength);
    }
    bool endedCleanly() const
    {
        return !form->CommPortDriver1->IsOpen() && !form->Timer1->isActive() &&
               !form->Timer2->isActive();
    }
    QStringList messages() const
    {
        QStringList out;
        for (const auto& c : dialogs.messages())
            out << c.text;
        return out;
    }
};

} // namespace

class TestReceive : public QObject
{
    Q_OBJECT
private slots:
    void init() { app()->reported.clear(); }
    void layoutAndTexts();
    void wholeDownload();
    void faults_data();
    void faults();
    void secondPortFoundAfterOneTimeout();
    void noInstrumentFound();
    void portThatWillNotOpenIsNamed();
    void cancelWhileReceiving();
    void deviceGoneWhileReceiving();
    void growingArchiveForAppend();
};

void TestReceive::layoutAndTexts()
{
    ArchiveImage received;
    ScriptedDialogService dialogs;
    TForm2 f(received, dialogs, SerialPortMap());
    QCOMPARE(f.size(), QSize(490, 245));
    QCOMPARE(f.windowTitle(), QStringLiteral("Прием данных"));
    QVERIFY(!(f.windowFlags() & Qt::WindowSystemMenuHint));
    // The status line: 104, 12; 288 x 24 in the design's font, grown about
    // its centre when the font at hand needs more room for either text.
    const QRect status = f.StaticText2->geometry();
    QCOMPARE(status.top(), 12);
    QCOMPARE(status.height(), 24);
    QCOMPARE(status.left() + status.width() / 2, 104 + 288 / 2);
    QVERIFY(status.width() >= 288);
    QCOMPARE(f.StaticText2->text(), QStringLiteral("Ожидание готовности прибора ..."));
    QVERIFY(f.StaticText2->font().bold());
    QCOMPARE(f.StaticText2->font().pixelSize(), 16);
    for (const char* text : {"Ожидание готовности прибора ...", "Идет прием информации ..."})
        QVERIFY2(f.StaticText2->fontMetrics().horizontalAdvance(QString::fromUtf8(text)) <=
                     f.StaticText2->contentsRect().width(),
                 text);
    QCOMPARE(f.ProgressBar1->geometry(), QRect(20, 57, 453, 17));
    QCOMPARE(f.ProgressBar1->maximum(), 100);
    QCOMPARE(f.GroupBox1->geometry(), QRect(20, 100, 453, 101));
    QCOMPARE(f.GroupBox1->title(), QStringLiteral("Информация"));
    QCOMPARE(f.StaticText4->text(), QStringLiteral("Тип прибора:"));
    QCOMPARE(f.StaticText3->text(), QStringLiteral("Версия ПО:"));
    QCOMPARE(f.StaticText6->text(), QStringLiteral("Количество записей:"));
    // Labels at their design places; each value at its design place, or
    // further right when the label's text would otherwise run into it.
    const struct
    {
        const QLabel* label;
        const QLabel* value;
        int top, valueLeft;
    } lines[] = {{f.StaticText4, f.StaticText5, 24, 124},
                 {f.StaticText3, f.StaticText1, 48, 124},
                 {f.StaticText6, f.StaticText7, 72, 164}};
    for (const auto& l : lines) {
        QCOMPARE(l.label->pos(), QPoint(20, l.top));
        QCOMPARE(l.value->y(), l.top);
        QVERIFY(l.value->x() >= l.valueLeft);
        QVERIFY2(l.value->x() > l.label->x() + l.label->sizeHint().width(),
                 qPrintable(l.label->text()));
    }
    QCOMPARE(f.Button1->text(), QStringLiteral("Отмена"));
    QCOMPARE(f.Button1->geometry(), QRect(412, 216, 75, 25));
    QCOMPARE(f.findChild<QTimer*>("Timer1"), f.Timer1);
    // the port component as the dialog sets it
    const TCommPortDriver& d = *f.CommPortDriver1;
    QCOMPARE(d.Port(), pnCustom);
    QCOMPARE(d.PortName(), QStringLiteral("\\\\.\\COM1"));
    QCOMPARE(d.BaudRateValue(), 9600u);
    QCOMPARE(d.DataBits(), db8BITS);
    QCOMPARE(d.Parity(), ptNONE);
    QCOMPARE(d.StopBits(), sb2BITS);
    QCOMPARE(d.HwFlow(), hfNONERTSON);
    QCOMPARE(d.SwFlow(), sfNONE);
    QVERIFY(!d.EnableDTROnOpen());
    QCOMPARE(d.InBufSize(), 4096u);
    QCOMPARE(d.OutBufSize(), 4096u);
    QCOMPARE(d.PollingDelay(), quint16(50));
    QCOMPARE(d.OutputTimeout(), quint16(500));
    // the program's own timer intervals, as the first port is tried
    f.FormShow();
    QCOMPARE(f.Timer1->interval(), 3000);
    QVERIFY(f.Timer1->isActive());
    QCOMPARE(f.Timer2->interval(), 1000);
    f.Button1Click();
    QCOMPARE(f.result(), 2);
}

void TestReceive::wholeDownload()
{
    auto sim = instrument(300, SimOptions::Fault::None);
    Download dl(sim->devicePath(), QStringLiteral("/nonexistent/tty"));
    QCOMPARE(dl.run(), 1);
    QVERIFY(dl.endedCleanly());
    QCOMPARE(dl.image(), sim->archive().image());
    QCOMPARE(dl.form->StaticText5->text(), QStringLiteral("ФЛН-РК2"));
    QCOMPARE(dl.form->StaticText1->text(), QStringLiteral("01.02.03"));
    QCOMPARE(dl.form->StaticText7->text(), QStringLiteral("300"));
    QCOMPARE(dl.form->StaticText2->text(), QStringLiteral("Идет прием информации ..."));
    QCOMPARE(dl.form->ProgressBar1->value(), 100);
    QVERIFY(dl.messages().isEmpty());
    QVERIFY(app()->reported.isEmpty());
}

void TestReceive::faults_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<int>("records");
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("rangeError");
    using F = SimOptions::Fault;
    QTest::newRow("wrong type") << int(F::WrongType) << 10 << 2 << kWrong << false;
    QTest::newRow("wrong version digit") << int(F::WrongVersion) << 10 << 2 << kWrong << false;
    QTest::newRow("Z before the block") << int(F::RestartBefore) << 10 << 1 << QString() << false;
    QTest::newRow("Z during the archive")
        << int(F::RestartDuring) << 200 << 1 << QString() << false;
    QTest::newRow("odd characters") << int(F::OddCharacters) << 10 << 2 << QString() << true;
    QTest::newRow("pair outside 0..255") << int(F::BadPair) << 10 << 2 << QString() << true;
    QTest::newRow("no S") << int(F::NoStart) << 10 << 2 << QString() << true;
    QTest::newRow("empty archive") << int(F::None) << 0 << 1 << QString() << false;
    QTest::newRow("largest archive") << int(F::None) << 5957 << 1 << QString() << false;
}

void TestReceive::faults()
{
    QFETCH(int, fault);
    QFETCH(int, records);
    QFETCH(int, result);
    QFETCH(QString, message);
    QFETCH(bool, rangeError);
    auto sim = instrument(records, SimOptions::Fault(fault));
    Download dl(sim->devicePath(), QStringLiteral("/nonexistent/tty"));
    QCOMPARE(dl.run(), result);
    QVERIFY(dl.endedCleanly());
    QCOMPARE(dl.messages(), message.isEmpty() ? QStringList() : QStringList{message});
    QCOMPARE(app()->reported,
             rangeError ? QStringList{QStringLiteral("Range check error")} : QStringList());
    if (result == 1) {
        QCOMPARE(dl.image(), sim->archive().image());
        QCOMPARE(dl.form->StaticText7->text(), QString::number(records));
    } else {
        QCOMPARE(dl.received.decodedLength, 9); // untouched
        QCOMPARE(dl.received.bytes[0], quint8(0xEE));
    }
}

void TestReceive::secondPortFoundAfterOneTimeout()
{
    auto silent = instrument(5, SimOptions::Fault::Silence);
    auto sim = instrument(5, SimOptions::Fault::None);
    Download dl(silent->devicePath(), sim->devicePath());
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(dl.run(), 1);
    const qint64 ms = clock.elapsed();
    QVERIFY2(ms >= kDetectMs && ms < kDetectMs + kRequestMs + 1500,
             qPrintable(QString::number(ms)));
    QCOMPARE(dl.image(), sim->archive().image());
    QCOMPARE(dl.form->CommPortDriver1->PortName(), QStringLiteral("\\\\.\\COM2"));
}

void TestReceive::noInstrumentFound()
{
    auto silent1 = instrument(5, SimOptions::Fault::Silence);
    auto silent2 = instrument(5, SimOptions::Fault::Silence);
    Download dl(silent1->devicePath(), silent2->devicePath());
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(dl.run(), 2);
    const qint64 ms = clock.elapsed();
    QVERIFY2(ms >= 2 * kDetectMs && ms < 2 * kDetectMs + 1500, qPrintable(QString::number(ms)));
    // The usual 'not found' text, then on a line of its own where we looked.
    QCOMPARE(dl.messages(), QStringList{kNotFound + "\nОпрошены порты: " + silent1->devicePath() +
                                        ", " + silent2->devicePath()});
    QCOMPARE(dl.dialogs.messages().first().caption, QStringLiteral("Ошибка"));
    QCOMPARE(dl.form->CommPortDriver1->PortName(), QStringLiteral("\\\\.\\COM1"));
    QVERIFY(dl.endedCleanly());
    // each showing starts again on the first port
    QCOMPARE(dl.run(), 2);
    QCOMPARE(dl.messages().size(), 2);
}

// A port that exists but cannot be had is said so, in words the user can act
// on; the search itself goes on as before.
void TestReceive::portThatWillNotOpenIsNamed()
{
    auto held = instrument(5, SimOptions::Fault::Silence);
    auto locked = instrument(5, SimOptions::Fault::Silence);
    SerialDevice other; // another program has the first port
    QVERIFY(other.open(held->devicePath()));
    const bool root = ::geteuid() == 0;
    // Root is never denied; then only the port held by another program is seen.
    if (!root)
        QVERIFY(QFile::setPermissions(locked->devicePath(), QFileDevice::Permissions()));
    Download dl(held->devicePath(), locked->devicePath());
    QCOMPARE(dl.run(), 2);
    QStringList expected{kNotFound,
                         "Опрошены порты: " + held->devicePath() + ", " + locked->devicePath(),
                         "Порт " + held->devicePath() + " занят другой программой."};
    if (!root)
        expected << "Нет доступа к порту " + locked->devicePath() +
                        ". Добавьте пользователя в группу dialout и войдите в систему заново.";
    QCOMPARE(dl.messages(), QStringList{expected.join(u'\n')});
}

void TestReceive::cancelWhileReceiving()
{
    // At the line rate the archive takes seconds: cancel once the count is in.
    auto sim = instrument(500, SimOptions::Fault::Stall, SimOptions::kLineRate);
    Download dl(sim->devicePath(), QStringLiteral("/nonexistent/tty"));
    QSignalSpy finished(dl.form.get(), &QDialog::finished);
    dl.form->open();
    QTRY_VERIFY_WITH_TIMEOUT(dl.form->ProgressBar1->value() > 0, 10000);
    QCOMPARE(dl.form->StaticText7->text(), QStringLiteral("500"));
    QTest::mouseClick(dl.form->Button1, Qt::LeftButton);
    QCOMPARE(finished.size(), 1);
    QCOMPARE(finished.first().first().toInt(), 2);
    QVERIFY(dl.endedCleanly());
    QCOMPARE(dl.form->ProgressBar1->value(), 0);
    QCOMPARE(dl.received.decodedLength, 9);
    QCOMPARE(dl.received.bytes[0], quint8(0xEE));
}

// The adapter unplugged (here: the other end of the pseudo-terminal closed)
// ends the download with a message, not a dialog that waits for ever.
void TestReceive::deviceGoneWhileReceiving()
{
    auto sim = instrument(500, SimOptions::Fault::Stall, SimOptions::kLineRate);
    Download dl(sim->devicePath(), QStringLiteral("/nonexistent/tty"));
    QSignalSpy finished(dl.form.get(), &QDialog::finished);
    dl.form->open();
    QTRY_VERIFY_WITH_TIMEOUT(dl.form->ProgressBar1->value() > 0, 10000);
    sim.reset();
    QVERIFY(finished.wait(5000));
    QCOMPARE(finished.first().first().toInt(), 2);
    QVERIFY(dl.endedCleanly());
    QCOMPARE(dl.messages().size(), 1);
    QVERIFY2(dl.messages().first().startsWith(QStringLiteral("Связь с прибором прервана: ")),
             qPrintable(dl.messages().first()));
    QCOMPARE(dl.dialogs.messages().first().caption, QStringLiteral("Ошибка"));
    QCOMPARE(dl.received.decodedLength, 9); // the image is left as it was
}

void TestReceive::growingArchiveForAppend()
{
    auto sim = instrument(20, SimOptions::Fault::None, 0, 5);
    Download dl(sim->devicePath(), QStringLiteral("/nonexistent/tty"));
    QCOMPARE(dl.run(), 1);
    const QByteArray first = dl.image();
    QCOMPARE(quint8(first[0]), quint8(20));
    QTRY_COMPARE(sim->completedTransfers(), 1);
    QCOMPARE(dl.run(), 1);
    const QByteArray second = dl.image();
    QCOMPARE(quint8(second[0]), quint8(25));
    QCOMPARE(second.mid(2, 20 * 11), first.mid(2)); // the old records stay, newer ones follow
    QCOMPARE(second.mid(2), sim->archive().image().mid(2, 25 * 11));
}

int main(int argc, char** argv)
{
    ReportingApplication a(argc, argv);
    TestReceive t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_receive.moc"
