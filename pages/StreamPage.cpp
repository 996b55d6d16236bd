#include "app/Unit1.h"
#include "bus/SensorBus.h"
#include "convert/Unit_Utils.h"
#include "pages/PageHelpers.h"
#include "pages/StreamRecorder.h"
#include "protocol/DeviceUnit.h"
#include "widgets/RadioGroup.h"
#include "widgets/StreamChart.h"
#include "widgets/StreamGraph.h"
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
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

void TForm1::CreateStreamPage()
{
    TabSheet2 = MakePage(QStringLiteral("TabSheet2"));
    PageControl1->addTab(TabSheet2, QStringLiteral("Поток результатов"));

    Button6 =
        MakeButton(QStringLiteral("Button6"), QStringLiteral("Запустить поток"), {8, 8, 140, 25}, TabSheet2);
    Button7 = MakeButton(QStringLiteral("Button7"), QStringLiteral("Остановить поток"), {8, 40, 140, 25},
                         TabSheet2);
    Label4 = MakeLabel(QStringLiteral("Label4"), QStringLiteral("Текущий результат:"), {160, 8, 200, 18},
                       TabSheet2);
    Label5 = MakeLabel(QStringLiteral("Label5"), QStringLiteral("0"), {160, 28, 230, 40}, TabSheet2);
    QFont resultFont = Label5->font();
    resultFont.setPixelSize(28);
    resultFont.setBold(true);
    Label5->setFont(resultFont);
    QPalette resultPalette = Label5->palette();
    resultPalette.setColor(QPalette::WindowText, Qt::red);
    Label5->setPalette(resultPalette);

    CheckBox_RecordThrd = new QCheckBox(QStringLiteral("Экспорт потока в файл"), TabSheet2);
    CheckBox_RecordThrd->setObjectName(QStringLiteral("CheckBox_RecordThrd"));
    CheckBox_RecordThrd->setGeometry(400, 8, 240, 20);
    CheckBox_RecordThrd->setEnabled(false);
    LabeledEdit_RecordThrdLabel =
        MakeLabel(QStringLiteral("LabeledEdit_RecordThrdLabel"),
                  QStringLiteral("Интервал записи в файл, отсчетов"), {400, 32, 240, 18}, TabSheet2);
    LabeledEdit_RecordThrd = MakeEdit(QStringLiteral("LabeledEdit_RecordThrd"), {400, 52, 80, 21},
                                      LabeledEdit_RecordThrdLabel, TabSheet2);
    LabeledEdit_RecordThrd->setMaxLength(10);
    LabeledEdit_RecordThrd->setText(QStringLiteral("100"));
    connect(LabeledEdit_RecordThrd, &QLineEdit::textChanged, this, &TForm1::LabeledEdit_RecordThrdChange);

    CheckBox2 = new QCheckBox(QStringLiteral("Метки"), TabSheet2);
    CheckBox2->setObjectName(QStringLiteral("CheckBox2"));
    CheckBox2->setGeometry(650, 8, 90, 20);
    Edit4 = MakeMarkerEdit(QStringLiteral("Edit4"), QStringLiteral("Уровень синей метки"), Qt::blue, 32,
                           TabSheet2);
    Edit5 = MakeMarkerEdit(QStringLiteral("Edit5"), QStringLiteral("Уровень зелёной метки"), Qt::darkGreen,
                           58, TabSheet2);
    Edit4->installEventFilter(this);
    Edit5->installEventFilter(this);
    connect(CheckBox2, &QCheckBox::clicked, this, &TForm1::CheckBox2Click);
    connect(Edit4, &QLineEdit::textChanged, this, &TForm1::Edit4Change);
    connect(Edit5, &QLineEdit::textChanged, this, &TForm1::Edit5Change);

    Chart1 = new QCustomPlot(TabSheet2);
    Chart1->setObjectName(QStringLiteral("Chart1"));
    Chart1->setAccessibleName(QStringLiteral("График потока результатов"));
    Chart1->move(2, ChartTop);
    Chart1->setInteractions(QCP::Interactions());
    Chart1->legend->setVisible(false);
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
    auto* const streamSeries = new TStreamGraph(Chart1->xAxis, Chart1->yAxis);
    Series1 = streamSeries;
    Series1->setName(QStringLiteral("Series1"));
    Series1->setPen(QPen(QColor(0xD0, 0x20, 0x20), 2));
    Series1->setLineStyle(QCPGraph::lsLine);
    Series1->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssNone));
    Series2 = MakeMarkerSeries(Chart1, QStringLiteral("Series2"), Qt::blue);
    Series3 = MakeMarkerSeries(Chart1, QStringLiteral("Series3"), QColor(0x00, 0x80, 0x00));

    ScrollBar1 = new QScrollBar(Qt::Horizontal, TabSheet2);
    ScrollBar1->setObjectName(QStringLiteral("ScrollBar1"));
    ScrollBar1->setAccessibleName(QStringLiteral("Прокрутка графика"));
    ScrollBar1->setPageStep(6);
    ScrollBar1->hide();

    streamChart_ = new TStreamChart(*Chart1, *streamSeries);
    streamRecorder_ = new TStreamRecorder(paths_.ProgramDir, this);
    streamStopRetry_ = new QTimer(this);
    streamStopRetry_->setSingleShot(true);
    streamStopRetry_->setInterval(StopRetryMs);
    connect(streamStopRetry_, &QTimer::timeout, this, &TForm1::RetryStreamStop);
    connect(Button6, &QPushButton::clicked, this, &TForm1::Button6Click);
    connect(Button7, &QPushButton::clicked, this, &TForm1::Button7Click);
    // Toggled, not clicked: unchecking from code ends the recording as a click does.
    connect(CheckBox_RecordThrd, &QCheckBox::toggled, this, &TForm1::CheckBox_RecordThrdClick);
    connect(Chart1, &QCustomPlot::mousePress, this, &TForm1::Chart1MouseDown);
    connect(Chart1, &QCustomPlot::mouseMove, this, &TForm1::Chart1MouseMove);
    connect(Chart1, &QCustomPlot::mouseRelease, this, &TForm1::Chart1MouseUp);
    connect(ScrollBar1, &QScrollBar::valueChanged, this, [this] {
        if (!scrollSync_)
            ScrollBar1Scroll();
    });
}

void TForm1::LayoutStreamPage(int W, int H)
{
    Chart1->resize(W - 15, H - 247);
    const int barHeight = ScrollBar1->sizeHint().height();
    ScrollBar1->setGeometry(Chart1->x(), Chart1->y() + Chart1->height(), Chart1->width(), barHeight);
}

void TForm1::CheckBox2Click()
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
    WriteSetting(settings::Metki, settings::Checked, checked ? QStringLiteral("1") : QStringLiteral("0"));
}

void TForm1::Edit4Change()
{
    SetMarker(Series2, Edit4, settings::Blue);
}

void TForm1::Edit5Change()
{
    SetMarker(Series3, Edit5, settings::Green);
}

void TForm1::SetMarker(QCPGraph* series, QLineEdit* edit, const QString& key)
{
    series->data()->clear();
    try {
        const double level = StrToFloatDotComma(edit->text());
        series->addData({0.0, 1000.0}, {level, level});
        WriteSetting(settings::Metki, key, edit->text());
    } catch (const EConvertError&) {
        // Not a number: the marker stays away and the stored level is kept.
    }
    Chart1->replot(QCustomPlot::rpQueuedReplot);
}

bool TForm1::CorreciaVvoda(QObject* edit, QEvent* event)
{
    if ((edit != Edit4 && edit != Edit5) || event->type() != QEvent::KeyPress)
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->text() != QStringLiteral("."))
        return false;
    static_cast<QLineEdit*>(edit)->insert(QStringLiteral(","));
    return true;
}

void TForm1::ClearStreamChart()
{
    streamChart_->Clear();
}

void TForm1::Button6Click()
{
    Timer2->setInterval(StopConfirmMs);
    if (ComboBox1->currentText().isEmpty())
        return;
    ClearStreamChart();
    SetStatusText(1, QStringLiteral("Запускаем поток..."));
    SetStatusText(2, QString());
    TabSheet1->setEnabled(false);
    TabSheet5->setEnabled(false);
    ComboBox1->setEnabled(false);
    RadioGroup_protocol_obm->setEnabled(false);

    streamChart_->Sampler().Restart();
    streamChart_->SetLeftLabels(0, 7, 0);
    streamChart_->SetAutoBottomMax(true);
    streamChart_->SetBottomRange(0, 1);
    streamChart_->ShowView(streamChart_->Sampler().View());
    ScrollBar1->hide();
    chartPanning_ = false;
    Chart1->setEnabled(true);

    // A launch refused because another operation holds the bus would leave the pages disabled for
    // good; it is undone.
    if (!LaunchThread(TOperationCode::StartStream)) {
        TabSheet1->setEnabled(true);
        TabSheet3->setEnabled(true);
        TabSheet5->setEnabled(true);
        ComboBox1->setEnabled(true);
        ActivateModbus();
        CheckBox_RecordThrd->setEnabled(false);
        CheckBox_RecordThrd->setChecked(false);
        SetStatusText(2, QString());
    }
}

void TForm1::Button7Click()
{
    const TDevice* const device = SelectedDevice();
    if (!device || !device->threadResultIsExec) {
        SetStatusText(1, QStringLiteral("Поток остановлен"));
        return;
    }
    Button6->setEnabled(false);
    if (ComboBox1->currentText().isEmpty())
        return;
    LaunchThread(TOperationCode::StopStream);
}

void TForm1::Timer2Timer()
{
    if (Timer2->interval() != QuietCheckMs) {
        // From now on every sample clears the flag: a second without one means the stream stopped.
        Timer2->setInterval(QuietCheckMs);
        bus_->SetStreamQuiet(true);
        return;
    }
    Timer2->stop();
    Timer2->setInterval(StopConfirmMs);
    Button6->setEnabled(true);
    if (bus_->StreamQuiet()) {
        SetStatusText(1, QStringLiteral("Поток остановлен"));
        CheckBox_RecordThrd->setEnabled(false);
        CheckBox_RecordThrd->setChecked(false);
        UpdateAfterStopThread();
    } else {
        SetStatusText(1, QStringLiteral("Поток не остановлен"));
        RetryStreamStop();
    }
}

// The running operation's completion needs the main thread, so the retry waits on a timer.
void TForm1::RetryStreamStop()
{
    const TDevice* const device = SelectedDevice();
    if (!device || !device->threadResultIsExec || !bus_->StreamRunning())
        return;
    if (!LaunchThread(TOperationCode::StopStream))
        streamStopRetry_->start();
}

namespace {
void ShowRecordError(QWidget* owner, const QString& text)
{
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Ошибка"), text, QMessageBox::Ok, owner);
    box.exec();
}
} // namespace

void TForm1::CheckBox_RecordThrdClick()
{
    // The box unchecked below, after a recording that could not start, ends nothing.
    if (recordRefused_)
        return;
    const QString file = QDir::toNativeSeparators(streamRecorder_->FilePath());
    const QString spool = QDir::toNativeSeparators(streamRecorder_->SpoolPath());
    TStreamSampler& sampler = streamChart_->Sampler();
    if (CheckBox_RecordThrd->isChecked() && bus_->StreamRunning()) {
        bool isNumber = false;
        const int interval = LabeledEdit_RecordThrd->text().toInt(&isNumber);
        // An interval below one would never come round: the recording would stay empty.
        sampler.BeginRecording(isNumber && interval > 0 ? interval : DefaultRecordInterval);
        const bool kept = streamRecorder_->SpoolKept();
        if (streamRecorder_->Begin()) {
            SetStatusText(2, QStringLiteral("Запись потока в файл..."));
            return;
        }
        // Refused before a single sample is taken: nothing is recorded that could not be kept.
        recordRefused_ = true;
        CheckBox_RecordThrd->setChecked(false);
        recordRefused_ = false;
        SetStatusText(2, QStringLiteral("Ошибка записи в файл Thread.txt"));
        ShowRecordError(this, kept && streamRecorder_->SpoolKept()
                                  ? QStringLiteral("Запись потока не начата: предыдущая запись хранится в файле %1 "
                                                   "и не может быть перенесена в файл %2.")
                                        .arg(spool, file)
                                  : QStringLiteral("Запись потока не начата: невозможно записать файл %1.")
                                        .arg(spool));
        return;
    }
    SetStatusText(2, QStringLiteral("Запись потока завершена"));
    const bool written = streamRecorder_->End(sampler.RecordLines());
    sampler.RecordLines().clear();
    if (written)
        return;
    SetStatusText(2, QStringLiteral("Ошибка записи в файл Thread.txt"));
    ShowRecordError(this, streamRecorder_->SpoolKept()
                              ? QStringLiteral("Ошибка записи в файл %1. Записанный поток сохранён в файле %2; "
                                               "при следующем включении записи он будет перенесён в %1.")
                                    .arg(file, spool)
                              : QStringLiteral("Ошибка записи в файл %1.").arg(file));
}
