// The traffic monitor on the real window, driver and simulated bus: opened by its key, it shows a
// search's probes and answers, saves them, tells why a report could not be written, and comes
// back where it was left.
#include "SearchFixture.h"
#include "bus/SensorBus.h"
#include "pages/TrafficModel.h"
#include "pages/TrafficMonitor.h"
#include "settings/IniFile.h"
#include "support/FileDialogAnswer.h"
#include "support/ModalBoxCloser.h"
#include "traffic/LinkHealth.h"
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <QToolTip>
#include <QTreeWidget>

namespace {

QString ToolTipAt(QWidget* widget, const QPoint& at)
{
    QToolTip::hideText();
    QHelpEvent help(QEvent::ToolTip, at, widget->mapToGlobal(at));
    QApplication::sendEvent(widget, &help);
    return QToolTip::text();
}

class TrafficMonitorTest : public SearchBusTest {
  protected:
    static constexpr int Address = 0x02;

    // The window over a bus with one sensor, the monitor opened by its key, a search run.
    void OpenAndSearch()
    {
        StartBus({Sensor(Address, 115200, "VLT-A", 11)});
        SetSearchParameters(QStringLiteral("20"), QStringLiteral("3"));
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
        QTest::keyClick(form.get(), Qt::Key_L, Qt::ControlModifier);
        monitor = form->findChild<TTrafficMonitor*>(QStringLiteral("TrafficMonitor"));
        ASSERT_NE(monitor, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(monitor));
        EXPECT_EQ(monitor->windowTitle(), QStringLiteral("Журнал обмена"));
        ASSERT_TRUE(RunSearch(20000));
        monitor->Model().CatchUp();
    }

    // The first row whose cells in the two columns read as given; -1 when none.
    int RowWith(int column1, const QString& text1, int column2, const QString& text2) const
    {
        const TTrafficModel& model = monitor->Model();
        for (int row = 0; row < model.rowCount(); ++row)
            if (model.index(row, column1).data().toString() == text1 &&
                model.index(row, column2).data().toString() == text2)
                return row;
        return -1;
    }

    TTrafficMonitor* monitor = nullptr;
};

TEST_F(TrafficMonitorTest, ShowsTheSearchsProbesAnswersAndLinkHealth)
{
    ASSERT_NO_FATAL_FAILURE(OpenAndSearch());
    EXPECT_GE(RowWith(TrafficColumn::Direction, QStringLiteral("→"), TrafficColumn::Text,
                      QStringLiteral("#02R01.")),
              0)
        << "the probe of the sensor's address";
    EXPECT_GE(
        RowWith(TrafficColumn::Direction, QStringLiteral("←"), TrafficColumn::Address, QStringLiteral("02")),
        0)
        << "the sensor's answer";
    const TTrafficLog& log = form->Bus().Traffic();
    EXPECT_EQ(static_cast<std::size_t>(monitor->Model().rowCount()), log.Size());
    EXPECT_EQ(monitor->LabelCounts->text(),
              QStringLiteral("Кадров: %1, не сохранено старых: 0").arg(log.Size()));
    EXPECT_TRUE(monitor->LabelPort->text().contains(bus.slavePath()))
        << monitor->LabelPort->text().toStdString();

    // The link health: in the monitor's table and in the search list row's tooltip, as it is now.
    const TLinkHealth* const health = form->Bus().Health().Of(Address);
    ASSERT_NE(health, nullptr);
    ASSERT_GE(monitor->TableHealth->rowCount(), 1);
    EXPECT_EQ(monitor->TableHealth->item(0, 0)->text(), QStringLiteral("02"));
    EXPECT_EQ(monitor->TableHealth->item(0, 1)->text(), QString::number(health->Requests));
    QTreeWidget* const list = form->TabSheet1->ListView1;
    ASSERT_EQ(list->topLevelItemCount(), 1);
    const QPoint row = list->visualItemRect(list->topLevelItem(0)).center();
    EXPECT_EQ(ToolTipAt(list->viewport(), row), LinkHealthText(*health));
    EXPECT_TRUE(ToolTipAt(form->ComboBox2, form->ComboBox2->rect().center()).startsWith(bus.slavePath()));

    // Ctrl+C in the table copies the selected rows, a line each.
    monitor->TableTraffic->selectRow(0);
    monitor->TableTraffic->selectionModel()->select(monitor->Model().index(1, 0),
                                                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QApplication::clipboard()->clear();
    QTest::keyClick(monitor->TableTraffic, Qt::Key_C, Qt::ControlModifier);
    const QStringList copied = QApplication::clipboard()->text().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(copied.size(), 2);
    EXPECT_EQ(copied[0], monitor->Model().RowTexts(0).join(QLatin1Char('\t')));

    // The address filter keeps the sensor's frames; clearing empties the table.
    monitor->EditAddress->setText(QStringLiteral("03"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return monitor->Model().Filter().Address == 3; }, 2000));
    EXPECT_EQ(
        RowWith(TrafficColumn::Direction, QStringLiteral("←"), TrafficColumn::Address, QStringLiteral("02")),
        -1);
    EXPECT_GE(RowWith(TrafficColumn::Direction, QStringLiteral("→"), TrafficColumn::Text,
                      QStringLiteral("#03R01.")),
              0);
    monitor->ButtonClear->click();
    EXPECT_EQ(monitor->Model().rowCount(), 0);
    EXPECT_EQ(log.Size(), 0u);
}

TEST_F(TrafficMonitorTest, SavesRowsAsCsvAndWarnsWhenAReportCannotBeWritten)
{
    ASSERT_NO_FATAL_FAILURE(OpenAndSearch());
    const TTrafficLog& log = form->Bus().Traffic();
    const QString csvPath = QDir(work.path()).filePath(QStringLiteral("traffic"));
    {
        FileDialogAnswer answer(csvPath, QStringLiteral("csv"));
        monitor->ButtonSave->click();
    }
    QFile csv(csvPath + QStringLiteral(".csv"));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly)) << "the chosen filter's suffix is added";
    const QString content = QString::fromUtf8(csv.readAll());
    EXPECT_EQ(content.count(QStringLiteral("\r\n")), static_cast<qsizetype>(log.Size()) + 1)
        << "a heading and a row a frame";
    EXPECT_TRUE(content.contains(QStringLiteral("#02R01.")));

    // A file where the report's folder should be: it cannot be written, and the user is told why.
    QFile blocker(QDir(work.path()).filePath(QStringLiteral("blocker")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString reportPath = blocker.fileName() + QStringLiteral("/report.zip");
    ModalBoxCloser closer;
    {
        FileDialogAnswer answer(reportPath, QStringLiteral("zip"));
        monitor->ButtonReport->click();
    }
    ASSERT_EQ(closer.Texts().size(), 1);
    EXPECT_TRUE(closer.Texts().first().contains(QStringLiteral("report.zip")))
        << closer.Texts().first().toStdString();
}

TEST_F(TrafficMonitorTest, ComesBackWhereItWasLeft)
{
    StartBus({Sensor(Address, 115200)});
    form->ButtonTrafficMonitor->click();
    monitor = form->TrafficMonitor();
    ASSERT_NE(monitor, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(monitor));
    monitor->resize(640, 380);
    QTest::qWait(50);
    form->close();
    EXPECT_FALSE(monitor->isVisible()) << "it closes with the program";
    IniFile ini(QDir(work.path()).filePath(QStringLiteral("Settings.ini")));
    ini.Load();
    EXPECT_EQ(ini.ReadInteger(QStringLiteral("TrafficMonitor"), QStringLiteral("Width"), 0), 640);
    EXPECT_EQ(ini.ReadInteger(QStringLiteral("TrafficMonitor"), QStringLiteral("Height"), 0), 380);

    form = std::make_unique<TForm1>(nullptr, SettingsPaths{work.path(), program.path()});
    form->ShowTrafficMonitor();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form->TrafficMonitor()));
    EXPECT_EQ(form->TrafficMonitor()->size(), QSize(640, 380));
}

} // namespace
