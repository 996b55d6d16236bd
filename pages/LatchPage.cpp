#include "app/AppLog.h"
#include "app/Unit1.h"
#include "bus/SensorBus.h"
#include "pages/ColumnWidths.h"
#include "pages/LatchExport.h"
#include "pages/PageHelpers.h"
#include "protocol/DeviceList.h"
#include "protocol/DeviceUnit.h"
#include <QApplication>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QHeaderView>
#include <QIcon>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QUrl>

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

} // namespace

void TForm1::CreateLatchPage()
{
    TabSheet3 = MakePage(QStringLiteral("TabSheet3"));
    PageControl1->addTab(TabSheet3, QStringLiteral("Защёлкивание результата"));

    Button9 = MakeButton(QStringLiteral("Button9"), QStringLiteral("Защёлкнуть результат"), {4, 8, 168, 25},
                         TabSheet3);
    Button10 = MakeButton(QStringLiteral("Button10"), QStringLiteral("Считать из защёлки"), {4, 40, 168, 25},
                          TabSheet3);
    Button11 = MakeButton(QStringLiteral("Button11"), QStringLiteral("Считать последний результат"),
                          {4, 72, 168, 25}, TabSheet3);
    connect(Button9, &QPushButton::clicked, this, &TForm1::Button9Click);
    connect(Button10, &QPushButton::clicked, this, &TForm1::Button10Click);
    connect(Button11, &QPushButton::clicked, this, &TForm1::Button11Click);
    Button_LatchAll = MakeButton(QStringLiteral("Button_LatchAll"), QStringLiteral("Защёлкнуть все"),
                                 {4, 120, 168, 25}, TabSheet3);
    // The narrow button column cuts long captions at the smallest window; the hint keeps them whole.
    for (QPushButton* button : {Button9, Button10, Button11, Button_LatchAll})
        button->setToolTip(button->text());
    Button_ReadAllLanch = MakeButton(QStringLiteral("Button_ReadAllLanch"), QStringLiteral("Считать все"),
                                     {4, 152, 168, 25}, TabSheet3);
    connect(Button_LatchAll, &QPushButton::clicked, this, &TForm1::Button_LatchAllClick);
    connect(Button_ReadAllLanch, &QPushButton::clicked, this, &TForm1::Button_ReadAllLanchClick);

    // Row 0 of the table is the header; it stays in view as the widget's horizontal header, so
    // data row k of the table is widget row k - 1.
    StringGrid1 = new QTableWidget(1, 6, TabSheet3);
    StringGrid1->setObjectName(QStringLiteral("StringGrid1"));
    StringGrid1->setAccessibleName(QStringLiteral("Таблица результатов"));
    StringGrid1->move(176, 8);
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
                                   {176, 0, 150, 25}, TabSheet3);
    BitBtn_Excel = MakeIconButton(QStringLiteral("BitBtn_Excel"), QStringLiteral("Экспорт таблицы в Excel"),
                                  QStringLiteral(":/icons/export-sheet.png"), TabSheet3);
    BitBtn_TXT =
        MakeIconButton(QStringLiteral("BitBtn_TXT"), QStringLiteral("Экспорт таблицы в текстовый файл "),
                       QStringLiteral(":/icons/export-text.png"), TabSheet3);
    BitBtn_Excel->move(340, 0);
    BitBtn_TXT->move(380, 0);
    connect(Button_ClearTable, &QPushButton::clicked, this, &TForm1::Button_ClearTableClick);
    connect(BitBtn_Excel, &QPushButton::clicked, this, &TForm1::BitBtn_ExcelClick);
    connect(BitBtn_TXT, &QPushButton::clicked, this, &TForm1::BitBtn_TXTClick);
    OpenDocument = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
}

void TForm1::LayoutLatchPage(int W, int H)
{
    Button_ClearTable->move(Button_ClearTable->x(), H - 164);
    BitBtn_Excel->move(BitBtn_Excel->x(), H - 167);
    BitBtn_TXT->move(BitBtn_TXT->x(), BitBtn_Excel->y());

    StringGrid1->resize(W - 188, H - 203);
    StringGrid1->setHorizontalHeaderLabels(LatchHeaders);
    const std::array<int, 6> widths = LatchTableColumnWidths(StringGrid1->width());
    for (int column = 0; column < 6; ++column)
        StringGrid1->setColumnWidth(column, widths[static_cast<std::size_t>(column)]);
}

// The reply of each single-sensor request adds its row to the table.
void TForm1::Button9Click()
{
    if (ComboBox1->count() > 0)
        LaunchThread(TOperationCode::Latch);
}

void TForm1::Button10Click()
{
    if (ComboBox1->count() > 0)
        LaunchThread(TOperationCode::ReadLatch);
}

void TForm1::Button11Click()
{
    if (ComboBox1->count() > 0)
        LaunchThread(TOperationCode::ReadLastResult);
}

void TForm1::Button_ReadAllLanchClick()
{
    if (ComboBox1->count() > 0)
        LaunchThread(TOperationCode::ReadAllLatches);
}

// One broadcast at each line speed in use, slowest first, as the result list sorts by speed.
void TForm1::Button_LatchAllClick()
{
    if (ComboBox1->count() == 0 || bus_->Devices().Count() == 0 || bus_->Busy())
        return;
    SortColumn = 1;
    Sort();
    std::vector<int> speeds;
    for (const std::int32_t index : SortOrder)
        if (const TDevice* const device = bus_->Devices().At(index))
            speeds.push_back(device->ComPortSpeed.load());
    bus_->StartLatchAll(LatchAllSpeeds(speeds), SelectedDevice());
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

void TForm1::Button_ClearTableClick()
{
    CountRowTable = 0;
    StringGrid1->setRowCount(1);
    for (int column = 0; column < StringGrid1->columnCount(); ++column)
        if (QTableWidgetItem* const item = StringGrid1->item(0, column))
            item->setText(QString());
}

// No spreadsheet program is driven: the workbook is written as a file and handed to whatever
// the desktop opens such files with. Nothing is opened unless the new workbook is complete.
void TForm1::BitBtn_ExcelClick()
{
    const QString path = QDir(paths_.ProgramDir).filePath(WorkbookFileName);
    QString why;
    bool written = false;
    bool opened = false;
    {
        const WaitCursor wait;
        written = WriteLatchWorkbook(path, LatchTableOf(*StringGrid1), &why);
        opened = written && OpenDocument && OpenDocument(QUrl::fromLocalFile(path));
    }
    if (!written) {
        qCWarning(lcApp) << "workbook not written:" << path << why;
        ShowExportError(this, QStringLiteral("Ошибка создания таблицы в Excel!"));
    } else if (!opened) {
        ShowExportError(this, QStringLiteral("Невозможно запустить Excel"));
    }
}

// A file that could not be written is reported, and nothing is opened: an older Report.txt
// must not pass for the table the user has just exported.
void TForm1::BitBtn_TXTClick()
{
    const QString path = QDir(paths_.ProgramDir).filePath(ReportFileName);
    QString why;
    if (!WriteReport(path, LatchTableOf(*StringGrid1), &why)) {
        qCWarning(lcApp) << "report not written:" << path << why;
        ShowExportError(this, QStringLiteral("Ошибка записи файла Report.txt"));
        return;
    }
    if (OpenDocument)
        OpenDocument(QUrl::fromLocalFile(path));
}
