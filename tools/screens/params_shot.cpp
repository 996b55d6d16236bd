// The parameters page over the demo bus after a read of sensor 1, and the same page with the
// drop-down editor of the line speed open.
#include "ShotSupport.h"
#include "bus/SensorBus.h"
#include "protocol/DeviceList.h"
#include "protocol/DeviceUnit.h"
#include "serial/TCommPortDriver.h"
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    ShotSession session(argc, argv);
    TForm1& form = session.form();
    session.CloseMessageBoxes();
    if (!session.SearchDemoBus())
        return 1;
    form.PageControl1->setCurrentWidget(form.TabSheet5);
    form.TabSheet5->Button1->click();
    if (!ShotSession::WaitUntil(
            [&] { return form.StatusText(1) == QStringLiteral("Чтение параметров завершено"); }, 5000)) {
        std::fprintf(stderr, "the parameters were not read\n");
        return 1;
    }
    ShotSession::WaitUntil([&] { return !form.Bus().Busy(); }, 2000);
    ShotSession::Settle(200);
    session.Save(QStringLiteral("params-page"));

    // The line speed's drop-down, open over the grid.
    form.TabSheet5->KGrid1->setFocus();
    form.TabSheet5->KGrid1->setCurrentCell(6, 1);
    ShotSession::Settle(100);
    if (auto* combo = qobject_cast<QComboBox*>(
            form.TabSheet5->KGrid1->indexWidget(form.TabSheet5->KGrid1->model()->index(6, 1)))) {
        combo->showPopup();
        ShotSession::Settle(300);
    }
    session.Save(QStringLiteral("params-page-editor"));
    // A popup is a window of its own: it is saved from the screen with the window beneath it.
    if (QWidget* popup = QApplication::activePopupWidget())
        session.Save(*popup, QStringLiteral("params-page-editor-list"));

    form.TabSheet5->KGrid1->setCurrentCell(7, 1);
    ShotSession::Settle(200);
    session.Save(QStringLiteral("params-page-line-editor"));
    return session.Result();
}
