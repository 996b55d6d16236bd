#include "ParamsFixture.h"
#include "bus/SensorBus.h"
#include "protocol/DeviceUnit.h"
#include "sim/SimRegisters.h"
#include "widgets/RadioGroup.h"
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <functional>

namespace {

QString U(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

QByteArray Hex2(int value)
{
    return QByteArray::number(value, 16).toUpper().rightJustified(2, '0');
}

// The 34 register reads to sensor 1A, registers 01 to 22 in order.
std::vector<QByteArray> ReadFrames()
{
    std::vector<QByteArray> frames;
    for (int reg = SimReg::First; reg <= SimReg::Last; ++reg)
        frames.push_back("#1AR" + Hex2(reg) + "\r");
    return frames;
}

// The page a factory sensor 1A at 115200 baud shows.
std::vector<QString> FactoryRows()
{
    return {
        U("26"),         U("Вкл"),   U("Выкл"),  U("Выкл"),  U("по таймеру"), U("паритета нет, 1 стоп-бит"),
        U("115200 бод"), U("1,0"),   U("100"),   U("100,0"), U("1000"),       U("0"),
        U("50000"),      U("10000"), U("20000"), U("30000"), U("40000"),      U("скользящее усреднение"),
        U("8"),          U("5"),     U("0")};
}

TEST_F(ParamsBusTest, ReadShowsTheSensorsRegisters)
{
    bus.setRegister(sensor, SimReg::PeriodLo, 0x10);
    bus.setRegister(sensor, SimReg::PeriodHi, 0x27);
    bus.setRegister(sensor, SimReg::ConstantLo, 3);
    bus.setRegister(sensor, SimReg::FilterType, 1);
    bus.setRegister(sensor, SimReg::AveragePoints, 255);
    bus.setRegister(sensor, 0x10, 49);
    bus.setRegister(sensor, 0x15, 0x21);
    bus.setRegister(sensor, SimReg::ResultMode, 1);
    bus.setRegister(sensor, SimReg::ObjectType, 8);
    bus.setRegister(sensor, SimReg::CorrectionLo, 0x2C);
    bus.setRegister(sensor, SimReg::CorrectionHi, 0x01);
    bus.setRegister(sensor, SimReg::CorrectionSign, 1);
    form->TabSheet5->Label_Hint->show();

    form->TabSheet5->Button1->click();
    EXPECT_FALSE(form->PageControl1->isEnabled());
    EXPECT_FALSE(form->ComboBox1->isEnabled());
    EXPECT_FALSE(form->RadioGroup_protocol_obm->isEnabled());
    EXPECT_TRUE(WaitFor([&] { return form->StatusText(1) == U("Чтение..."); }));
    ASSERT_TRUE(WaitFor([&] { return form->StatusText(1) == U("Чтение параметров завершено"); }, 5000));
    ASSERT_TRUE(WaitIdle());

    std::vector<QString> expected = FactoryRows();
    expected[7] = U("1000,0");
    expected[8] = U("3");
    expected[9] = U("3000,0");
    expected[17] = U("медианная фильтрация");
    expected[18] = U("255");
    expected[19] = U("49");
    expected[20] = U("-300");
    EXPECT_EQ(RowsOf(Page()), expected);
    EXPECT_EQ(form->TabSheet5->RadioGroup1->ItemIndex(), 2);
    EXPECT_EQ(form->TabSheet5->RadioGroup2->ItemIndex(), 1);
    EXPECT_EQ(form->TabSheet5->RadioGroup6->ItemIndex(), 1);
    EXPECT_EQ(form->TabSheet5->RadioGroup5->ItemIndex(), 8);
    EXPECT_EQ(Heard(), ReadFrames());
    EXPECT_TRUE(form->TabSheet5->Label_Hint->isHidden());
    EXPECT_EQ(form->TabSheet5->ParamsShownIndex, 0);
    EXPECT_TRUE(form->TabSheet5->ParamsLoaded.at(0));
    EXPECT_TRUE(form->PageControl1->isEnabled());
    EXPECT_TRUE(form->ComboBox1->isEnabled());
    EXPECT_TRUE(form->RadioGroup_protocol_obm->isEnabled());
}

TEST_F(ParamsBusTest, WriteStoresThePageInTheSensorAndReadingBackShowsIt)
{
    ASSERT_TRUE(Read());
    struct Edit {
        int row;
        const char* text;
        std::vector<std::pair<int, int>> registers; // register code, value written
    };
    const std::vector<Edit> edits = {
        {1, "Выкл", {{0x02, 0}}},
        {2, "Вкл", {{0x03, 1}}},
        {3, "Вкл", {{0x04, 1}}},
        {4, "по внешнему синхросигналу", {{0x05, 1}}},
        {5, "контроль нечетности, 2 стоп-бита", {{0x06, 5}}},
        {7, "0.3", {{0x08, 3}, {0x09, 0}}}, // a point is taken in a comma locale too
        {8, "1000", {{0x0A, 0xE8}, {0x0B, 0x03}}},
        {10, "65535", {{0x0C, 0xFF}, {0x0D, 0xFF}}},
        {11, "258", {{0x11, 0x02}, {0x12, 0x01}}},
        {12, "49999", {{0x13, 0x4F}, {0x14, 0xC3}}},
        {13, "300", {{0x16, 0x2C}, {0x17, 0x01}}},
        {14, "300", {{0x18, 0x2C}, {0x19, 0x01}}}, // equal edges pass
        {15, "7", {{0x1A, 0x07}, {0x1B, 0x00}}},
        {16, "4096", {{0x1C, 0x00}, {0x1D, 0x10}}},
        {17, "медианная фильтрация", {{0x0E, 1}}},
        {18, "255", {{0x0F, 0xFF}}},
        {19, "49", {{0x10, 0x31}}},
        {20, "-300", {{0x20, 0x2C}, {0x21, 0x01}, {0x22, 0x01}}},
    };
    for (const Edit& e : edits)
        SetCell(e.row, U(e.text));
    form->TabSheet5->RadioGroup1->SetItemIndex(2);
    form->TabSheet5->RadioGroup2->SetItemIndex(1);
    form->TabSheet5->RadioGroup6->SetItemIndex(1);
    form->TabSheet5->RadioGroup5->SetItemIndex(8);
    bus.clearLog();

    ASSERT_TRUE(Write());

    std::array<int, SimReg::Count + 1> expected{};
    const SimRegisters factory = SimRegisters::factory(0x1A, simCodeOfSpeed(LineSpeed));
    for (int reg = SimReg::First; reg <= SimReg::Last; ++reg)
        expected[static_cast<std::size_t>(reg)] = factory.get(reg);
    for (const Edit& e : edits) {
        for (const auto& [reg, value] : e.registers)
            expected[static_cast<std::size_t>(reg)] = value;
    }
    expected[0x15] = 0x21;
    expected[0x1E] = 1;
    expected[0x1F] = 8;
    const SimRegisters written = bus.registers(sensor);
    std::vector<QByteArray> frames;
    for (int reg = SimReg::First; reg <= SimReg::Last; ++reg) {
        EXPECT_EQ(written.get(reg), expected[static_cast<std::size_t>(reg)])
            << "register " << Hex2(reg).data();
        if (reg != SimReg::Uart)
            frames.push_back("#1AW" + Hex2(reg) + Hex2(expected[static_cast<std::size_t>(reg)]) + "\r");
    }
    frames.push_back("#1AW07" + Hex2(simCodeOfSpeed(LineSpeed)) + "\r"); // the speed last
    EXPECT_EQ(Heard(), frames);
    EXPECT_TRUE(form->PageControl1->isEnabled());
    EXPECT_TRUE(form->ComboBox1->isEnabled());
    EXPECT_TRUE(form->RadioGroup_protocol_obm->isEnabled());
    EXPECT_EQ(form->ComboBox1->currentText(), U("26"));

    // The page is cleared and read back from the sensor.
    for (int row = 0; row < ParamRowCount; ++row)
        SetCell(row, QString());
    for (TRadioGroup* group : {form->TabSheet5->RadioGroup1, form->TabSheet5->RadioGroup2,
                               form->TabSheet5->RadioGroup6, form->TabSheet5->RadioGroup5})
        group->SetItemIndex(-1);
    ASSERT_TRUE(Read());
    std::vector<QString> shown = FactoryRows();
    for (const Edit& e : edits)
        shown[static_cast<std::size_t>(e.row)] = U(e.text);
    shown[7] = U("0,3");
    shown[9] = U("300,0");
    EXPECT_EQ(RowsOf(Page()), shown);
    EXPECT_EQ(form->TabSheet5->RadioGroup1->ItemIndex(), 2);
    EXPECT_EQ(form->TabSheet5->RadioGroup2->ItemIndex(), 1);
    EXPECT_EQ(form->TabSheet5->RadioGroup6->ItemIndex(), 1);
    EXPECT_EQ(form->TabSheet5->RadioGroup5->ItemIndex(), 8);
}

TEST_F(ParamsBusTest, DefaultsRestoreTheFactoryValuesAndShowThem)
{
    bus.setRegister(sensor, SimReg::PeriodLo, 5);
    bus.setRegister(sensor, 0x10, 3);
    bus.setRegister(sensor, SimReg::CorrectionLo, 9);
    bus.setRegister(sensor, SimReg::ObjectType, 4);
    form->TabSheet5->Button8->click();
    EXPECT_EQ(form->StatusText(1), U("Установка параметров по умолчанию..."));
    EXPECT_FALSE(form->PageControl1->isEnabled());
    EXPECT_FALSE(form->RadioGroup_protocol_obm->isEnabled());
    ASSERT_TRUE(WaitFor([&] { return form->StatusText(1) == U("Параметры по умолчанию установлены"); }));
    EXPECT_TRUE(form->PageControl1->isEnabled()) << "the defaults echo gives the controls back";
    ASSERT_TRUE(WaitFor([&] { return form->StatusText(1) == U("Чтение..."); }, 2000));
    ASSERT_TRUE(WaitFor([&] { return form->StatusText(1) == U("Чтение параметров завершено"); }, 5000));
    ASSERT_TRUE(WaitIdle());

    EXPECT_EQ(RowsOf(Page()), FactoryRows());
    EXPECT_EQ(form->TabSheet5->RadioGroup5->ItemIndex(), 0);
    std::vector<QByteArray> frames{"#1ADF\r"};
    for (const QByteArray& read : ReadFrames())
        frames.push_back(read);
    EXPECT_EQ(Heard(), frames);
}

TEST_F(ParamsBusTest, AFailedCheckShowsItsMessageAndSendsNothing)
{
    struct Case {
        const char* name;
        std::function<void()> spoil;
        const char* message;
        int focusRow; // -1: a radio group has the focus
    };
    const std::vector<Case> cases = {
        {"before any read", [this] { SetCell(0, QString()); },
         "Сетевой адрес должен находиться в диапазоне от 1 до 255!", 0},
        {"period", [this] { SetCell(7, QStringLiteral("6553,6")); },
         "Период измерения датчика должен находиться в диапазоне от 0,1 до 6553,5!", 7},
        {"edges",
         [this] {
             SetCell(13, QStringLiteral("301"));
             SetCell(14, QStringLiteral("300"));
         },
         "У 1-го дискретного выхода первый перепад должен быть меньше второго перепада!", 13},
        {"object type",
         [this] {
             SetCell(20, QStringLiteral("-5"));
             form->TabSheet5->RadioGroup5->SetItemIndex(-1);
         },
         "Не указан \"тип объекта\"!", -1},
    };
    ASSERT_TRUE(Read());
    const TParamTexts read = Page();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (int row = 0; row < ParamRowCount; ++row)
            SetCell(row, read.rows[static_cast<std::size_t>(row)]);
        form->TabSheet5->RadioGroup5->SetItemIndex(read.radio5);
        c.spoil();
        bus.clearLog();
        ModalCloser closer(form.get());
        form->TabSheet5->Button4->click(); // returns once the dialog has been closed
        ASSERT_EQ(closer.seen().size(), 1u);
        EXPECT_EQ(closer.seen()[0].text, U(c.message));
        if (c.focusRow >= 0) {
            EXPECT_EQ(form->TabSheet5->KGrid1->currentRow(), c.focusRow);
            EXPECT_EQ(form->TabSheet5->KGrid1->currentColumn(), 1);
        }
        EXPECT_FALSE(form->Bus().Busy());
        EXPECT_TRUE(form->PageControl1->isEnabled());
        EXPECT_TRUE(form->ComboBox1->isEnabled());
        EXPECT_TRUE(form->RadioGroup_protocol_obm->isEnabled());
        EXPECT_EQ(form->ComboBox1->currentText(), U("26"));
        QTest::qWait(50);
        EXPECT_TRUE(Heard().empty());
    }
    EXPECT_EQ(record->Correz, -5) << "the correction is stored once the grid has passed";
    EXPECT_EQ(record->CorrezSign, 1);
}

// A write, read or defaults pressed while another operation holds the launcher: nothing is
// renamed, disabled or shown, and nothing is sent.
TEST_F(ParamsBusTest, ARefusedLaunchLeavesTheWindowAsItWas)
{
    ASSERT_TRUE(Read());
    SetCell(ParamRow::Address, U("27"));
    form->Bus().SetWatchdogTime(600);
    SimFaults silent;
    silent.noAnswer = true;
    bus.setFaults(sensor, silent);
    ModalCloser closer(form.get());
    bus.clearLog();
    form->TabSheet1->Button3->click();
    ASSERT_TRUE(form->Bus().Busy());
    ASSERT_TRUE(WaitFor([&] { return !Heard().empty(); }));
    bus.clearLog();
    form->SetStatusText(1, QString());
    for (QPushButton* button :
         {form->TabSheet5->Button4, form->TabSheet5->Button1, form->TabSheet5->Button8}) {
        SCOPED_TRACE(button->objectName().toStdString());
        button->click();
        EXPECT_EQ(form->ComboBox1->currentText(), U("26"));
        EXPECT_EQ(form->ComboBox1->itemText(0), U("26"));
        EXPECT_EQ(record->AdressStr.load(), QByteArray("1A"));
        EXPECT_TRUE(form->PageControl1->isEnabled());
        EXPECT_TRUE(form->ComboBox1->isEnabled());
        EXPECT_TRUE(form->RadioGroup_protocol_obm->isEnabled());
        EXPECT_TRUE(form->StatusText(1).isEmpty());
    }
    ASSERT_TRUE(WaitFor([&] { return !closer.seen().empty(); }));
    ASSERT_TRUE(WaitIdle());
    EXPECT_TRUE(Heard().empty());
    EXPECT_EQ(closer.seen().size(), 1u) << "only the switch-on timed out";
}

// An address box entry without a sensor record: the worker cannot start its requests, and no
// timeout will come to give the controls back.
TEST_F(ParamsBusTest, AnEntryWithoutRecordLeavesNothingDisabled)
{
    form->AddAddressItem(QStringLiteral("27"));
    form->ComboBox1->setCurrentText(QStringLiteral("27"));
    ASSERT_EQ(form->ComboBox1->currentText(), QStringLiteral("27"));
    form->TabSheet5->Label_Hint->hide();
    ModalCloser closer(form.get());
    for (QPushButton* button : {form->TabSheet5->Button1, form->TabSheet5->Button8}) {
        SCOPED_TRACE(button->objectName().toStdString());
        button->click();
        ASSERT_TRUE(WaitIdle(1000)) << "ends at once, not by the watchdog";
        EXPECT_TRUE(form->PageControl1->isEnabled());
        EXPECT_TRUE(form->ComboBox1->isEnabled());
        EXPECT_TRUE(form->RadioGroup_protocol_obm->isEnabled());
        EXPECT_TRUE(form->StatusText(1).isEmpty());
    }
    EXPECT_FALSE(form->TabSheet5->Label_Hint->isHidden());
    EXPECT_TRUE(Heard().empty());
    EXPECT_TRUE(closer.seen().empty());
}

} // namespace
