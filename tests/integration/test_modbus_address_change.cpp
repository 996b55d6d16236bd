// A Modbus parameter write that changes the network address, started from the parameters page:
// the sensor answers both requests from its old address and the write still completes.
#include "ParamsFixture.h"
#include "bus/SensorBus.h"
#include "protocol/DeviceUnit.h"
#include <QComboBox>
#include <QPushButton>

namespace {

class ModbusAddressChangeBus : public ParamsBusTest {
  protected:
    void SetUp() override
    {
        ParamsBusTest::SetUp();
        if (!HasFatalFailure())
            SelectModbus();
    }
};

TEST_F(ModbusAddressChangeBus, TheNewAddressIsWrittenAndKept)
{
    ASSERT_TRUE(Read());
    SetCell(ParamRow::Address, QStringLiteral("27"));
    bus.clearLog();
    ModalCloser closer(form.get());
    ASSERT_TRUE(Write()) << "the echoes from the old address did not end the write";
    EXPECT_TRUE(closer.seen().empty()) << "no timeout";

    const std::vector<QByteArray> frames = Heard();
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].left(4), QByteArray::fromHex("1A 06 00 00"));
    EXPECT_EQ(frames[1].left(4), QByteArray::fromHex("1A 10 00 10"));
    EXPECT_EQ(bus.status(sensor).address, 0x1B);
    EXPECT_EQ(record->AdressStr.load(), QByteArray("1B"));
    EXPECT_EQ(form->ComboBox1->currentText(), QStringLiteral("27"));

    form->TabSheet1->Button3->click();
    ASSERT_TRUE(WaitFor([&] { return form->StatusText(0) == QStringLiteral("  Датчик включён"); }));
    EXPECT_TRUE(WaitIdle());
    EXPECT_EQ(Heard().back(), QByteArray::fromHex("1B 06 00 BC 4F 4E FE 10"));
}

} // namespace
