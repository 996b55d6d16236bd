// The parameters page's work with parameter sets: saving the page to a file, loading a file onto
// the page, and showing where a set differs from another.
#include "bus/SensorBus.h"
#include "pages/CloneDialog.h"
#include "pages/PageHelpers.h"
#include "pages/PageHost.h"
#include "pages/ParamsPage.h"
#include "params/ParamHistory.h"
#include "params/ParamSet.h"
#include "params/ParamSetFile.h"
#include "params/ParamValidation.h"
#include "protocol/DeviceList.h"
#include "protocol/DeviceUnit.h"
#include "settings/Settings.h"
#include "widgets/RadioGroup.h"
#include <QAction>
#include <QCheckBox>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTableWidget>
#include <algorithm>
#include <utility>

namespace {
constexpr int ValueColumn = 1;
const QColor DifferenceColor(255, 214, 214);

QString SetFileFilter()
{
    return QStringLiteral("Параметры датчика (*.%1);;Все файлы (*)").arg(QLatin1String(ParamSetSuffix));
}

QString ItemText(const QStringList& items, int index)
{
    return index >= 0 && index < items.size() ? items[index] : QStringLiteral("—");
}
} // namespace

void TParamsPage::CreateParamSetControls()
{
    Button_ParamSet = MakeButton(QStringLiteral("Button_ParamSet"), QStringLiteral("Набор параметров"),
                                 {4, Button15->y() + 27, 196, 25}, this);
    auto* menu = new QMenu(Button_ParamSet);
    menu->setObjectName(QStringLiteral("ParamSetMenu"));
    Action_SaveSet = menu->addAction(QStringLiteral("Сохранить в файл..."), this, &TParamsPage::SaveSetClick);
    Action_SaveSet->setObjectName(QStringLiteral("Action_SaveSet"));
    Action_LoadSet =
        menu->addAction(QStringLiteral("Загрузить из файла..."), this, &TParamsPage::LoadSetClick);
    Action_LoadSet->setObjectName(QStringLiteral("Action_LoadSet"));
    menu->addSeparator();
    Action_CompareSensor =
        menu->addAction(QStringLiteral("Сравнить с датчиком"), this, &TParamsPage::CompareWithSensorClick);
    Action_CompareSensor->setObjectName(QStringLiteral("Action_CompareSensor"));
    Action_CompareFile =
        menu->addAction(QStringLiteral("Сравнить с файлом..."), this, &TParamsPage::CompareWithFileClick);
    Action_CompareFile->setObjectName(QStringLiteral("Action_CompareFile"));
    Action_CompareOther = menu->addAction(QStringLiteral("Сравнить с другим датчиком..."), this,
                                          &TParamsPage::CompareWithOtherClick);
    Action_CompareOther->setObjectName(QStringLiteral("Action_CompareOther"));
    menu->addSeparator();
    Action_Clone =
        menu->addAction(QStringLiteral("Клонировать на датчики..."), this, &TParamsPage::CloneClick);
    Action_Clone->setObjectName(QStringLiteral("Action_Clone"));
    menu->addSeparator();
    Action_RestorePrevious =
        menu->addAction(QStringLiteral("Восстановить предыдущие"), this, &TParamsPage::RestorePreviousClick);
    Action_RestorePrevious->setObjectName(QStringLiteral("Action_RestorePrevious"));
    Action_HistoryLimit =
        menu->addAction(QStringLiteral("Размер истории..."), this, &TParamsPage::HistoryLimitClick);
    Action_HistoryLimit->setObjectName(QStringLiteral("Action_HistoryLimit"));
    Button_ParamSet->setMenu(menu);
    history_ = std::make_unique<TParamHistory>(TParamHistory::DefaultRoot(), host_.Settings().HistoryLimit());

    CheckBox_VerifyWrite = new QCheckBox(QStringLiteral("Проверять запись чтением"), this);
    CheckBox_VerifyWrite->setObjectName(QStringLiteral("CheckBox_VerifyWrite"));
    CheckBox_VerifyWrite->move(6, Button_ParamSet->y() + 29);
    CheckBox_VerifyWrite->resize(CheckBox_VerifyWrite->sizeHint());
    CheckBox_VerifyWrite->setChecked(host_.Settings().VerifyWrites());
    connect(CheckBox_VerifyWrite, &QCheckBox::toggled, this,
            [this](bool verify) { host_.Settings().SetVerifyWrites(verify); });
}

QString TParamsPage::ChooseSetFile(bool save, const QString& suggested)
{
    QString folder = host_.Settings().ParamSetFolder();
    if (folder.isEmpty() || !QDir(folder).exists())
        folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    QFileDialog dialog(this,
                       save ? QStringLiteral("Сохранить параметры в файл")
                            : QStringLiteral("Загрузить параметры из файла"),
                       folder, SetFileFilter());
    dialog.setObjectName(QStringLiteral("ParamSetDialog"));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(QLatin1String(ParamSetSuffix));
    if (!suggested.isEmpty())
        dialog.selectFile(suggested);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    const QString path = dialog.selectedFiles().constFirst();
    host_.Settings().SetParamSetFolder(QFileInfo(path).absolutePath());
    return path;
}

void TParamsPage::SaveSetClick()
{
    if (!Correct_Enter_Param())
        return;
    const TDevice* const record = host_.SelectedDevice();
    const TSensorIdentity sensor = record ? IdentityOf(*record, host_.Bus().Protocol())
                                          : TSensorIdentity{QString(), 0, 0, 0, host_.Bus().Protocol(), 0, 0};
    const QString suggested =
        QStringLiteral("%1_%2_%3.%4")
            .arg(sensor.Model.isEmpty() ? QStringLiteral("параметры") : sensor.Model)
            .arg(sensor.Serial)
            .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmm")))
            .arg(QLatin1String(ParamSetSuffix))
            .replace(QRegularExpression(QStringLiteral("[\\\\/:*?\"<>| ]")), QStringLiteral("_"));
    const QString path = ChooseSetFile(true, suggested);
    if (path.isEmpty())
        return;
    QString error;
    const TParamSet set = ParamSetOf(ParamPageTexts(), sensor, ProgramName());
    if (!WriteParamSet(set, path, &error)) {
        QMessageBox box(QMessageBox::Critical, QStringLiteral("Ошибка"), error, QMessageBox::Ok, this);
        box.exec();
        return;
    }
    host_.SetStatusText(1, QStringLiteral("Параметры сохранены в файл"));
}

void TParamsPage::LoadSetClick()
{
    const QString path = ChooseSetFile(false, QString());
    if (path.isEmpty())
        return;
    const TParamSetRead read = ReadParamSet(path);
    QString error = read.Error;
    if (read.Set) {
        if (const TDevice* const record = host_.SelectedDevice())
            error = ModelMismatch(*read.Set, QFileInfo(path).fileName(),
                                  IdentityOf(*record, host_.Bus().Protocol()));
    }
    if (!error.isEmpty()) {
        if (read.Row >= 0) {
            KGrid1->setFocus();
            KGrid1->setCurrentCell(read.Row, ValueColumn);
        }
        QMessageBox box(QMessageBox::Critical, QStringLiteral("Ошибка"), error, QMessageBox::Ok, this);
        box.exec();
        return;
    }
    ClearMarks();
    ShowTexts(read.Set->Page);
    host_.SetStatusText(1, QStringLiteral("Параметры загружены из файла"));
}

void TParamsPage::ShowTexts(const TParamTexts& texts)
{
    // An editor still open would write its stale text back over the new value.
    KGrid1->setCurrentCell(-1, -1);
    for (int row = 0; row < ParamRowCount; ++row)
        KGrid1->item(row, ValueColumn)->setText(texts.rows[static_cast<std::size_t>(row)]);
    RadioGroup1->SetItemIndex(texts.radio1);
    RadioGroup2->SetItemIndex(texts.radio2);
    RadioGroup6->SetItemIndex(texts.radio6);
    RadioGroup5->SetItemIndex(texts.radio5);
}

void TParamsPage::MarkDifferences(const TParamTexts& other, const std::vector<TParam>& differing,
                                  const QString& otherName)
{
    ClearMarks();
    const auto markRow = [&](int row) {
        const QString note =
            QStringLiteral("%1: %2").arg(otherName, other.rows[static_cast<std::size_t>(row)]);
        for (int column = 0; column < 2; ++column) {
            QTableWidgetItem* const item = KGrid1->item(row, column);
            item->setBackground(DifferenceColor);
            item->setToolTip(note);
            item->setData(Qt::AccessibleDescriptionRole, QStringLiteral("Отличается. ") + note);
        }
        markedRows_.push_back(row);
    };
    const auto markGroup = [&](TRadioGroup* group, const QStringList& items, int index) {
        const QString note = QStringLiteral("%1: %2").arg(otherName, ItemText(items, index));
        QPalette palette = group->palette();
        palette.setColor(QPalette::WindowText, Qt::darkRed);
        group->setPalette(palette);
        group->setToolTip(note);
        group->setAccessibleDescription(QStringLiteral("Отличается. ") + note);
        markedGroups_.push_back(group);
    };
    const TParamTexts shown = ParamPageTexts();
    for (const TParam param : differing) {
        for (int row = 0; row < ParamRowCount; ++row)
            if (ParamRows()[row].Param == param ||
                (param == TParam::CorrectionSign && row == ParamRow::Correz))
                markRow(row);
        if (param == TParam::Period || param == TParam::Constant)
            markRow(ParamRow::OutputPeriod);
        if (param == TParam::DiscreetExit) {
            if (other.radio1 != shown.radio1)
                markGroup(RadioGroup1, DiscreteOutputTexts(), other.radio1);
            if (other.radio2 != shown.radio2)
                markGroup(RadioGroup2, DiscreteOutputTexts(), other.radio2);
        }
        if (param == TParam::ResultComputation)
            markGroup(RadioGroup6, ResultComputationTexts(), other.radio6);
        if (param == TParam::ObjectType)
            markGroup(RadioGroup5, ObjectTypeTexts(), other.radio5);
    }
}

void TParamsPage::ClearMarks()
{
    for (const int row : markedRows_) {
        for (int column = 0; column < 2; ++column) {
            QTableWidgetItem* const item = KGrid1->item(row, column);
            item->setBackground(column == 0 ? KGrid1->palette().button() : QBrush());
            item->setToolTip(column == 0 ? item->text() : QString());
            item->setData(Qt::AccessibleDescriptionRole, QVariant());
        }
    }
    for (QWidget* const group : markedGroups_) {
        group->setPalette(QPalette());
        group->setToolTip(QString());
        group->setAccessibleDescription(QString());
    }
    markedRows_.clear();
    markedGroups_.clear();
}

void TParamsPage::ReportWriteDifferences(const TOutcome& outcome)
{
    const TDevice* const record = host_.SelectedDevice();
    if (!record)
        return;
    const TParamTexts written = ParamTextsOf(writtenImage_);
    const TParamTexts read = ParamTextsOf(ImageOf(*record));
    MarkDifferences(read, outcome.Differing, QStringLiteral("Прочитано из датчика"));
    QStringList lines;
    for (const int row : markedRows_)
        lines << QStringLiteral("%1: записано \"%2\", прочитано \"%3\"")
                     .arg(ParamRows()[row].Caption, written.rows[static_cast<std::size_t>(row)],
                          read.rows[static_cast<std::size_t>(row)]);
    const auto groupLine = [&](const TRadioGroup* group, const QStringList& items, int TParamTexts::*index) {
        if (std::find(markedGroups_.begin(), markedGroups_.end(), group) != markedGroups_.end())
            lines << QStringLiteral("%1: записано \"%2\", прочитано \"%3\"")
                         .arg(group->title().trimmed().remove(QLatin1Char(':')),
                              ItemText(items, written.*index), ItemText(items, read.*index));
    };
    groupLine(RadioGroup1, DiscreteOutputTexts(), &TParamTexts::radio1);
    groupLine(RadioGroup2, DiscreteOutputTexts(), &TParamTexts::radio2);
    groupLine(RadioGroup6, ResultComputationTexts(), &TParamTexts::radio6);
    groupLine(RadioGroup5, ObjectTypeTexts(), &TParamTexts::radio5);
    host_.SetStatusText(1, QStringLiteral("Запись не подтверждена"));
    QMessageBox box(
        QMessageBox::Warning, QStringLiteral("Ошибка"),
        QStringLiteral("Параметры, прочитанные из датчика после записи, отличаются от записанных:\n\n") +
            lines.join(QLatin1Char('\n')),
        QMessageBox::Ok, this);
    box.exec();
}

std::optional<TParamImage> TParamsPage::CheckedPageImage()
{
    if (!Correct_Enter_Param())
        return std::nullopt;
    return ImageFromPage(ParamPageTexts(), TProtocol::Modbus, nullptr);
}

void TParamsPage::ShowComparison(const TParamImage& page, const TParamImage& other, const QString& otherName)
{
    // The derived row follows its two registers; the address and the line speed are the sensor's own.
    std::vector<TParam> differing = ImageDifferences(page, other);
    MarkDifferences(ParamTextsOf(other), differing, otherName);
    const std::size_t count = markedRows_.size() + markedGroups_.size();
    host_.SetStatusText(1, count == 0 ? QStringLiteral("Сравнение: различий нет")
                                      : QStringLiteral("Сравнение: отличаются %1").arg(count));
}

void TParamsPage::CompareWithSensorClick()
{
    if (host_.SensorCount() == 0 || host_.Bus().Busy())
        return;
    const std::optional<TParamImage> page = CheckedPageImage();
    if (!page)
        return;
    comparedPage_ = *page;
    comparing_ = TComparing::Sensor;
    if (!host_.Bus().Start(TOperationCode::ReadParameters, host_.SelectedDevice()))
        comparing_ = TComparing::None;
}

void TParamsPage::CompareWithFileClick()
{
    const std::optional<TParamImage> page = CheckedPageImage();
    if (!page)
        return;
    const QString path = ChooseSetFile(false, QString());
    if (path.isEmpty())
        return;
    const TParamSetRead read = ReadParamSet(path);
    if (!read.Set) {
        QMessageBox box(QMessageBox::Critical, QStringLiteral("Ошибка"), read.Error, QMessageBox::Ok, this);
        box.exec();
        return;
    }
    ShowComparison(*page, read.Set->Registers, QStringLiteral("В файле"));
}

void TParamsPage::CompareWithOtherClick()
{
    TDevice* const chosen = host_.SelectedDevice();
    if (!chosen || host_.Bus().Busy())
        return;
    QStringList names;
    std::vector<TDevice*> others;
    const TDeviceList& devices = host_.Bus().Devices();
    for (int index = 0; index < devices.Count(); ++index) {
        TDevice* const device = devices.At(index);
        if (!device || device == chosen)
            continue;
        others.push_back(device);
        names << QStringLiteral("%1 (%2 бод)").arg(device->AddressNumber()).arg(device->ComPortSpeed.load());
    }
    if (others.empty()) {
        QMessageBox box(QMessageBox::Information, QStringLiteral("Сравнение"),
                        QStringLiteral("Других найденных датчиков нет."), QMessageBox::Ok, this);
        box.exec();
        return;
    }
    QInputDialog dialog(this);
    dialog.setObjectName(QStringLiteral("CompareOtherDialog"));
    dialog.setWindowTitle(QStringLiteral("Сравнение"));
    dialog.setLabelText(QStringLiteral("Сравнить с датчиком:"));
    dialog.setComboBoxItems(names);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const auto at = names.indexOf(dialog.textValue());
    if (at < 0)
        return;
    comparedOther_ = others[static_cast<std::size_t>(at)];
    comparing_ = TComparing::Other;
    if (!host_.Bus().StartReadSeveral({chosen, comparedOther_}, chosen))
        comparing_ = TComparing::None;
}

// The end of a read started for a comparison; false for any other read.
bool TParamsPage::FinishComparison(TOperationCode code, const TOutcome& outcome)
{
    const TComparing comparing = std::exchange(comparing_, TComparing::None);
    if (comparing == TComparing::None ||
        code !=
            (comparing == TComparing::Sensor ? TOperationCode::ReadParameters : TOperationCode::ReadSeveral))
        return false;
    const TDevice* const chosen = host_.SelectedDevice();
    if (outcome.Kind != TOutcomeKind::Done || !chosen) {
        host_.SetStatusText(1, QString());
        return true;
    }
    if (comparing == TComparing::Sensor) {
        ShowComparison(comparedPage_, ImageOf(*chosen), QStringLiteral("В датчике"));
    } else {
        FillForm(*chosen);
        ShowComparison(ImageOf(*chosen), ImageOf(*comparedOther_),
                       QStringLiteral("В датчике %1").arg(comparedOther_->AddressNumber()));
    }
    return true;
}

void TParamsPage::CloneClick()
{
    if (host_.SensorCount() == 0 || host_.Bus().Busy())
        return;
    const std::optional<TParamImage> page = CheckedPageImage();
    if (!page)
        return;
    // Each sensor that took the set keeps it in its history, as a write from the page does.
    TCloneDialog dialog(
        host_, *page,
        [this](TDevice& device, const TParamImage& image) {
            QString error;
            const TParamSet set =
                ParamSetOf(ParamTextsOf(image), IdentityOf(device, host_.Bus().Protocol()), ProgramName());
            if (!history_->Keep(set, TParamHistory::TEvent::Write, &error))
                host_.SetStatusText(0, QStringLiteral("История не сохранена"));
        },
        this);
    dialog.exec();
}

void TParamsPage::KeepInHistory(const TParamTexts& texts, bool written)
{
    const TDevice* const record = host_.SelectedDevice();
    if (!record || !::Correct_Enter_Param(texts).Passed)
        return;
    const TParamSet set = ParamSetOf(texts, IdentityOf(*record, host_.Bus().Protocol()), ProgramName());
    QString error;
    if (!history_->Keep(set, written ? TParamHistory::TEvent::Write : TParamHistory::TEvent::Read, &error))
        host_.SetStatusText(0, QStringLiteral("История не сохранена"));
}

void TParamsPage::RestorePreviousClick()
{
    const TDevice* const record = host_.SelectedDevice();
    const std::optional<TParamHistory::TEntry> entry =
        record ? history_->BeforeLastWrite(IdentityOf(*record, host_.Bus().Protocol())) : std::nullopt;
    if (!entry) {
        QMessageBox box(QMessageBox::Information, QStringLiteral("История"),
                        QStringLiteral("Для выбранного датчика нет параметров до последней записи."),
                        QMessageBox::Ok, this);
        box.exec();
        return;
    }
    const TParamSetRead read = ReadParamSet(entry->Path);
    if (!read.Set) {
        QMessageBox box(QMessageBox::Critical, QStringLiteral("Ошибка"), read.Error, QMessageBox::Ok, this);
        box.exec();
        return;
    }
    ClearMarks();
    ShowTexts(read.Set->Page);
    host_.SetStatusText(1,
                        QStringLiteral("Загружены параметры от %1")
                            .arg(entry->Saved.toLocalTime().toString(QStringLiteral("dd.MM.yyyy hh:mm:ss"))));
}

void TParamsPage::HistoryLimitClick()
{
    QInputDialog dialog(this);
    dialog.setObjectName(QStringLiteral("HistoryLimitDialog"));
    dialog.setWindowTitle(QStringLiteral("История"));
    dialog.setLabelText(QStringLiteral("Наборов параметров в истории каждого датчика:"));
    dialog.setInputMode(QInputDialog::IntInput);
    dialog.setIntRange(1, 1000);
    dialog.setIntValue(history_->Limit());
    if (dialog.exec() != QDialog::Accepted)
        return;
    history_->SetLimit(dialog.intValue());
    host_.Settings().SetHistoryLimit(history_->Limit());
}
