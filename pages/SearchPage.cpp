#include "app/Unit1.h"
#include "pages/ColumnWidths.h"
#include "pages/PageHelpers.h"
#include "protocol/LinkState.h"
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>

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
    ReceiveBuffer.clear();
    SetStatusText(0, QString());
    if (ComboBox1->count() > 0)
        LaunchThread(1);
}

void TForm1::Button2Click()
{
    ReceiveBuffer.clear();
    SetStatusText(0, QString());
    if (ComboBox1->count() > 0)
        LaunchThread(2);
}

void TForm1::Button12Click()
{
    ReceiveBuffer.clear();
    SetStatusText(0, QString());
    if (ComboBox1->count() > 0)
        LaunchThread(15);
}
