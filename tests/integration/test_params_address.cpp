// Writes that move the sensor: a new network address, a new line speed, and a sensor that stops
// answering half-way through.
#include "ParamsFixture.h"
#include "bus/SensorBus.h"
#include "protocol/DeviceUnit.h"
#include "sim/SimRegisters.h"
#include "widgets/RadioGroup.h"
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>

namespace {

QString U(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

TEST_F(ParamsBusTest, ANewAddressIsWrittenToTheOldOneAndTheSensorAnswersAtTheNew)
{
    TDevice* const one = AddSelectedSensor(1, LineSpeed);
    ASSERT_NE(one, nullptr);
    ASSERT_EQ(form->ComboBox1->currentText(), U("1"));
    ASSERT_TRUE(Read());
    ASSERT_EQ(Cell(ParamRow::Address), U("1"));
    SetCell(ParamRow::Address, U("2"));
    bus.clearLog();

    form->TabSheet5->Button4->click();
    EXPECT_EQ(form->ComboBox1->currentText(), U("2")) << "the box shows the new address at once";
    ASSERT_TRUE(WaitFor([&] { return form->StatusText(1) == U("Параметры записаны"); }, 5000));
    ASSERT_TRUE(WaitIdle());

    const std::vector<QByteArray> frames = Heard();
    ASSERT_EQ(frames.size(), 34u);
    EXPECT_EQ(frames[0], QByteArray("#01W0102\r"));
    for (std::size_t i = 1; i < frames.size(); ++i)
        EXPECT_TRUE(frames[i].startsWith("#02W")) << frames[i].constData();
    EXPECT_EQ(bus.status(sensor + 1).address, 2);
    EXPECT_EQ(one->AdressStr.load(), QByteArray("02"));
    EXPECT_EQ(form->ComboBox1->currentText(), U("2"));

    form->TabSheet1->Button3->click();
    EXPECT_TRUE(WaitFor([&] { return form->StatusText(0) == U("  Датчик включён"); }));
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(Heard().back(), QByteArray("#02ON\r"));
}

// 9600 to 115200: the speed register is written last, at the old speed; the port follows before
// the echo, which comes at the new speed, and the sensor goes on answering there.
TEST_F(ParamsBusTest, ANewLineSpeedSwitchesThePortAndTheSensorKeepsAnswering)
{
    TDevice* const slow = AddSelectedSensor(5, 9600);
    ASSERT_NE(slow, nullptr);
    ASSERT_TRUE(Read());
    ASSERT_EQ(Cell(ParamRow::Uart), U("9600 бод"));
    SetCell(ParamRow::Uart, U("115200 бод"));
    bus.clearLog();

    ASSERT_TRUE(Write());
    EXPECT_EQ(Heard().back(), QByteArray("#05W0705\r"));
    EXPECT_EQ(bus.lineSpeed(), 115200);
    EXPECT_EQ(slow->ComPortSpeed.load(), 115200);
    EXPECT_EQ(bus.status(sensor + 1).speed, 115200);
    EXPECT_EQ(bus.registers(sensor + 1).get(SimReg::Uart), 5);

    ASSERT_TRUE(Read());
    EXPECT_EQ(Cell(ParamRow::Uart), U("115200 бод"));
}

// The sensor stops answering during the write: before it has taken the new address the record
// and the address box go back to the old one; after, they keep the new one. Either way the
// warning shows and the window is usable.
TEST_F(ParamsBusTest, ASensorThatFallsSilentMidWriteEndsInTheTimeoutAndTheRollback)
{
    struct Case {
        int framesBeforeSilence;
        const char* box;
        const char* adressStr;
        bool addressWritten;
    };
    const Case cases[] = {
        {0, "26", "1A", false}, // the address write itself is not answered
        {5, "27", "1B", true},  // silent after the address and four more
    };
    ASSERT_TRUE(Read());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.framesBeforeSilence);
        bus.setFaults(sensor, SimFaults{});
        bus.setRegister(sensor, SimReg::Address, 0x1A);
        record->AdressStr = QByteArray("1A");
        form->UpdateComboBoxOfAdres("26");
        SetCell(ParamRow::Address, U("27"));
        SimFaults faults;
        faults.framesBeforeSilence = c.framesBeforeSilence;
        bus.setFaults(sensor, faults);
        form->Bus().SetWatchdogTime(1500);
        ModalCloser closer(form.get());
        bus.clearLog();

        form->TabSheet5->Button4->click();
        ASSERT_TRUE(WaitFor([&] { return !closer.seen().empty(); }, 4000));
        ASSERT_TRUE(WaitIdle());
        EXPECT_EQ(closer.seen()[0].text, U("Превышен интервал ожидания ответа от датчика"));
        EXPECT_EQ(form->ComboBox1->currentText(), U(c.box));
        EXPECT_EQ(record->AdressStr.load(), QByteArray(c.adressStr));
        EXPECT_FALSE(form->TabSheet5->Label_Hint->isHidden());
        EXPECT_TRUE(form->PageControl1->isEnabled());
        EXPECT_TRUE(form->ComboBox1->isEnabled());
        EXPECT_TRUE(form->RadioGroup_protocol_obm->isEnabled());
        EXPECT_EQ(Heard().size(), static_cast<std::size_t>(c.framesBeforeSilence + 1))
            << "the write up to the unanswered frame";
        SetCell(ParamRow::Address, U("26"));
    }
}

} // namespace
