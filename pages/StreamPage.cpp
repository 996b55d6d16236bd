#include "pages/StreamPage.h"
#include "bus/SensorBus.h"
#include "convert/Unit_Utils.h"
#include "pages/PageHelpers.h"
#include "pages/PageHost.h"
#include "pages/ReplyTexts.h"
#include "pages/ResultText.h"
#include "pages/StreamChart.h"
#include "pages/StreamGraph.h"
#include "pages/StreamRecorder.h"
#include "pages/StreamTools.h"
#include "protocol/DeviceUnit.h"
#include "settings/Settings.h"
#include <QCheckBox>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <qcustomplot.h>

namespace {

constexpr int ChartTop = 86;
constexpr int StopConfirmMs = 2000;
constexpr int QuietCheckMs = 1000;
// How often a stop that found the bus busy tries again.
constexpr int StopRetryMs = 20;
constexpr int DefaultRecordInterval = 100;

QLineEdit* MakeMarkerEdit(const QString& name, const QString& accessible, const QColor& colour, int y,
                          QWidget* page)
{
    QLineEdit* edit = MakeEdit(name, {650, y, 90, 21}, nullptr, page);
    edit->setAccessibleName(accessible);
    QFont font = edit->font();
    font.setBold(true);
    edit->setFont(font);
    QPalette palette = edit->palette();
    palette.setColor(QPalette::Text, colour);
    edit->setPalette(palette);
    edit->hide();
    return edit;
}

QCPGraph* MakeMarkerSeries(QCustomPlot* chart, const QString& name, const QColor& colour)
{
    QCPGraph* series = chart->addGraph(chart->xAxis2, chart->yAxis);
    series->setName(name);
    series->setPen(QPen(colour, 2));
    series->setLineStyle(QCPGraph::lsLine);
    return series;
}

} // namespace

TStreamPage::TStreamPage(TPageHost& host, const QString& programDir, QWidget* parent)
    : QWidget(parent), host_(host)
{
    setObjectName(QStringLiteral("TabSheet2"));
    Button6 = MakeButton(QStringLiteral("Button6"), QStringLiteral("Запустить поток"), {8, 8, 140, 25}, this);
    Button7 =
        MakeButton(QStringLiteral("Button7"), QStringLiteral("Остановить поток"), {8, 40, 140, 25}, this);
    Label4 =
        MakeLabel(QStringLiteral("Label4"), QStringLiteral("Текущий результат:"), {160, 8, 200, 18}, this);
    Label5 = MakeLabel(QStringLiteral("Label5"), QStringLiteral("0"), {160, 28, 230, 40}, this);
    QFont resultFont = Label5->font();
    resultFont.setPixelSize(28);
    resultFont.setBold(true);
    Label5->setFont(resultFont);
    QPalette resultPalette = Label5->palette();
    resultPalette.setColor(QPalette::WindowText, Qt::red);
    Label5->setPalette(resultPalette);

    CheckBox_RecordThrd = new QCheckBox(QStringLiteral("Экспорт потока в файл"), this);
    CheckBox_RecordThrd->setObjectName(QStringLiteral("CheckBox_RecordThrd"));
    CheckBox_RecordThrd->setGeometry(400, 8, 240, 20);
    CheckBox_RecordThrd->setEnabled(false);
    LabeledEdit_RecordThrdLabel =
        MakeLabel(QStringLiteral("LabeledEdit_RecordThrdLabel"),
                  QStringLiteral("Интервал записи в файл, отсчетов"), {400, 32, 240, 18}, this);
    LabeledEdit_RecordThrd = MakeEdit(QStringLiteral("LabeledEdit_RecordThrd"), {400, 52, 80, 21},
                                      LabeledEdit_RecordThrdLabel, this);
    LabeledEdit_RecordThrd->setMaxLength(10);
    LabeledEdit_RecordThrd->setText(QStringLiteral("100"));

    CheckBox2 = new QCheckBox(QStringLiteral("Метки"), this);
    CheckBox2->setObjectName(QStringLiteral("CheckBox2"));
    CheckBox2->setGeometry(650, 8, 90, 20);
    Edit4 =
        MakeMarkerEdit(QStringLiteral("Edit4"), QStringLiteral("Уровень синей метки"), Qt::blue, 32, this);
    Edit5 = MakeMarkerEdit(QStringLiteral("Edit5"), QStringLiteral("Уровень зелёной метки"), Qt::darkGreen,
                           58, this);
    Edit4->installEventFilter(this);
    Edit5->installEventFilter(this);
    CreateChart();

    Timer2 = new QTimer(this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer2->setInterval(StopConfirmMs);
    streamRecorder_ = new TStreamRecorder(programDir, this);
    streamStopRetry_ = new QTimer(this);
    streamStopRetry_->setSingleShot(true);
    streamStopRetry_->setInterval(StopRetryMs);
    cursorPlus_ = QCursor(QPixmap(QStringLiteral(":/cursors/plus.xpm")), 0, 0);
    cursorMinus_ = QCursor(QPixmap(QStringLiteral(":/cursors/minus.xpm")), 0, 0);

    connect(Timer2, &QTimer::timeout, this, &TStreamPage::Timer2Timer);
    connect(streamStopRetry_, &QTimer::timeout, this, &TStreamPage::RetryStreamStop);
    connect(Button6, &QPushButton::clicked, this, &TStreamPage::Button6Click);
    connect(Button7, &QPushButton::clicked, this, &TStreamPage::Button7Click);
    // Toggled, not clicked: unchecking from code ends the recording as a click does.
    connect(CheckBox_RecordThrd, &QCheckBox::toggled, this, &TStreamPage::CheckBox_RecordThrdClick);
    connect(LabeledEdit_RecordThrd, &QLineEdit::textChanged, this,
            &TStreamPage::LabeledEdit_RecordThrdChange);
    connect(CheckBox2, &QCheckBox::clicked, this, &TStreamPage::CheckBox2Click);
    connect(Edit4, &QLineEdit::textChanged, this, &TStreamPage::Edit4Change);
    connect(Edit5, &QLineEdit::textChanged, this, &TStreamPage::Edit5Change);
    connect(Chart1, &QCustomPlot::mousePress, this, &TStreamPage::Chart1MouseDown);
    connect(Chart1, &QCustomPlot::mouseMove, this, &TStreamPage::Chart1MouseMove);
    connect(Chart1, &QCustomPlot::mouseRelease, this, &TStreamPage::Chart1MouseUp);
    connect(ScrollBar1, &QScrollBar::valueChanged, this, [this] {
        if (!scrollSync_)
            ScrollBar1Scroll();
    });

    TSensorBus& bus = host_.Bus();
    connect(&bus, &TSensorBus::OperationFinished, this, &TStreamPage::OnFinished);
    connect(&bus, &TSensorBus::StreamSamples, this, &TStreamPage::OnSamples);
    connect(&bus, &TSensorBus::Progress, this, [this](TOperationCode, TProgress step) {
        if (step == TProgress::StoppingStream)
            host_.SetStatusText(1, QStringLiteral("Останавливаем поток..."));
    });
}

void TStreamPage::CreateChart()
{
    Chart1 = new QCustomPlot(this);
    Chart1->setObjectName(QStringLiteral("Chart1"));
    Chart1->setAccessibleName(QStringLiteral("График потока результатов"));
    Chart1->move(2, ChartTop);
    Chart1->setInteractions(QCP::Interactions());
    Chart1->legend->setVisible(false);
    Chart1->setBackground(QBrush(Qt::transparent));
    // The chart claims to paint every pixel itself; with a see-through surface the page must
    // be painted beneath it first.
    Chart1->setAttribute(Qt::WA_OpaquePaintEvent, false);
    const QPen dotted(QColor(0xA0, 0xA0, 0xA0), 0, Qt::DotLine);
    Chart1->xAxis->setLabel(QStringLiteral("Номер отсчета"));
    Chart1->xAxis->setRange(0, 25);
    Chart1->xAxis->grid()->setPen(dotted);
    Chart1->yAxis->setLabel(QStringLiteral("Показания датчика"));
    Chart1->yAxis->setRange(0, 1);
    Chart1->yAxis->grid()->setPen(dotted);
    // The markers run on the hidden top axis, whose fixed span makes them cross the whole chart.
    Chart1->xAxis2->setRange(0, 1000);
    Chart1->xAxis2->setVisible(false);
    Chart1->yAxis2->setVisible(false);
    auto* const streamSeries = new TStreamGraph(Chart1->xAxis, Chart1->yAxis, streamTrace_);
    Series1 = streamSeries;
    Series1->setName(QStringLiteral("Series1"));
    Series1->setPen(QPen(QColor(0xD0, 0x20, 0x20), 2));
    Series1->setLineStyle(QCPGraph::lsLine);
    Series1->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssNone));
    Series2 = MakeMarkerSeries(Chart1, QStringLiteral("Series2"), Qt::blue);
    Series3 = MakeMarkerSeries(Chart1, QStringLiteral("Series3"), QColor(0x00, 0x80, 0x00));

    ScrollBar1 = new QScrollBar(Qt::Horizontal, this);
    ScrollBar1->setObjectName(QStringLiteral("ScrollBar1"));
    ScrollBar1->setAccessibleName(QStringLiteral("Прокрутка графика"));
    ScrollBar1->setPageStep(6);
    ScrollBar1->hide();
    streamChart_ = new TStreamChart(*Chart1, *streamSeries, streamTrace_);
    streamTools_ = new TStreamTools(*streamChart_, *Chart1, host_.Settings());
    // Keys reach the chart once it is clicked: they move the measuring cursors.
    Chart1->setFocusPolicy(Qt::ClickFocus);
    Chart1->installEventFilter(this);
    connect(Chart1->xAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), streamTools_,
            &TStreamTools::Changed);
    connect(streamTools_, &TStreamTools::PauseToggled, this, [this](bool paused) {
        if (!paused)
            FollowStream(streamChart_->Sampler().View());
    });
}

void TStreamPage::FollowStream(const TStreamView& view)
{
    if (!streamTools_->Paused())
        streamChart_->ShowView(view);
    streamTools_->Changed();
}

void TStreamPage::ApplySettings()
{
    const TSettings& settings = host_.Settings();
    Edit4->setText(settings.BlueLevel());
    Edit5->setText(settings.GreenLevel());
    CheckBox2->setChecked(settings.MarkersShown());
    if (CheckBox2->isChecked()) {
        CheckBox2Click();
    } else {
        Series2->data()->clear();
        Series3->data()->clear();
        Chart1->replot(QCustomPlot::rpQueuedReplot);
    }
    LabeledEdit_RecordThrd->setText(settings.RecordInterval());
    streamTools_->ApplySettings();
}

void TStreamPage::Layout(int W, int H)
{
    Chart1->resize(W - 15, H - 247);
    const int barHeight = ScrollBar1->sizeHint().height();
    ScrollBar1->setGeometry(Chart1->x(), Chart1->y() + Chart1->height(), Chart1->width(), barHeight);
}

QCursor TStreamPage::RegisteredCursor(int number) const
{
    switch (number) {
    case 1:
        return cursorPlus_;
    case 2:
        return cursorMinus_;
    default:
        return QCursor(Qt::ArrowCursor);
    }
}

bool TStreamPage::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Chart1 && event->type() == QEvent::KeyPress)
        return streamTools_->CursorKey(*static_cast<QKeyEvent*>(event)) || QWidget::eventFilter(watched, event);
    return CorreciaVvoda(watched, event) || QWidget::eventFilter(watched, event);
}

void TStreamPage::LabeledEdit_RecordThrdChange()
{
    host_.Settings().SetRecordInterval(LabeledEdit_RecordThrd->text());
}

void TStreamPage::CheckBox2Click()
{
    const bool checked = CheckBox2->isChecked();
    Edit4->setVisible(checked);
    Edit5->setVisible(checked);
    if (checked) {
        Edit4Change();
        Edit5Change();
    } else {
        Series2->data()->clear();
        Series3->data()->clear();
        Chart1->replot(QCustomPlot::rpQueuedReplot);
    }
    host_.Settings().SetMarkersShown(checked);
}

void TStreamPage::Edit4Change()
{
    SetMarker(Series2, Edit4, true);
}

void TStreamPage::Edit5Change()
{
    SetMarker(Series3, Edit5, false);
}

void TStreamPage::SetMarker(QCPGraph* series, QLineEdit* edit, bool blue)
{
    series->data()->clear();
    try {
        const double level = StrToFloatDotComma(edit->text());
        series->addData({0.0, 1000.0}, {level, level});
        if (blue)
            host_.Settings().SetBlueLevel(edit->text());
        else
            host_.Settings().SetGreenLevel(edit->text());
    } catch (const EConvertError&) {
        // Not a number: the marker stays away and the stored level is kept.
    }
    Chart1->replot(QCustomPlot::rpQueuedReplot);
}

bool TStreamPage::CorreciaVvoda(QObject* edit, QEvent* event)
{
    if ((edit != Edit4 && edit != Edit5) || event->type() != QEvent::KeyPress)
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->text() != QStringLiteral("."))
        return false;
    static_cast<QLineEdit*>(edit)->insert(QStringLiteral(","));
    return true;
}

void TStreamPage::ClearStreamChart()
{
    streamChart_->Clear();
}

// The other pages, the address box and the protocol choice are held by the window while the
// stream runs; a start the bus refuses holds nothing.
void TStreamPage::Button6Click()
{
    Timer2->setInterval(StopConfirmMs);
    if (host_.SelectedText().isEmpty())
        return;
    ClearStreamChart();
    host_.SetStatusText(1, QStringLiteral("Запускаем поток..."));
    host_.SetStatusText(2, QString());

    streamChart_->Sampler().Restart();
    countStream_ = false;
    if (const TDevice* const device = host_.SelectedDevice())
        streamTools_->SetFormat({ResultDecimals(device->ID_D), QStringLiteral("мм")});
    streamChart_->SetLeftLabels(0, 7, 0);
    streamChart_->SetAutoBottomMax(true);
    streamChart_->SetBottomRange(0, 1);
    streamChart_->ShowView(streamChart_->Sampler().View());
    ScrollBar1->hide();
    chartPanning_ = false;
    Chart1->setEnabled(true);

    if (!host_.Bus().Start(TOperationCode::StartStream, host_.SelectedDevice())) {
        CheckBox_RecordThrd->setEnabled(false);
        CheckBox_RecordThrd->setChecked(false);
        host_.SetStatusText(2, QString());
    }
}

void TStreamPage::Button7Click()
{
    const TDevice* const device = host_.SelectedDevice();
    if (!device || !device->threadResultIsExec) {
        host_.SetStatusText(1, QStringLiteral("Поток остановлен"));
        return;
    }
    Button6->setEnabled(false);
    if (host_.SelectedText().isEmpty())
        return;
    host_.Bus().Start(TOperationCode::StopStream, host_.SelectedDevice());
}

void TStreamPage::Timer2Timer()
{
    if (Timer2->interval() != QuietCheckMs) {
        // From now on every sample clears the flag: a second without one means the stream stopped.
        Timer2->setInterval(QuietCheckMs);
        host_.Bus().SetStreamQuiet(true);
        return;
    }
    Timer2->stop();
    Timer2->setInterval(StopConfirmMs);
    Button6->setEnabled(true);
    if (host_.Bus().StreamQuiet()) {
        host_.SetStatusText(1, QStringLiteral("Поток остановлен"));
        CheckBox_RecordThrd->setEnabled(false);
        CheckBox_RecordThrd->setChecked(false);
        UpdateAfterStopThread();
    } else {
        host_.SetStatusText(1, QStringLiteral("Поток не остановлен"));
        RetryStreamStop();
    }
}

// The running operation's completion needs the main thread, so the retry waits on a timer.
void TStreamPage::RetryStreamStop()
{
    const TDevice* const device = host_.SelectedDevice();
    if (!device || !device->threadResultIsExec || !host_.Bus().StreamRunning())
        return;
    if (!host_.Bus().Start(TOperationCode::StopStream, host_.SelectedDevice()))
        streamStopRetry_->start();
}

void TStreamPage::StopAfterTimeout()
{
    Timer2->stop();
    Timer2->setInterval(StopConfirmMs);
    Button6->setEnabled(true);
    host_.SetStatusText(1, QStringLiteral("Поток остановлен"));
    CheckBox_RecordThrd->setEnabled(false);
    CheckBox_RecordThrd->setChecked(false);
    UpdateAfterStopThread();
}

void TStreamPage::UpdateAfterStopThread()
{
    host_.Bus().StreamEnded();
    streamTools_->SetStreaming(false);
    TStreamChart& chart = *streamChart_;
    if (!chart.Empty()) {
        chart.SetAutoBottomMax(false);
        chart.SetBottomRange(Chart1->xAxis->range().lower, chart.LastX());
        chartPanning_ = true;
        OperScroll();
        chart.Replot();
    }
    host_.SetStatusText(2, QString());
    emit StreamEnded();
}

void TStreamPage::OnFinished(TOperationCode code, const TOutcome& outcome)
{
    if (outcome.Kind != TOutcomeKind::Done)
        return;
    if (code == TOperationCode::StartStream) {
        CheckBox_RecordThrd->setEnabled(true);
        streamTools_->SetStreaming(true);
        host_.SetStatusText(1, QStringLiteral("Поток запущен"));
    } else if (code == TOperationCode::StopStream) {
        Timer2->setInterval(StopConfirmMs);
        Timer2->start();
    }
}

// Every sample of the line is decoded; the chart, the label and the status bar then show what
// the last one left, and the recorded lines go to disk.
void TStreamPage::OnSamples(TDevice* device, const TSampleBatch& batch)
{
    TStreamSampler& sampler = streamChart_->Sampler();
    streamChart_->Arrived(batch.ReadAt, batch.Samples.size(), batch.Speed);
    sampler.Samples(batch.Samples, device->ID_D, CheckBox_RecordThrd->isChecked());
    // A count stream's values are counts: no unit, no decimals.
    if (!batch.Samples.empty() && batch.Samples.back().Valid && batch.Samples.back().Count != countStream_) {
        countStream_ = batch.Samples.back().Count;
        streamTools_->SetFormat(countStream_ ? TValueFormat{0, QString()}
                                             : TValueFormat{ResultDecimals(device->ID_D), QStringLiteral("мм")});
    }
    const TStreamView view = sampler.Take();
    FollowStream(view);
    if (!view.Label.isEmpty())
        Label5->setText(view.Label);
    if (view.Error)
        host_.ShowReceiveError(QString::fromUtf8(ReplyText::DecodingError));
    if (!sampler.RecordLines().isEmpty())
        streamRecorder_->Spool(sampler.RecordLines());
}

namespace {
void ShowRecordError(QWidget* owner, const QString& text)
{
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Ошибка"), text, QMessageBox::Ok, owner);
    box.exec();
}
} // namespace

void TStreamPage::CheckBox_RecordThrdClick()
{
    // The box unchecked below, after a recording that could not start, ends nothing.
    if (recordRefused_)
        return;
    const QString file = QDir::toNativeSeparators(streamRecorder_->FilePath());
    const QString spool = QDir::toNativeSeparators(streamRecorder_->SpoolPath());
    TStreamSampler& sampler = streamChart_->Sampler();
    if (CheckBox_RecordThrd->isChecked() && host_.Bus().StreamRunning()) {
        bool isNumber = false;
        const int interval = LabeledEdit_RecordThrd->text().toInt(&isNumber);
        // An interval below one would never come round: the recording would stay empty.
        sampler.BeginRecording(isNumber && interval > 0 ? interval : DefaultRecordInterval);
        const bool kept = streamRecorder_->SpoolKept();
        if (streamRecorder_->Begin()) {
            host_.SetStatusText(2, QStringLiteral("Запись потока в файл..."));
            return;
        }
        // Refused before a single sample is taken: nothing is recorded that could not be kept.
        recordRefused_ = true;
        CheckBox_RecordThrd->setChecked(false);
        recordRefused_ = false;
        host_.SetStatusText(2, QStringLiteral("Ошибка записи в файл Thread.txt"));
        ShowRecordError(
            this, kept && streamRecorder_->SpoolKept()
                      ? QStringLiteral("Запись потока не начата: предыдущая запись хранится в файле %1 "
                                       "и не может быть перенесена в файл %2.")
                            .arg(spool, file)
                      : QStringLiteral("Запись потока не начата: невозможно записать файл %1.").arg(spool));
        return;
    }
    host_.SetStatusText(2, QStringLiteral("Запись потока завершена"));
    const bool written = streamRecorder_->End(sampler.RecordLines());
    sampler.RecordLines().clear();
    if (written)
        return;
    host_.SetStatusText(2, QStringLiteral("Ошибка записи в файл Thread.txt"));
    ShowRecordError(this,
                    streamRecorder_->SpoolKept()
                        ? QStringLiteral("Ошибка записи в файл %1. Записанный поток сохранён в файле %2; "
                                         "при следующем включении записи он будет перенесён в %1.")
                              .arg(file, spool)
                        : QStringLiteral("Ошибка записи в файл %1.").arg(file));
}
