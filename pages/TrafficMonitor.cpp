#include "pages/TrafficMonitor.h"
#include "Version.h"
#include "bus/SensorBus.h"
#include "pages/PageHelpers.h"
#include "pages/TrafficModel.h"
#include "report/DiagnosticReport.h"
#include "serial/PortDetails.h"
#include "settings/Settings.h"
#include "traffic/TrafficExport.h"
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSaveFile>
#include <QScreen>
#include <QScrollBar>
#include <QSplitter>
#include <QTableView>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

namespace {

constexpr int MinimumWidth = 560;
constexpr int MinimumHeight = 320;
// Typing in the search boxes refilters up to a full log; a pause in the typing does it once.
constexpr int FilterDelayMs = 250;

QString Translate(const char* text)
{
    return QCoreApplication::translate("TrafficMonitor", text);
}

QString Milliseconds(std::int64_t us)
{
    if (us < 0)
        return QStringLiteral("—");
    return QLocale(QLocale::Russian).toString(static_cast<double>(us) / 1000.0, 'f', 1);
}

QLabel* FilterLabel(const QString& name, const QString& text, QWidget* buddy, QWidget* parent)
{
    auto* const label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setBuddy(buddy);
    buddy->setAccessibleName(text.simplified().remove(QLatin1Char(':')));
    return label;
}

QPushButton* ActionButton(const QString& name, const QString& caption, QWidget* parent)
{
    auto* const button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    return button;
}

} // namespace

QString PortDescription(const TMonitorPort& port)
{
    if (port.Demo)
        return Translate("%1: встроенная имитация шины, датчики моделирует сама программа").arg(port.Name);
    if (port.Path.isEmpty())
        return Translate("порт не выбран");
    const TPortDetails details = PortDetailsOf(port.Path);
    QStringList parts;
    if (!details.Driver.isEmpty())
        parts << Translate("драйвер %1").arg(details.Driver);
    if (details.Usb) {
        parts << QStringLiteral("USB %1:%2").arg(details.VendorId, details.ProductId);
        for (const QString& said : {details.Manufacturer, details.Product})
            if (!said.isEmpty())
                parts << said;
        if (!details.Serial.isEmpty())
            parts << Translate("серийный номер %1").arg(details.Serial);
    }
    if (parts.isEmpty())
        parts << Translate("сведений об адаптере нет");
    return port.Path + QStringLiteral(": ") + parts.join(QStringLiteral(", "));
}

WindowGeometry PlaceMonitor(const WindowGeometry& stored, const QRect& available)
{
    WindowGeometry g;
    g.Width = std::min(std::max(stored.Width, MinimumWidth), available.width());
    g.Height = std::min(std::max(stored.Height, MinimumHeight), available.height());
    if (stored.Left == CentredPosition || stored.Top == CentredPosition) {
        g.Left = available.left() + (available.width() - g.Width) / 2;
        g.Top = available.top() + (available.height() - g.Height) / 2;
        return g;
    }
    // A place on a screen no longer there, or half off this one, comes back whole onto it.
    g.Left = std::clamp(stored.Left, available.left(), available.left() + available.width() - g.Width);
    g.Top = std::clamp(stored.Top, available.top(), available.top() + available.height() - g.Height);
    return g;
}

TTrafficMonitor::TTrafficMonitor(TSensorBus& bus, TSettings& settings, std::function<TMonitorPort()> portOf,
                                 QWidget* parent)
    : QWidget(parent, Qt::Window), bus_(bus), settings_(settings), portOf_(std::move(portOf)),
      model_(new TTrafficModel(bus.Traffic(), this))
{
    setObjectName(QStringLiteral("TrafficMonitor"));
    setWindowTitle(tr("Журнал обмена"));
    setMinimumSize(MinimumWidth, MinimumHeight);

    EditAddress = new QLineEdit(this);
    EditAddress->setObjectName(QStringLiteral("EditAddress"));
    EditAddress->setMaxLength(2);
    EditAddress->setPlaceholderText(tr("все"));
    EditAddress->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9A-Fa-f]{0,2}")), EditAddress));
    EditAddress->setFixedWidth(EditAddress->fontMetrics().horizontalAdvance(QStringLiteral("WWWW")) + 12);
    EditAddress->setToolTip(tr("Адрес датчика, две шестнадцатеричные цифры; пусто — все адреса"));
    ComboDirection = new QComboBox(this);
    ComboDirection->setObjectName(QStringLiteral("ComboDirection"));
    ComboDirection->addItems({tr("Все"), tr("Запросы"), tr("Ответы")});
    CheckErrorsOnly = new QCheckBox(tr("Только ошибки"), this);
    CheckErrorsOnly->setObjectName(QStringLiteral("CheckErrorsOnly"));
    EditText = new QLineEdit(this);
    EditText->setObjectName(QStringLiteral("EditText"));
    EditText->setClearButtonEnabled(true);
    EditText->setPlaceholderText(tr("байты, текст или значение"));

    auto* const filters = new QHBoxLayout;
    filters->addWidget(FilterLabel(QStringLiteral("LabelAddress"), tr("Адрес:"), EditAddress, this));
    filters->addWidget(EditAddress);
    filters->addSpacing(8);
    filters->addWidget(
        FilterLabel(QStringLiteral("LabelDirection"), tr("Направление:"), ComboDirection, this));
    filters->addWidget(ComboDirection);
    filters->addSpacing(8);
    filters->addWidget(CheckErrorsOnly);
    filters->addSpacing(8);
    filters->addWidget(FilterLabel(QStringLiteral("LabelText"), tr("Найти:"), EditText, this));
    filters->addWidget(EditText, 1);

    ButtonPause = ActionButton(QStringLiteral("ButtonPause"), tr("Пауза"), this);
    ButtonPause->setCheckable(true);
    ButtonPause->setToolTip(tr("Таблица не обновляется, журнал продолжает записываться"));
    ButtonClear = ActionButton(QStringLiteral("ButtonClear"), tr("Очистить"), this);
    ButtonCopy = ActionButton(QStringLiteral("ButtonCopy"), tr("Копировать"), this);
    ButtonCopy->setToolTip(tr("Выделенные строки в буфер обмена (Ctrl+C)"));
    ButtonSave = ActionButton(QStringLiteral("ButtonSave"), tr("Сохранить…"), this);
    ButtonSave->setToolTip(tr("Журнал в текстовый файл (.txt) или в таблицу CSV (.csv)"));
    CheckSaveFiltered = new QCheckBox(tr("только отобранные"), this);
    CheckSaveFiltered->setObjectName(QStringLiteral("CheckSaveFiltered"));
    CheckSaveFiltered->setToolTip(tr("Сохранять только строки, показанные в таблице, а не весь журнал"));
    ButtonReport = ActionButton(QStringLiteral("ButtonReport"), tr("Сохранить отчёт…"), this);
    ButtonReport->setToolTip(tr("Архив для службы поддержки: журнал, состояние связи, настройки, "
                                "сведения о версии, порте и системе"));

    auto* const actions = new QHBoxLayout;
    actions->addWidget(ButtonPause);
    actions->addWidget(ButtonClear);
    actions->addWidget(ButtonCopy);
    actions->addSpacing(16);
    actions->addWidget(ButtonSave);
    actions->addWidget(CheckSaveFiltered);
    actions->addSpacing(16);
    actions->addWidget(ButtonReport);
    actions->addStretch(1);

    TableTraffic = new QTableView(this);
    TableTraffic->setObjectName(QStringLiteral("TableTraffic"));
    TableTraffic->setAccessibleName(tr("Кадры обмена"));
    TableTraffic->setModel(model_);
    TableTraffic->setSelectionBehavior(QAbstractItemView::SelectRows);
    TableTraffic->setSelectionMode(QAbstractItemView::ExtendedSelection);
    TableTraffic->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TableTraffic->setWordWrap(false);
    TableTraffic->setAlternatingRowColors(true);
    TableTraffic->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    // Rows of one fixed height, never measured: the view stays as cheap with a full log as with ten.
    QHeaderView* const rows = TableTraffic->verticalHeader();
    rows->hide();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(fontMetrics().height() + 6);
    QHeaderView* const columns = TableTraffic->horizontalHeader();
    columns->setStretchLastSection(true);
    columns->setHighlightSections(false);
    const QFontMetrics metrics = fontMetrics();
    const std::pair<int, const char*> samples[] = {
        {TrafficColumn::Time, "00:00:00.000"},
        {TrafficColumn::Direction, "Направление"},
        {TrafficColumn::Port, "/dev/ttyUSB0"},
        {TrafficColumn::Response, "Время ответа"},
        {TrafficColumn::Speed, "Скорость"},
        {TrafficColumn::Address, "Адрес"},
        {TrafficColumn::Bytes, "23 31 41 52 30 38 0D 0A"},
        {TrafficColumn::Text, "!1AR08=00FF."},
        {TrafficColumn::Meaning, "ответ R08 = 00FF"},
        {TrafficColumn::Status, "нет ответа (3000 мс)"},
    };
    for (const auto& [column, sample] : samples)
        TableTraffic->setColumnWidth(column, metrics.horizontalAdvance(QString::fromUtf8(sample)) + 16);
    TableTraffic->installEventFilter(this);

    TableHealth = new QTableWidget(0, 11, this);
    TableHealth->setObjectName(QStringLiteral("TableHealth"));
    TableHealth->setAccessibleName(tr("Состояние связи с датчиками"));
    TableHealth->setHorizontalHeaderLabels(
        {tr("Адрес"), tr("Запросов"), tr("Ответов"), tr("Нет ответа"), tr("Ошибок"), tr("Исключений"),
         tr("Опоздали"), tr("Последнее, мс"), tr("Мин., мс"), tr("Среднее, мс"), tr("Макс., мс")});
    TableHealth->verticalHeader()->hide();
    TableHealth->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    TableHealth->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    TableHealth->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TableHealth->setSelectionBehavior(QAbstractItemView::SelectRows);
    TableHealth->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);

    auto* const splitter = new QSplitter(Qt::Vertical, this);
    splitter->setObjectName(QStringLiteral("SplitterTraffic"));
    splitter->setChildrenCollapsible(false);
    splitter->addWidget(TableTraffic);
    splitter->addWidget(TableHealth);
    splitter->setStretchFactor(0, 4);
    splitter->setStretchFactor(1, 1);

    LabelPort = new QLabel(this);
    LabelPort->setObjectName(QStringLiteral("LabelPort"));
    LabelPort->setTextInteractionFlags(Qt::TextSelectableByMouse);
    LabelCounts = new QLabel(this);
    LabelCounts->setObjectName(QStringLiteral("LabelCounts"));

    auto* const layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addLayout(actions);
    layout->addWidget(splitter, 1);
    layout->addWidget(LabelPort);
    layout->addWidget(LabelCounts);

    filterDelay_ = new QTimer(this);
    filterDelay_->setSingleShot(true);
    filterDelay_->setInterval(FilterDelayMs);
    connect(filterDelay_, &QTimer::timeout, this, &TTrafficMonitor::ApplyFilter);
    connect(EditAddress, &QLineEdit::textChanged, filterDelay_, qOverload<>(&QTimer::start));
    connect(EditText, &QLineEdit::textChanged, filterDelay_, qOverload<>(&QTimer::start));
    connect(ComboDirection, &QComboBox::currentIndexChanged, this, &TTrafficMonitor::ApplyFilter);
    connect(CheckErrorsOnly, &QCheckBox::toggled, this, &TTrafficMonitor::ApplyFilter);
    connect(ButtonPause, &QPushButton::toggled, model_, &TTrafficModel::SetPaused);
    connect(ButtonClear, &QPushButton::clicked, this, [this] {
        bus_.ClearTraffic();
        model_->CatchUp();
    });
    connect(ButtonCopy, &QPushButton::clicked, this, &TTrafficMonitor::CopySelected);
    connect(ButtonSave, &QPushButton::clicked, this, &TTrafficMonitor::SaveClick);
    connect(ButtonReport, &QPushButton::clicked, this, &TTrafficMonitor::ReportClick);

    // The view follows the newest rows while the user looks at them; scrolled up, it stays on the
    // rows they look at, even as the oldest give way above them.
    QScrollBar* const bar = TableTraffic->verticalScrollBar();
    const auto atBottom = [bar] { return bar->value() >= bar->maximum(); };
    connect(model_, &QAbstractItemModel::rowsAboutToBeInserted, this,
            [this, atBottom] { followNewest_ = atBottom(); });
    connect(model_, &QAbstractItemModel::rowsInserted, this, [this] {
        if (followNewest_)
            TableTraffic->scrollToBottom();
    });
    connect(model_, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this, atBottom](const QModelIndex&, int, int) { followNewest_ = atBottom(); });
    connect(model_, &QAbstractItemModel::rowsRemoved, this,
            [this, bar](const QModelIndex&, int first, int last) {
                if (followNewest_)
                    TableTraffic->scrollToBottom();
                else if (first == 0)
                    bar->setValue(std::max(0, bar->value() - (last + 1)));
            });
    connect(model_, &QAbstractItemModel::modelReset, TableTraffic, &QTableView::scrollToBottom);
    connect(model_, &TTrafficModel::CaughtUp, this, &TTrafficMonitor::Refresh);
}

void TTrafficMonitor::Open()
{
    if (!placed_) {
        placed_ = true;
        const WindowGeometry stored = settings_.TrafficMonitorGeometry();
        const QScreen* screen = stored.Left == CentredPosition || stored.Top == CentredPosition
                                    ? nullptr
                                    : QGuiApplication::screenAt(QPoint(stored.Left, stored.Top));
        if (!screen && parentWidget())
            screen = parentWidget()->screen();
        if (!screen)
            screen = QGuiApplication::primaryScreen();
        const QRect available = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
        const WindowGeometry g = PlaceMonitor(stored, available);
        resize(g.Width, g.Height);
        move(g.Left, g.Top);
    }
    if (windowState() & Qt::WindowMinimized)
        setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

void TTrafficMonitor::SaveGeometry()
{
    if (!placed_)
        return;
    // Maximised or minimised, the place to come back to is the normal one.
    const bool normal = !(windowState() & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen));
    const QRect r = normal ? QRect(pos(), size()) : normalGeometry();
    settings_.SetTrafficMonitorGeometry({r.width(), r.height(), r.top(), r.left()});
}

void TTrafficMonitor::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    portShown_.clear();
    model_->SetLive(true);
}

void TTrafficMonitor::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    // Nobody looks: the model stops its timer; showing it again catches up at once.
    if (!isMinimized())
        model_->SetLive(false);
}

void TTrafficMonitor::closeEvent(QCloseEvent* event)
{
    SaveGeometry();
    QWidget::closeEvent(event);
}

bool TTrafficMonitor::eventFilter(QObject* watched, QEvent* event)
{
    // The view's own Ctrl+C copies one cell; here it copies the selected rows, as the button does.
    if (watched == TableTraffic &&
        (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride) &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
        event->accept();
        if (event->type() == QEvent::KeyPress)
            CopySelected();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

TTrafficFilter TTrafficMonitor::FilterOfControls() const
{
    TTrafficFilter filter;
    bool ok = false;
    const int address = EditAddress->text().toInt(&ok, 16);
    if (ok)
        filter.Address = address;
    if (ComboDirection->currentIndex() == 1)
        filter.Direction = TFrameDirection::Sent;
    else if (ComboDirection->currentIndex() == 2)
        filter.Direction = TFrameDirection::Received;
    filter.ErrorsOnly = CheckErrorsOnly->isChecked();
    filter.Text = EditText->text().trimmed();
    return filter;
}

void TTrafficMonitor::ApplyFilter()
{
    filterDelay_->stop();
    model_->SetFilter(FilterOfControls());
}

void TTrafficMonitor::CopySelected()
{
    QModelIndexList chosen = TableTraffic->selectionModel()->selectedRows();
    if (chosen.isEmpty() && TableTraffic->currentIndex().isValid())
        chosen << TableTraffic->currentIndex();
    std::sort(chosen.begin(), chosen.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    QString text;
    for (const QModelIndex& index : chosen) {
        const QStringList cells = model_->RowTexts(index.row());
        if (!cells.isEmpty())
            text += cells.join(QLatin1Char('\t')) + QLatin1Char('\n');
    }
    if (!text.isEmpty())
        QApplication::clipboard()->setText(text);
}

void TTrafficMonitor::SaveClick()
{
    const QString textFilter = tr("Текст (*.txt)");
    const QString csvFilter = tr("Таблица CSV (*.csv)");
    QFileDialog dialog(this, tr("Сохранить журнал обмена"));
    dialog.setObjectName(QStringLiteral("DialogSaveTraffic"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters({textFilter, csvFilter});
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString chosen = dialog.selectedFiles().constFirst();
    const QString suffix = QFileInfo(chosen).suffix().toLower();
    const bool csv =
        suffix == QLatin1String("csv") || (suffix.isEmpty() && dialog.selectedNameFilter() == csvFilter);
    SaveFrames(WithSuffix(chosen, csv ? QStringLiteral("csv") : QStringLiteral("txt")), csv);
}

bool TTrafficMonitor::SaveFrames(const QString& path, bool csv)
{
    const TTrafficLog& log = bus_.Traffic();
    const std::vector<std::uint64_t> seqs = CheckSaveFiltered->isChecked() ? model_->Seqs() : AllFrames(log);
    const QByteArray content = csv ? TrafficAsCsv(log, seqs) : TrafficAsText(log, seqs);
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(content) == content.size() && file.commit())
        return true;
    QMessageBox::warning(this, windowTitle(),
                         tr("Не удалось сохранить журнал в файл %1: %2")
                             .arg(QDir::toNativeSeparators(path), file.errorString()));
    return false;
}

void TTrafficMonitor::ReportClick()
{
    QFileDialog dialog(this, tr("Сохранить отчёт для службы поддержки"));
    dialog.setObjectName(QStringLiteral("DialogSaveReport"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(tr("Архив ZIP (*.zip)"));
    dialog.selectFile(QStringLiteral("veltrano-report-%1.zip")
                          .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"))));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString path = WithSuffix(dialog.selectedFiles().constFirst(), QStringLiteral("zip"));
    const TMonitorPort port = portOf_ ? portOf_() : TMonitorPort();
    TDiagnosticSources sources;
    sources.Log = &bus_.Traffic();
    sources.Health = &bus_.Health();
    sources.SettingsPath = settings_.Paths().WorkingFile();
    sources.Version = QStringLiteral(VELTRANO_VERSION);
    sources.PortPath = port.Demo ? port.Name : port.Path;
    sources.Protocol =
        bus_.Protocol() == TProtocol::Modbus ? QStringLiteral("Modbus RTU") : tr("стандартный");
    QString error;
    if (!WriteDiagnosticReport(path, sources, &error))
        QMessageBox::warning(
            this, windowTitle(),
            tr("Не удалось сохранить отчёт в файл %1: %2").arg(QDir::toNativeSeparators(path), error));
}

void TTrafficMonitor::Refresh()
{
    if (!isVisible())
        return;
    const TTrafficLog& log = bus_.Traffic();
    QString counts = tr("Кадров: %1, не сохранено старых: %2").arg(log.Size()).arg(log.Dropped());
    if (!model_->Filter().Empty())
        counts += tr(", отобрано: %1").arg(model_->rowCount());
    if (model_->Paused())
        counts += tr(" (пауза)");
    LabelCounts->setText(counts);
    RefreshHealth();
    RefreshPort();
}

void TTrafficMonitor::RefreshHealth()
{
    const auto& all = bus_.Health().All();
    TableHealth->setRowCount(static_cast<int>(all.size()));
    int row = 0;
    for (const auto& [address, health] : all) {
        const QString cells[] = {QStringLiteral("%1").arg(address, 2, 16, QLatin1Char('0')).toUpper(),
                                 QString::number(health.Requests),
                                 QString::number(health.Replies),
                                 QString::number(health.Timeouts),
                                 QString::number(health.Errors),
                                 QString::number(health.Exceptions),
                                 QString::number(health.Late),
                                 Milliseconds(health.LastUs),
                                 Milliseconds(health.MinUs),
                                 Milliseconds(health.MeanUs()),
                                 Milliseconds(health.MaxUs)};
        for (int column = 0; column < TableHealth->columnCount(); ++column) {
            QTableWidgetItem* item = TableHealth->item(row, column);
            if (!item) {
                item = new QTableWidgetItem;
                item->setTextAlignment(column == 0 ? Qt::AlignCenter : Qt::AlignRight | Qt::AlignVCenter);
                TableHealth->setItem(row, column, item);
            }
            if (item->text() != cells[column])
                item->setText(cells[column]);
        }
        ++row;
    }
}

void TTrafficMonitor::RefreshPort()
{
    const TMonitorPort port = portOf_ ? portOf_() : TMonitorPort();
    const QString key = port.Name + QLatin1Char('\n') + port.Path;
    if (key == portShown_)
        return;
    portShown_ = key;
    LabelPort->setText(tr("Порт %1").arg(PortDescription(port)));
}
