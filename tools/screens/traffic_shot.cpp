// The traffic monitor beside the window over the demo bus: during a search, with probes going out
// and the first answers, and during a stream, its groups following each other.
#include "ShotSupport.h"
#include "bus/SensorBus.h"
#include "pages/StreamChart.h"
#include "pages/TrafficModel.h"
#include "pages/TrafficMonitor.h"
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    ShotSession session(argc, argv);
    TForm1& form = session.form();
    session.CloseMessageBoxes();

    form.ShowTrafficMonitor();
    TTrafficMonitor& monitor = *form.TrafficMonitor();
    monitor.resize(1100, 620);
    ShotSession::Settle();

    session.ChooseDemoPort();
    form.TabSheet1->Edit1->setText(QStringLiteral("20"));
    form.TabSheet1->Edit2->setText(QStringLiteral("26"));
    form.TabSheet1->Button5->click();
    // Far enough into the passes that the first demo sensors have answered.
    const auto answers = [&] {
        int count = 0;
        for (int row = 0; row < monitor.Model().rowCount(); ++row)
            count +=
                monitor.Model().index(row, TrafficColumn::Direction).data().toString() == QStringLiteral("←");
        return count;
    };
    ShotSession::WaitUntil([&] { return answers() >= 3 || !form.Bus().Busy(); }, 30000);
    session.Save(monitor, QStringLiteral("traffic-search"));
    const bool found = ShotSession::WaitUntil(
        [&] { return !form.Bus().Busy() && form.StatusText(1) == QStringLiteral("Поиск завершён"); }, 60000);
    if (!found)
        return 1;
    form.ComboBox1->setCurrentIndex(0);
    form.ComboBox1Change();

    form.PageControl1->setCurrentWidget(form.TabSheet2);
    ShotSession::Settle();
    form.TabSheet2->Button6->click();
    ShotSession::WaitUntil([&] { return form.TabSheet2->StreamChart().Count() >= 200; }, 20000);
    monitor.Open();
    ShotSession::Settle(400);
    session.Save(monitor, QStringLiteral("traffic-stream"));
    form.TabSheet2->Button7->click();
    ShotSession::WaitUntil([&] { return !form.Bus().StreamRunning(); }, 8000);
    return session.Result();
}
