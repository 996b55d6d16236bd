// What the bus reports, as the window shows it: status texts, latch-table rows, the stream chart
// and the reception errors.
#include "app/Unit1.h"
#include "bus/SensorBus.h"
#include "pages/ModbusTexts.h"
#include "pages/ReplyTexts.h"
#include "pages/ResultText.h"
#include "pages/StreamRecorder.h"
#include "protocol/DeviceUnit.h"
#include "widgets/StreamChart.h"
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QTabWidget>
#include <QTableWidget>
#include <QTime>
#include <QTimer>
#include <qcustomplot.h>

namespace {
// Latch-table cells begin with four blanks.
const QString CellIndent = QStringLiteral("    ");

void SetCell(QTableWidget& table, int row, int column, const QString& text)
{
    if (QTableWidgetItem* const item = table.item(row, column))
        item->setText(text);
    else
        table.setItem(row, column, new QTableWidgetItem(text));
}

QString Text(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

// The latch-table cell of a result read back, in the form of the protocol it came in.
QString ResultCell(TProtocol protocol, TLatchColumn column, const TResultField& result, double range)
{
    return protocol == TProtocol::Modbus ? ModbusResultText(column, result.Raw, range)
                                         : LatchResultText(column, result, range);
}
} // namespace

void TForm1::WireLink()
{
    // Its interval is the time the user is told of; a coarse timer may fire 5 % early.
    Timer3->setTimerType(Qt::PreciseTimer);
    connect(Timer3, &QTimer::timeout, this, &TForm1::Timer3Timer);
    connect(Timer2, &QTimer::timeout, this, &TForm1::Timer2Timer);
    connect(bus_, &TSensorBus::SensorReplied, this, &TForm1::OnSensorReplied);
    connect(bus_, &TSensorBus::StreamSamples, this, &TForm1::OnStreamSamples);
    connect(bus_, &TSensorBus::ReceiveError, this, &TForm1::OnReceiveError);
    connect(bus_, &TSensorBus::Progress, this, &TForm1::OnProgress);
    connect(bus_, &TSensorBus::SearchProgress, this, &TForm1::OnSearchProgress);
    connect(bus_, &TSensorBus::SearchPassesDone, this, &TForm1::NextSpeedStep);
    connect(bus_, &TSensorBus::OperationFinished, this, &TForm1::LaunchTreadOnTerminate);
}

void TForm1::OnSensorReplied(TDevice* device, const TReplyNote& note)
{
    const int address = device->AddressNumber();
    switch (note.Event) {
    case TReplyEvent::Configured:
        SetStatusText(0, Text(ReplyText::SensorConfigured));
        break;
    case TReplyEvent::SwitchedOn:
        SetStatusText(0, Text(ReplyText::SensorOn));
        break;
    case TReplyEvent::SwitchedOff:
        SetStatusText(0, Text(ReplyText::SensorOff));
        break;
    case TReplyEvent::DefaultsSet:
        SetStatusText(1, Text(ReplyText::DefaultsSet));
        EnableAfterDefaults();
        break;
    case TReplyEvent::Latched:
        SetStatusText(1, Text(ReplyText::ResultLatched));
        AddLatchRow(address, LatchConfirmColumn, Text(ReplyText::LatchedCell));
        break;
    case TReplyEvent::LatchedResultRead:
        AddLatchRow(address, LatchReadColumn,
                    ResultCell(bus_->Protocol(), LatchReadColumn, note.Result, device->ID_D));
        SetStatusText(1, Text(ReplyText::LatchedResultRead));
        break;
    case TReplyEvent::LastResultRead:
        SetStatusText(1, Text(ReplyText::LastResultRead));
        AddLatchRow(address, LastResultColumn,
                    ResultCell(bus_->Protocol(), LastResultColumn, note.Result, device->ID_D));
        break;
    }
}

// The table's header row is the widget's own header, so data row k is widget row k - 1.
void TForm1::AddLatchRow(int addressNumber, TLatchColumn column, const QString& text)
{
    ++CountRowTable;
    StringGrid1->setRowCount(CountRowTable);
    const int row = CountRowTable - 1;
    SetCell(*StringGrid1, row, 0, CellIndent + QString::number(CountRowTable));
    SetCell(*StringGrid1, row, 1,
            addressNumber < 0 ? CellIndent : CellIndent + QString::number(addressNumber));
    SetCell(*StringGrid1, row, 2, CellIndent + QTime::currentTime().toString(QStringLiteral("hh:mm:ss")));
    for (const int resultColumn : {LatchConfirmColumn, LatchReadColumn, LastResultColumn})
        SetCell(*StringGrid1, row, resultColumn, resultColumn == column ? text : QString());
    StringGrid1->setCurrentCell(row, 0);
    StringGrid1->scrollToItem(StringGrid1->item(row, 0));
}

void TForm1::OnReceiveError(TReceiveError error)
{
    SetStatusText(2, Text(error == TReceiveError::Decoding ? ReplyText::DecodingError : ReplyText::FrameError));
    StartErrorClear();
}

void TForm1::StartErrorClear()
{
    if (!Timer3->isActive())
        Timer3->start();
}

void TForm1::EnableAfterDefaults()
{
    PageControl1->setEnabled(true);
    ComboBox1->setEnabled(true);
    ActivateModbus();
}

void TForm1::OnProgress(TOperationCode, TProgress step)
{
    switch (step) {
    case TProgress::Reading:
        SetStatusText(1, QStringLiteral("Чтение..."));
        break;
    case TProgress::StoppingStream:
        SetStatusText(1, QStringLiteral("Останавливаем поток..."));
        break;
    }
}

// Every sample of the line is decoded; the chart, the label and the status bar then show what
// the last one left, and the recorded lines go to disk.
void TForm1::OnStreamSamples(TDevice* device, const TSampleBatch& batch)
{
    TStreamSampler& sampler = streamChart_->Sampler();
    sampler.Samples(batch.Samples, device->ID_D, CheckBox_RecordThrd->isChecked());
    const TStreamView view = sampler.Take();
    streamChart_->ShowView(view);
    if (!view.Label.isEmpty())
        Label5->setText(view.Label);
    if (view.Error) {
        SetStatusText(2, Text(ReplyText::DecodingError));
        StartErrorClear();
    }
    if (!sampler.RecordLines().isEmpty())
        streamRecorder_->Spool(sampler.RecordLines());
}

void TForm1::UpdateAfterStopThread()
{
    bus_->StreamEnded();
    TabSheet1->setEnabled(true);
    TabSheet3->setEnabled(true);
    TabSheet5->setEnabled(true);
    ComboBox1->setEnabled(true);
    ActivateModbus();
    TStreamChart& chart = *streamChart_;
    if (!chart.Empty()) {
        chart.SetAutoBottomMax(false);
        chart.SetBottomRange(Chart1->xAxis->range().lower, chart.LastX());
        chartPanning_ = true;
        OperScroll();
        chart.Replot();
    }
    SetStatusText(2, QString());
}

void TForm1::Timer3Timer()
{
    Timer3->stop();
    SetStatusText(2, QString());
}
