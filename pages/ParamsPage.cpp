#include "pages/ParamsPage.h"
#include "bus/SensorBus.h"
#include "convert/Unit_Utils.h"
#include "pages/PageHelpers.h"
#include "pages/PageHost.h"
#include "pages/ParamGrid.h"
#include "pages/ReplyTexts.h"
#include "params/ParamHistory.h"
#include "params/ParamSet.h"
#include "params/ParamValidation.h"
#include "protocol/DeviceUnit.h"
#include "widgets/RadioGroup.h"
#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <optional>

namespace {
constexpr int ValueColumn = 1;

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

// The value column shows the longest choice in full.
int ValueColumnLeast(const QFontMetrics& metrics)
{
    constexpr int CellPadding = 8;
    int widest = 0;
    for (const QStringList* texts :
         {&OnOffTexts(), &ClockingTexts(), &ByteFormatTexts(), &UartTexts(), &FilterTexts()})
        for (const QString& text : *texts)
            widest = std::max(widest, metrics.horizontalAdvance(text));
    return widest + CellPadding;
}

// A group box takes no focus itself; its first item does, as the user tabs into it, and the
// option column scrolls it into view.
void FocusGroup(TRadioGroup& group, QScrollArea& column)
{
    if (QWidget* const first = group.Button(0))
        first->setFocus();
    else
        group.setFocus();
    column.ensureWidgetVisible(&group);
}
} // namespace

TParamsPage::~TParamsPage() = default;

TParamsPage::TParamsPage(TPageHost& host, QWidget* parent) : QWidget(parent), host_(host)
{
    setObjectName(QStringLiteral("TabSheet5"));
    // Left of the grid: the buttons, and below them the option groups in a column that scrolls
    // when the window is too small to show it whole.
    Button1 =
        MakeButton(QStringLiteral("Button1"), QStringLiteral("Читать параметры"), {4, 4, 196, 25}, this);
    Button4 =
        MakeButton(QStringLiteral("Button4"), QStringLiteral("Записать параметры"), {4, 31, 196, 25}, this);
    Button8 = MakeButton(QStringLiteral("Button8"), QStringLiteral("Параметры по умолчанию"),
                         {4, 58, 196, 25}, this);
    Button15 =
        MakeButton(QStringLiteral("Button15"), QStringLiteral("Записать во FLASH"), {4, 85, 196, 25}, this);
    connect(Button1, &QPushButton::clicked, this, &TParamsPage::Button1Click);
    connect(Button4, &QPushButton::clicked, this, &TParamsPage::Button4Click);
    connect(Button8, &QPushButton::clicked, this, &TParamsPage::Button8Click);
    connect(Button15, &QPushButton::clicked, this, &TParamsPage::Button15Click);
    CreateParamSetControls();

    Options = new QScrollArea(this);
    Options->setObjectName(QStringLiteral("Options"));
    Options->setFrameShape(QFrame::NoFrame);
    Options->setWidgetResizable(true);
    Options->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* options = new QWidget;
    options->setObjectName(QStringLiteral("OptionsColumn"));
    auto* column = new QVBoxLayout(options);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(4);
    RadioGroup6 =
        new TRadioGroup(QStringLiteral("RadioGroup6"), QStringLiteral("Способ вычисления результата:"),
                        ResultComputationTexts(), 1, options);
    column->addWidget(RadioGroup6);
    GroupBox2 = new QGroupBox(QStringLiteral("Настройка дискретных выходов"), options);
    GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
    auto* outputs = new QVBoxLayout(GroupBox2);
    outputs->setContentsMargins(4, 0, 4, 4);
    outputs->setSpacing(2);
    RadioGroup1 = new TRadioGroup(QStringLiteral("RadioGroup1"), QStringLiteral("Первый дискретный выход"),
                                  DiscreteOutputTexts(), 1, GroupBox2);
    RadioGroup2 = new TRadioGroup(QStringLiteral("RadioGroup2"), QStringLiteral("Второй дискретный выход"),
                                  DiscreteOutputTexts(), 1, GroupBox2);
    outputs->addWidget(RadioGroup1);
    outputs->addWidget(RadioGroup2);
    column->addWidget(GroupBox2);
    RadioGroup5 = new TRadioGroup(QStringLiteral("RadioGroup5"), QStringLiteral("Тип объекта:"),
                                  ObjectTypeTexts(), 1, options);
    column->addWidget(RadioGroup5);
    column->addStretch(1);
    Options->setWidget(options);

    KGrid1 = new QTableWidget(21, 2, this);
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
                           {412, 412, 380, 18}, this);
    QFont hintFont = Label_Hint->font();
    hintFont.setBold(true);
    Label_Hint->setFont(hintFont);
    QPalette hintPalette = Label_Hint->palette();
    hintPalette.setColor(QPalette::WindowText, Qt::red);
    Label_Hint->setPalette(hintPalette);
    Label_Hint->hide();
    FillParamCaptions();

    TSensorBus& bus = host_.Bus();
    connect(&bus, &TSensorBus::OperationFinished, this, &TParamsPage::OnFinished);
    connect(&bus, &TSensorBus::SensorReplied, this, &TParamsPage::OnReplied);
    connect(&bus, &TSensorBus::Progress, this, [this](TOperationCode, TProgress step) {
        if (step == TProgress::Reading)
            host_.SetStatusText(1, QStringLiteral("Чтение..."));
    });
    // What a new search finds has had no parameters read yet.
    connect(&bus, &TSensorBus::SearchPassesDone, this, [this](int found) {
        if (found == 0)
            return;
        ParamsLoaded.assign(static_cast<std::size_t>(found), false);
        Label_Hint->show();
    });
}

// The grid keeps the room its captions and its widest value need and takes whatever the option
// column does not: that column is as wide as its longest item, or narrower, its items wrapping,
// down to what its buttons and captions need.
void TParamsPage::Layout(int W, int H)
{
    Q_UNUSED(H);
    const int gridRight = W - 6 - 10;
    const int gridLeast =
        KGrid1->columnWidth(0) + ValueColumnLeast(KGrid1->fontMetrics()) + 2 * KGrid1->frameWidth();
    const int scrollBar = Options->verticalScrollBar()->sizeHint().width();
    const QWidget& options = *Options->widget();
    int least = options.minimumSizeHint().width() + scrollBar;
    for (const QPushButton* button : {Button1, Button4, Button8, Button15, Button_ParamSet})
        least = std::max(least, button->sizeHint().width());
    least = std::max(least, CheckBox_VerifyWrite->x() + CheckBox_VerifyWrite->width() - 4);
    const int natural = std::max(least, options.sizeHint().width() + scrollBar);
    const int left = std::clamp(gridRight - gridLeast - 8, least, natural);
    for (QPushButton* button : {Button1, Button4, Button8, Button15, Button_ParamSet})
        button->resize(left, button->height());
    Options->setGeometry(4, CheckBox_VerifyWrite->y() + CheckBox_VerifyWrite->height() + 4, left,
                         Options->height());
    PlaceOptions();
    KGrid1->setGeometry(left + 8, KGrid1->y(), gridRight - left - 8, KGrid1->rowCount() * 19 + 5);
    Label_Hint->setGeometry(KGrid1->x(), KGrid1->y() + KGrid1->height() + 4, KGrid1->width(),
                            Label_Hint->height());
}

void TParamsPage::PlaceOptions()
{
    Options->resize(Options->width(), std::max(0, height() - Options->y() - 4));
}

void TParamsPage::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    PlaceOptions();
}

void TParamsPage::FillParamCaptions()
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
// been handled; a save that cannot start disables nothing.
void TParamsPage::Button15Click()
{
    if (host_.SensorCount() == 0 || host_.Bus().Busy())
        return;
    if (host_.Bus().Start(TOperationCode::SaveToFlash, host_.SelectedDevice()))
        host_.SetStatusText(1, QStringLiteral("Запись параметров во FLASH..."));
}

// A read that another operation holds off changes nothing; one without a sensor behind the
// address box marks the grid as not loaded.
void TParamsPage::Button1Click()
{
    if (host_.SensorCount() == 0 || host_.Bus().Busy())
        return;
    if (!host_.Bus().Start(TOperationCode::ReadParameters, host_.SelectedDevice()))
        UndoParamReadStart();
}

void TParamsPage::Button8Click()
{
    if (host_.SensorCount() == 0 || host_.Bus().Busy())
        return;
    if (host_.Bus().Start(TOperationCode::Defaults, host_.SelectedDevice()))
        host_.SetStatusText(1, QStringLiteral("Установка параметров по умолчанию..."));
}

// The address box takes the new address as the write starts, as the record does: every reply
// from then on comes from the new one. A write that does not start puts it back.
void TParamsPage::Button4Click()
{
    if (host_.SensorCount() == 0 || !Correct_Enter_Param())
        return;
    TDevice* const record = host_.SelectedDevice();
    std::int64_t address = 0;
    if (host_.Bus().Busy() || !record ||
        !ParamInteger(KGrid1->item(ParamRow::Address, ValueColumn)->text(), address))
        return;
    std::optional<TWritePlan> plan =
        WritePlanOf(ParamPageTexts(), *record, static_cast<int>(address), host_.Bus().Protocol());
    if (!plan)
        return;
    writtenImage_ = ImageFromPage(ParamPageTexts(), host_.Bus().Protocol(), record);
    writtenTexts_ = ParamPageTexts();
    if (CheckBox_VerifyWrite->isChecked())
        plan->Verify = writtenImage_;
    writeOldAddress_ = host_.SelectedText();
    host_.RenameSelected(QString::number(address));
    if (!host_.Bus().StartWrite(record, *plan)) {
        host_.RenameSelected(writeOldAddress_);
        return;
    }
    host_.SetStatusText(1, QStringLiteral("Запись..."));
    Label_Hint->hide();
}

void TParamsPage::FillForm(const TDevice& record)
{
    ClearMarks();
    ShowTexts(ParamTextsOf(record));

    host_.SetStatusText(1, QStringLiteral("Чтение параметров завершено"));
    const int index = host_.SelectedIndex();
    ParamsShownIndex = index;
    if (index >= 0) {
        if (ParamsLoaded.size() <= static_cast<std::size_t>(index))
            ParamsLoaded.resize(static_cast<std::size_t>(std::max(host_.SensorCount(), index + 1)), false);
        ParamsLoaded[static_cast<std::size_t>(index)] = true;
    }
    Label_Hint->hide();
}

void TParamsPage::AddressChosen(int index)
{
    const bool valid = index == ParamsShownIndex && index < static_cast<int>(ParamsLoaded.size()) &&
                       ParamsLoaded[static_cast<std::size_t>(index)];
    Label_Hint->setVisible(!valid);
}

void TParamsPage::OnFinished(TOperationCode code, const TOutcome& outcome)
{
    const bool done = outcome.Kind == TOutcomeKind::Done;
    // Refused or unable to go on: no timeout message, and the page is left as it was.
    const bool ended = outcome.Kind == TOutcomeKind::Refused || outcome.Kind == TOutcomeKind::Failed;
    const bool timedOut = outcome.Kind == TOutcomeKind::Timeout || outcome.Kind == TOutcomeKind::PortLost;
    if (FinishComparison(code, outcome))
        return;
    switch (code) {
    case TOperationCode::ReadParameters:
    case TOperationCode::Defaults:
        if (done) {
            if (const TDevice* const record = host_.SelectedDevice()) {
                FillForm(*record);
                KeepInHistory(ParamPageTexts(), false);
            } else {
                UndoParamReadStart();
            }
        } else if (ended) {
            UndoParamReadStart();
        }
        break;
    case TOperationCode::WriteParameters:
        if (done) {
            ClearMarks();
            KeepInHistory(writtenTexts_, true);
            host_.SetStatusText(1, QStringLiteral("Параметры записаны"));
            if (outcome.Verified)
                host_.SetStatusText(0, QStringLiteral("Запись проверена чтением"));
        } else if (outcome.Kind == TOutcomeKind::Differs) {
            ReportWriteDifferences(outcome);
        } else if (timedOut || ended) {
            RollBackParameterWrite(outcome.AddressWritten);
            if (ended)
                host_.SetStatusText(1, QString());
        }
        break;
    case TOperationCode::SaveToFlash:
        if (done)
            host_.SetStatusText(1, QStringLiteral("Параметры записаны во FLASH"));
        else if (ended)
            host_.SetStatusText(1, QString());
        break;
    default:
        break;
    }
}

void TParamsPage::OnReplied(TDevice*, const TReplyNote& note)
{
    if (note.Event == TReplyEvent::DefaultsSet)
        host_.SetStatusText(1, QString::fromUtf8(ReplyText::DefaultsSet));
}

void TParamsPage::UndoParamReadStart()
{
    const int index = host_.SelectedIndex();
    if (index >= 0 && static_cast<std::size_t>(index) < ParamsLoaded.size())
        ParamsLoaded[static_cast<std::size_t>(index)] = false;
    Label_Hint->show();
    host_.SetStatusText(1, QString());
}

// The bus has given the record its old address back unless the sensor took the new one; the
// address box follows it.
void TParamsPage::RollBackParameterWrite(bool addressWritten)
{
    Label_Hint->show();
    if (!addressWritten)
        host_.RenameSelected(writeOldAddress_);
}

TParamTexts TParamsPage::ParamPageTexts() const
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

bool TParamsPage::Correct_Enter_Param()
{
    const TParamCheck check = ::Correct_Enter_Param(ParamPageTexts());
    if (check.Correction) {
        if (TDevice* const record = host_.SelectedDevice())
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
        FocusGroup(*RadioGroup1, *Options);
        break;
    case TParamFocus::RadioGroup2:
        FocusGroup(*RadioGroup2, *Options);
        break;
    case TParamFocus::RadioGroup6:
        FocusGroup(*RadioGroup6, *Options);
        break;
    case TParamFocus::RadioGroup5:
        FocusGroup(*RadioGroup5, *Options);
        break;
    case TParamFocus::None:
        break;
    }
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Ошибка"), check.Message, QMessageBox::Ok, this);
    box.exec();
    return false;
}
