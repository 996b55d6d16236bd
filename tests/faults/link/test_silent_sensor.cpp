// A sensor that stops answering in the middle of an exchange, as one losing its supply does:
// the operation ends in the timeout message, a half-done address change is rolled back so that
// the address box, the record and the sensor agree, and once the sensor answers again the next
// operation shows the right values.
#include "LinkFaultFixture.h"
#include "SearchFixture.h"
#include "bus/SensorBus.h"
#include "protocol/DeviceList.h"
#include "protocol/DeviceUnit.h"
#include "sim/SimRegisters.h"
#include "widgets/RadioGroup.h"
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTreeWidget>

namespace {

class SilentSensorTest : public ProtocolFaultTest {};

TEST_P(SilentSensorTest, ASensorFallingSilentMidReadEndsInTheTimeoutAndTheNextReadShowsItsValues)
{
    ASSERT_TRUE(Read());
    bus.setRegister(sensor, SimReg::AveragePoints, 9);
    SimFaults faults;
    faults.framesBeforeSilence = Modbus() ? 0 : 5;
    bus.setFaults(sensor, faults);
    ModalCloser closer(form.get());
    form->SetStatusText(1, QString());
    form->Bus().SetWatchdogTime(FaultWatchdogMs);
    form->TabSheet5->Button1->click();
    ASSERT_TRUE(WaitFor([&] { return !closer.seen().empty(); }, 5000));
    EXPECT_EQ(closer.seen()[0].text, TimeoutText);
    EXPECT_EQ(closer.seen()[0].caption, QStringLiteral("Veltrano"));
    ExpectUsable();
    EXPECT_NE(form->StatusText(1), U("Чтение параметров завершено"));

    bus.setFaults(sensor, SimFaults{});
    ASSERT_TRUE(Read());
    EXPECT_EQ(Cell(ParamRow::Address), QStringLiteral("26"));
    EXPECT_EQ(Cell(ParamRow::MiddlePoint), QStringLiteral("9")) << "the value set while it was silent";
    EXPECT_TRUE(form->TabSheet5->Label_Hint->isHidden());
    EXPECT_TRUE(ReadLastResult());
    EXPECT_EQ(closer.seen().size(), 1u);
    ExpectUsable();
}

// The address change 26 -> 27 cut short: before the sensor has the new address everything goes
// back to 26; after it, everything shows 27. Either way the next read of the last result reaches
// the sensor under the address the window shows.
TEST_P(SilentSensorTest, AnAddressChangeCutShortLeavesBoxRecordAndSensorAgreeing)
{
    struct Case {
        bool modbus;
        int framesBeforeSilence;
        const char* box;
        const char* adressStr;
        int busAddress;
    };
    const Case cases[] = {
        {false, 0, "26", "1A", 0x1A}, // the address write itself goes unheard
        {false, 5, "27", "1B", 0x1B}, // silent after the address and four more registers
        {true, 0, "26", "1A", 0x1A},  // the flag write goes unheard
        {true, 1, "26", "1A", 0x1A},  // the flags are taken, the block with the address is not
    };
    ASSERT_TRUE(Read());
    for (const Case& c : cases) {
        if (c.modbus != Modbus())
            continue;
        SCOPED_TRACE(c.framesBeforeSilence);
        bus.setFaults(sensor, SimFaults{});
        bus.setRegister(sensor, SimReg::Address, 0x1A);
        record->AdressStr = QByteArray("1A");
        form->UpdateComboBoxOfAdres("26");
        SetCell(ParamRow::Address, QStringLiteral("27"));
        SimFaults faults;
        faults.framesBeforeSilence = c.framesBeforeSilence;
        bus.setFaults(sensor, faults);
        ModalCloser closer(form.get());

        form->Bus().SetWatchdogTime(FaultWatchdogMs);
        form->TabSheet5->Button4->click();
        ASSERT_TRUE(WaitFor([&] { return !closer.seen().empty(); }, 5000));
        ASSERT_EQ(closer.seen().size(), 1u);
        EXPECT_EQ(closer.seen()[0].text, TimeoutText);
        EXPECT_NE(form->StatusText(1), U("Параметры записаны"));
        ExpectUsable(QString::fromLatin1(c.box), c.adressStr, c.busAddress);

        bus.setFaults(sensor, SimFaults{});
        EXPECT_TRUE(ReadLastResult());
        EXPECT_EQ(LatchCell(form->TabSheet3->CountRowTable, 1),
                  QStringLiteral("    ") + QString::fromLatin1(c.box));
        EXPECT_EQ(closer.seen().size(), 1u);
    }
}

INSTANTIATE_TEST_SUITE_P(Protocols, SilentSensorTest, ::testing::Values(false, true), ProtocolName);

// A sensor that answers its probe but falls silent when it is identified.
class SilentIdentificationFault : public SearchBusTest, public ::testing::WithParamInterface<bool> {};

TEST_P(SilentIdentificationFault, FailsTheSearchAndASearchAfterItsReturnFindsIt)
{
    StartBus({Sensor(2, 115200)});
    bus.setMeasurement(0, SimMeasureMode::Fixed, 25000);
    if (GetParam())
        SelectModbus();
    SetSearchParameters(QStringLiteral("10"), QStringLiteral("2"));
    SimFaults faults;
    faults.framesBeforeSilence = 1;
    bus.setFaults(0, faults);
    ModalCloser closer(form.get());
    ASSERT_TRUE(RunSearch(8000));
    ASSERT_EQ(closer.seen().size(), 1u);
    EXPECT_EQ(closer.seen()[0].text, QStringLiteral("Превышен интервал ожидания ответа от датчика"));
    EXPECT_EQ(form->StatusText(1), QStringLiteral("Поиск завершён: ошибка поиска"));
    EXPECT_TRUE(form->TabSheet1->Button5->isEnabled());
    EXPECT_TRUE(form->ComboBox1->isEnabled());
    EXPECT_TRUE(form->ComboBox2->isEnabled());
    EXPECT_TRUE(form->RadioGroup_protocol_obm->isEnabled());
    EXPECT_EQ(form->ComboBox1->count(), 0);
    EXPECT_EQ(form->TabSheet1->ListView1->topLevelItemCount(), 0);

    bus.setFaults(0, SimFaults{});
    ASSERT_TRUE(RunSearch(8000));
    EXPECT_EQ(closer.seen().size(), 1u);
    EXPECT_EQ(form->StatusText(1), QStringLiteral("Поиск завершён"));
    EXPECT_EQ(AddressItems(), QStringList{QStringLiteral("2")});
    ASSERT_EQ(form->TabSheet1->ListView1->topLevelItemCount(), 1);
    EXPECT_EQ(form->Bus().Devices().Count(), 1);
    EXPECT_TRUE(form->TabSheet5->isEnabled());

    form->TabSheet3->Button11->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->TabSheet3->CountRowTable == 1; }, 3000));
    ASSERT_TRUE(WaitIdle(3000));
    EXPECT_EQ(form->TabSheet3->StringGrid1->item(0, 5)->text().trimmed(), QStringLiteral("25,000"));
    EXPECT_EQ(closer.seen().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Protocols, SilentIdentificationFault, ::testing::Values(false, true), ProtocolName);

} // namespace
