#include "app/Unit1.h"
#include "operations/OperationState.h"
#include "operations/TOperationThreads.h"
#include "pages/StreamRecorder.h"
#include "protocol/DeviceUnit.h"
#include "protocol/LinkState.h"
#include "protocol/ReplyTexts.h"
#include "widgets/StreamChart.h"
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
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
} // namespace

void TForm1::WireLink()
{
    operationThreads_ = new TOperationThreads(this);
    // Their intervals are the times the user is told of; a coarse timer may fire 5 % early.
    Timer1->setTimerType(Qt::PreciseTimer);
    Timer3->setTimerType(Qt::PreciseTimer);
    connect(Timer1, &QTimer::timeout, this, &TForm1::Timer1Timer);
    connect(Timer3, &QTimer::timeout, this, &TForm1::Timer3Timer);
    connect(Timer2, &QTimer::timeout, this, &TForm1::Timer2Timer);
}

void TForm1::StopOperations()
{
    operationThreads_->Shutdown();
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

// Enabling a running timer keeps its count: the frame timeout runs from the first failed check.
void TForm1::StartFrameTimeout()
{
    if (!Timer1->isActive())
        Timer1->start();
}

void TForm1::StopFrameTimeout()
{
    Timer1->stop();
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

// Every sample of the line is decoded; the chart, the label and the status bar then show what
// the last one left, and the recorded lines go to disk.
void TForm1::StreamText(TDevice& device, const QByteArray& line)
{
    TStreamSampler& sampler = streamChart_->Sampler();
    sampler.Line(line, device.ID_D, CheckBox_RecordThrd->isChecked());
    const TStreamView view = sampler.Take();
    streamChart_->ShowView(view);
    if (!view.Label.isEmpty())
        Label5->setText(view.Label);
    if (view.Error) {
        SetStatusText(2, QString::fromUtf8(ReplyText::DecodingError));
        StartErrorClear();
    }
    if (!RecordLines.isEmpty())
        streamRecorder_->Spool(RecordLines);
}

void TForm1::UpdateAfterStopThread()
{
    StreamRunning = false;
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

void TForm1::ShowModbusException(const QString& text, const QString& caption)
{
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, this);
    box.exec();
}

void TForm1::Timer1Timer()
{
    SetStatusText(2, QString::fromUtf8(ReplyText::FrameError));
    ReceiveBuffer.clear();
    StartErrorClear();
    Timer1->stop();
    ExpectAllParams = false;
    ExpectFlags = false;
    WriteFlagsOnly = false;
}

void TForm1::Timer3Timer()
{
    Timer3->stop();
    SetStatusText(2, QString());
}
