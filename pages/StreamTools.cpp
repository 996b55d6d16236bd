#include "pages/StreamTools.h"
#include "pages/PageHelpers.h"
#include "pages/ResultText.h"
#include "pages/StreamChart.h"
#include "params/SaveWhole.h"
#include "settings/Settings.h"
#include "stream/TraceExport.h"
#include <QBuffer>
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QPageSize>
#include <QPdfWriter>
#include <QPushButton>
#include <QSvgGenerator>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>
#include <qcustomplot.h>

namespace {
// At most ten refreshes a second, however fast the samples come.
constexpr int RefreshMs = 100;
constexpr int HistogramBins = 40;
constexpr QSize HistogramSize{230, 130};
// The deviation is mostly below the resolution of the values: two more decimals show it.
constexpr int DeviationExtraDecimals = 2;
constexpr int TimeDecimals = 6;
// The resolution the chart is drawn at in a PDF file, so that its pixels keep their size.
constexpr int PdfDpi = 96;

const QString Dash = QStringLiteral("—");

QString Number(double value, int decimals)
{
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(value, 'f', decimals);
}

QString Measured(std::optional<double> value, int decimals, const QString& unit)
{
    if (!value || !std::isfinite(*value))
        return Dash;
    const QString number = Number(*value, decimals);
    return unit.isEmpty() ? number : number + QLatin1Char(' ') + unit;
}

QLabel* MakeStripLabel(const QString& name, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}
} // namespace

namespace StreamToolText {

QString Stats(const std::optional<TTraceStats>& stats, const TValueFormat& format, bool between)
{
    const TTraceStats s = stats.value_or(TTraceStats{});
    const bool any = s.Values > 0;
    const int d = format.Decimals;
    // The unit once, after the range's name: the line has to fit the smallest window.
    const auto value = [&](std::optional<double> v, int decimals) {
        return any ? Measured(v, decimals, QString()) : Dash;
    };
    QString range = between ? QStringLiteral("Между курсорами") : QStringLiteral("В окне");
    if (!format.Unit.isEmpty())
        range += QStringLiteral(", ") + format.Unit;
    return QStringLiteral("%1: N %2 · мин %3 · макс %4 · сред. %5 · σ %6 · размах %7 · пропуски %8")
        .arg(range)
        .arg(s.Count)
        .arg(value(s.Min, d), value(s.Max, d), value(s.Mean, d), value(s.StdDev, d + DeviationExtraDecimals),
             value(s.PeakToPeak(), d),
             s.Count > 0 ? Number(100 * s.GapShare(), 1) + QStringLiteral(" %") : Dash);
}

QString Cursors(const TSampleTrace& trace, std::optional<std::int64_t> a, std::optional<std::int64_t> b,
                const TValueFormat& format)
{
    const auto valueAt = [&](std::int64_t i) {
        return trace.IsGap(i) ? std::nullopt : std::optional<double>(trace.Value(i));
    };
    if (a && b) {
        const std::optional<double> va = valueAt(*a);
        const std::optional<double> vb = valueAt(*b);
        return QStringLiteral("Δ %1 отсч. · Δt %2 с · Δ %3")
            .arg(std::llabs(*b - *a))
            .arg(Number(std::abs(trace.Time(*b) - trace.Time(*a)), TimeDecimals),
                 Measured(va && vb ? std::optional<double>(*vb - *va) : std::nullopt, format.Decimals,
                          format.Unit));
    }
    const std::optional<std::int64_t> one = a ? a : b;
    if (!one)
        return QString();
    return QStringLiteral("Курсор %1: № %2 · %3 с · %4")
        .arg(a ? 1 : 2)
        .arg(*one)
        .arg(Number(trace.Time(*one), TimeDecimals), Measured(valueAt(*one), format.Decimals, format.Unit));
}

QString Rate(std::optional<double> samplesPerSecond)
{
    return samplesPerSecond ? QStringLiteral("%1 отсч./с").arg(Number(*samplesPerSecond, 0)) : QString();
}

QString Point(const TSampleTrace& trace, std::int64_t index)
{
    if (index < 0 || index >= trace.Size())
        return QString();
    return QStringLiteral("№ %1 · %2 с").arg(index).arg(Number(trace.Time(index), TimeDecimals));
}

} // namespace StreamToolText

TStreamTools::TStreamTools(TStreamChart& chart, QCustomPlot& plot, TSettings& settings)
    : QWidget(&plot), chart_(chart), plot_(plot), settings_(settings), clock_(new QTimer(this))
{
    setObjectName(QStringLiteral("PanelStreamTools"));
    ButtonStreamPause = new QPushButton(tr("Пауза"), this);
    ButtonStreamPause->setObjectName(QStringLiteral("ButtonStreamPause"));
    ButtonStreamPause->setToolTip(tr("Остановить прокрутку графика; поток продолжает приниматься"));
    ButtonStreamPause->setCheckable(true);
    ButtonStreamPause->setEnabled(false);
    CheckBoxTimeAxis = new QCheckBox(tr("Ось времени"), this);
    CheckBoxTimeAxis->setObjectName(QStringLiteral("CheckBoxTimeAxis"));
    CheckBoxTimeAxis->setToolTip(tr("Нижняя ось в секундах от начала потока"));
    CheckBoxHistogram = new QCheckBox(tr("Гистограмма"), this);
    CheckBoxHistogram->setObjectName(QStringLiteral("CheckBoxHistogram"));
    ButtonStreamExport = new QPushButton(tr("Экспорт"), this);
    ButtonStreamExport->setObjectName(QStringLiteral("ButtonStreamExport"));
    MenuStreamExport = new QMenu(ButtonStreamExport);
    MenuStreamExport->setObjectName(QStringLiteral("MenuStreamExport"));
    const char* const actions[] = {QT_TR_NOOP("Отсчеты в окне в файл CSV..."),
                                   QT_TR_NOOP("Весь поток в файл CSV..."),
                                   QT_TR_NOOP("График в файл PNG, SVG или PDF...")};
    const char* const names[] = {"ActionExportShown", "ActionExportStream", "ActionExportChart"};
    for (int kind = 0; kind < 3; ++kind) {
        QAction* const action = MenuStreamExport->addAction(tr(actions[kind]));
        action->setObjectName(QString::fromLatin1(names[kind]));
        connect(action, &QAction::triggered, this, [this, kind] { ExportDialog(kind); });
    }
    ButtonStreamExport->setMenu(MenuStreamExport);
    LabelStreamStats = MakeStripLabel(QStringLiteral("LabelStreamStats"), this);
    LabelStreamCursors = MakeStripLabel(QStringLiteral("LabelStreamCursors"), this);
    LabelStreamRate = MakeStripLabel(QStringLiteral("LabelStreamRate"), this);
    LabelStreamRate->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    LabelStreamPoint = MakeStripLabel(QStringLiteral("LabelStreamPoint"), this);
    LabelStreamPoint->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    LabelStreamCursors->setToolTip(tr("Курсоры: Ctrl + левая кнопка мыши — первый, Ctrl + правая — второй; "
                                      "стрелки сдвигают последний поставленный, Esc убирает оба"));

    auto* const top = new QHBoxLayout;
    top->setContentsMargins(0, 0, 0, 0);
    for (QWidget* w : std::initializer_list<QWidget*>{ButtonStreamPause, CheckBoxTimeAxis, CheckBoxHistogram,
                                                      ButtonStreamExport})
        top->addWidget(w);
    top->addSpacing(8);
    top->addWidget(LabelStreamCursors, 5);
    top->addWidget(LabelStreamPoint, 3);
    top->addWidget(LabelStreamRate, 2);
    auto* const bottom = new QHBoxLayout;
    bottom->setContentsMargins(0, 0, 0, 0);
    bottom->addWidget(LabelStreamStats);
    auto* const rows = new QVBoxLayout(this);
    rows->setContentsMargins(4, 2, 4, 0);
    rows->setSpacing(1);
    rows->addLayout(top);
    rows->addLayout(bottom);

    ChartHistogram = new QCustomPlot(&plot);
    ChartHistogram->setObjectName(QStringLiteral("ChartHistogram"));
    ChartHistogram->setAccessibleName(tr("Гистограмма отсчетов в окне"));
    ChartHistogram->setBackground(QBrush(QColor(255, 255, 255, 230)));
    ChartHistogram->resize(HistogramSize);
    QFont small = ChartHistogram->font();
    small.setPointSizeF(small.pointSizeF() * 0.8);
    ChartHistogram->xAxis->setTickLabelFont(small);
    ChartHistogram->yAxis->setTickLabelFont(small);
    ChartHistogram->xAxis->ticker()->setTickCount(3);
    ChartHistogram->yAxis->ticker()->setTickCount(3);
    bars_ = new QCPBars(ChartHistogram->xAxis, ChartHistogram->yAxis);
    bars_->setPen(QPen(QColor(0x80, 0x10, 0x10)));
    bars_->setBrush(QColor(0xD0, 0x20, 0x20, 160));
    ChartHistogram->hide();

    // The strip takes the chart's top margin; the other margins stay the chart's own.
    plot_.axisRect()->setAutoMargins(QCP::msLeft | QCP::msRight | QCP::msBottom);
    plot_.axisRect()->setMargins(QMargins(0, Height + 4, 0, 0));
    plot_.installEventFilter(this);
    setGeometry(0, 0, plot_.width(), Height);

    clock_->setSingleShot(true);
    clock_->setInterval(RefreshMs);
    connect(clock_, &QTimer::timeout, this, &TStreamTools::Refresh);
    connect(ButtonStreamPause, &QPushButton::toggled, this, [this](bool paused) {
        ButtonStreamPause->setText(paused ? tr("Продолжить") : tr("Пауза"));
        emit PauseToggled(paused);
    });
    connect(CheckBoxTimeAxis, &QCheckBox::toggled, this, [this](bool on) {
        chart_.SetTimeAxis(on);
        settings_.SetStreamTimeAxis(on);
    });
    connect(CheckBoxHistogram, &QCheckBox::toggled, this, [this](bool on) {
        ChartHistogram->setVisible(on);
        settings_.SetStreamHistogram(on);
        RefreshNow();
    });
    Refresh();
}

void TStreamTools::ApplySettings()
{
    CheckBoxTimeAxis->setChecked(settings_.StreamTimeAxis());
    CheckBoxHistogram->setChecked(settings_.StreamHistogram());
    chart_.SetTimeAxis(CheckBoxTimeAxis->isChecked());
    ChartHistogram->setVisible(CheckBoxHistogram->isChecked());
}

void TStreamTools::SetFormat(const TValueFormat& format)
{
    format_ = format;
    Changed();
}

void TStreamTools::Changed()
{
    if (!clock_->isActive())
        clock_->start();
}

void TStreamTools::RefreshNow()
{
    clock_->stop();
    Refresh();
}

void TStreamTools::SetStreaming(bool running)
{
    if (!running)
        ButtonStreamPause->setChecked(false);
    ButtonStreamPause->setEnabled(running);
}

bool TStreamTools::Paused() const
{
    return ButtonStreamPause->isChecked();
}

std::pair<std::int64_t, std::int64_t> TStreamTools::StatsRange() const
{
    const std::optional<std::int64_t> a = chart_.Cursor(0);
    const std::optional<std::int64_t> b = chart_.Cursor(1);
    if (a && b)
        return {std::min(*a, *b), std::max(*a, *b) + 1};
    return chart_.Shown();
}

void TStreamTools::Refresh()
{
    const TSampleTrace& trace = chart_.Trace();
    const auto [from, to] = StatsRange();
    const bool between = chart_.Cursor(0) && chart_.Cursor(1);
    LabelStreamStats->setText(StreamToolText::Stats(trace.Stats(from, to), format_, between));
    LabelStreamCursors->setText(StreamToolText::Cursors(trace, chart_.Cursor(0), chart_.Cursor(1), format_));
    LabelStreamRate->setText(StreamToolText::Rate(trace.Rate()));
    if (!CheckBoxHistogram->isChecked())
        return;
    PlaceHistogram();
    const std::optional<THistogram> histogram = trace.Histogram(from, to, HistogramBins);
    QVector<double> keys;
    QVector<double> counts;
    double highest = 0;
    if (histogram) {
        const double width = (histogram->Hi - histogram->Lo) / HistogramBins;
        // All values alike: one bar of unit width around them.
        const double shown = width > 0 ? width : 1;
        for (std::size_t i = 0; i < histogram->Bins.size(); ++i) {
            keys.append(histogram->Lo + shown * (static_cast<double>(i) + 0.5));
            counts.append(static_cast<double>(histogram->Bins[i]));
            highest = std::max(highest, counts.constLast());
        }
        bars_->setWidth(shown);
        ChartHistogram->xAxis->setRange(histogram->Lo, histogram->Lo + shown * HistogramBins);
    }
    bars_->setData(keys, counts, true);
    ChartHistogram->yAxis->setRange(0, std::max(1.0, highest * 1.05));
    ChartHistogram->replot(QCustomPlot::rpQueuedReplot);
}

void TStreamTools::PlaceHistogram()
{
    const QRect plotRect = chart_.PlotRect();
    const QPoint at(plotRect.right() - HistogramSize.width() - 4, plotRect.top() + 4);
    if (ChartHistogram->pos() != at)
        ChartHistogram->move(at);
}

bool TStreamTools::PlaceCursor(int which, int pixelX)
{
    const std::optional<std::int64_t> index = chart_.IndexAtPixel(pixelX);
    if (!index)
        return false;
    chart_.SetCursor(which, index);
    lastCursor_ = which;
    RefreshNow();
    return true;
}

bool TStreamTools::CursorKey(const QKeyEvent& key)
{
    if (key.key() == Qt::Key_Escape && (chart_.Cursor(0) || chart_.Cursor(1))) {
        chart_.SetCursor(0, std::nullopt);
        chart_.SetCursor(1, std::nullopt);
        RefreshNow();
        return true;
    }
    if (key.key() != Qt::Key_Left && key.key() != Qt::Key_Right)
        return false;
    const std::optional<std::int64_t> at = chart_.Cursor(lastCursor_);
    if (!at)
        return false;
    const std::int64_t step = (key.modifiers() & Qt::ShiftModifier) ? 10 : 1;
    const std::int64_t last = chart_.Trace().Size() - 1;
    const std::int64_t to = std::clamp(*at + (key.key() == Qt::Key_Left ? -step : step), std::int64_t{0}, last);
    chart_.SetCursor(lastCursor_, to);
    RefreshNow();
    return true;
}

void TStreamTools::ShowPoint(std::int64_t index)
{
    LabelStreamPoint->setText(StreamToolText::Point(chart_.Trace(), index));
}

bool TStreamTools::ExportCsv(const QString& path, bool whole, QString* reason) const
{
    const TSampleTrace& trace = chart_.Trace();
    const auto [from, to] = whole ? std::pair<std::int64_t, std::int64_t>{0, trace.Size()} : chart_.Shown();
    return SaveWhole(path, TraceAsCsv(trace, from, to), reason);
}

bool TStreamTools::ExportImage(const QString& path, QString* reason) const
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    const int w = plot_.width();
    const int h = plot_.height();
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    const auto render = [&](QPaintDevice& device, bool vector) {
        QCPPainter painter;
        if (!painter.begin(&device))
            return false;
        if (vector) {
            painter.setMode(QCPPainter::pmVectorized);
            painter.setMode(QCPPainter::pmNoCaching);
        }
        painter.fillRect(QRect(0, 0, w, h), Qt::white);
        plot_.toPainter(&painter, w, h);
        return painter.end();
    };
    bool drawn = false;
    if (suffix == QLatin1String("png")) {
        QImage image(w, h, QImage::Format_RGB32);
        drawn = render(image, false) && image.save(&buffer, "PNG");
    } else if (suffix == QLatin1String("svg")) {
        QSvgGenerator svg;
        svg.setOutputDevice(&buffer);
        svg.setSize(QSize(w, h));
        svg.setViewBox(QRect(0, 0, w, h));
        svg.setTitle(tr("График потока результатов"));
        drawn = render(svg, true);
    } else if (suffix == QLatin1String("pdf")) {
        QPdfWriter pdf(&buffer);
        pdf.setResolution(PdfDpi);
        pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
        pdf.setPageSize(QPageSize(QSizeF(w * 72.0 / PdfDpi, h * 72.0 / PdfDpi), QPageSize::Point));
        pdf.setTitle(tr("График потока результатов"));
        drawn = render(pdf, true);
    } else {
        if (reason)
            *reason = tr("неизвестный вид файла «%1»: нужен PNG, SVG или PDF").arg(suffix);
        return false;
    }
    if (!drawn || buffer.data().isEmpty()) {
        if (reason)
            *reason = tr("не удалось построить изображение");
        return false;
    }
    return SaveWhole(path, buffer.data(), reason);
}

void TStreamTools::ExportDialog(int kind)
{
    const bool image = kind == 2;
    QFileDialog dialog(window(), image ? tr("Сохранить график") : tr("Сохранить отсчеты потока"));
    dialog.setObjectName(QStringLiteral("DialogStreamExport"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    const QStringList filters = image ? QStringList{tr("Изображение PNG (*.png)"), tr("Рисунок SVG (*.svg)"),
                                                    tr("Документ PDF (*.pdf)")}
                                      : QStringList{tr("Таблица CSV (*.csv)")};
    dialog.setNameFilters(filters);
    dialog.selectFile(image ? QStringLiteral("stream.png") : QStringLiteral("stream.csv"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    static const QString suffixes[] = {QStringLiteral("png"), QStringLiteral("svg"), QStringLiteral("pdf")};
    const qsizetype chosen = std::max<qsizetype>(0, filters.indexOf(dialog.selectedNameFilter()));
    const QString path = WithSuffix(dialog.selectedFiles().constFirst(),
                                    image ? suffixes[std::min<qsizetype>(chosen, 2)] : QStringLiteral("csv"));
    QString reason;
    const bool written = image ? ExportImage(path, &reason) : ExportCsv(path, kind == 1, &reason);
    if (written)
        return;
    qCWarning(lcPages) << "stream export to" << path << "failed:" << reason;
    QMessageBox::warning(window(), tr("Экспорт"),
                         tr("Не удалось записать файл %1: %2").arg(QDir::toNativeSeparators(path), reason));
}

bool TStreamTools::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == &plot_ && event->type() == QEvent::Resize) {
        setGeometry(0, 0, plot_.width(), Height);
        PlaceHistogram();
    }
    return QWidget::eventFilter(watched, event);
}
