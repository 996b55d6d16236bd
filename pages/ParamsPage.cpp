#include "app/Unit1.h"
#include "operations/TThread11Unit.h"
#include "pages/PageHelpers.h"
#include "protocol/LinkState.h"
#include "protocol/ParamSet.h"
#include "widgets/RadioGroup.h"
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>

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
    KGrid1->setColumnWidth(0, 265);
}

// The page control, the address box and the protocol selector stay disabled until the echo has
// been handled. A save that cannot start (no sensor listed, another operation running) leaves
// them as they are, so that nothing stays disabled with no operation to enable it again.
void TForm1::Button15Click()
{
    ReceiveBuffer.clear();
    if (ComboBox1->count() == 0 || OperationRunning)
        return;
    PageControl1->setEnabled(false);
    ComboBox1->setEnabled(false);
    RadioGroup_protocol_obm->setEnabled(false);
    SetStatusText(1, QStringLiteral("Запись параметров во FLASH..."));
    try {
        if (LaunchThread(6))
            return;
    } catch (...) {
        // Undone below like a refused launch; the error goes no further.
    }
    UndoSaveToFlashStart(*this);
}
