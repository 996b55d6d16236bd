#include "pages/CloneDialog.h"
#include "bus/SensorBus.h"
#include "pages/PageHost.h"
#include "params/ParamSet.h"
#include "params/ParamSetFile.h"
#include "params/SaveWhole.h"
#include "protocol/DeviceList.h"
#include "protocol/DeviceUnit.h"
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

namespace {

QString SensorText(const TDevice& device)
{
    const QString model = QString::fromLatin1(device.Model).trimmed();
    return QStringLiteral("%1 — %2 № %3, %4 бод")
        .arg(device.AddressNumber())
        .arg(model.isEmpty() ? QStringLiteral("без модели") : model)
        .arg(device.SerialNumber)
        .arg(device.ComPortSpeed.load());
}

QString ResultText(const TOutcome& outcome)
{
    switch (outcome.Kind) {
    case TOutcomeKind::Done:
        return outcome.Verified ? QStringLiteral("записан и проверен") : QStringLiteral("записан");
    case TOutcomeKind::Differs:
        return QStringLiteral("записан с расхождениями");
    case TOutcomeKind::Timeout:
        return QStringLiteral("нет ответа");
    case TOutcomeKind::PortLost:
        return QStringLiteral("нет связи с портом");
    case TOutcomeKind::Refused:
        return QStringLiteral("отказ, код %1").arg(outcome.ExceptionCode);
    case TOutcomeKind::Stopped:
    case TOutcomeKind::NotFound:
    case TOutcomeKind::Failed:
        break;
    }
    return QStringLiteral("не записан");
}

// The captions of the page's rows and groups that the parameters concern.
QString DifferingText(const std::vector<TParam>& differing)
{
    QStringList names;
    for (const TParam param : differing) {
        const QString name = ParamPartName(param);
        if (!names.contains(name))
            names << name;
    }
    return names.join(QStringLiteral(", "));
}

// The set with the address and line speed the sensor is to have.
TWritePlan PlanFor(const TParamImage& set, int address, int speed, TProtocol protocol)
{
    return WritePlanOfImage(ImageAt(set, address, speed), address, speed, protocol, true);
}

} // namespace

TCloneDialog::TCloneDialog(TPageHost& host, const TParamImage& set,
                           std::function<void(TDevice&, const TParamImage&)> keep, QWidget* parent)
    : QDialog(parent), host_(host), set_(set), keep_(std::move(keep))
{
    setObjectName(QStringLiteral("CloneDialog"));
    setWindowTitle(QStringLiteral("Клонирование параметров"));
    auto* layout = new QVBoxLayout(this);
    auto* caption = new QLabel(QStringLiteral("Датчики, в которые записать параметры страницы:"), this);
    caption->setWordWrap(true);
    layout->addWidget(caption);
    CloneSensors = new QListWidget(this);
    CloneSensors->setObjectName(QStringLiteral("CloneSensors"));
    CloneSensors->setAccessibleName(QStringLiteral("Датчики для клонирования"));
    const TDeviceList& devices = host_.Bus().Devices();
    for (int index = 0; index < devices.Count(); ++index) {
        TDevice* const device = devices.At(index);
        if (!device || device->AddressNumber() < 0)
            continue;
        auto* item = new QListWidgetItem(SensorText(*device), CloneSensors);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
        item->setData(Qt::UserRole, index);
    }
    layout->addWidget(CloneSensors);
    auto* choices = new QHBoxLayout;
    CheckBox_CloneAddresses =
        new QCheckBox(QStringLiteral("Назначить новые адреса по порядку, начиная с"), this);
    CheckBox_CloneAddresses->setObjectName(QStringLiteral("CheckBox_CloneAddresses"));
    SpinBox_CloneFirstAddress = new QSpinBox(this);
    SpinBox_CloneFirstAddress->setObjectName(QStringLiteral("SpinBox_CloneFirstAddress"));
    SpinBox_CloneFirstAddress->setRange(1, 255);
    SpinBox_CloneFirstAddress->setAccessibleName(CheckBox_CloneAddresses->text());
    ComboBox_CloneSpeed = new QComboBox(this);
    ComboBox_CloneSpeed->setObjectName(QStringLiteral("ComboBox_CloneSpeed"));
    ComboBox_CloneSpeed->setAccessibleName(QStringLiteral("Скорость UART"));
    ComboBox_CloneSpeed->addItem(QStringLiteral("скорость каждого датчика"));
    ComboBox_CloneSpeed->addItems(UartTexts());
    // Past every address in use, so that the first suggestion clashes with none.
    int highest = 0;
    for (int index = 0; index < devices.Count(); ++index)
        if (const TDevice* const device = devices.At(index))
            highest = std::max(highest, device->AddressNumber());
    SpinBox_CloneFirstAddress->setValue(std::min(highest + 1, 255));
    SpinBox_CloneFirstAddress->setEnabled(false);
    connect(CheckBox_CloneAddresses, &QCheckBox::toggled, SpinBox_CloneFirstAddress, &QWidget::setEnabled);
    choices->addWidget(CheckBox_CloneAddresses);
    choices->addWidget(SpinBox_CloneFirstAddress);
    choices->addStretch(1);
    choices->addWidget(ComboBox_CloneSpeed);
    layout->addLayout(choices);
    CloneProgress = new QProgressBar(this);
    CloneProgress->setObjectName(QStringLiteral("CloneProgress"));
    CloneProgress->setValue(0);
    layout->addWidget(CloneProgress);
    CloneReport = new QTableWidget(0, 3, this);
    CloneReport->setObjectName(QStringLiteral("CloneReport"));
    CloneReport->setAccessibleName(QStringLiteral("Отчёт о клонировании"));
    CloneReport->setHorizontalHeaderLabels(
        {QStringLiteral("Датчик"), QStringLiteral("Результат"), QStringLiteral("Отличающиеся параметры")});
    CloneReport->horizontalHeader()->setStretchLastSection(true);
    CloneReport->verticalHeader()->hide();
    CloneReport->setEditTriggers(QAbstractItemView::NoEditTriggers);
    layout->addWidget(CloneReport);

    auto* buttons = new QDialogButtonBox(this);
    Button_CloneStart = buttons->addButton(QStringLiteral("Записать"), QDialogButtonBox::ActionRole);
    Button_CloneStart->setObjectName(QStringLiteral("Button_CloneStart"));
    Button_CloneStop = buttons->addButton(QStringLiteral("Остановить"), QDialogButtonBox::ActionRole);
    Button_CloneStop->setObjectName(QStringLiteral("Button_CloneStop"));
    Button_CloneStop->setEnabled(false);
    Button_CloneSave = buttons->addButton(QStringLiteral("Сохранить отчёт..."), QDialogButtonBox::ActionRole);
    Button_CloneSave->setObjectName(QStringLiteral("Button_CloneSave"));
    Button_CloneSave->setEnabled(false);
    Button_CloneClose = buttons->addButton(QStringLiteral("Закрыть"), QDialogButtonBox::RejectRole);
    Button_CloneClose->setObjectName(QStringLiteral("Button_CloneClose"));
    layout->addWidget(buttons);
    connect(Button_CloneStart, &QPushButton::clicked, this, &TCloneDialog::StartClick);
    connect(Button_CloneStop, &QPushButton::clicked, this, &TCloneDialog::StopClick);
    connect(Button_CloneSave, &QPushButton::clicked, this, &TCloneDialog::SaveReportClick);
    connect(buttons, &QDialogButtonBox::rejected, this, &TCloneDialog::reject);
    connect(&host_.Bus(), &TSensorBus::TargetFinished, this, &TCloneDialog::OnTargetFinished);
    connect(&host_.Bus(), &TSensorBus::OperationFinished, this, &TCloneDialog::OnFinished);
    resize(640, 480);
}

void TCloneDialog::StartClick()
{
    std::vector<TDevice*> targets;
    for (int row = 0; row < CloneSensors->count(); ++row) {
        const QListWidgetItem* const item = CloneSensors->item(row);
        if (item->checkState() == Qt::Checked)
            targets.push_back(host_.Bus().Devices().At(item->data(Qt::UserRole).toInt()));
    }
    if (targets.empty()) {
        QMessageBox box(QMessageBox::Information, windowTitle(), QStringLiteral("Не выбран ни один датчик."),
                        QMessageBox::Ok, this);
        box.exec();
        return;
    }
    // Where each sensor is to answer afterwards; no two sensors may end at one address and speed.
    std::vector<std::pair<int, int>> ends;
    for (std::size_t i = 0; i < targets.size(); ++i) {
        const int address = CheckBox_CloneAddresses->isChecked()
                                ? SpinBox_CloneFirstAddress->value() + static_cast<int>(i)
                                : targets[i]->AddressNumber();
        const int speed = ComboBox_CloneSpeed->currentIndex() > 0
                              ? UartBauds()[static_cast<std::size_t>(ComboBox_CloneSpeed->currentIndex() - 1)]
                              : targets[i]->ComPortSpeed.load();
        ends.emplace_back(address, speed);
    }
    const TDeviceList& devices = host_.Bus().Devices();
    for (int index = 0; index < devices.Count(); ++index) {
        const TDevice* const device = devices.At(index);
        if (device && std::find(targets.begin(), targets.end(), device) == targets.end())
            ends.emplace_back(device->AddressNumber(), device->ComPortSpeed.load());
    }
    // Nor on the way there: a sensor may not move onto the place another target still holds.
    QString clash;
    for (std::size_t i = 0; i < targets.size() && clash.isEmpty(); ++i) {
        if (ends[i].first > 255)
            clash = QStringLiteral("Адрес %1 больше 255.").arg(ends[i].first);
        for (std::size_t j = 0; j < ends.size() && clash.isEmpty(); ++j) {
            const bool heldNow =
                j < targets.size() && j != i &&
                std::pair(targets[j]->AddressNumber(), targets[j]->ComPortSpeed.load()) == ends[i];
            if ((j != i && ends[j] == ends[i]) || heldNow)
                clash = QStringLiteral("Два датчика получили бы адрес %1 на скорости %2 бод.")
                            .arg(ends[i].first)
                            .arg(ends[i].second);
        }
    }
    if (!clash.isEmpty()) {
        QMessageBox box(QMessageBox::Warning, windowTitle(), clash, QMessageBox::Ok, this);
        box.exec();
        return;
    }
    std::vector<TWritePlan> plans;
    oldAddresses_.clear();
    for (std::size_t i = 0; i < targets.size(); ++i) {
        plans.push_back(PlanFor(set_, ends[i].first, ends[i].second, host_.Bus().Protocol()));
        oldAddresses_.push_back(targets[i]->AddressNumber());
    }
    if (!host_.Bus().StartClone(targets, plans, host_.SelectedDevice()))
        return;
    targets_ = targets;
    finished_ = 0;
    running_ = true;
    CloneReport->setRowCount(static_cast<int>(targets.size()));
    for (int row = 0; row < CloneReport->rowCount(); ++row) {
        CloneReport->setItem(row, 0,
                             new QTableWidgetItem(SensorText(*targets[static_cast<std::size_t>(row)])));
        SetRow(row, QStringLiteral("ожидает"), QString());
    }
    CloneProgress->setRange(0, static_cast<int>(targets.size()));
    CloneProgress->setValue(0);
    CloneSensors->setEnabled(false);
    Button_CloneStart->setEnabled(false);
    Button_CloneStop->setEnabled(true);
    Button_CloneSave->setEnabled(false);
    Button_CloneClose->setEnabled(false);
    host_.SetStatusText(1, QStringLiteral("Клонирование..."));
}

void TCloneDialog::StopClick()
{
    host_.Bus().StopCloneAfterCurrent();
    Button_CloneStop->setEnabled(false);
}

void TCloneDialog::OnTargetFinished(int index, TDevice*, const TOutcome& outcome)
{
    if (!running_ || index < 0 || index >= CloneReport->rowCount())
        return;
    SetRow(index, ResultText(outcome), DifferingText(outcome.Differing));
    TDevice& device = *targets_[static_cast<std::size_t>(index)];
    if (outcome.Kind == TOutcomeKind::Done && keep_)
        keep_(device, ImageOf(device));
    // The address box follows a sensor that took a new address.
    const int now = targets_[static_cast<std::size_t>(index)]->AddressNumber();
    const int before = oldAddresses_[static_cast<std::size_t>(index)];
    if (now != before)
        host_.RenameEntry(QString::number(before), QString::number(now));
    CloneProgress->setValue(++finished_);
}

void TCloneDialog::OnFinished(TOperationCode code, const TOutcome&)
{
    if (code != TOperationCode::Clone || !running_)
        return;
    running_ = false;
    for (int row = finished_; row < CloneReport->rowCount(); ++row)
        SetRow(row, QStringLiteral("не записан (остановлено)"), QString());
    int good = 0;
    for (int row = 0; row < CloneReport->rowCount(); ++row)
        good += CloneReport->item(row, 1)->text() == QStringLiteral("записан и проверен") ? 1 : 0;
    host_.SetStatusText(
        1, QStringLiteral("Клонирование завершено: %1 из %2").arg(good).arg(CloneReport->rowCount()));
    CloneSensors->setEnabled(true);
    Button_CloneStart->setEnabled(true);
    Button_CloneStop->setEnabled(false);
    Button_CloneSave->setEnabled(true);
    Button_CloneClose->setEnabled(true);
}

void TCloneDialog::SetRow(int row, const QString& result, const QString& differing)
{
    CloneReport->setItem(row, 1, new QTableWidgetItem(result));
    CloneReport->setItem(row, 2, new QTableWidgetItem(differing));
}

QStringList TCloneDialog::ReportLines() const
{
    QStringList lines{QStringLiteral("Датчик\tРезультат\tОтличающиеся параметры")};
    for (int row = 0; row < CloneReport->rowCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < 3; ++column) {
            const QTableWidgetItem* const item = CloneReport->item(row, column);
            cells << (item ? item->text() : QString());
        }
        lines << cells.join(QLatin1Char('\t'));
    }
    return lines;
}

void TCloneDialog::SaveReportClick()
{
    QFileDialog dialog(this, QStringLiteral("Сохранить отчёт"), QString(),
                       QStringLiteral("Текстовые файлы (*.txt);;Все файлы (*)"));
    dialog.setObjectName(QStringLiteral("CloneReportDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString path = dialog.selectedFiles().constFirst();
    QString reason;
    if (!SaveWhole(path, (ReportLines().join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8(),
                   &reason)) {
        QMessageBox box(
            QMessageBox::Critical, QStringLiteral("Ошибка"),
            QStringLiteral("Не удалось записать файл \"%1\": %2").arg(QFileInfo(path).fileName(), reason),
            QMessageBox::Ok, this);
        box.exec();
    }
}

// The dialog stays while sensors are being written: closing it would hide what they come to.
void TCloneDialog::reject()
{
    if (!running_)
        QDialog::reject();
}
