#include "SearchFixture.h"
#include "bus/SensorBus.h"
#include "protocol/DeviceList.h"
#include "protocol/DeviceUnit.h"
#include "serial/TCommPortDriver.h"
#include "widgets/ProgressBar.h"
#include "widgets/RadioGroup.h"
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <algorithm>
#include <string>

namespace {

const QString Done = QStringLiteral("Поиск завершён");
const QString NotFound = QStringLiteral("Поиск завершён: не найдено");
const QString Failed = QStringLiteral("Поиск завершён: ошибка поиска");
const QString Timeout = QStringLiteral("Превышен интервал ожидания ответа от датчика");

QByteArray StandardProbe(int address)
{
    return "#" + QByteArray::number(address, 16).toUpper().rightJustified(2, '0') + "R01\r";
}

// The search controls are usable again; the three other pages are as expected.
void ExpectSearchControlsUsable(const TForm1& form, bool pagesEnabled)
{
    EXPECT_TRUE(form.TabSheet1->Button5->isEnabled());
    EXPECT_TRUE(form.ComboBox1->isEnabled());
    EXPECT_TRUE(form.ComboBox2->isEnabled());
    EXPECT_TRUE(form.RadioGroup_protocol_obm->isEnabled());
    EXPECT_TRUE(form.TabSheet1->isEnabled());
    EXPECT_EQ(form.TabSheet2->isEnabled(), pagesEnabled);
    EXPECT_EQ(form.TabSheet3->isEnabled(), pagesEnabled);
    EXPECT_EQ(form.TabSheet5->isEnabled(), pagesEnabled);
    EXPECT_TRUE(form.QProgressBar1->isHidden());
    EXPECT_EQ(form.QProgressBar1->value(), 0);
    EXPECT_FALSE(form.Bus().Busy());
    EXPECT_FALSE(form.Bus().ReceivePath().Searching());
}

TEST_F(SearchBusTest, DefaultSearchProbesInOrderAndListsSensorsAtEverySpeedTheyAnswer)
{
    // Address 2 twice, at two speeds: two records, both listed.
    StartBus({Sensor(1, 57600, "VLT-A", 11), Sensor(2, 921600, "VLT-B", 22), Sensor(3, 19200, "VLT-C", 33),
              Sensor(2, 115200, "VLT-D", 44)});
    form->TabSheet1->Button5->click();
    EXPECT_EQ(form->StatusText(1), QStringLiteral("Поиск..."));
    EXPECT_FALSE(form->TabSheet1->Button5->isEnabled());
    EXPECT_FALSE(form->ComboBox1->isEnabled());
    EXPECT_FALSE(form->ComboBox2->isEnabled());
    EXPECT_FALSE(form->RadioGroup_protocol_obm->isEnabled());
    EXPECT_TRUE(form->QProgressBar1->isVisible());
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->QProgressBar1->value() == 24; }, 5000));
    EXPECT_EQ(form->QProgressBar1->maximum(), 24);
    EXPECT_EQ(form->QProgressBar1->Caption(), QStringLiteral("         Адрес: 3 Cкорость: 921600"));
    ASSERT_TRUE(WaitIdle(5000));

    std::vector<QByteArray> probes;
    for (int speed = 0; speed < 8; ++speed) {
        for (int address = 1; address <= 3; ++address)
            probes.push_back(StandardProbe(address));
    }
    const std::vector<QByteArray> heard = bus.receivedFrames();
    ASSERT_GE(heard.size(), 24u);
    EXPECT_EQ(std::vector<QByteArray>(heard.begin(), heard.begin() + 24), probes);
    // Then one identification per record, in the order of discovery.
    EXPECT_EQ(std::vector<QByteArray>(heard.begin() + 24, heard.end()),
              (std::vector<QByteArray>{"#03ID\r", "#01ID\r", "#02ID\r", "#02ID\r"}));

    EXPECT_EQ(form->StatusText(1), Done);
    ExpectSearchControlsUsable(*form, true);
    ASSERT_EQ(form->Bus().Devices().Count(), 4);
    EXPECT_EQ(AddressItems(), (QStringList{"1", "2", "2", "3"}));
    EXPECT_EQ(form->ComboBox1->currentText(), QStringLiteral("1"));
    EXPECT_EQ(ListColumn(0), (QStringList{"3", "1", "2", "2"}));
    EXPECT_EQ(ListColumn(1), (QStringList{"19200 бод", "57600 бод", "115200 бод", "921600 бод"}));
    EXPECT_EQ(ListColumn(2).at(0), QStringLiteral("VLT-C"));
    EXPECT_EQ(ListColumn(2).at(1), QStringLiteral("VLT-A"));
    EXPECT_EQ(ListColumn(3).at(0), QStringLiteral("150,000"));
    EXPECT_EQ(ListColumn(4).at(1), QStringLiteral("50,000"));
    EXPECT_EQ(ListColumn(5).at(0), QStringLiteral("33"));
    // The port stays at the speed of the record identified last.
    EXPECT_EQ(BaudOf(form->CommPortDriver1->ComPortSpeed()), 921600);
    EXPECT_EQ(form->TabSheet5->ParamsLoaded.size(), 4u);
}

TEST_F(SearchBusTest, ABusWithoutSensorsEndsNotFoundWithOnlyTheSearchPageUsable)
{
    StartBus({});
    SetSearchParameters(QStringLiteral("10"), QStringLiteral("2"));
    ASSERT_TRUE(RunSearch(3000));
    EXPECT_EQ(form->StatusText(1), NotFound);
    ExpectSearchControlsUsable(*form, false);
    EXPECT_EQ(form->ComboBox1->count(), 0);
    EXPECT_EQ(form->TabSheet1->ListView1->topLevelItemCount(), 0);
    EXPECT_EQ(bus.receivedFrames().size(), 16u);
}

// A sensor that answers the probes but not the identification, in either protocol.
class SilentIdentificationTest : public SearchBusTest, public ::testing::WithParamInterface<bool> {};

TEST_P(SilentIdentificationTest, TimesOutAndListsNothing)
{
    StartBus({Sensor(2, 921600)});
    SimFaults faults;
    faults.noIdentAnswer = true;
    bus.setFaults(0, faults);
    if (GetParam())
        SelectModbus();
    SetSearchParameters(QStringLiteral("10"), QStringLiteral("2"));
    ModalCloser closer(form.get());
    ASSERT_TRUE(RunSearch(6000));
    ASSERT_EQ(closer.seen().size(), 1u);
    EXPECT_EQ(closer.seen()[0].text, Timeout);
    EXPECT_GE(closer.seen()[0].atMs, 2000) << "the search's watchdog time, 2 x 10 x 100 ms";
    EXPECT_EQ(form->StatusText(1), Failed);
    ExpectSearchControlsUsable(*form, true);
    EXPECT_EQ(form->ComboBox1->count(), 0);
    EXPECT_TRUE(form->ComboBox1->currentText().isEmpty());
    EXPECT_EQ(form->TabSheet1->ListView1->topLevelItemCount(), 0);
    EXPECT_EQ(form->Bus().Devices().Count(), 1) << "the records stay";
}

INSTANTIATE_TEST_SUITE_P(Protocols, SilentIdentificationTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& param) {
                             return param.param ? "Modbus" : "Standard";
                         });

TEST_F(SearchBusTest, AModbusSearchFindsSensorsAndListsTheirIdentification)
{
    StartBus({Sensor(11, 115200, "MB-ONE", 1001), Sensor(4, 460800, "MB-TWO", 2002)});
    SelectModbus();
    SetSearchParameters(QStringLiteral("10"), QStringLiteral("12"));
    ASSERT_TRUE(RunSearch(8000));
    EXPECT_EQ(form->StatusText(1), Done);
    ExpectSearchControlsUsable(*form, true);
    EXPECT_EQ(AddressItems(), (QStringList{"11", "4"})) << "text order";
    EXPECT_EQ(ListColumn(0), (QStringList{"11", "4"}));
    EXPECT_EQ(ListColumn(1), (QStringList{"115200 бод", "460800 бод"}));
    ASSERT_EQ(ListColumn(2).size(), 2);
    EXPECT_EQ(ListColumn(2).at(0), QStringLiteral("MB-ONE"));
    EXPECT_EQ(ListColumn(2).at(1), QStringLiteral("MB-TWO"));
    EXPECT_EQ(ListColumn(3), (QStringList{"150,000", "150,000"}));
    EXPECT_EQ(ListColumn(5), (QStringList{"1001", "2002"}));
    EXPECT_EQ(bus.receivedFrames().size(), 96u + 2u);
}

TEST_F(SearchBusTest, UnsearchableParametersAreRefusedWithAMessageAndStartNothing)
{
    StartBus({Sensor(1, 115200)});
    struct Case {
        const char* delay;
        const char* range;
        QLineEdit* TSearchPage::*focused;
    };
    const Case cases[] = {
        {"abc", "3", &TSearchPage::Edit1},  {"0", "3", &TSearchPage::Edit1},
        {"-20", "3", &TSearchPage::Edit1},  {"20", "1", &TSearchPage::Edit2},
        {"20", "256", &TSearchPage::Edit2}, {"20", "x", &TSearchPage::Edit2},
    };
    for (const Case& c : cases) {
        const std::string name = std::string(c.delay) + " / " + c.range;
        SetSearchParameters(QString::fromUtf8(c.delay), QString::fromUtf8(c.range));
        form->SetStatusText(1, QStringLiteral("прежний"));
        ModalCloser closer(form.get());
        form->TabSheet1->Button5->click();
        ASSERT_EQ(closer.seen().size(), 1u) << name;
        EXPECT_FALSE(closer.seen()[0].text.isEmpty()) << name;
        EXPECT_EQ(form->focusWidget(), form->TabSheet1->*c.focused) << name;
        EXPECT_EQ(form->StatusText(1), QStringLiteral("прежний")) << name;
        EXPECT_FALSE(form->Bus().Busy()) << name;
        EXPECT_TRUE(form->TabSheet1->Button5->isEnabled()) << name;
        EXPECT_TRUE(form->ComboBox2->isEnabled()) << name;
        EXPECT_TRUE(form->RadioGroup_protocol_obm->isEnabled()) << name;
        EXPECT_TRUE(form->QProgressBar1->isHidden()) << name;
    }
    QTest::qWait(50);
    EXPECT_TRUE(bus.receivedFrames().empty());
}

TEST_F(SearchBusTest, APortThatCannotBeUsedEndsTheSearchWithTheControlsBack)
{
    StartBus({});
    for (const char* port : {"/nonexistent/ttyVELTRANO", "COM0"}) {
        form->ComboBox2->setCurrentText(QString::fromUtf8(port));
        SetSearchParameters(QStringLiteral("10"), QStringLiteral("2"));
        form->TabSheet1->Button5->click();
        EXPECT_EQ(form->StatusText(1), Failed) << port;
        ExpectSearchControlsUsable(*form, false);
    }
}

TEST_F(SearchBusTest, ASearchStartWhileAnOperationRunsDoesNothing)
{
    StartBus({Sensor(1, 57600)});
    SetSearchParameters(QStringLiteral("10"), QStringLiteral("3"));
    form->TabSheet1->Button5->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->Bus().Devices().Count() == 1; }, 3000));
    const TDevice* const found = form->Bus().Devices().At(0);
    form->TabSheet1->Button5Click();
    EXPECT_EQ(form->Bus().Devices().Count(), 1);
    EXPECT_EQ(form->Bus().Devices().At(0), found) << "the records the workers use stay";
    EXPECT_EQ(form->StatusText(1), QStringLiteral("Поиск..."));
    ASSERT_TRUE(WaitIdle(5000));
    EXPECT_EQ(form->StatusText(1), Done);
    EXPECT_EQ(ListColumn(0), QStringList{"1"});
}

} // namespace
