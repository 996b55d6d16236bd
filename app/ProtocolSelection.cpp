#include "app/Overlay.h"
#include "app/Unit1.h"
#include "bus/SensorBus.h"
#include "pages/StreamPage.h"
#include "widgets/RadioGroup.h"
#include <QTabWidget>

void TForm1::RadioGroup_protocol_obmClick()
{
    const int index = RadioGroup_protocol_obm->ItemIndex();
    bus_->SetProtocol(index == 1 ? TProtocol::Modbus : TProtocol::Standard);
    if (index == 1) {
        TabSheet2->setEnabled(false);
        if (PageControl1->currentWidget() == TabSheet2)
            ShowSplash();
    } else {
        TabSheet2->setEnabled(true);
        HideSplash();
    }
    settings_->SetProtocol(index);
}

void TForm1::ShowSplash()
{
    if (!splash)
        return;
    splash->show();
    PlaceSplash();
    // Focus left on a covered control would still take keys; the page tabs take it instead.
    if (QWidget* focus = focusWidget(); focus && TabSheet2->isAncestorOf(focus))
        PageControl1->setFocus();
    activateWindow();
}

void TForm1::HideSplash()
{
    if (splash)
        splash->hide();
}

void TForm1::TabSheet2Resize()
{
    if (splash && splash->isVisible())
        PlaceSplash();
}

// The cover takes the whole stream page: a cover shrunk by the page's offsets inside the page
// control would leave a strip of the page uncovered and its controls reachable.
void TForm1::PlaceSplash()
{
    splash->setGeometry(QRect(TabSheet2->mapTo(this, QPoint(0, 0)), TabSheet2->size()));
    splash->raise();
}
