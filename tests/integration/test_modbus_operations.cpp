#include "BusFormFixture.h"
#include "bus/SensorBus.h"
#include <QComboBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>

namespace {

const QString Timeout = QStringLiteral("Превышен интервал ожидания ответа от датчика");
const QString Caption = QStringLiteral("Принят код ошибки по протоколу Modbus");

QByteArray Frame(const char* hex)
{
    return QByteArray::fromHex(hex);
}

class ModbusBusTest : public BusFormTest {
  protected:
    void SetUp() override
    {
        BusFormTest::SetUp();
        if (HasFatalFailure())
            return;
        SelectModbus();
    }
};

TEST_F(ModbusBusTest, SwitchingButtonsWriteTheCommandRegisterAndShowTheEcho)
{
    const struct {
        QPushButton* TSearchPage::*button;
        QByteArray frame;
        const char* shown;
        bool on;
    } cases[] = {
        {&TSearchPage::Button3, Frame("1A 06 00 BC 4F 4E FF C1"), "  Датчик включён", true},
        {&TSearchPage::Button2, Frame("1A 06 00 BC 4F 46 FE 07"), "  Датчик выключен", false},
        {&TSearchPage::Button12, Frame("1A 06 00 BC 53 55 B7 0A"), "  Датчик настроен", false},
        {&TSearchPage::Button3, Frame("1A 06 00 BC 4F 4E FF C1"), "  Датчик включён", true},
    };
    ModalCloser closer(form.get());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.shown);
        bus.clearLog();
        form->SetStatusText(0, QStringLiteral("старое"));
        (form->TabSheet1->*c.button)->click();
        ASSERT_TRUE(WaitFor([&] { return form->StatusText(0) == QString::fromUtf8(c.shown); }));
        ASSERT_TRUE(WaitIdle());
        EXPECT_EQ(Heard(), std::vector<QByteArray>{c.frame});
        EXPECT_EQ(bus.status(sensor).on, c.on);
        EXPECT_FALSE(form->Bus().FrameTimeoutRunning());
    }
    EXPECT_TRUE(closer.seen().empty());
}

TEST_F(ModbusBusTest, SaveToFlashReportsItsEnd)
{
    form->TabSheet5->Button15->click();
    ASSERT_TRUE(
        WaitFor([&] { return form->StatusText(1) == QStringLiteral("Параметры записаны во FLASH"); }));
    EXPECT_TRUE(WaitIdle());
    EXPECT_TRUE(form->PageControl1->isEnabled());
    EXPECT_TRUE(form->ComboBox1->isEnabled());
    EXPECT_EQ(Heard(), std::vector<QByteArray>{Frame("1A 06 00 BC 46 4C 78 50")});
}

TEST_F(ModbusBusTest, LatchPageButtonsAddTheirRows)
{
    const struct {
        QPushButton* TLatchPage::*button;
        QByteArray frame;
        int column;
        const char* cell;
        const char* status;
    } cases[] = {
        {&TLatchPage::Button9, Frame("1A 06 00 BC 46 58 78 5F"), 3, "               Защёлкнут",
         "Результат защёлкнут"},
        {&TLatchPage::Button10, Frame("1A 03 01 00 00 01 86 1D"), 4, "               125,00",
         "Результат прочитан из защёлки"},
        {&TLatchPage::Button11, Frame("1A 03 01 01 00 01 D7 DD"), 5, "               125,00",
         "Последний результат прочитан"},
    };
    int row = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.status);
        ++row;
        bus.clearLog();
        (form->TabSheet3->*c.button)->click();
        ASSERT_TRUE(WaitFor([&] { return form->TabSheet3->CountRowTable == row; }));
        ASSERT_TRUE(WaitIdle());
        EXPECT_EQ(Heard(), std::vector<QByteArray>{c.frame});
        EXPECT_EQ(form->StatusText(1), QString::fromUtf8(c.status));
        EXPECT_EQ(LatchCell(row, 1), QStringLiteral("    26"));
        for (int column = 3; column <= 5; ++column)
            EXPECT_EQ(LatchCell(row, column), column == c.column ? QString::fromUtf8(c.cell) : QString())
                << "column " << column;
    }
}

TEST_F(ModbusBusTest, ResultCodesReadOverModbusShowTheirWords)
{
    const struct {
        std::uint16_t raw;
        const char* latched;
        const char* last;
    } cases[] = {
        {65534, "            Нет данных", "          Нет данных"},
        {65535, "         Вне диапазона", "       Вне диапазона"},
        {0, "               0,00", "               0,00"},
    };
    int row = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.raw);
        bus.setMeasurement(sensor, SimMeasureMode::Fixed, c.raw);
        for (QPushButton* button :
             {form->TabSheet3->Button9, form->TabSheet3->Button10, form->TabSheet3->Button11}) {
            button->click();
            ++row;
            ASSERT_TRUE(WaitFor([&] { return form->TabSheet3->CountRowTable == row; }));
            ASSERT_TRUE(WaitIdle());
        }
        EXPECT_EQ(LatchCell(row - 1, 4), QString::fromUtf8(c.latched));
        EXPECT_EQ(LatchCell(row, 5), QString::fromUtf8(c.last));
    }
}

TEST_F(ModbusBusTest, EachExceptionCodeShowsItsMessageAndEndsTheOperation)
{
    const struct {
        int code;
        const char* text; // nullptr: no message
        QString caption;
    } cases[] = {
        {1, "Ошибка (0x01): недопустимая команда.", Caption},
        {2, "Ошибка (0x02): адрес регистра недоступен.", Caption + "."},
        {3, "Ошибка (0x03): недопустимое значение данных.", Caption},
        {4, "Ошибка (0x04): ошибка записи во Flash.", Caption},
        {5, "Ошибка (0x05): недопустимое количество регистров.", Caption},
        {6, "Ошибка (0x06): запись в регистры для чтения.", Caption},
        {7, "Ошибка (0x07): запись в зарезервированные регистры.", Caption},
        {8, nullptr, {}},
        {0x7F, nullptr, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        SimFaults faults;
        faults.modbusException = c.code;
        bus.setFaults(sensor, faults);
        ModalCloser closer(form.get());
        form->SetStatusText(0, QStringLiteral("старое"));
        form->TabSheet3->Button10->click();
        // The reply, not the watchdog, ends the operation.
        ASSERT_TRUE(WaitIdle(2500));
        if (c.text) {
            ASSERT_EQ(closer.seen().size(), 1u);
            EXPECT_EQ(closer.seen()[0].text, QString::fromUtf8(c.text));
            EXPECT_EQ(closer.seen()[0].caption, c.caption);
        } else {
            EXPECT_TRUE(closer.seen().empty());
        }
        EXPECT_EQ(form->TabSheet3->CountRowTable, 0);
        EXPECT_EQ(form->StatusText(0), QStringLiteral("старое"));
    }
}

TEST_F(ModbusBusTest, ExceptionToASwitchCommandLeavesTheSensorStateUnshown)
{
    ASSERT_TRUE(bus.status(sensor).on);
    SimFaults faults;
    faults.modbusException = 1;
    bus.setFaults(sensor, faults);
    ModalCloser closer(form.get());
    form->TabSheet1->Button2->click();
    ASSERT_TRUE(WaitIdle(2500));
    ASSERT_EQ(closer.seen().size(), 1u);
    EXPECT_EQ(closer.seen()[0].text, QStringLiteral("Ошибка (0x01): недопустимая команда."));
    EXPECT_TRUE(form->StatusText(0).isEmpty());
    EXPECT_TRUE(bus.status(sensor).on);

    // The next request goes through.
    bus.setFaults(sensor, SimFaults{});
    form->TabSheet1->Button2->click();
    ASSERT_TRUE(WaitFor([&] { return form->StatusText(0) == QStringLiteral("  Датчик выключен"); }));
    EXPECT_TRUE(WaitIdle());
    EXPECT_FALSE(bus.status(sensor).on);
    EXPECT_EQ(closer.seen().size(), 1u);
}

TEST_F(ModbusBusTest, ASilentSensorEndsInTheTimeoutMessage)
{
    form->Bus().SetWatchdogTime(600);
    SimFaults faults;
    faults.noAnswer = true;
    bus.setFaults(sensor, faults);
    ModalCloser closer(form.get());
    for (QPushButton* button : {form->TabSheet1->Button3, form->TabSheet3->Button10}) {
        SCOPED_TRACE(button->objectName().toStdString());
        const std::size_t before = closer.seen().size();
        button->click();
        ASSERT_TRUE(WaitFor([&] { return closer.seen().size() > before; }));
        ASSERT_TRUE(WaitIdle());
        EXPECT_EQ(closer.seen().back().text, Timeout);
        EXPECT_GE(closer.seen().back().atMs, 600);
        EXPECT_TRUE(form->PageControl1->isEnabled());
        EXPECT_FALSE(form->Bus().FrameTimeoutRunning()) << "nothing arrived, so no frame is pending";
        EXPECT_EQ(form->TabSheet3->CountRowTable, 0);
    }
}

} // namespace
