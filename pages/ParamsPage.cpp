#include "app/Unit1.h"
#include "bus/SensorBus.h"
#include "convert/Unit_Utils.h"
#include "pages/PageHelpers.h"
#include "pages/ParamSet.h"
#include "pages/ParamValidation.h"
#include "protocol/DeviceUnit.h"
#include "widgets/ParamGrid.h"
#include "widgets/RadioGroup.h"
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableWidget>
#include <algorithm>
#include <optional>

namespace {
constexpr int ValueColumn = 1;

// What an operation started from this page holds until it ends.
void DisableForOperation(TForm1& form)
{
    form.PageControl1->setEnabled(false);
    form.ComboBox1->setEnabled(false);
    form.RadioGroup_protocol_obm->setEnabled(false);
}

// What the write sends, from the page as it stands; none when a value does not fit its register.
std::optional<TWritePlan> WritePlanOf(const TParamTexts& page, const TDevice& record, int address,
                                      TProtocol protocol)
{
    TWritePlan plan;
    plan.NewAddress = address;
    plan.NewSpeed = LineSpeedOf(page.rows[ParamRow::Uart]);
    try {
        if (protocol == TProtocol::Modbus) {
            plan.Flags = ModbusFlagBytes(page);
            plan.Block = ModbusBlockBytes(page);
        } else {
            plan.Standard = StandardWrites(page, record);
        }
    } catch (const EConvertError&) {
        return std::nullopt;
    }
    return plan;
}

// A group box takes no focus itself; its first item does, as the user tabs into it.
void FocusGroup(TRadioGroup& group)
{
    if (QWidget* const first = group.Button(0))
        first->setFocus();
    else
        group.setFocus();
}
} // namespace

void TForm1::CreateParamsPage()
{
    TabSheet5 = MakePage(QStringLiteral("TabSheet5"));
    PageControl1->addTab(TabSheet5, QStringLiteral("Параметры датчика"));

    // Left of the grid, in the width the grid leaves at the smallest window: the buttons with
    // the result computation beside them, then the outputs, then the object type.
    Button1 =
        MakeButton(QStringLiteral("Button1"), QStringLiteral("Читать параметры"), {4, 4, 196, 25}, TabSheet5);
    Button4 = MakeButton(QStringLiteral("Button4"), QStringLiteral("Записать параметры"), {4, 31, 196, 25},
                         TabSheet5);
    Button8 = MakeButton(QStringLiteral("Button8"), QStringLiteral("Параметры по умолчанию"),
                         {4, 58, 196, 25}, TabSheet5);
    Button15 = MakeButton(QStringLiteral("Button15"), QStringLiteral("Записать во FLASH"), {4, 85, 196, 25},
                          TabSheet5);
    connect(Button1, &QPushButton::clicked, this, &TForm1::Button1Click);
    connect(Button4, &QPushButton::clicked, this, &TForm1::Button4Click);
    connect(Button8, &QPushButton::clicked, this, &TForm1::Button8Click);
    connect(Button15, &QPushButton::clicked, this, &TForm1::Button15Click);
    RadioGroup6 =
        new TRadioGroup(QStringLiteral("RadioGroup6"), QStringLiteral("Способ вычисления результата:"),
                        ResultComputationTexts(), 1, TabSheet5);
    RadioGroup6->setGeometry(206, 4, 202, 60);

    GroupBox2 = new QGroupBox(QStringLiteral("Настройка дискретных выходов"), TabSheet5);
    GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
    GroupBox2->setGeometry(4, 114, 404, 152);
    RadioGroup1 = new TRadioGroup(QStringLiteral("RadioGroup1"), QStringLiteral("Первый дискретный выход"),
                                  DiscreteOutputTexts(), 1, GroupBox2);
    RadioGroup1->setGeometry(4, 16, 396, 66);
    RadioGroup2 = new TRadioGroup(QStringLiteral("RadioGroup2"), QStringLiteral("Второй дискретный выход"),
                                  DiscreteOutputTexts(), 1, GroupBox2);
    RadioGroup2->setGeometry(4, 82, 396, 66);

    RadioGroup5 = new TRadioGroup(QStringLiteral("RadioGroup5"), QStringLiteral("Тип объекта:"),
                                  ObjectTypeTexts(), 1, TabSheet5);
    RadioGroup5->setGeometry(4, 268, 404, 162);

    KGrid1 = new QTableWidget(21, 2, TabSheet5);
    KGrid1->setObjectName(QStringLiteral("KGrid1"));
    KGrid1->setAccessibleName(QStringLiteral("Параметры датчика"));
    KGrid1->move(412, 4);
    KGrid1->horizontalHeader()->hide();
    KGrid1->verticalHeader()->hide();
    KGrid1->verticalHeader()->setMinimumSectionSize(18);
    KGrid1->verticalHeader()->setDefaultSectionSize(18);
    KGrid1->horizontalHeader()->setStretchLastSection(true);
    KGrid1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    KGrid1->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    KGrid1->setShowGrid(true);
    KGrid1->setColumnWidth(0, 265);
    for (int row = 0; row < KGrid1->rowCount(); ++row)
        KGrid1->setItem(row, 1, new QTableWidgetItem);
    SetUpParamGrid(*KGrid1);

    Label_Hint = MakeLabel(QStringLiteral("Label_Hint"),
                           QStringLiteral("Параметры не действительны для выбранного датчика!"),
                           {412, 412, 380, 18}, TabSheet5);
    QFont hintFont = Label_Hint->font();
    hintFont.setBold(true);
    Label_Hint->setFont(hintFont);
    QPalette hintPalette = Label_Hint->palette();
    hintPalette.setColor(QPalette::WindowText, Qt::red);
    Label_Hint->setPalette(hintPalette);
    Label_Hint->hide();
}

void TForm1::FillParamCaptions()
{
    for (int row = 0; row < ParamRowCount; ++row) {
        const QString& caption = ParamRows()[row].Caption;
        auto* item = new QTableWidgetItem(caption);
        // The caption column is fixed: shown, never selected or edited.
        item->setFlags(Qt::ItemIsEnabled);
        item->setToolTip(caption);
        item->setBackground(KGrid1->palette().button());
        KGrid1->setItem(row, 0, item);
    }
    // 265 pixels, or wider where the desktop's font would cut a caption short: the value column
    // takes what is left either way.
    KGrid1->resizeColumnToContents(0);
    KGrid1->setColumnWidth(0, std::max(265, KGrid1->columnWidth(0)));
}

// The page control, the address box and the protocol selector stay disabled until the echo has
// been handled. A save that cannot start (no sensor listed, another operation running) leaves
// them as they are, so that nothing stays disabled with no operation to enable it again.
void TForm1::Button15Click()
{
    if (ComboBox1->count() == 0 || bus_->Busy())
        return;
    DisableForOperation(*this);
    SetStatusText(1, QStringLiteral("Запись параметров во FLASH..."));
    if (LaunchThread(TOperationCode::SaveToFlash))
        return;
    EnableAfterWrite();
    SetStatusText(1, QString());
}

// A read that another operation holds off disables nothing; one that fails to start is undone.
void TForm1::Button1Click()
{
    if (ComboBox1->count() == 0 || bus_->Busy())
        return;
    DisableForOperation(*this);
    if (!LaunchThread(TOperationCode::ReadParameters))
        UndoParamReadStart();
}

void TForm1::Button8Click()
{
    if (ComboBox1->count() == 0 || bus_->Busy())
        return;
    DisableForOperation(*this);
    SetStatusText(1, QStringLiteral("Установка параметров по умолчанию..."));
    if (LaunchThread(TOperationCode::Defaults))
        return;
    EnableAfterWrite();
    SetStatusText(1, QString());
}

// The address box takes the new address as the write starts, as the record does: every reply
// from then on comes from the new one. A write that does not start puts it back, so nothing stays
// renamed or disabled.
void TForm1::Button4Click()
{
    if (ComboBox1->count() == 0 || !Correct_Enter_Param())
        return;
    TDevice* const record = SelectedDevice();
    std::int64_t address = 0;
    if (bus_->Busy() || !record || !ParamInteger(KGrid1->item(ParamRow::Address, ValueColumn)->text(), address))
        return;
    const std::optional<TWritePlan> plan =
        WritePlanOf(ParamPageTexts(), *record, static_cast<int>(address), bus_->Protocol());
    if (!plan)
        return;
    DisableForOperation(*this);
    writeOldAddress_ = ComboBox1->currentText().toLatin1();
    UpdateComboBoxOfAdres(QByteArray::number(address));
    if (!bus_->StartWrite(record, *plan)) {
        UpdateComboBoxOfAdres(writeOldAddress_);
        EnableAfterWrite();
        return;
    }
    SetStatusText(1, QStringLiteral("Запись..."));
    Label_Hint->hide();
}

void TForm1::FillForm(const TDevice& record)
{
    // An editor still open would write its stale text back over the new value.
    KGrid1->setCurrentCell(-1, -1);
    const TParamTexts texts = ParamTextsOf(record);
    for (int row = 0; row < ParamRowCount; ++row)
        KGrid1->item(row, ValueColumn)->setText(texts.rows[static_cast<std::size_t>(row)]);
    RadioGroup1->SetItemIndex(texts.radio1);
    RadioGroup2->SetItemIndex(texts.radio2);
    RadioGroup6->SetItemIndex(texts.radio6);
    RadioGroup5->SetItemIndex(texts.radio5);

    SetStatusText(1, QStringLiteral("Чтение параметров завершено"));
    PageControl1->setEnabled(true);
    ComboBox1->setEnabled(true);
    ActivateModbus();
    const int index = ComboBox1->currentIndex();
    ParamsShownIndex = index;
    if (index >= 0) {
        if (ParamsLoaded.size() <= static_cast<std::size_t>(index))
            ParamsLoaded.resize(static_cast<std::size_t>(ComboBox1->count()), false);
        ParamsLoaded[static_cast<std::size_t>(index)] = true;
    }
    Label_Hint->hide();
}

TParamTexts TForm1::ParamPageTexts() const
{
    TParamTexts texts;
    for (int row = 0; row < ParamRowCount; ++row) {
        const QTableWidgetItem* item = KGrid1->item(row, ValueColumn);
        texts.rows[static_cast<std::size_t>(row)] = item ? item->text() : QString();
    }
    texts.radio1 = RadioGroup1->ItemIndex();
    texts.radio2 = RadioGroup2->ItemIndex();
    texts.radio6 = RadioGroup6->ItemIndex();
    texts.radio5 = RadioGroup5->ItemIndex();
    return texts;
}

bool TForm1::Correct_Enter_Param()
{
    const TParamCheck check = ::Correct_Enter_Param(ParamPageTexts());
    if (check.Correction) {
        if (TDevice* const record = SelectedDevice())
            StoreCorrection(*check.Correction, *record);
    }
    if (check.Passed)
        return true;
    switch (check.Focus) {
    case TParamFocus::Grid:
        KGrid1->setFocus();
        KGrid1->setCurrentCell(check.Row, check.Column);
        break;
    case TParamFocus::RadioGroup1:
        FocusGroup(*RadioGroup1);
        break;
    case TParamFocus::RadioGroup2:
        FocusGroup(*RadioGroup2);
        break;
    case TParamFocus::RadioGroup6:
        FocusGroup(*RadioGroup6);
        break;
    case TParamFocus::RadioGroup5:
        FocusGroup(*RadioGroup5);
        break;
    case TParamFocus::None:
        break;
    }
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Ошибка"), check.Message, QMessageBox::Ok, this);
    box.exec();
    return false;
}
