#include "pages/SearchPage.h"
#include "bus/SensorBus.h"
#include "convert/Unit_Utils.h"
#include "pages/ColumnWidths.h"
#include "pages/PageHelpers.h"
#include "pages/PageHost.h"
#include "pages/ReplyTexts.h"
#include "pages/SearchInput.h"
#include "protocol/DeviceList.h"
#include "protocol/DeviceUnit.h"
#include "settings/Settings.h"
#include "traffic/LinkHealth.h"
#include "widgets/WrapHeader.h"
#include <QGroupBox>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QToolTip>
#include <QTreeWidget>
#include <algorithm>

namespace {
const QString SearchDone = QStringLiteral("Поиск завершён");
const QString SearchNotFound = QStringLiteral("Поиск завершён: не найдено");
const QString SearchFailed = QStringLiteral("Поиск завершён: ошибка поиска");
// Each row keeps its sensor's address, which its tooltip's link health is looked up by.
constexpr int AddressRole = Qt::UserRole;

void AppendSearchRow(QTreeWidget& list, const TSearchRow& row)
{
    auto* const item = new QTreeWidgetItem(&list, SearchRowTexts(row));
    bool ok = false;
    const int address = row.AdressStr.toInt(&ok, 16);
    if (ok)
        item->setData(SearchColumn::Address, AddressRole, address);
    item->setTextAlignment(SearchColumn::Address, Qt::AlignLeft | Qt::AlignVCenter);
    for (int column = SearchColumn::Speed; column < SearchColumn::Count; ++column)
        item->setTextAlignment(column, Qt::AlignCenter);
}

} // namespace

TSearchPage::TSearchPage(TPageHost& host, TSearchOrder& order, QWidget* parent)
    : QWidget(parent), host_(host), order_(order)
{
    setObjectName(QStringLiteral("TabSheet1"));
    Button5 =
        MakeButton(QStringLiteral("Button5"), QStringLiteral("Искать датчики"), {38, 46, 129, 25}, this);
    Button3 =
        MakeButton(QStringLiteral("Button3"), QStringLiteral("Включить датчик"), {38, 85, 129, 25}, this);
    Button2 =
        MakeButton(QStringLiteral("Button2"), QStringLiteral("Выключить датчик"), {40, 124, 129, 25}, this);
    Button12 =
        MakeButton(QStringLiteral("Button12"), QStringLiteral("Настроить датчик"), {38, 164, 129, 25}, this);
    connect(Button5, &QPushButton::clicked, this, &TSearchPage::Button5Click);
    connect(Button3, &QPushButton::clicked, this, &TSearchPage::Button3Click);
    connect(Button2, &QPushButton::clicked, this, &TSearchPage::Button2Click);
    connect(Button12, &QPushButton::clicked, this, &TSearchPage::Button12Click);

    GroupBox1 = new QGroupBox(QStringLiteral("Параметры поиска"), this);
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
    connect(Edit1, &QLineEdit::textChanged, this, &TSearchPage::Edit1Change);
    connect(Edit2, &QLineEdit::textChanged, this, &TSearchPage::Edit2Change);

    ListView1 = new QTreeWidget(this);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setHeader(new TWrapHeader(ListView1));
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
    for (int column = 0; column < 6; ++column)
        ListView1->headerItem()->setToolTip(column, ListView1->headerItem()->text(column));
    connect(header, &QHeaderView::sectionClicked, this, &TSearchPage::ListView1ColumnClick);
    ListView1->viewport()->installEventFilter(this);

    TSensorBus& bus = host_.Bus();
    connect(&bus, &TSensorBus::OperationStarted, this, &TSearchPage::OnStarted);
    connect(&bus, &TSensorBus::OperationFinished, this, &TSearchPage::OnFinished);
    connect(&bus, &TSensorBus::SensorReplied, this, &TSearchPage::OnReplied);
}

// The tooltip is made as it shows: the counts go on as the sensor is worked with.
bool TSearchPage::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != ListView1->viewport() || event->type() != QEvent::ToolTip)
        return QWidget::eventFilter(watched, event);
    const auto* const help = static_cast<QHelpEvent*>(event);
    const QTreeWidgetItem* const item = ListView1->itemAt(help->pos());
    const QVariant address = item ? item->data(SearchColumn::Address, AddressRole) : QVariant();
    if (!address.isValid()) {
        QToolTip::hideText();
        return true;
    }
    const TLinkHealth* const health = host_.Bus().Health().Of(address.toInt());
    QToolTip::showText(help->globalPos(),
                       health ? LinkHealthText(*health) : tr("С этим датчиком ещё не было обмена"),
                       ListView1->viewport(), ListView1->visualItemRect(item));
    return true;
}

void TSearchPage::ApplySettings()
{
    Edit1->setText(host_.Settings().SearchDelay());
    Edit2->setText(host_.Settings().SearchBound());
}

void TSearchPage::Layout(int W, int H)
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

void TSearchPage::Edit1Change()
{
    host_.Settings().SetSearchDelay(Edit1->text());
}

void TSearchPage::Edit2Change()
{
    host_.Settings().SetSearchBound(Edit2->text());
}

// The switching buttons leave every control usable while their operation runs.
void TSearchPage::SwitchButtonClick(TOperationCode code)
{
    host_.SetStatusText(0, QString());
    if (host_.SensorCount() > 0)
        host_.Bus().Start(code, host_.SelectedDevice());
}

void TSearchPage::Button3Click()
{
    SwitchButtonClick(TOperationCode::SwitchOn);
}

void TSearchPage::Button2Click()
{
    SwitchButtonClick(TOperationCode::SwitchOff);
}

void TSearchPage::Button12Click()
{
    SwitchButtonClick(TOperationCode::Configure);
}

void TSearchPage::Button5Click()
{
    // The operation holds pointers into the sensor list, which a search empties.
    if (host_.Bus().Busy())
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
    host_.SetStatusText(1, QStringLiteral("Поиск..."));
    ListView1->clear();
    try {
        TSearchParams params;
        params.Port = host_.PortPath();
        params.DelayMs = input.delay;
        params.Range = input.range;
        if (host_.Bus().StartSearch(params))
            return;
        qCWarning(lcPages) << "bus search not started: the port does not open";
    } catch (const std::exception& e) {
        qCWarning(lcPages) << "bus search not started:" << e.what();
    }
    EndWithoutList(SearchFailed);
}

void TSearchPage::OnStarted(TOperationCode code)
{
    if (code == TOperationCode::Search)
        Button5->setEnabled(false);
}

void TSearchPage::OnFinished(TOperationCode code, const TOutcome& outcome)
{
    if (code != TOperationCode::Search || outcome.Kind == TOutcomeKind::Stopped)
        return;
    if (outcome.Kind == TOutcomeKind::NotFound) {
        EndWithoutList(SearchNotFound);
        return;
    }
    Button5->setEnabled(true);
    if (outcome.Kind == TOutcomeKind::Done) {
        host_.SetStatusText(1, SearchDone);
        AddIDInfo();
    } else {
        host_.SetStatusText(1, SearchFailed);
    }
}

void TSearchPage::EndWithoutList(const QString& status)
{
    host_.SetStatusText(1, status);
    Button5->setEnabled(true);
}

void TSearchPage::OnReplied(TDevice*, const TReplyNote& note)
{
    switch (note.Event) {
    case TReplyEvent::Configured:
        host_.SetStatusText(0, QString::fromUtf8(ReplyText::SensorConfigured));
        break;
    case TReplyEvent::SwitchedOn:
        host_.SetStatusText(0, QString::fromUtf8(ReplyText::SensorOn));
        break;
    case TReplyEvent::SwitchedOff:
        host_.SetStatusText(0, QString::fromUtf8(ReplyText::SensorOff));
        break;
    default:
        break;
    }
}

void TSearchPage::AddIDInfo()
{
    for (const TSearchRow& row : SearchRowsOf(host_.Bus().Devices()))
        AppendSearchRow(*ListView1, row);
}

void TSearchPage::ListView1ColumnClick(int Column)
{
    if (ListView1->topLevelItemCount() == 0)
        return;
    NextSortState(Column, order_.Column, order_.Ascending);
    Sort();
    const std::vector<TSearchRow> rows = SearchRowsOf(host_.Bus().Devices());
    ListView1->clear();
    const auto append = [&](std::int32_t index) {
        if (index >= 0 && static_cast<std::size_t>(index) < rows.size())
            AppendSearchRow(*ListView1, rows[static_cast<std::size_t>(index)]);
    };
    if (order_.Ascending)
        std::for_each(order_.Order.begin(), order_.Order.end(), append);
    else
        std::for_each(order_.Order.rbegin(), order_.Order.rend(), append);
}

void TSearchPage::Sort()
{
    order_.Order = SearchSortOrder(SearchRowsOf(host_.Bus().Devices()), order_.Column);
}

bool TSearchPage::CompareString(const QByteArray& S1, const QByteArray& S2)
{
    return SearchCompareString(S1, S2);
}
