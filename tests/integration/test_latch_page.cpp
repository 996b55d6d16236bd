#include "BusFormFixture.h"
#include "bus/SensorBus.h"
#include "pages/LatchExport.h"
#include "protocol/DeviceList.h"
#include "protocol/DeviceUnit.h"
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QUrl>
#include <utility>

namespace {

const QString Blanks4 = QStringLiteral("    ");
const QRegularExpression TimeCell(QStringLiteral("^    \\d\\d:\\d\\d:\\d\\d$"));

struct HeardFrame {
    QByteArray bytes;
    int speed;
    bool operator==(const HeardFrame&) const = default;
};

void PrintTo(const HeardFrame& f, std::ostream* os)
{
    *os << f.bytes.toHex(' ').constData() << " at " << f.speed;
}

struct BusSensor {
    int address;
    int speed;
    std::uint16_t value;
};

class LatchPageTest : public BusFormTest {
  protected:
    void SetUp() override
    {
        BusFormTest::SetUp();
        if (HasFatalFailure())
            return;
        // The simulated bus takes a frame's speed from the line when its thread reads it; on a
        // busy machine that can be later than the shortest pause, after the next switch.
        form->Bus().SetProbeDelay(100);
        form->TabSheet3->OpenDocument = [this](const QUrl& url) {
            opened.push_back(url);
            return openResult;
        };
    }

    // Replaces the fixture's record by sensors on the bus as a search would have found them, and
    // chooses the one with address `selected` as the user does.
    void UseSensors(const std::vector<BusSensor>& sensors, int selected)
    {
        form->Bus().Devices().Clear();
        form->ComboBox1->clear();
        for (const BusSensor& s : sensors) {
            SimSensorConfig config;
            config.address = s.address;
            config.speed = s.speed;
            config.range = 250.0;
            config.mode = SimMeasureMode::Fixed;
            config.value = s.value;
            busSensors.push_back(bus.addSensor(config));
            ASSERT_GE(busSensors.back(), 0);
            TDevice* const device = form->Bus().Devices().Append(
                QByteArray::number(s.address, 16).toUpper().rightJustified(2, '0'), s.speed);
            ASSERT_NE(device, nullptr);
            device->ID_D = 250.0;
            form->AddAddressItem(QString::number(s.address));
        }
        form->TabSheet5->ParamsLoaded.assign(sensors.size(), false);
        form->ComboBox1->setCurrentIndex(form->ComboBox1->findText(QString::number(selected)));
        form->ComboBox1Change();
        ASSERT_EQ(form->ComboBox1->currentText(), QString::number(selected));
    }

    // The frames the bus took from the program, with the line speed each travelled at.
    std::vector<HeardFrame> HeardAt() const
    {
        std::vector<HeardFrame> heard;
        for (const SimFrameRecord& r : bus.frames())
            if (r.direction == SimFrameRecord::Direction::Received)
                heard.push_back({r.bytes, r.speed});
        return heard;
    }

    void ExpectLatchAllRow(int row) const
    {
        EXPECT_EQ(LatchCell(row, 0), Blanks4 + QString::number(row));
        EXPECT_EQ(LatchCell(row, 1), Blanks4);
        EXPECT_TRUE(TimeCell.match(LatchCell(row, 2)).hasMatch()) << LatchCell(row, 2).toStdString();
        EXPECT_EQ(LatchCell(row, 3), QStringLiteral("           Защёлкнуты все"));
        EXPECT_EQ(LatchCell(row, 4), QString());
        EXPECT_EQ(LatchCell(row, 5), QString());
        EXPECT_EQ(form->StatusText(1), QStringLiteral("Результаты защёлкнуты"));
    }

    QString ProgramFile(const QString& name) const { return QDir(program.path()).filePath(name); }

    std::vector<int> busSensors;
    std::vector<QUrl> opened;
    bool openResult = true;
};

TEST_F(LatchPageTest, LatchAllBroadcastsOncePerSpeedAscendingThenReturnsToTheChosenSensor)
{
    UseSensors({{0x02, 19200, 4000}, {0x01, 9600, 2000}, {0x03, 19200, 6000}}, 0x01);
    bus.clearLog();
    form->TabSheet3->Button_LatchAll->click();
    ASSERT_TRUE(WaitFor([&] { return form->TabSheet3->CountRowTable == 1; }));
    ASSERT_TRUE(WaitFor([&] { return HeardAt().size() >= 2; }));
    EXPECT_EQ(HeardAt(), (std::vector<HeardFrame>{{"#00FX\r", 9600}, {"#00FX\r", 19200}}));
    EXPECT_EQ(bus.lineSpeed(), 9600);
    EXPECT_EQ(form->SearchOrder().Column, 1);
    EXPECT_TRUE(WaitIdle());
    for (std::size_t i = 0; i < busSensors.size(); ++i)
        EXPECT_EQ(bus.status(busSensors[i]).latched, (std::vector<int>{4000, 2000, 6000}[i])) << i;
    ExpectLatchAllRow(1);
}

TEST_F(LatchPageTest, LatchAllOnOneSpeedBroadcastsOnceWithoutSwitching)
{
    UseSensors({{0x02, 19200, 4000}, {0x03, 19200, 6000}}, 0x03);
    bus.clearLog();
    form->TabSheet3->Button_LatchAll->click();
    ASSERT_TRUE(WaitFor([&] { return form->TabSheet3->CountRowTable == 1; }));
    ASSERT_TRUE(WaitFor([&] { return !HeardAt().empty(); }));
    EXPECT_EQ(HeardAt(), (std::vector<HeardFrame>{{"#00FX\r", 19200}}));
    EXPECT_EQ(bus.status(busSensors[0]).latched, 4000);
    EXPECT_EQ(bus.status(busSensors[1]).latched, 6000);
    ExpectLatchAllRow(1);
}

TEST_F(LatchPageTest, LatchAllHoldsTheLauncherThroughItsPauses)
{
    UseSensors({{0x01, 9600, 2000}, {0x02, 19200, 4000}}, 0x02);
    form->Bus().SetProbeDelay(200);
    bus.clearLog();
    form->TabSheet3->Button_LatchAll->click();
    form->TabSheet3->Button9->click();
    form->TabSheet3->Button_LatchAll->click();
    ASSERT_TRUE(WaitFor([&] { return form->TabSheet3->CountRowTable >= 1; }));
    QTest::qWait(150);
    EXPECT_EQ(form->TabSheet3->CountRowTable, 1) << "a click during the run starts nothing";
    EXPECT_EQ(HeardAt(), (std::vector<HeardFrame>{{"#00FX\r", 9600}, {"#00FX\r", 19200}}));
    EXPECT_TRUE(WaitIdle());
}

TEST_F(LatchPageTest, ReadAllAfterLatchAllReadsEverySensorAtItsOwnSpeedInListOrder)
{
    UseSensors({{0x01, 9600, 2000}, {0x02, 19200, 4000}, {0x03, 115200, 6000}}, 0x01);
    form->TabSheet3->Button_LatchAll->click();
    ASSERT_TRUE(WaitFor([&] { return form->TabSheet3->CountRowTable == 1; }));
    bus.clearLog();
    form->TabSheet3->Button_ReadAllLanch->click();
    ASSERT_TRUE(WaitFor([&] { return form->TabSheet3->CountRowTable == 4; }, 5000));
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(HeardAt(),
              (std::vector<HeardFrame>{{"#01FR\r", 9600}, {"#02FR\r", 19200}, {"#03FR\r", 115200}}));
    const char* const values[] = {"               10,00", "               20,00", "               30,00"};
    for (int sensorRow = 1; sensorRow <= 3; ++sensorRow) {
        const int row = sensorRow + 1;
        EXPECT_EQ(LatchCell(row, 0), Blanks4 + QString::number(row));
        EXPECT_EQ(LatchCell(row, 1), Blanks4 + QString::number(sensorRow));
        EXPECT_EQ(LatchCell(row, 3), QString());
        EXPECT_EQ(LatchCell(row, 4), QString::fromUtf8(values[sensorRow - 1]));
        EXPECT_EQ(LatchCell(row, 5), QString());
    }
    EXPECT_EQ(bus.lineSpeed(), 9600) << "back at the chosen sensor's speed";
    EXPECT_EQ(form->StatusText(1), QStringLiteral("Результат прочитан из защёлки"));
}

TEST_F(LatchPageTest, ReadAllStoppedByTheWatchdogStillReturnsToTheChosenSpeed)
{
    UseSensors({{0x01, 9600, 2000}, {0x02, 19200, 4000}}, 0x01);
    SimFaults faults;
    faults.noAnswer = true;
    bus.setFaults(busSensors[1], faults);
    form->Bus().SetWatchdogTime(600);
    ModalCloser closer(form.get());
    form->TabSheet3->Button_ReadAllLanch->click();
    ASSERT_TRUE(WaitFor([&] { return !closer.seen().empty(); }));
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(form->TabSheet3->CountRowTable, 1) << "no row for the sensor that did not answer";
    ASSERT_TRUE(WaitFor([&] { return bus.lineSpeed() == 9600; }));
}

TEST_F(LatchPageTest, ClearRestartsTheNumberingAndLeavesOneEmptyRow)
{
    for (int i = 0; i < 5; ++i)
        form->TabSheet3->AddLatchRow(26, LatchReadColumn, QStringLiteral("               1,00"));
    ASSERT_EQ(form->TabSheet3->StringGrid1->rowCount(), 5);
    form->TabSheet3->Button_ClearTable->click();
    EXPECT_EQ(form->TabSheet3->CountRowTable, 0);
    EXPECT_EQ(form->TabSheet3->StringGrid1->rowCount(), 1) << "header and one empty row";
    for (int column = 0; column < 6; ++column)
        EXPECT_EQ(LatchCell(1, column), QString()) << column;
    EXPECT_EQ(form->TabSheet3->StringGrid1->horizontalHeaderItem(3)->text(),
              QStringLiteral("       Результат защёлкнут"));

    form->TabSheet3->Button9->click();
    ASSERT_TRUE(WaitFor([&] { return form->TabSheet3->CountRowTable == 1; }));
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(form->TabSheet3->StringGrid1->rowCount(), 1);
    EXPECT_EQ(LatchCell(1, 0), QStringLiteral("    1"));
    EXPECT_EQ(LatchCell(1, 3), QStringLiteral("               Защёлкнут"));
}

TEST_F(LatchPageTest, TextExportWritesTheTableAndOpensIt)
{
    const QString header =
        QStringLiteral("Счётчик;Адрес;Время;Результат защёлкнут;Считанный из защёлки;Считанный результат;");
    const QString path = ProgramFile(ReportFileName);
    form->TabSheet3->BitBtn_TXT->click();
    QFile fresh(path);
    ASSERT_TRUE(fresh.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(fresh.readAll()), header + QStringLiteral("\r\n;;;;;;\r\n"));
    fresh.close();
    ASSERT_EQ(opened, std::vector<QUrl>{QUrl::fromLocalFile(path)});

    form->TabSheet3->Button9->click();
    ASSERT_TRUE(WaitFor([&] { return form->TabSheet3->CountRowTable == 1; }));
    ASSERT_TRUE(WaitIdle());
    form->TabSheet3->BitBtn_TXT->click();
    QFile latched(path);
    ASSERT_TRUE(latched.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(latched.readAll()).split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.size(), 3) << "two lines, each ended by CR LF";
    EXPECT_EQ(lines[0], header);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^1;26;\\d\\d:\\d\\d:\\d\\d;Защёлкнут;;;$"))
                    .match(lines[1])
                    .hasMatch())
        << lines[1].toStdString();
    EXPECT_EQ(opened.size(), 2u);
}

TEST_F(LatchPageTest, ExportThatCannotBeWrittenIsReportedAndOpensNothing)
{
    struct Case {
        QPushButton* TLatchPage::*button;
        QString file;
        QString message;
    };
    const Case cases[] = {
        {&TLatchPage::BitBtn_TXT, ReportFileName, QStringLiteral("Ошибка записи файла Report.txt")},
        {&TLatchPage::BitBtn_Excel, WorkbookFileName, QStringLiteral("Ошибка создания таблицы в Excel!")},
    };
    for (const Case& c : cases) {
        // A folder in the file's place: nothing can be written there, and no older file exists
        // that the viewer could show instead.
        ASSERT_TRUE(QDir(program.path()).mkdir(c.file));
        ModalCloser closer(form.get());
        (form->TabSheet3->*c.button)->click();
        ASSERT_EQ(closer.seen().size(), 1u) << c.file.toStdString();
        EXPECT_EQ(closer.seen()[0].text, c.message);
        EXPECT_EQ(closer.seen()[0].caption, QStringLiteral("Ошибка"));
        EXPECT_TRUE(opened.empty()) << c.file.toStdString();
    }
}

TEST_F(LatchPageTest, SpreadsheetExportOpensTheNewWorkbookOrSaysNoApplicationTookIt)
{
    const QString path = ProgramFile(WorkbookFileName);
    form->TabSheet3->BitBtn_Excel->click();
    EXPECT_TRUE(QFile::exists(path));
    EXPECT_EQ(opened, std::vector<QUrl>{QUrl::fromLocalFile(path)});

    openResult = false;
    ModalCloser closer(form.get());
    form->TabSheet3->BitBtn_Excel->click();
    ASSERT_EQ(closer.seen().size(), 1u);
    EXPECT_EQ(closer.seen()[0].text, QStringLiteral("Невозможно запустить Excel"));
}

TEST_F(LatchPageTest, ModbusLatchReadAndLatchAllAddTheirRows)
{
    SelectModbus();
    struct Case {
        QPushButton* TLatchPage::*button;
        QByteArray frame;
        int column;
        const char* cell;
        const char* status;
    };
    const Case cases[] = {
        {&TLatchPage::Button9, QByteArray::fromHex("1a0600bc4658"), 3, "               Защёлкнут",
         "Результат защёлкнут"},
        {&TLatchPage::Button10, QByteArray::fromHex("1a0301000001861d"), 4, "               125,00",
         "Результат прочитан из защёлки"},
        {&TLatchPage::Button11, QByteArray::fromHex("1a0301010001d7dd"), 5, "               125,00",
         "Последний результат прочитан"},
        {&TLatchPage::Button_ReadAllLanch, QByteArray::fromHex("1a0301000001861d"), 4,
         "               125,00", "Результат прочитан из защёлки"},
        {&TLatchPage::Button_LatchAll, QByteArray::fromHex("000600bc46587a65"), 3,
         "           Защёлкнуты все", "Результаты защёлкнуты"},
    };
    int row = 0;
    for (const Case& c : cases) {
        ++row;
        bus.clearLog();
        (form->TabSheet3->*c.button)->click();
        ASSERT_TRUE(WaitFor([&] { return form->TabSheet3->CountRowTable == row; }))
            << c.frame.toHex().constData();
        ASSERT_TRUE(WaitIdle());
        ASSERT_TRUE(WaitFor([&] { return !Heard().empty(); }));
        ASSERT_EQ(Heard().size(), 1u);
        EXPECT_TRUE(Heard()[0].startsWith(c.frame)) << Heard()[0].toHex(' ').constData();
        EXPECT_EQ(form->StatusText(1), QString::fromUtf8(c.status));
        EXPECT_EQ(LatchCell(row, 1),
                  c.button == &TLatchPage::Button_LatchAll ? Blanks4 : QStringLiteral("    26"));
        for (int column = 3; column <= 5; ++column)
            EXPECT_EQ(LatchCell(row, column), column == c.column ? QString::fromUtf8(c.cell) : QString())
                << "row " << row << ", column " << column;
    }
}

} // namespace
