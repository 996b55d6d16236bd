#include "app/Unit1.h"
#include "operations/OperationState.h"
#include "operations/TOperationThreads.h"
#include "protocol/LinkState.h"
#include "protocol/ReplyTexts.h"
#include <QComboBox>
#include <QMessageBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QTime>
#include <QTimer>

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

// The stream page draws and records the samples here once it is built.
void TForm1::StreamText(TDevice&, const QByteArray&) {}

// The stream page's own clean-up after a stop joins this once it is built.
void TForm1::UpdateAfterStopThread()
{
    StreamRunning = false;
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
