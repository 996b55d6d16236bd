#include "app/Unit1.h"
#include "app/Unit_Utils.h"
#include "sim/DemoBus.h"
#include "serial/PortScan.h"
#include "serial/TCommPortDriver.h"
#include <QAbstractItemView>
#include <QComboBox>

void TForm1::FindCom()
{
    const PortScanResult scan = ScanSerialPorts();
    ComboBox2->clear();
    ComboBox2->addItems(scan.ports);
    // Always offered, after the real ports, so the program can be tried without hardware.
    ComboBox2->addItem(DemoPortName);
    if (ComboBox2->count() > 0)
        ComboBox2->setCurrentIndex(0);
    // A list view that keeps the longest path readable although the box itself is narrow.
    ComboBox2->view()->setMinimumWidth(ComboBox2->view()->sizeHintForColumn(0) + 8);
    ReportDeniedPorts(scan.denied);
}

// A port the user may not open is the usual first-day problem on Linux: say once which
// device it is and which group grants it.
void TForm1::ReportDeniedPorts(const QStringList& denied)
{
    if (denied.isEmpty() || deniedPortsReported_)
        return;
    deniedPortsReported_ = true;
    QString text = DeniedPortHint(denied.first());
    if (denied.size() > 1)
        text += QStringLiteral(" (и ещё портов: %1)").arg(denied.size() - 1);
    SetStatusText(1, text);
}

void TForm1::ComboBox2Change()
{
    WriteSetting(settings::MainForm, settings::ComPort, ComboBox2->currentText());
}

bool TForm1::SetComPortSpeed(int Speed)
{
    return ::SetComPortSpeed(*CommPortDriver1, Speed);
}

QString TForm1::ChoiceCOM(const QString& ComName)
{
    if (ComName.trimmed() != DemoPortName)
        return ::ChoiceCOM(ComName);
    if (!demoBus_)
        demoBus_ = std::make_unique<SimDemoBus>();
    if (!demoBus_->isRunning()) {
        QString error;
        if (!demoBus_->start(&error))
            throw EConvertError(error.toStdString());
    }
    return demoBus_->slavePath();
}
