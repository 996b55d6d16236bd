#include "app/Unit1.h"
#include "app/Unit_Utils.h"
#include "pages/PageHelpers.h"
#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <qcustomplot.h>

namespace {

constexpr int ChartTop = 86;

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
    Series1 = Chart1->addGraph(Chart1->xAxis, Chart1->yAxis);
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
