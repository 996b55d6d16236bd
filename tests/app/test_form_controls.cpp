#include "FormFixture.h"
#include "PtyPair.h"
#include "bus/SensorBus.h"
#include "convert/Unit_Utils.h"
#include "protocol/DeviceList.h"
#include "protocol/DeviceUnit.h"
#include "serial/TCommPortDriver.h"
#include "widgets/ProgressBar.h"
#include "widgets/RadioGroup.h"
#include "widgets/StatusPanels.h"
#include <QAbstractButton>
#include <QAccessible>
#include <QComboBox>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <qcustomplot.h>

namespace {

TEST_F(FormTest, ShellHasItsControlsInPlace)
{
    auto form = MakeForm();
    ShowAndWait(*form);
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Veltrano ") + GetFileVersionText());
    EXPECT_EQ(GetFileVersionText().split(QLatin1Char('.')).size(), 4);
    EXPECT_EQ(form->font().pointSize(), 9);

    EXPECT_EQ(form->Label24->text(), "Порт");
    EXPECT_TRUE(form->ComboBox2->isEditable());
    EXPECT_EQ(form->ComboBox2->width(), 116);
    EXPECT_EQ(form->Label3->text(), "Адрес активного датчика");
    EXPECT_FALSE(form->ComboBox1->isEditable());
    EXPECT_EQ(form->ComboBox1->width(), 44);
    const TRadioGroup* protocol = form->RadioGroup_protocol_obm;
    EXPECT_EQ(protocol->geometry().topLeft(), QPoint(349, 7));
    EXPECT_EQ(protocol->height(), 41);
    EXPECT_GE(protocol->width(), 202);
    for (QRadioButton* item : protocol->findChildren<QRadioButton*>())
        EXPECT_GE(item->width(), item->sizeHint().width()) << item->text().toStdString() << " is cut off";
    EXPECT_EQ(protocol->title(), " Выбор протокола обмена ");
    ASSERT_EQ(protocol->Count(), 2);
    EXPECT_EQ(protocol->Button(0)->text(), "стандартный");
    EXPECT_EQ(protocol->Button(1)->text(), "Modbus RTU");
    EXPECT_EQ(protocol->Button(1)->objectName(), "RadioGroup_protocol_obm_Item1");
    EXPECT_LT(protocol->Button(0)->geometry().right(), protocol->Button(1)->geometry().left())
        << "two columns";

    EXPECT_EQ(form->PageControl1->pos(), QPoint(0, 56));
    const char* pages[][2] = {{"TabSheet1", "Найти датчик"},
                              {"TabSheet5", "Параметры датчика"},
                              {"TabSheet2", "Поток результатов"},
                              {"TabSheet3", "Защёлкивание результата"}};
    ASSERT_EQ(form->PageControl1->count(), 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(form->PageControl1->widget(i)->objectName(), pages[i][0]);
        EXPECT_EQ(form->PageControl1->tabText(i), QString::fromUtf8(pages[i][1]));
        EXPECT_TRUE(form->PageControl1->isTabEnabled(i)) << "a disabled page can still be selected";
    }
    EXPECT_EQ(form->PageControl1->currentWidget(), form->TabSheet1);

    ASSERT_EQ(form->StatusBar1->PanelCount(), 4);
    EXPECT_EQ(form->StatusBar1->Panel(3)->objectName(), "StatusPanel3");
    form->SetStatusText(1, QStringLiteral("Поиск..."));
    EXPECT_EQ(form->StatusText(1), "Поиск...");
    EXPECT_EQ(form->StatusBar1->Panel(1)->text(), "Поиск...");
    EXPECT_TRUE(form->QProgressBar1->isHidden());
    EXPECT_EQ(form->QProgressBar1->minimum(), 0);
    EXPECT_EQ(form->QProgressBar1->maximum(), 100);

    const std::pair<QTimer*, int> timers[] = {{form->TabSheet2->Timer2, 2000}, {form->Timer3, 5000}};
    for (const auto& [timer, interval] : timers) {
        EXPECT_EQ(timer->interval(), interval) << timer->objectName().toStdString();
        EXPECT_FALSE(timer->isActive()) << timer->objectName().toStdString();
    }
    EXPECT_FALSE(form->Bus().FrameTimeoutRunning());

    EXPECT_EQ(form->CommPortDriver1->ComPortSpeed(), br57600);
    EXPECT_EQ(form->CommPortDriver1->ComPortPollingDelay(), 30);
    EXPECT_EQ(form->CommPortDriver1->ComPortInBufSize(), 4096);
    EXPECT_EQ(form->CommPortDriver1->ComPortOutBufSize(), 4096);
    EXPECT_TRUE(form->CommPortDriver1->EnableDTROnOpen());
    EXPECT_EQ(form->CommPortDriver1->OutputTimeout(), 1);
    EXPECT_FALSE(form->CommPortDriver1->Connected());
    EXPECT_EQ(form->CommPortDriver1, &form->Bus().Driver());

    for (const int number : {1, 2}) {
        const QCursor cursor = form->TabSheet2->RegisteredCursor(number);
        EXPECT_EQ(cursor.pixmap().size(), QSize(32, 32)) << number;
        EXPECT_EQ(cursor.hotSpot(), QPoint(0, 0)) << number;
    }
    EXPECT_NE(form->TabSheet2->RegisteredCursor(1).pixmap().toImage(),
              form->TabSheet2->RegisteredCursor(2).pixmap().toImage());
}

TEST_F(FormTest, PagesCarryTheirNamedControls)
{
    auto form = MakeForm();
    struct Named {
        const char* name;
        const char* text;
    };
    const Named buttons[] = {
        {"Button5", "Искать датчики"},
        {"Button3", "Включить датчик"},
        {"Button2", "Выключить датчик"},
        {"Button12", "Настроить датчик"},
        {"Button1", "Читать параметры"},
        {"Button15", "Записать во FLASH"},
        {"Button4", "Записать параметры"},
        {"Button8", "Параметры по умолчанию"},
        {"Button6", "Запустить поток"},
        {"Button7", "Остановить поток"},
        {"CheckBox_RecordThrd", "Экспорт потока в файл"},
        {"CheckBox2", "Метки"},
        {"Button9", "Защёлкнуть результат"},
        {"Button10", "Считать из защёлки"},
        {"Button11", "Считать последний результат"},
        {"Button_LatchAll", "Защёлкнуть все"},
        {"Button_ReadAllLanch", "Считать все"},
        {"Button_ClearTable", "Очистить таблицу"},
    };
    for (const Named& b : buttons) {
        const auto* button = form->findChild<QAbstractButton*>(QString::fromUtf8(b.name));
        ASSERT_NE(button, nullptr) << b.name;
        EXPECT_EQ(button->text(), QString::fromUtf8(b.text)) << b.name;
        // Whatever the desktop font, no caption is cut at the button's edge.
        EXPECT_LE(button->fontMetrics().horizontalAdvance(button->text()), button->width() - 8) << b.name;
    }
    const Named labels[] = {{"Label12", "Задержка при поиске:"},
                            {"Label26", "мс"},
                            {"Label14", "Верхняя граница поиска (2-255):"},
                            {"Label_Hint", "Параметры не действительны для выбранного датчика!"},
                            {"Label4", "Текущий результат:"},
                            {"Label5", "0"},
                            {"LabeledEdit_RecordThrdLabel", "Интервал записи в файл, отсчетов"}};
    for (const Named& l : labels) {
        const auto* label = form->findChild<QLabel*>(QString::fromUtf8(l.name));
        ASSERT_NE(label, nullptr) << l.name;
        EXPECT_EQ(label->text(), QString::fromUtf8(l.text)) << l.name;
    }
    const Named hints[] = {{"BitBtn_Excel", "Экспорт таблицы в Excel"},
                           {"BitBtn_TXT", "Экспорт таблицы в текстовый файл "}};
    for (const Named& h : hints) {
        const auto* button = form->findChild<QAbstractButton*>(QString::fromUtf8(h.name));
        ASSERT_NE(button, nullptr) << h.name;
        EXPECT_EQ(button->toolTip(), QString::fromUtf8(h.text)) << h.name;
        EXPECT_FALSE(button->icon().isNull()) << h.name;
    }
    EXPECT_EQ(form->TabSheet1->Button5->geometry(), QRect(38, 46, 129, 25));
    EXPECT_EQ(form->TabSheet1->Button3->pos(), QPoint(38, 85));
    EXPECT_EQ(form->TabSheet1->Button2->pos(), QPoint(40, 124));
    EXPECT_EQ(form->TabSheet1->Button12->pos(), QPoint(38, 164));
    EXPECT_EQ(form->TabSheet1->GroupBox1->geometry(), QRect(2, 281, 197, 96));
    EXPECT_EQ(form->TabSheet1->Edit1->width(), 41);
    EXPECT_EQ(form->TabSheet1->Edit1->maxLength(), 9);
    EXPECT_EQ(form->TabSheet1->Edit2->maxLength(), 3);
    EXPECT_EQ(form->TabSheet2->LabeledEdit_RecordThrd->maxLength(), 10);
    EXPECT_EQ(form->TabSheet1->ListView1->pos(), QPoint(201, 24));
    EXPECT_FALSE(form->TabSheet2->CheckBox_RecordThrd->isEnabled());
    EXPECT_TRUE(form->TabSheet2->ScrollBar1->isHidden());
    EXPECT_EQ(form->TabSheet2->ScrollBar1->pageStep(), 6);
    EXPECT_TRUE(form->TabSheet5->Label_Hint->isHidden());

    const QStringList listHeaders{"Адрес",
                                  "Скорость",
                                  "Модель",
                                  "Расстояние между приёмником и излучателем",
                                  "Диапазон измерений",
                                  "Серийный номер"};
    ASSERT_EQ(form->TabSheet1->ListView1->columnCount(), 6);
    for (int c = 0; c < 6; ++c)
        EXPECT_EQ(form->TabSheet1->ListView1->headerItem()->text(c), listHeaders[c]);

    const std::pair<TRadioGroup*, QStringList> groups[] = {
        {form->TabSheet5->RadioGroup1,
         {"Выключен", "Включён - начальное значение - 0", "Включён - начальное значение - 1"}},
        {form->TabSheet5->RadioGroup2,
         {"Выключен", "Включён - начальное значение - 0", "Включён - начальное значение - 1"}},
        {form->TabSheet5->RadioGroup6, {"R = (A+B)/2", "R = |A-B|"}},
    };
    for (const auto& [group, items] : groups) {
        ASSERT_EQ(group->Count(), items.size()) << group->objectName().toStdString();
        EXPECT_EQ(group->ItemIndex(), -1) << group->objectName().toStdString();
        for (int i = 0; i < items.size(); ++i)
            EXPECT_EQ(group->Button(i)->text(), items[i]);
    }
    EXPECT_EQ(form->TabSheet5->RadioGroup5->Count(), 9);
    EXPECT_EQ(form->TabSheet5->RadioGroup5->title(), "Тип объекта:");
    EXPECT_EQ(form->TabSheet5->RadioGroup5->Button(8)->text(), "выдавать количество обнаруженных границ");

    ASSERT_EQ(form->TabSheet5->KGrid1->rowCount(), 21);
    ASSERT_EQ(form->TabSheet5->KGrid1->columnCount(), 2);
    // 265 pixels unless the desktop font needs more to show every caption whole.
    EXPECT_GE(form->TabSheet5->KGrid1->columnWidth(0), 265);
    const QFontMetrics metrics(form->TabSheet5->KGrid1->font());
    for (int row = 0; row < form->TabSheet5->KGrid1->rowCount(); ++row)
        EXPECT_LE(metrics.horizontalAdvance(form->TabSheet5->KGrid1->item(row, 0)->text()),
                  form->TabSheet5->KGrid1->columnWidth(0))
            << row;
    EXPECT_EQ(form->TabSheet5->KGrid1->item(0, 0)->text(), "Сетевой адрес");
    EXPECT_EQ(form->TabSheet5->KGrid1->item(9, 0)->text(), "Период выдачи данных, T=n*t [мс]");
    EXPECT_EQ(form->TabSheet5->KGrid1->item(20, 0)->text(), "Коррекция выводимого результата");
    EXPECT_FALSE(form->TabSheet5->KGrid1->item(0, 0)->flags() & Qt::ItemIsEditable);
    EXPECT_EQ(form->TabSheet5->KGrid1->item(0, 1)->text(), "");

    EXPECT_EQ(form->TabSheet3->StringGrid1->columnCount(), 6);
    EXPECT_EQ(form->TabSheet3->StringGrid1->rowCount(), 1) << "header row plus one empty row";

    EXPECT_EQ(form->TabSheet2->Chart1->xAxis->label(), "Номер отсчета");
    EXPECT_EQ(form->TabSheet2->Chart1->yAxis->label(), "Показания датчика");
    EXPECT_EQ(form->TabSheet2->Chart1->xAxis->range(), QCPRange(0, 25));
    EXPECT_FALSE(form->TabSheet2->Chart1->legend->visible());
    EXPECT_EQ(form->TabSheet2->Series2->keyAxis(), form->TabSheet2->Chart1->xAxis2);
    EXPECT_EQ(form->TabSheet2->Series2->pen().color(), QColor(Qt::blue));
}

TEST_F(FormTest, EveryInputControlHasAnAccessibleName)
{
    auto form = MakeForm();
    int checked = 0;
    for (QWidget* w : form->findChildren<QWidget*>()) {
        const bool input = qobject_cast<QAbstractButton*>(w) || qobject_cast<QLineEdit*>(w) ||
                           qobject_cast<QComboBox*>(w) || qobject_cast<QAbstractItemView*>(w) ||
                           qobject_cast<QScrollBar*>(w) || qobject_cast<QCustomPlot*>(w);
        // The program's own controls are named; unnamed ones are parts of Qt's composite widgets.
        if (!input || w->objectName().isEmpty() || w->objectName().startsWith("qt_"))
            continue;
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
        ASSERT_NE(a, nullptr);
        EXPECT_FALSE(a->text(QAccessible::Name).trimmed().isEmpty())
            << w->metaObject()->className() << " " << w->objectName().toStdString();
        ++checked;
    }
    EXPECT_GT(checked, 40);
    EXPECT_EQ(form->TabSheet1->Edit1->accessibleName(), "Задержка при поиске:");
    EXPECT_EQ(form->ComboBox1->accessibleName(), "Адрес активного датчика");
}

class AddressTest : public FormTest {
  protected:
    void SetUp() override
    {
        form = MakeForm();
        TDeviceList& devices = form->Bus().Devices();
        devices.Append("1A", 19200);
        devices.Append("05", 9600);
        devices.Append("1A", 115200);
        devices.Append("1a", 115200);
        devices.Append("0A", 57600);
    }
    std::unique_ptr<TForm1> form;
};

TEST_F(AddressTest, ChangeDeviceFindsRecordsByAddressBoxText)
{
    struct Case {
        const char* text;
        const char* adressStr; // nullptr: no record
        int speed;
    };
    const Case cases[] = {{"26", "1A", 19200}, {"5", "05", 9600},   {"05", "05", 9600}, {"10", "0A", 57600},
                          {"0", nullptr, 0},   {"255", nullptr, 0}, {"256", nullptr, 0}};
    for (const Case& c : cases) {
        const TDevice* device = form->ChangeDevice(QString::fromLatin1(c.text));
        if (!c.adressStr) {
            EXPECT_EQ(device, nullptr) << c.text;
            continue;
        }
        ASSERT_NE(device, nullptr) << c.text;
        EXPECT_EQ(device->AdressStr.load(), QByteArray(c.adressStr)) << c.text;
        EXPECT_EQ(device->ComPortSpeed.load(), c.speed) << c.text;
        EXPECT_EQ(form->ChangeDeviceInt(QString::fromLatin1(c.text).toInt()), device) << c.text;
    }
    EXPECT_THROW(form->ChangeDevice(QStringLiteral("abc")), EConvertError);
    EXPECT_EQ(form->ChangeDeviceInt(-1), nullptr);
    EXPECT_EQ(form->MyHex("1A"), 26);
    EXPECT_EQ(form->MyHex("ff"), 255);
}

TEST_F(AddressTest, AddressChoiceSetsTheLineSpeedAndTheHint)
{
    ShowAndWait(*form);
    for (const char* text : {"5", "26", "10", "77"})
        form->AddAddressItem(QString::fromLatin1(text));
    ASSERT_EQ(form->ComboBox1->count(), 4);
    EXPECT_EQ(form->ComboBox1->itemText(0), "10");
    EXPECT_EQ(form->ComboBox1->itemText(1), "26");
    EXPECT_EQ(form->ComboBox1->itemText(2), "5");
    EXPECT_EQ(form->ComboBox1->itemText(3), "77");

    form->TabSheet5->ParamsLoaded = {false, true, false, false};
    form->TabSheet5->ParamsShownIndex = 1;
    struct Step {
        int index;
        const char* record; // the selected record's address; nullptr: none
        TComPortBaudRate speed;
        int polling;
        bool hint;
    };
    // "77" names no sensor: the speed stays as it was. Of two records at one address the first
    // found is chosen.
    const Step steps[] = {{1, "1A", br19200, 30, false},
                          {2, "05", br9600, 50, true},
                          {0, "0A", br57600, 30, true},
                          {3, nullptr, br57600, 30, true}};
    for (const Step& s : steps) {
        form->ComboBox1->setFocus();
        form->ComboBox1->setCurrentIndex(s.index);
        emit form->ComboBox1->activated(s.index);
        EXPECT_EQ(form->CommPortDriver1->ComPortSpeed(), s.speed) << s.index;
        EXPECT_EQ(form->CommPortDriver1->ComPortPollingDelay(), s.polling) << s.index;
        EXPECT_EQ(!form->TabSheet5->Label_Hint->isHidden(), s.hint) << s.index;
        const TDevice* const selected = form->SelectedDevice();
        EXPECT_EQ(selected ? selected->AdressStr.load() : QByteArray(), QByteArray(s.record)) << s.index;
    }
    form->TabSheet5->ParamsLoaded = {false, false, false, false};
    form->ComboBox1->setCurrentIndex(1);
    emit form->ComboBox1->activated(1);
    EXPECT_FALSE(form->TabSheet5->Label_Hint->isHidden()) << "shown index without valid parameters";

    // A record renamed by a parameter write: the selection follows the new address text.
    form->Bus().Devices().Append("63", 9600);
    form->UpdateComboBoxOfAdres("99");
    EXPECT_EQ(form->ComboBox1->currentIndex(), 1);
    EXPECT_EQ(form->ComboBox1->itemText(1), "99");
    EXPECT_EQ(form->ComboBox1->currentText(), "99");
    ASSERT_NE(form->SelectedDevice(), nullptr);
    EXPECT_EQ(form->SelectedDevice()->AdressStr.load(), QByteArray("63"));
    EXPECT_EQ(form->ComboBox1->count(), 4);
}

// A reply split over two reads of the real driver is decoded once it is whole.
TEST_F(FormTest, ReceivedChunksReachTheDecoderAndEmptyBoxChangesNothing)
{
    auto form = MakeForm();
    PtyPair pty;
    form->Bus().Devices().Append("1A", 115200);
    form->AddAddressItem(QStringLiteral("26"));
    form->ComboBox1->setCurrentIndex(0);
    form->ComboBox1Change();
    form->CommPortDriver1->setComPort(pty.slavePath());
    ASSERT_TRUE(form->CommPortDriver1->Connect());
    ASSERT_TRUE(form->LaunchThread(TOperationCode::SwitchOn));
    EXPECT_EQ(pty.read(6, 2000), QByteArray("#1AON\r"));
    pty.write("!1A");
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->Bus().ReceivePath().Buffer() == "!1A"; }, 2000));
    EXPECT_TRUE(form->StatusText(0).isEmpty()) << "half a reply is not dispatched";
    pty.write("ON\r");
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->StatusText(0) == "  Датчик включён"; }, 2000));
    EXPECT_TRUE(form->Bus().ReceivePath().Buffer().isEmpty());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !form->Bus().Busy(); }, 2000));
    form->CommPortDriver1->Disconnect();
    form->ComboBox1->clear();

    const TComPortBaudRate before = form->CommPortDriver1->ComPortSpeed();
    form->ComboBox1Change();
    form->UpdateComboBoxOfAdres("12");
    EXPECT_EQ(form->ComboBox1->count(), 0);
    EXPECT_EQ(form->CommPortDriver1->ComPortSpeed(), before);
}

} // namespace
