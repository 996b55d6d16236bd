// The parameter operations in Modbus RTU: flags and block, read, written and restored.
#include "ParamsFixture.h"
#include "bus/SensorBus.h"
#include "protocol/DeviceUnit.h"
#include "sim/SimRegisters.h"
#include "widgets/RadioGroup.h"
#include <QPushButton>

namespace {

QString U(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

class ParamsModbusTest : public ParamsBusTest {
  protected:
    void SetUp() override
    {
        ParamsBusTest::SetUp();
        if (!HasFatalFailure())
            SelectModbus();
    }
};

TEST_F(ParamsModbusTest, ReadTakesTheFlagsAndTheBlock)
{
    bus.setRegister(sensor, SimReg::AnalogOutput, 1);
    bus.setRegister(sensor, SimReg::ConstantLo, 0xE8);
    bus.setRegister(sensor, SimReg::ConstantHi, 0x03);
    bus.setRegister(sensor, SimReg::CorrectionLo, 0x2C);
    bus.setRegister(sensor, SimReg::CorrectionHi, 0x01);
    bus.setRegister(sensor, SimReg::CorrectionSign, 1);
    bus.setRegister(sensor, 0x15, 0x12);
    ASSERT_TRUE(Read());
    EXPECT_EQ(Cell(ParamRow::AnalogExit), U("Вкл"));
    EXPECT_EQ(Cell(ParamRow::Constant), U("1000"));
    EXPECT_EQ(Cell(ParamRow::OutputPeriod), U("1000,0"));
    EXPECT_EQ(Cell(ParamRow::Correz), U("-300"));
    EXPECT_EQ(Cell(ParamRow::Uart), U("115200 бод"));
    EXPECT_EQ(form->TabSheet5->RadioGroup1->ItemIndex(), 1);
    EXPECT_EQ(form->TabSheet5->RadioGroup2->ItemIndex(), 2);
    const std::vector<QByteArray> frames = Heard();
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].left(6).toHex(), QByteArray("1a0300000001"));
    EXPECT_EQ(frames[1].left(6).toHex(), QByteArray("1a0300100013"));
}

TEST_F(ParamsModbusTest, WriteSendsTheFlagsThenTheBlockAndTheSensorTakesThem)
{
    ASSERT_TRUE(Read());
    SetCell(ParamRow::ThreadOnOff, U("Вкл"));
    SetCell(ParamRow::Constant, U("1000"));
    SetCell(ParamRow::MedianPoint, U("7"));
    SetCell(ParamRow::Correz, U("-300"));
    form->TabSheet5->RadioGroup5->SetItemIndex(3);
    bus.clearLog();
    ASSERT_TRUE(Write());

    const SimRegisters regs = bus.registers(sensor);
    EXPECT_EQ(regs.get(SimReg::StreamAtPowerOn), 1);
    EXPECT_EQ(regs.pair(SimReg::ConstantLo), 1000);
    EXPECT_EQ(regs.get(0x10), 7);
    EXPECT_EQ(regs.pair(SimReg::CorrectionLo), 300);
    EXPECT_EQ(regs.get(SimReg::CorrectionSign), 1);
    EXPECT_EQ(regs.get(SimReg::ObjectType), 3);
    const std::vector<QByteArray> frames = Heard();
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].left(6).toHex(), QByteArray("1a0600000019")); // bits 0, 3, 4
    EXPECT_EQ(frames[1].left(7).toHex(), QByteArray("1a100010001326"));
    EXPECT_EQ(frames[1].mid(7 + 2 * (0x14 - 0x10), 2).toHex(), QByteArray("03e8"));
}

TEST_F(ParamsModbusTest, DefaultsAreRestoredAndReadBack)
{
    bus.setRegister(sensor, SimReg::AveragePoints, 99);
    bus.setRegister(sensor, SimReg::ObjectType, 5);
    form->TabSheet5->Button8->click();
    ASSERT_TRUE(WaitFor([&] { return form->StatusText(1) == U("Параметры по умолчанию установлены"); }));
    ASSERT_TRUE(WaitFor([&] { return form->StatusText(1) == U("Чтение параметров завершено"); }, 5000));
    ASSERT_TRUE(WaitIdleLong());
    EXPECT_EQ(Cell(ParamRow::MiddlePoint), U("8"));
    EXPECT_EQ(form->TabSheet5->RadioGroup5->ItemIndex(), 0);
    EXPECT_EQ(Heard().size(), 3u);
}

} // namespace
