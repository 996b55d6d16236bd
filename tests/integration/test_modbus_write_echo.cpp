// A Modbus parameter write on the bus itself, over the real driver and the simulated sensor: the
// sensor answers both requests from the address it had, and the write matches those answers to
// its requests whatever the record is called by then.
#include "BusFormFixture.h"
#include "bus/SensorBus.h"
#include "params/ParamSet.h"
#include "protocol/DeviceUnit.h"
#include "sim/SimRegisters.h"
#include <QPushButton>
#include <optional>

namespace {

class ModbusWriteEcho : public BusFormTest {
  protected:
    void SetUp() override
    {
        BusFormTest::SetUp();
        if (HasFatalFailure())
            return;
        SelectModbus();
        QObject::connect(&form->Bus(), &TSensorBus::OperationFinished, form.get(),
                         [this](TOperationCode, const TOutcome& outcome) { ended = outcome; });
    }

    // The page as a read of the sensor shows it.
    TParamTexts ReadPage()
    {
        EXPECT_TRUE(form->Bus().Start(TOperationCode::ReadParameters, record));
        EXPECT_TRUE(WaitFor([&] { return ended.has_value(); }));
        EXPECT_EQ(ended->Kind, TOutcomeKind::Done);
        EXPECT_TRUE(WaitIdle());
        ended.reset();
        return ParamTextsOf(*record);
    }

    // Writes the page as the write button does, to the new address given in its first row.
    std::optional<TOutcome> Write(const TParamTexts& page)
    {
        TWritePlan plan;
        plan.NewAddress = page.rows[ParamRow::Address].toInt();
        plan.NewSpeed = LineSpeed;
        plan.Flags = ModbusFlagBytes(page);
        plan.Block = ModbusBlockBytes(page);
        bus.clearLog();
        if (!form->Bus().StartWrite(record, plan))
            return std::nullopt;
        WaitFor([&] { return ended.has_value(); });
        WaitIdle();
        return ended;
    }

    std::optional<TOutcome> ended;
};

TEST_F(ModbusWriteEcho, AnAddressChangeIsAnsweredFromTheOldAddressAndCompletes)
{
    // A negative correction, so that its sign travels in the flag register both ways.
    bus.setRegister(sensor, SimReg::CorrectionLo, 0x2C);
    bus.setRegister(sensor, SimReg::CorrectionHi, 0x01);
    bus.setRegister(sensor, SimReg::CorrectionSign, 1);
    TParamTexts page = ReadPage();
    ASSERT_EQ(record->CorrezSign, 1);
    ASSERT_EQ(page.rows[ParamRow::Correz], QStringLiteral("-300"));
    ASSERT_EQ(page.rows[ParamRow::Address], QStringLiteral("26"));

    page.rows[ParamRow::Address] = QStringLiteral("27");
    const std::optional<TOutcome> outcome = Write(page);
    ASSERT_TRUE(outcome);
    EXPECT_EQ(outcome->Kind, TOutcomeKind::Done);
    EXPECT_TRUE(outcome->AddressWritten);
    EXPECT_EQ(record->AdressStr.load(), QByteArray("1B"));
    EXPECT_EQ(record->PAdress, 0x1A) << "the address the sensor answered from";
    const std::vector<QByteArray> heard = Heard();
    ASSERT_EQ(heard.size(), 2u);
    EXPECT_EQ(heard[0].left(4), QByteArray::fromHex("1A 06 00 00"));
    EXPECT_EQ(heard[1].left(7), QByteArray::fromHex("1A 10 00 10 00 13 26"));
    EXPECT_EQ(bus.status(sensor).address, 0x1B);
    EXPECT_EQ(bus.registers(sensor).get(SimReg::CorrectionSign), 1) << "the sign bit kept its meaning";
    EXPECT_EQ(bus.registers(sensor).pair(SimReg::CorrectionLo), 300);

    // From here on the sensor answers at its new address.
    form->UpdateComboBoxOfAdres("27");
    form->TabSheet1->Button3->click();
    ASSERT_TRUE(WaitFor([&] { return form->StatusText(0) == QStringLiteral("  Датчик включён"); }));
    EXPECT_TRUE(WaitIdle());
    EXPECT_EQ(Heard().back(), QByteArray::fromHex("1B 06 00 BC 4F 4E FE 10"));
}

TEST_F(ModbusWriteEcho, ARefusedAddressChangeEndsTheWriteAndKeepsTheOldAddress)
{
    TParamTexts page = ReadPage();
    page.rows[ParamRow::Address] = QStringLiteral("27");
    SimFaults faults;
    faults.modbusException = 3;
    bus.setFaults(sensor, faults);
    ModalCloser closer(form.get());
    const std::optional<TOutcome> outcome = Write(page);
    ASSERT_TRUE(outcome);
    EXPECT_EQ(outcome->Kind, TOutcomeKind::Refused);
    EXPECT_EQ(outcome->ExceptionCode, 3);
    EXPECT_FALSE(outcome->AddressWritten);
    EXPECT_EQ(Heard().size(), 1u) << "nothing follows the refused flag write";
    EXPECT_EQ(record->AdressStr.load(), QByteArray("1A"));
    EXPECT_EQ(bus.status(sensor).address, 0x1A);
}

TEST_F(ModbusWriteEcho, AWriteWithoutAddressChangeIsAnsweredByItsOwnRecord)
{
    TParamTexts page = ReadPage();
    page.rows[ParamRow::Correz] = QStringLiteral("250");
    const std::optional<TOutcome> outcome = Write(page);
    ASSERT_TRUE(outcome);
    EXPECT_EQ(outcome->Kind, TOutcomeKind::Done);
    EXPECT_EQ(bus.registers(sensor).get(SimReg::CorrectionSign), 0);
    EXPECT_EQ(bus.registers(sensor).pair(SimReg::CorrectionLo), 250);
    EXPECT_EQ(bus.status(sensor).address, 0x1A);
}

} // namespace
