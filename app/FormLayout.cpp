#include "app/Unit1.h"
#include "pages/LatchPage.h"
#include "pages/ParamsPage.h"
#include "pages/SearchPage.h"
#include "pages/StreamPage.h"
#include "widgets/ProgressBar.h"
#include "widgets/StatusPanels.h"
#include <QComboBox>
#include <QEvent>
#include <QHelpEvent>
#include <QTabWidget>
#include <QToolTip>

void TForm1::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    FormResize();
}

// The cover is a child of the window and moves with it; placing it again keeps it exact should
// the window's own layout shift on a move (a screen with another scale).
void TForm1::moveEvent(QMoveEvent* event)
{
    QMainWindow::moveEvent(event);
    TabSheet2Resize();
}

bool TForm1::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == TabSheet2 && event->type() == QEvent::Resize)
        TabSheet2Resize();
    if (watched == ComboBox2 && event->type() == QEvent::ToolTip) {
        QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), PortDescription(ChosenPort()),
                           ComboBox2);
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

// The window's own size stands for the outer size in every rule: the frame belongs to the
// window manager here, differs between desktops and is unknown before the window is shown.
void TForm1::FormResize()
{
    if (FormCreating)
        return;
    const int W = width();
    const int H = height();
    const int CW = width();
    const int CH = height();

    PageControl1->resize(W - 6, H - (StatusBar1->height() + 75));
    TabSheet2->Layout(W, H);
    StatusBar1->SetPanelWidth(2, CW - (StatusBar1->PanelWidth(0) + StatusBar1->PanelWidth(1) + 210));
    const int left = StatusBar1->PanelWidth(0) + StatusBar1->PanelWidth(1) + StatusBar1->PanelWidth(2);
    QProgressBar1->setGeometry(left, CH - QProgressBar1->height(), CW - left, QProgressBar1->height());
    QProgressBar1->raise();
    TabSheet3->Layout(W, H);
    TabSheet5->Layout(W, H);
    TabSheet1->Layout(W, H);
    TabSheet2Resize();
}
