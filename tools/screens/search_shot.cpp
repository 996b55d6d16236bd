// The search page after a search of the demonstration bus that reaches every demo sensor.
#include "ShotSupport.h"
#include <QApplication>
#include <QTabWidget>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    ShotSession session(argc, argv);
    session.CloseMessageBoxes();
    session.form().PageControl1->setCurrentWidget(session.form().TabSheet1);
    const bool found = session.SearchDemoBus();
    session.Save(QStringLiteral("search-page"));
    return found ? session.Result() : 1;
}
