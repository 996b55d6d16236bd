// The receive side of a Modbus parameter write over the real driver and the simulated sensor:
// the test takes the write button's and the write worker's steps itself, request by request, and
// checks that every echo returns the request token.
#include "BusFormFixture.h"
#include "protocol/DeviceUnit.h"
#include "bus/SensorBus.h"
#include "pages/ParamSet.h"
#include "sim/SimRegisters.h"
#include <QPushButton>

namespace {

class ModbusWriteEcho : public BusFormTest {
  protected:
    void SetUp() override
    {
        BusFormTest::SetUp();
        if (HasFatalFailure())
            return;
        SelectModbus();
    }
    void TearDown() override
    {
        OperationRunning = false;
        WriteAddress = QByteArray();
        ReplyReceived = true;
        BusFormTest::TearDown();
    }

    // One request through the token, then the wait for its reply to be handled.
    template <class Request> bool Exchange(Request request, int ms = 1500)
    {
        ReceiveBuffer.clear();
        if (!request())
            return false;
        return WaitFor([] { return ReplyReceived.load(); }, ms);
    }

    // Reads flags and block over Modbus into the record and returns what the page would show.
    TParamTexts ReadPage()
    {
        EXPECT_TRUE(Exchange([&] { return record->Read_Flag_modbus(); }));
        EXPECT_TRUE(Exchange([&] { return record->ReadAllParam_modbus(); }));
        return ParamTextsOf(*record);
    }

    // What the write button leaves before its worker sends: the record and the address box carry
    // the new address, WriteAddress the old one.
    void BeginWrite(const QByteArray& newHex, const QByteArray& newDec)
    {
        WriteAddress = record->AdressStr.load();
        record->AdressStr = newHex;
        form->UpdateComboBoxOfAdres(newDec);
        OperationRunning = true;
    }
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
    const QByteArray flags = ModbusFlagBytes(page);
    const QByteArray block = ModbusBlockBytes(page);
    BeginWrite("1B", "27");
    bus.clearLog();

    WriteFlagsOnly = true;
    ASSERT_TRUE(Exchange([&] { return record->WriteParam({}, flags); })) << "flag write echo not taken";
    EXPECT_FALSE(WriteFlagsOnly.load());
    ASSERT_TRUE(Exchange([&] { return record->WriteParam({}, block); })) << "block write echo not taken";
    EXPECT_EQ(record->PAdress, 0x1A) << "the address the sensor answered from";

    // The worker's last step; from here on the sensor answers at its new address.
    WriteAddress = QByteArray("1B");
    OperationRunning = false;
    const std::vector<QByteArray> heard = Heard();
    ASSERT_EQ(heard.size(), 2u);
    EXPECT_EQ(heard[0].left(4), QByteArray::fromHex("1A 06 00 00"));
    EXPECT_EQ(heard[1].left(7), QByteArray::fromHex("1A 10 00 10 00 13 26"));
    EXPECT_EQ(bus.status(sensor).address, 0x1B);
    EXPECT_EQ(bus.registers(sensor).get(SimReg::CorrectionSign), 1) << "the sign bit kept its meaning";
    EXPECT_EQ(bus.registers(sensor).pair(SimReg::CorrectionLo), 300);

    form->Button3->click();
    ASSERT_TRUE(WaitFor([&] { return form->StatusText(0) == QStringLiteral("  Датчик включён"); }));
    EXPECT_TRUE(WaitIdle());
    EXPECT_EQ(Heard().back(), QByteArray::fromHex("1B 06 00 BC 4F 4E FE 10"));
}

TEST_F(ModbusWriteEcho, ARefusedAddressChangeIsNotTakenForAnAnswer)
{
    TParamTexts page = ReadPage();
    page.rows[ParamRow::Address] = QStringLiteral("27");
    BeginWrite("1B", "27");
    SimFaults faults;
    faults.modbusException = 3;
    bus.setFaults(sensor, faults);
    ModalCloser closer(form.get());

    WriteFlagsOnly = true;
    EXPECT_FALSE(Exchange([&] { return record->WriteParam({}, ModbusFlagBytes(page)); }, 500))
        << "the refusal from the old address must end in the timeout and its rollback";
    EXPECT_TRUE(closer.seen().empty());
    EXPECT_EQ(bus.status(sensor).address, 0x1A);
}

TEST_F(ModbusWriteEcho, AWriteWithoutAddressChangeIsAnsweredByItsOwnRecord)
{
    TParamTexts page = ReadPage();
    page.rows[ParamRow::Correz] = QStringLiteral("250");
    BeginWrite("1A", "26");
    WriteFlagsOnly = true;
    ASSERT_TRUE(Exchange([&] { return record->WriteParam({}, ModbusFlagBytes(page)); }));
    ASSERT_TRUE(Exchange([&] { return record->WriteParam({}, ModbusBlockBytes(page)); }));
    EXPECT_EQ(bus.registers(sensor).get(SimReg::CorrectionSign), 0);
    EXPECT_EQ(bus.registers(sensor).pair(SimReg::CorrectionLo), 250);
    EXPECT_EQ(bus.status(sensor).address, 0x1A);
}

} // namespace
