// The latch page over the demo bus after a few latches and reads, and the workbook and text
// file its two exports write (copied beside the pictures for a look in other programs).
#include "ShotSupport.h"
#include "bus/SensorBus.h"
#include "pages/LatchExport.h"
#include "protocol/DeviceList.h"
#include "protocol/DeviceUnit.h"
#include "serial/TCommPortDriver.h"
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTabWidget>
#include <QUrl>
#include <cstdio>

namespace {

bool Press(QPushButton* button, int rows, TForm1& form)
{
    button->click();
    return ShotSession::WaitUntil([&] { return form.TabSheet3->CountRowTable >= rows && !form.Bus().Busy(); },
                                  5000);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    ShotSession session(argc, argv);
    TForm1& form = session.form();
    session.CloseMessageBoxes();
    if (!session.SearchDemoBus())
        return 1;
    form.PageControl1->setCurrentWidget(form.TabSheet3);
    int rows = 0;
    for (QPushButton* button : {form.TabSheet3->Button9, form.TabSheet3->Button10, form.TabSheet3->Button11,
                                form.TabSheet3->Button_LatchAll})
        Press(button, ++rows, form);
    rows += 3;
    Press(form.TabSheet3->Button_ReadAllLanch, rows, form);
    ShotSession::Settle(200);
    session.Save(QStringLiteral("latch-page"));

    // Both exports, kept instead of opened.
    form.TabSheet3->OpenDocument = [](const QUrl&) { return true; };
    form.TabSheet3->BitBtn_Excel->click();
    form.TabSheet3->BitBtn_TXT->click();
    const QDir programDir(form.Paths().ProgramDir);
    const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("."));
    for (const QString& name : {WorkbookFileName, ReportFileName}) {
        QFile::remove(out.filePath(QStringLiteral("latch-") + name));
        if (!QFile::copy(programDir.filePath(name), out.filePath(QStringLiteral("latch-") + name)))
            std::fprintf(stderr, "NOT copied %s\n", qPrintable(name));
    }
    return session.Result();
}
