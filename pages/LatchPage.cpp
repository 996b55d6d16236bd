#include "pages/LatchPage.h"
#include "bus/SensorBus.h"
#include "pages/ColumnWidths.h"
#include "pages/LatchExport.h"
#include "pages/ModbusTexts.h"
#include "pages/PageHelpers.h"
#include "pages/PageHost.h"
#include "pages/ReplyTexts.h"
#include "pages/ResultText.h"
#include "pages/SearchSort.h"
#include "protocol/DeviceList.h"
#include "protocol/DeviceUnit.h"
#include "widgets/WrapHeader.h"
#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QHeaderView>
#include <QIcon>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QTime>
#include <QUrl>
#include <algorithm>

namespace {

const QStringList LatchHeaders{QStringLiteral("  Счётчик"),
                               QStringLiteral("  Адрес"),
                               QStringLiteral("     Время"),
                               QStringLiteral("       Результат защёлкнут"),
                               QStringLiteral("  Считанный из защёлки"),
                               QStringLiteral("    Считанный результат")};

QPushButton* MakeIconButton(const QString& name, const QString& hint, const QString& icon, QWidget* page)
{
    QPushButton* button = MakeButton(name, QString(), {0, 0, 34, 32}, page);
    button->setIcon(QIcon(icon));
    button->setIconSize({24, 24});
    button->setToolTip(hint);
    button->setAccessibleName(hint.trimmed());
    return button;
}

// The cursor shows the wait until the export is done, whichever way it ends.
struct WaitCursor {
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

void ShowExportError(QWidget* owner, const QString& text)
{
    QApplication::beep();
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Ошибка"), text, QMessageBox::Ok, owner);
    box.exec();
}

// Latch-table cells begin with four blanks.
const QString CellIndent = QStringLiteral("    ");

void SetCell(QTableWidget& table, int row, int column, const QString& text)
{
    if (QTableWidgetItem* const item = table.item(row, column))
        item->setText(text);
    else
        table.setItem(row, column, new QTableWidgetItem(text));
}

// The latch-table cell of a result read back, in the form of the protocol it came in.
QString ResultCell(TProtocol protocol, TLatchColumn column, const TResultField& result, double range)
{
    return protocol == TProtocol::Modbus ? ModbusResultText(column, result.Raw, range)
                                         : LatchResultText(column, result, range);
}

} // namespace

TLatchPage::TLatchPage(TPageHost& host, TSearchOrder& order, const QString& programDir, QWidget* parent)
    : QWidget(parent), host_(host), order_(order), programDir_(programDir)
{
    setObjectName(QStringLiteral("TabSheet3"));
    Button9 =
        MakeButton(QStringLiteral("Button9"), QStringLiteral("Защёлкнуть результат"), {4, 8, 168, 25}, this);
    Button10 =
        MakeButton(QStringLiteral("Button10"), QStringLiteral("Считать из защёлки"), {4, 40, 168, 25}, this);
    Button11 = MakeButton(QStringLiteral("Button11"), QStringLiteral("Считать последний результат"),
                          {4, 72, 168, 25}, this);
    connect(Button9, &QPushButton::clicked, this, &TLatchPage::Button9Click);
    connect(Button10, &QPushButton::clicked, this, &TLatchPage::Button10Click);
    connect(Button11, &QPushButton::clicked, this, &TLatchPage::Button11Click);
    Button_LatchAll = MakeButton(QStringLiteral("Button_LatchAll"), QStringLiteral("Защёлкнуть все"),
                                 {4, 120, 168, 25}, this);
    Button_ReadAllLanch = MakeButton(QStringLiteral("Button_ReadAllLanch"), QStringLiteral("Считать все"),
                                     {4, 152, 168, 25}, this);
    // One column as wide as its widest caption needs; the table begins right of it.
    const std::array<QPushButton*, 5> column{Button9, Button10, Button11, Button_LatchAll,
                                             Button_ReadAllLanch};
    int columnWidth = 0;
    for (const QPushButton* button : column)
        columnWidth = std::max(columnWidth, button->width());
    for (QPushButton* button : column)
        button->resize(columnWidth, button->height());
    const int tableX = 4 + columnWidth + 4;
    connect(Button_LatchAll, &QPushButton::clicked, this, &TLatchPage::Button_LatchAllClick);
    connect(Button_ReadAllLanch, &QPushButton::clicked, this, &TLatchPage::Button_ReadAllLanchClick);

    // Row 0 of the table is the header; it stays in view as the widget's horizontal header, so
    // data row k of the table is widget row k - 1.
    StringGrid1 = new QTableWidget(1, 6, this);
    StringGrid1->setObjectName(QStringLiteral("StringGrid1"));
    StringGrid1->setAccessibleName(QStringLiteral("Таблица результатов"));
    StringGrid1->setHorizontalHeader(new TWrapHeader(StringGrid1));
    StringGrid1->move(tableX, 8);
    StringGrid1->verticalHeader()->hide();
    StringGrid1->verticalHeader()->setMinimumSectionSize(20);
    StringGrid1->verticalHeader()->setDefaultSectionSize(20);
    StringGrid1->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    StringGrid1->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    StringGrid1->horizontalHeader()->setHighlightSections(false);
    StringGrid1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    StringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    StringGrid1->setSelectionMode(QAbstractItemView::ContiguousSelection);
    StringGrid1->setHorizontalHeaderLabels(LatchHeaders);

    Button_ClearTable = MakeButton(QStringLiteral("Button_ClearTable"), QStringLiteral("Очистить таблицу"),
                                   {tableX, 0, 150, 25}, this);
    BitBtn_Excel = MakeIconButton(QStringLiteral("BitBtn_Excel"), QStringLiteral("Экспорт таблицы в Excel"),
                                  QStringLiteral(":/icons/export-sheet.png"), this);
    BitBtn_TXT =
        MakeIconButton(QStringLiteral("BitBtn_TXT"), QStringLiteral("Экспорт таблицы в текстовый файл "),
                       QStringLiteral(":/icons/export-text.png"), this);
    BitBtn_Excel->move(tableX + 164, 0);
    BitBtn_TXT->move(tableX + 204, 0);
    connect(Button_ClearTable, &QPushButton::clicked, this, &TLatchPage::Button_ClearTableClick);
    connect(BitBtn_Excel, &QPushButton::clicked, this, &TLatchPage::BitBtn_ExcelClick);
    connect(BitBtn_TXT, &QPushButton::clicked, this, &TLatchPage::BitBtn_TXTClick);
    OpenDocument = [](const QUrl& url) { return QDesktopServices::openUrl(url); };

    TSensorBus& bus = host_.Bus();
    connect(&bus, &TSensorBus::OperationFinished, this, &TLatchPage::OnFinished);
    connect(&bus, &TSensorBus::SensorReplied, this, &TLatchPage::OnReplied);
}

void TLatchPage::Layout(int W, int H)
{
    Button_ClearTable->move(Button_ClearTable->x(), H - 164);
    BitBtn_Excel->move(BitBtn_Excel->x(), H - 167);
    BitBtn_TXT->move(BitBtn_TXT->x(), BitBtn_Excel->y());

    StringGrid1->resize(W - 12 - StringGrid1->x(), H - 203);
    StringGrid1->setHorizontalHeaderLabels(LatchHeaders);
    std::array<int, 6> widths = LatchTableColumnWidths(StringGrid1->width());
    // A narrow table would cut a header's word: its column takes what it needs from the widest ones.
    const auto& header = static_cast<const TWrapHeader&>(*StringGrid1->horizontalHeader());
    std::array<int, 6> least{};
    int owed = 0;
    for (std::size_t column = 0; column < widths.size(); ++column) {
        least[column] = header.LeastSectionWidth(static_cast<int>(column));
        owed += std::max(0, least[column] - widths[column]);
        widths[column] = std::max(widths[column], least[column]);
    }
    for (std::size_t column : {3, 4, 5}) {
        const int taken = std::min(owed, widths[column] - least[column]);
        widths[column] -= taken;
        owed -= taken;
    }
    for (int column = 0; column < 6; ++column)
        StringGrid1->setColumnWidth(column, widths[static_cast<std::size_t>(column)]);
}

// The reply of each single-sensor request adds its row to the table.
void TLatchPage::StartOnSelected(TOperationCode code)
{
    if (host_.SensorCount() == 0)
        return;
    if (code == TOperationCode::ReadAllLatches)
        host_.Bus().StartReadAllLatches(host_.SelectedDevice());
    else
        host_.Bus().Start(code, host_.SelectedDevice());
}

void TLatchPage::Button9Click()
{
    StartOnSelected(TOperationCode::Latch);
}

void TLatchPage::Button10Click()
{
    StartOnSelected(TOperationCode::ReadLatch);
}

void TLatchPage::Button11Click()
{
    StartOnSelected(TOperationCode::ReadLastResult);
}

void TLatchPage::Button_ReadAllLanchClick()
{
    StartOnSelected(TOperationCode::ReadAllLatches);
}

// One broadcast at each line speed in use, slowest first, as the result list sorts by speed.
void TLatchPage::Button_LatchAllClick()
{
    TSensorBus& bus = host_.Bus();
    if (host_.SensorCount() == 0 || bus.Devices().Count() == 0 || bus.Busy())
        return;
    order_.Column = SearchColumn::Speed;
    order_.Order = SearchSortOrder(SearchRowsOf(bus.Devices()), order_.Column);
    std::vector<int> speeds;
    for (const std::int32_t index : order_.Order)
        if (const TDevice* const device = bus.Devices().At(index))
            speeds.push_back(device->ComPortSpeed.load());
    bus.StartLatchAll(LatchAllSpeeds(speeds), host_.SelectedDevice());
}

std::vector<int> LatchAllSpeeds(const std::vector<int>& ascendingSpeeds)
{
    std::vector<int> speeds;
    for (const int speed : ascendingSpeeds)
        if (speeds.empty() || speeds.back() != speed)
            speeds.push_back(speed);
    if (speeds.size() < 2)
        speeds.clear();
    return speeds;
}

void TLatchPage::Button_ClearTableClick()
{
    CountRowTable = 0;
    StringGrid1->setRowCount(1);
    for (int column = 0; column < StringGrid1->columnCount(); ++column)
        if (QTableWidgetItem* const item = StringGrid1->item(0, column))
            item->setText(QString());
}

// No spreadsheet program is driven: the workbook is written as a file and handed to whatever
// the desktop opens such files with. Nothing is opened unless the new workbook is complete.
void TLatchPage::BitBtn_ExcelClick()
{
    const QString path = QDir(programDir_).filePath(WorkbookFileName);
    QString why;
    bool written = false;
    bool opened = false;
    {
        const WaitCursor wait;
        written = WriteLatchWorkbook(path, LatchTableOf(*StringGrid1), &why);
        opened = written && OpenDocument && OpenDocument(QUrl::fromLocalFile(path));
    }
    if (!written) {
        qCWarning(lcPages) << "workbook not written:" << path << why;
        ShowExportError(this, QStringLiteral("Ошибка создания таблицы в Excel!"));
    } else if (!opened) {
        ShowExportError(this, QStringLiteral("Невозможно запустить Excel"));
    }
}

// A file that could not be written is reported, and nothing is opened: an older Report.txt
// must not pass for the table the user has just exported.
void TLatchPage::BitBtn_TXTClick()
{
    const QString path = QDir(programDir_).filePath(ReportFileName);
    QString why;
    if (!WriteReport(path, LatchTableOf(*StringGrid1), &why)) {
        qCWarning(lcPages) << "report not written:" << path << why;
        ShowExportError(this, QStringLiteral("Ошибка записи файла Report.txt"));
        return;
    }
    if (OpenDocument)
        OpenDocument(QUrl::fromLocalFile(path));
}

void TLatchPage::OnReplied(TDevice* device, const TReplyNote& note)
{
    const int address = device->AddressNumber();
    const TProtocol protocol = host_.Bus().Protocol();
    switch (note.Event) {
    case TReplyEvent::Latched:
        host_.SetStatusText(1, QString::fromUtf8(ReplyText::ResultLatched));
        AddLatchRow(address, LatchConfirmColumn, QString::fromUtf8(ReplyText::LatchedCell));
        break;
    case TReplyEvent::LatchedResultRead:
        AddLatchRow(address, LatchReadColumn,
                    ResultCell(protocol, LatchReadColumn, note.Result, device->ID_D));
        host_.SetStatusText(1, QString::fromUtf8(ReplyText::LatchedResultRead));
        break;
    case TReplyEvent::LastResultRead:
        host_.SetStatusText(1, QString::fromUtf8(ReplyText::LastResultRead));
        AddLatchRow(address, LastResultColumn,
                    ResultCell(protocol, LastResultColumn, note.Result, device->ID_D));
        break;
    default:
        break;
    }
}

void TLatchPage::OnFinished(TOperationCode code, const TOutcome& outcome)
{
    if (code != TOperationCode::LatchAll || outcome.Kind != TOutcomeKind::Done)
        return;
    host_.SetStatusText(1, QStringLiteral("Результаты защёлкнуты"));
    AddLatchRow(-1, LatchConfirmColumn, QStringLiteral("           Защёлкнуты все"));
}

// The table's header row is the widget's own header, so data row k is widget row k - 1.
void TLatchPage::AddLatchRow(int addressNumber, TLatchColumn column, const QString& text)
{
    ++CountRowTable;
    StringGrid1->setRowCount(CountRowTable);
    const int row = CountRowTable - 1;
    SetCell(*StringGrid1, row, 0, CellIndent + QString::number(CountRowTable));
    SetCell(*StringGrid1, row, 1,
            addressNumber < 0 ? CellIndent : CellIndent + QString::number(addressNumber));
    SetCell(*StringGrid1, row, 2, CellIndent + QTime::currentTime().toString(QStringLiteral("hh:mm:ss")));
    for (const int resultColumn : {LatchConfirmColumn, LatchReadColumn, LastResultColumn})
        SetCell(*StringGrid1, row, resultColumn, resultColumn == column ? text : QString());
    StringGrid1->setCurrentCell(row, 0);
    StringGrid1->scrollToItem(StringGrid1->item(row, 0));
}
