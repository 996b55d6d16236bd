#include "app/AppLog.h"
#include "app/Unit1.h"
#include "bus/SensorBus.h"
#include "pages/ColumnWidths.h"
#include "pages/PageHelpers.h"
#include "pages/SearchInput.h"
#include "pages/SearchSort.h"
#include "protocol/DeviceList.h"
#include "protocol/DeviceUnit.h"
#include "widgets/ProgressBar.h"
#include "widgets/RadioGroup.h"
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <algorithm>
#include <stdexcept>

namespace {
// Every pass advances the bar once per address: eight passes fill it.
constexpr int SearchSpeedCount = 8;

const QString SearchDone = QStringLiteral("Поиск завершён");
const QString SearchFailed = QStringLiteral("Поиск завершён: ошибка поиска");

void AppendSearchRow(QTreeWidget& list, const TSearchRow& row)
{
    auto* const item = new QTreeWidgetItem(&list, SearchRowTexts(row));
    item->setTextAlignment(SearchColumn::Address, Qt::AlignLeft | Qt::AlignVCenter);
    for (int column = SearchColumn::Speed; column < SearchColumn::Count; ++column)
        item->setTextAlignment(column, Qt::AlignCenter);
}

std::vector<TSearchRow> FoundRows(const TDeviceList& devices)
{
    std::vector<TSearchRow> rows;
    const int count = devices.Count();
    rows.reserve(static_cast<std::size_t>(count));
    for (int index = 0; index < count; ++index) {
        if (const TDevice* const device = devices.At(index))
            rows.push_back(SearchRowOf(*device));
    }
    return rows;
}
} // namespace

void TForm1::CreateSearchPage()
{
    TabSheet1 = MakePage(QStringLiteral("TabSheet1"));
    PageControl1->addTab(TabSheet1, QStringLiteral("Найти датчик"));

    Button5 =
        MakeButton(QStringLiteral("Button5"), QStringLiteral("Искать датчики"), {38, 46, 129, 25}, TabSheet1);
    Button3 = MakeButton(QStringLiteral("Button3"), QStringLiteral("Включить датчик"), {38, 85, 129, 25},
                         TabSheet1);
    Button2 = MakeButton(QStringLiteral("Button2"), QStringLiteral("Выключить датчик"), {40, 124, 129, 25},
                         TabSheet1);
    Button12 = MakeButton(QStringLiteral("Button12"), QStringLiteral("Настроить датчик"), {38, 164, 129, 25},
                          TabSheet1);
    connect(Button5, &QPushButton::clicked, this, &TForm1::Button5Click);
    connect(Button3, &QPushButton::clicked, this, &TForm1::Button3Click);
    connect(Button2, &QPushButton::clicked, this, &TForm1::Button2Click);
    connect(Button12, &QPushButton::clicked, this, &TForm1::Button12Click);

    GroupBox1 = new QGroupBox(QStringLiteral("Параметры поиска"), TabSheet1);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setGeometry(2, 281, 197, 96);
    Label12 = MakeLabel(QStringLiteral("Label12"), QStringLiteral("Задержка при поиске:"), {6, 18, 185, 16},
                        GroupBox1);
    Edit1 = MakeEdit(QStringLiteral("Edit1"), {6, 35, 41, 21}, Label12, GroupBox1);
    Edit1->setMaxLength(9);
    Edit1->setText(QStringLiteral("20"));
    Label26 = MakeLabel(QStringLiteral("Label26"), QStringLiteral("мс"), {51, 37, 20, 18}, GroupBox1);
    Label14 = MakeLabel(QStringLiteral("Label14"), QStringLiteral("Верхняя граница поиска (2-255):"),
                        {6, 59, 128, 34}, GroupBox1);
    Label14->setWordWrap(true);
    Edit2 = MakeEdit(QStringLiteral("Edit2"), {140, 65, 41, 21}, Label14, GroupBox1);
    Edit2->setMaxLength(3);
    Edit2->setText(QStringLiteral("3"));
    connect(Edit1, &QLineEdit::textChanged, this, &TForm1::Edit1Change);
    connect(Edit2, &QLineEdit::textChanged, this, &TForm1::Edit2Change);

    ListView1 = new QTreeWidget(TabSheet1);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setAccessibleName(QStringLiteral("Найденные датчики"));
    ListView1->move(201, 24);
    ListView1->setRootIsDecorated(false);
    ListView1->setItemsExpandable(false);
    ListView1->setUniformRowHeights(true);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1->setStyleSheet(QStringLiteral("QTreeView::item { border-right: 1px solid palette(midlight);"
                                            " border-bottom: 1px solid palette(midlight); }"));
    ListView1->setHeaderLabels({QStringLiteral("Адрес"), QStringLiteral("Скорость"), QStringLiteral("Модель"),
                                QStringLiteral("Расстояние между приёмником и излучателем"),
                                QStringLiteral("Диапазон измерений"), QStringLiteral("Серийный номер")});
    QHeaderView* header = ListView1->header();
    header->setSectionsClickable(true);
    header->setSectionsMovable(false);
    header->setStretchLastSection(false);
    header->setDefaultAlignment(Qt::AlignCenter);
    ListView1->headerItem()->setTextAlignment(0, Qt::AlignLeft | Qt::AlignVCenter);
    const int widths[] = {header->defaultSectionSize(), 80, 90, 158, 135, 114};
    for (int column = 0; column < 6; ++column)
        ListView1->setColumnWidth(column, widths[column]);
    // Headers wider than their column end in an ellipsis and show in full as a tooltip.
    header->setTextElideMode(Qt::ElideRight);
    for (int column = 0; column < 6; ++column)
        ListView1->headerItem()->setToolTip(column, ListView1->headerItem()->text(column));
    connect(header, &QHeaderView::sectionClicked, this, &TForm1::ListView1ColumnClick);
}

void TForm1::LayoutSearchPage(int W, int H)
{
    ListView1->resize(W - 215, H - 163);
    const int LW = ListView1->width();
    const std::array<int, 5> widths = SearchListColumnWidths(LW);
    int sum = 0;
    for (int column = 0; column < 5; ++column) {
        ListView1->setColumnWidth(column, widths[static_cast<std::size_t>(column)]);
        sum += ListView1->columnWidth(column);
    }
    ListView1->setColumnWidth(5, LW - sum - 5);
}

void TForm1::Edit1Change()
{
    WriteSetting(settings::MainForm, settings::DelayOfFind, Edit1->text());
}

void TForm1::Edit2Change()
{
    WriteSetting(settings::MainForm, settings::RangeOfFind, Edit2->text());
}

// The switching buttons leave every control usable while their operation runs.
void TForm1::Button3Click()
{
    SetStatusText(0, QString());
    if (ComboBox1->count() > 0)
        LaunchThread(TOperationCode::SwitchOn);
}

void TForm1::Button2Click()
{
    SetStatusText(0, QString());
    if (ComboBox1->count() > 0)
        LaunchThread(TOperationCode::SwitchOff);
}

void TForm1::Button12Click()
{
    SetStatusText(0, QString());
    if (ComboBox1->count() > 0)
        LaunchThread(TOperationCode::Configure);
}

void TForm1::Button5Click()
{
    // The operation holds pointers into the sensor list, which a search empties.
    if (bus_->Busy())
        return;
    const TSearchInput input = CheckSearchInput(Edit1->text(), Edit2->text());
    if (!input.Accepted()) {
        QLineEdit* const field = input.refused == TSearchInput::Field::Delay ? Edit1 : Edit2;
        field->setFocus();
        field->selectAll();
        QMessageBox box(QMessageBox::Warning, SearchInputCaption(), input.message, QMessageBox::Ok, this);
        box.exec();
        return;
    }

    Button5->setEnabled(false);
    TabSheet2->setEnabled(false);
    TabSheet3->setEnabled(false);
    TabSheet5->setEnabled(false);
    ComboBox1->setEnabled(false);
    ComboBox2->setEnabled(false);
    RadioGroup_protocol_obm->setEnabled(false);
    QProgressBar1->setValue(0);
    QProgressBar1->SetCaption(QString());
    QProgressBar1->show();
    ComboBox1->clear();
    ComboBox1->setCurrentIndex(-1);
    SetStatusText(1, QStringLiteral("Поиск..."));
    ListView1->clear();
    try {
        const TSearchParams params{ChoiceCOM(ComboBox2->currentText()), input.delay, input.range};
        if (!bus_->StartSearch(params))
            throw std::runtime_error("the port does not open");
    } catch (const std::exception& e) {
        qCWarning(lcApp) << "bus search not started:" << e.what();
        EndSearchWithoutList(SearchFailed);
    }
}

void TForm1::OnSearchProgress(int address, int speed, int range)
{
    if (address == 1)
        QProgressBar1->setMaximum(range * SearchSpeedCount);
    QProgressBar1->setValue(QProgressBar1->value() + 1);
    QProgressBar1->SetCaption(SearchProgressCaption(address, speed));
}

// Ends a search that lists nothing: the search controls are usable again.
void TForm1::EndSearchWithoutList(const QString& status)
{
    SetStatusText(1, status);
    Button5->setEnabled(true);
    QProgressBar1->setValue(0);
    QProgressBar1->hide();
    ComboBox1->setEnabled(true);
    ActivateModbus();
    ComboBox1->clear();
    ComboBox1->setCurrentIndex(-1);
    ComboBox2->setEnabled(true);
}

// After the probe passes found sensors: their addresses in the address box before they are
// identified.
void TForm1::NextSpeedStep(int found)
{
    if (found == 0)
        return;
    ParamsLoaded.assign(static_cast<std::size_t>(found), false);
    for (int index = 0; index < found; ++index)
        AddAddressItem(QString::number(MyHex(bus_->Devices().At(index)->AdressStr.load())));
    Label_Hint->show();
    ComboBox1->setCurrentIndex(0);
}

// After the identification: the window is usable again and the list shows what was found.
void TForm1::EndOfSearchStep(const TOutcome& outcome)
{
    SetStatusText(1, SearchDone);
    Button5->setEnabled(true);
    TabSheet2->setEnabled(true);
    TabSheet3->setEnabled(true);
    TabSheet5->setEnabled(true);
    ComboBox1->setEnabled(true);
    ComboBox2->setEnabled(true);
    ActivateModbus();
    QProgressBar1->setValue(0);
    QProgressBar1->hide();
    if (outcome.Kind != TOutcomeKind::Done) {
        SetStatusText(1, SearchFailed);
        ComboBox1->clear();
        ComboBox1->setCurrentIndex(-1);
    } else {
        AddIDInfo();
    }
}

void TForm1::AddIDInfo()
{
    for (const TSearchRow& row : FoundRows(bus_->Devices()))
        AppendSearchRow(*ListView1, row);
}

void TForm1::ListView1ColumnClick(int Column)
{
    if (ListView1->topLevelItemCount() == 0)
        return;
    NextSortState(Column, SortColumn, SortAscending);
    Sort();
    const std::vector<TSearchRow> rows = FoundRows(bus_->Devices());
    ListView1->clear();
    const auto append = [&](std::int32_t index) {
        if (index >= 0 && static_cast<std::size_t>(index) < rows.size())
            AppendSearchRow(*ListView1, rows[static_cast<std::size_t>(index)]);
    };
    if (SortAscending)
        std::for_each(SortOrder.begin(), SortOrder.end(), append);
    else
        std::for_each(SortOrder.rbegin(), SortOrder.rend(), append);
}

void TForm1::Sort()
{
    SortOrder = SearchSortOrder(FoundRows(bus_->Devices()), SortColumn);
}

bool TForm1::CompareString(const QByteArray& S1, const QByteArray& S2)
{
    return SearchCompareString(S1, S2);
}
