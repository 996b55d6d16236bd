// The search page after a search of the demonstration bus that reaches every demo sensor.
#include "ShotSupport.h"
#include "app/Unit1.h"
#include "protocol/LinkState.h"
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    ShotSession session(argc, argv);
    TForm1& form = session.form();
    session.CloseMessageBoxes();
    session.ChooseDemoPort();
    form.PageControl1->setCurrentWidget(form.TabSheet1);
    // The highest demo address is 26.
    form.Edit1->setText(QStringLiteral("20"));
    form.Edit2->setText(QStringLiteral("26"));
    form.Button5->click();
    const bool done = ShotSession::WaitUntil(
        [&] {
            return !OperationRunning.load() &&
                   form.StatusText(1).startsWith(QStringLiteral("Поиск завершён"));
        },
        60000);
    ShotSession::Settle();
    session.Save(QStringLiteral("search-page"));
    return done ? session.Result() : 1;
}
