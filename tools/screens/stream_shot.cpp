// The stream page over the demo bus: a running stream, the same with the measuring tools at work
// (statistics between two cursors, the histogram, the time axis), then the stopped chart zoomed
// with the mouse.
#include "ShotSupport.h"
#include "bus/SensorBus.h"
#include "pages/StreamChart.h"
#include "pages/StreamTools.h"
#include "protocol/DeviceList.h"
#include "protocol/DeviceUnit.h"
#include "serial/TCommPortDriver.h"
#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <qcustomplot.h>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    ShotSession session(argc, argv);
    TForm1& form = session.form();
    session.CloseMessageBoxes();

    // The first demo sensor runs at 115200 baud and measures up to 250 mm.
    if (!session.SearchDemoBus())
        return 1;
    form.PageControl1->setCurrentWidget(form.TabSheet2);
    ShotSession::Settle();

    form.TabSheet2->Button6->click();
    ShotSession::WaitUntil([&] { return form.TabSheet2->StreamChart().Count() >= 80; }, 20000);
    form.TabSheet2->StreamChart().ReplotNow();
    ShotSession::Settle(100);
    session.Save(QStringLiteral("stream-running"));

    TStreamTools& tools = form.TabSheet2->StreamTools();
    tools.CheckBoxHistogram->setChecked(true);
    tools.CheckBoxTimeAxis->setChecked(true);
    ShotSession::WaitUntil([&] { return form.TabSheet2->StreamChart().Count() >= 400; }, 20000);
    tools.ButtonStreamPause->click();
    form.TabSheet2->StreamChart().ReplotNow();
    const QRect area = form.TabSheet2->StreamChart().PlotRect();
    QTest::mouseClick(form.TabSheet2->Chart1, Qt::LeftButton, Qt::ControlModifier,
                      QPoint(area.left() + area.width() / 5, area.center().y()));
    QTest::mouseClick(form.TabSheet2->Chart1, Qt::RightButton, Qt::ControlModifier,
                      QPoint(area.left() + area.width() * 3 / 5, area.center().y()));
    tools.RefreshNow();
    form.TabSheet2->StreamChart().ReplotNow();
    ShotSession::Settle(100);
    session.Save(QStringLiteral("stream-tools"));
    tools.ButtonStreamPause->click();
    tools.CheckBoxTimeAxis->setChecked(false);
    tools.CheckBoxHistogram->setChecked(false);

    form.TabSheet2->Button7->click();
    ShotSession::WaitUntil([&] { return !form.Bus().StreamRunning(); }, 8000);
    ShotSession::Settle();
    const QRect plot = form.TabSheet2->StreamChart().PlotRect();
    const QPoint from(plot.left() + plot.width() / 4, plot.top() + plot.height() / 5);
    const QPoint to(plot.left() + plot.width() * 3 / 4, plot.top() + plot.height() * 4 / 5);
    QTest::mousePress(form.TabSheet2->Chart1, Qt::LeftButton, Qt::NoModifier, from);
    QTest::mouseMove(form.TabSheet2->Chart1, to);
    QTest::mouseRelease(form.TabSheet2->Chart1, Qt::LeftButton, Qt::NoModifier, to);
    form.TabSheet2->StreamChart().ReplotNow();
    ShotSession::Settle();
    session.Save(QStringLiteral("stream-zoomed"));
    return session.Result();
}
