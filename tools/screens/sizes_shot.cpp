// Each page over the demo bus, after a search, a read of the parameters, a short stream and two
// latches, at the smallest window and at 1920 x 1080: every caption should read in full in both.
#include "ShotSupport.h"
#include "bus/SensorBus.h"
#include <QApplication>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    ShotSession session(argc, argv);
    TForm1& form = session.form();
    session.CloseMessageBoxes();
    if (!session.SearchDemoBus())
        return 1;
    const auto idle = [&] { return ShotSession::WaitUntil([&] { return !form.Bus().Busy(); }, 5000); };
    form.PageControl1->setCurrentWidget(form.TabSheet5);
    form.TabSheet5->Button1->click();
    idle();
    form.PageControl1->setCurrentWidget(form.TabSheet2);
    form.TabSheet2->Button6->click();
    ShotSession::Settle(1500);
    form.TabSheet2->Button7->click();
    ShotSession::WaitUntil([&] { return form.StatusText(1) == QStringLiteral("Поток остановлен"); }, 6000);
    form.PageControl1->setCurrentWidget(form.TabSheet3);
    form.TabSheet3->Button9->click();
    idle();
    form.TabSheet3->Button11->click();
    idle();

    for (const QSize size : {form.minimumSize(), QSize(1920, 1080)}) {
        form.resize(size);
        if (!ShotSession::WaitUntil([&] { return form.size() == size; }, 3000))
            std::fprintf(stderr, "the window did not take %dx%d\n", size.width(), size.height());
        const QString prefix = QStringLiteral("size-%1x%2-").arg(size.width()).arg(size.height());
        int number = 0;
        for (QWidget* page : std::initializer_list<QWidget*>{form.TabSheet1, form.TabSheet5, form.TabSheet2,
                                                             form.TabSheet3}) {
            form.PageControl1->setCurrentWidget(page);
            ShotSession::Settle(200);
            session.Save(prefix + QString::number(++number) + QLatin1Char('-') + page->objectName());
        }
    }
    return session.Result();
}
