// Parameter sets over the demo bus: the page compared with its sensor after two edits, with the
// differing rows marked, and the report of a clone onto every demo sensor.
#include "ShotSupport.h"
#include "bus/SensorBus.h"
#include "pages/CloneDialog.h"
#include <QAction>
#include <QApplication>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    ShotSession session(argc, argv);
    TForm1& form = session.form();
    session.CloseMessageBoxes();
    if (!session.SearchDemoBus())
        return 1;
    TParamsPage& page = *form.TabSheet5;
    form.PageControl1->setCurrentWidget(&page);
    page.Button1->click();
    if (!ShotSession::WaitUntil(
            [&] { return form.StatusText(1) == QStringLiteral("Чтение параметров завершено"); }, 5000)) {
        std::fprintf(stderr, "the parameters were not read\n");
        return 1;
    }
    ShotSession::WaitUntil([&] { return !form.Bus().Busy(); }, 2000);
    page.KGrid1->item(10, 1)->setText(QStringLiteral("2500"));
    page.KGrid1->item(18, 1)->setText(QStringLiteral("16"));
    page.Action_CompareSensor->trigger();
    ShotSession::WaitUntil([&] { return form.StatusText(1).startsWith(QStringLiteral("Сравнение")); }, 5000);
    ShotSession::WaitUntil([&] { return !form.Bus().Busy(); }, 2000);
    ShotSession::Settle(200);
    session.Save(QStringLiteral("paramsets-compare"));

    // The clone dialog runs modal: it is driven from inside its own event loop.
    QTimer drive;
    QObject::connect(&drive, &QTimer::timeout, [&] {
        auto* const dialog = qobject_cast<TCloneDialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible())
            return;
        drive.stop();
        for (int row = 0; row < dialog->CloneSensors->count(); ++row)
            dialog->CloneSensors->item(row)->setCheckState(Qt::Checked);
        dialog->Button_CloneStart->click();
        ShotSession::WaitUntil([&] { return dialog->Button_CloneSave->isEnabled(); }, 30000);
        dialog->CloneReport->resizeColumnsToContents();
        ShotSession::Settle(200);
        session.Save(*dialog, QStringLiteral("paramsets-clone-report"));
        dialog->Button_CloneClose->click();
    });
    drive.start(20);
    page.KGrid1->item(10, 1)->setText(QStringLiteral("1000"));
    page.Action_Clone->trigger();
    return session.Result();
}
