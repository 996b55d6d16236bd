#include "app/PortHint.h"
#include "app/Unit1.h"
#include "bus/SensorBus.h"
#include "convert/Unit_Utils.h"
#include "serial/PortScan.h"
#include "serial/TCommPortDriver.h"
#include "sim/DemoBus.h"
#include <QAbstractItemView>
#include <QComboBox>
#include <QFile>
#include <grp.h>
#include <sys/stat.h>

QString DeniedPortHint(const QString& path)
{
    const QString lead = QStringLiteral("Нет доступа к %1: ").arg(path);
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) == 0 && st.st_gid != 0) {
        if (const group* g = ::getgrgid(st.st_gid))
            return lead + QStringLiteral("добавьте пользователя в группу %1")
                              .arg(QString::fromLocal8Bit(g->gr_name));
    }
    return lead + QStringLiteral("недостаточно прав");
}

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
    settings_->SetPort(ComboBox2->currentText());
}

bool TForm1::SetComPortSpeed(int Speed)
{
    return bus_->SetLineSpeed(Speed);
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

TMonitorPort TForm1::ChosenPort() const
{
    TMonitorPort port;
    port.Name = ComboBox2->currentText().trimmed();
    port.Demo = port.Name == DemoPortName;
    if (port.Demo) {
        port.Path = demoBus_ && demoBus_->isRunning() ? demoBus_->slavePath() : QString();
        return port;
    }
    try {
        port.Path = ::ChoiceCOM(port.Name);
    } catch (const EConvertError&) {
        // A name that is no port has no adapter to tell of.
    }
    return port;
}

TMonitorPort TForm1::PortInUse() const
{
    if (!CommPortDriver1->Connected())
        return ChosenPort();
    TMonitorPort port;
    port.Path = CommPortDriver1->ComPort();
    port.Demo = demoBus_ && demoBus_->isRunning() && demoBus_->slavePath() == port.Path;
    port.Name = port.Demo ? DemoPortName : port.Path;
    return port;
}
