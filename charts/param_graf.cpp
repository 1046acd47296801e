#include "charts/param_graf.h"

#include "data/measurement_schema.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QPushButton>
#include <QScreen>

TForm4::TForm4(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("Построение графиков"));
    setFixedSize(253, 142);
    setModal(true);

    GroupBox1 = new QGroupBox(QStringLiteral("Выберете графики"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setGeometry(0, 0, 253, 142);
    QFont font = GroupBox1->font();
    font.setPixelSize(13);
    GroupBox1->setFont(font);

    CheckBox6 = new QCheckBox(GroupBox1);
    CheckBox6->setObjectName(QStringLiteral("CheckBox6"));
    CheckBox6->move(28, 40);
    CheckBox7 = new QCheckBox(GroupBox1);
    CheckBox7->setObjectName(QStringLiteral("CheckBox7"));
    CheckBox7->move(28, 76);
    Button1 = new QPushButton(QStringLiteral("Построить"), GroupBox1);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(160, 104, 87, 25);
    Button1->setDefault(true);

    connect(CheckBox6, &QCheckBox::toggled, this, &TForm4::CheckBox10Click);
    connect(CheckBox7, &QCheckBox::toggled, this, &TForm4::CheckBox10Click);
    connect(Button1, &QPushButton::clicked, this, &TForm4::Button1Click);
    FormCreate();
}

void TForm4::FormCreate()
{
    CheckBox6->setChecked(false);
    CheckBox7->setChecked(false);
    CheckBox6->setText(MeasurementSchema::kT1Caption);
    CheckBox7->setText(MeasurementSchema::kT2Caption);
    CheckBox10Click();
}

void TForm4::FormShow()
{
    CheckBox10Click();
}

void TForm4::CheckBox10Click()
{
    Button1->setEnabled(CheckBox6->isChecked() || CheckBox7->isChecked());
}

void TForm4::Button1Click()
{
    done(CheckBox6->isChecked() || CheckBox7->isChecked() ? 1 : 2);
}

CurveChoice TForm4::choice() const
{
    return {CheckBox6->isChecked(), CheckBox7->isChecked()};
}

void TForm4::reject()
{
    done(2);
}

void TForm4::showEvent(QShowEvent* event)
{
    if (const QScreen* s = screen()) {
        QRect r = frameGeometry();
        r.moveCenter(s->availableGeometry().center());
        move(r.topLeft());
    }
    QDialog::showEvent(event);
    FormShow();
}
