#include "app/Unit1.h"
#include "app/AppLog.h"
#include "app/Overlay.h"
#include "bus/SensorBus.h"
#include "convert/Unit_Utils.h"
#include "pages/LatchPage.h"
#include "pages/PageHelpers.h"
#include "pages/ParamsPage.h"
#include "pages/ReplyTexts.h"
#include "pages/SearchPage.h"
#include "pages/StreamPage.h"
#include "protocol/DeviceList.h"
#include "protocol/DeviceUnit.h"
#include "serial/PortScan.h"
#include "serial/TCommPortDriver.h"
#include "settings/Geometry.h"
#include "sim/DemoBus.h"
#include "widgets/ProgressBar.h"
#include "widgets/RadioGroup.h"
#include "widgets/StatusPanels.h"
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QTabWidget>
#include <QTimer>
#include <algorithm>

namespace {

QLabel* MakeTopLabel(const QString& name, const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    return label;
}

} // namespace

TForm1::TForm1(QWidget* parent, SettingsPaths paths)
    : QMainWindow(parent), settings_(std::make_unique<TSettings>(std::move(paths)))
{
    setObjectName(QStringLiteral("Form1"));
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPointSize(9);
    setFont(font);
    resize(927, 539);
    FormConstrainedResize();
    connect(settings_.get(), &TSettings::NotSaved, this, &TForm1::NoteUnsavedSettings);

    bus_ = new TSensorBus(this);
    CommPortDriver1 = &bus_->Driver();
    CommPortDriver1->setComPort(::ChoiceCOM(QStringLiteral("COM1")));
    CommPortDriver1->setComPortSpeed(br57600);
    CommPortDriver1->setComPortDataBits(db8BITS);
    CommPortDriver1->setComPortStopBits(sb1BITS);
    CommPortDriver1->setComPortParity(ptNONE);
    CommPortDriver1->setComPortHwHandshaking(hhNONE);
    CommPortDriver1->setComPortSwHandshaking(shNONE);
    CommPortDriver1->setComPortInBufSize(4096);
    CommPortDriver1->setComPortOutBufSize(4096);
    CommPortDriver1->setComPortPollingDelay(30);
    CommPortDriver1->setEnableDTROnOpen(true);
    CommPortDriver1->setOutputTimeout(1);
    // Connected before the pages connect theirs: an operation's end is shown by the window first
    // (a timeout's message, the controls given back), then by the page that started it.
    connect(bus_, &TSensorBus::OperationStarted, this, &TForm1::OnStarted);
    connect(bus_, &TSensorBus::OperationFinished, this, &TForm1::OnFinished);
    connect(bus_, &TSensorBus::SensorReplied, this, &TForm1::OnReplied);
    connect(bus_, &TSensorBus::SearchProgress, this, &TForm1::OnSearchProgress);
    connect(bus_, &TSensorBus::SearchPassesDone, this, &TForm1::OnSearchPassesDone);
    connect(bus_, &TSensorBus::DevicesCleared, this, &TForm1::OnDevicesCleared);
    connect(bus_, &TSensorBus::ReceiveError, this, [this](TReceiveError error) {
        ShowReceiveError(QString::fromUtf8(error == TReceiveError::Decoding ? ReplyText::DecodingError
                                                                            : ReplyText::FrameError));
    });

    CreateTopRow();
    StatusBar1 = new TStatusPanels({150, 220, 200, 210}, this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    setStatusBar(StatusBar1);
    QProgressBar1 = new TCaptionProgressBar(this);
    QProgressBar1->setObjectName(QStringLiteral("QProgressBar1"));
    QProgressBar1->hide();
    Timer3 = new QTimer(this);
    Timer3->setObjectName(QStringLiteral("Timer3"));
    Timer3->setInterval(5000);
    // Its interval is the time the user is told of; a coarse timer may fire 5 % early.
    Timer3->setTimerType(Qt::PreciseTimer);
    connect(Timer3, &QTimer::timeout, this, &TForm1::Timer3Timer);
    CreatePages();

    FormCreate();
    FormResize();
}

TForm1::~TForm1()
{
    // The monitor reads the bus's log: it goes first.
    delete monitor_;
    monitor_ = nullptr;
    // Stops the operation and lets go of the port (the demo bus's too) before anything they use
    // goes away.
    bus_->Shutdown();
}

void TForm1::CreateSplash()
{
    if (!splash)
        splash = new Tsplash(TabSheet2, this);
}

void TForm1::CreateTopRow()
{
    Label24 = MakeTopLabel(QStringLiteral("Label24"), QStringLiteral("Порт"), this);
    Label24->setGeometry(8, 6, 116, 16);
    ComboBox2 = new QComboBox(this);
    ComboBox2->setObjectName(QStringLiteral("ComboBox2"));
    ComboBox2->setEditable(true);
    ComboBox2->setInsertPolicy(QComboBox::NoInsert);
    // Wider than a "COMn" box needs: it shows device paths such as /dev/ttyUSB0.
    ComboBox2->setGeometry(8, 24, 116, 23);
    Label24->setBuddy(ComboBox2);
    ComboBox2->setAccessibleName(Label24->text());
    // The user's pick or typing is a change; filling the list at start is not.
    connect(ComboBox2, &QComboBox::textActivated, this, &TForm1::ComboBox2Change);
    connect(ComboBox2->lineEdit(), &QLineEdit::textEdited, this, &TForm1::ComboBox2Change);

    Label3 = MakeTopLabel(QStringLiteral("Label3"), QStringLiteral("Адрес активного датчика"), this);
    Label3->setGeometry(136, 6, 200, 16);
    ComboBox1 = new QComboBox(this);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setGeometry(136, 24, 44, 23);
    Label3->setBuddy(ComboBox1);
    ComboBox1->setAccessibleName(Label3->text());
    connect(ComboBox1, &QComboBox::activated, this, &TForm1::ComboBox1Change);

    RadioGroup_protocol_obm =
        new TRadioGroup(QStringLiteral("RadioGroup_protocol_obm"), QStringLiteral(" Выбор протокола обмена "),
                        {QStringLiteral("стандартный"), QStringLiteral("Modbus RTU")}, 2, this);
    // 202 px holds both items in the classic 9 pt face; wider desktop fonts get the room they need.
    RadioGroup_protocol_obm->setGeometry(349, 7, std::max(202, RadioGroup_protocol_obm->sizeHint().width()),
                                         41);
    RadioGroup_protocol_obm->SetItemIndex(0);
    connect(RadioGroup_protocol_obm, &TRadioGroup::Click, this, &TForm1::RadioGroup_protocol_obmClick);

    ButtonTrafficMonitor = MakeButton(QStringLiteral("ButtonTrafficMonitor"), tr("Журнал обмена"),
                                      {RadioGroup_protocol_obm->geometry().right() + 13, 23, 110, 25}, this);
    ButtonTrafficMonitor->setToolTip(tr("Кадры обмена по линии и состояние связи с датчиками (Ctrl+L)"));
    connect(ButtonTrafficMonitor, &QPushButton::clicked, this, &TForm1::ShowTrafficMonitor);
    auto* const monitorKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_L), this);
    monitorKey->setObjectName(QStringLiteral("ShortcutTrafficMonitor"));
    connect(monitorKey, &QShortcut::activated, this, &TForm1::ShowTrafficMonitor);
    // The port's tooltip tells of the adapter as it is when the tooltip shows.
    ComboBox2->installEventFilter(this);
}

// The pages are made inside the page control, so that they take the window's font.
void TForm1::CreatePages()
{
    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->move(0, 56);
    TabSheet1 = new TSearchPage(*this, searchOrder_, PageControl1);
    TabSheet5 = new TParamsPage(*this, PageControl1);
    TabSheet2 = new TStreamPage(*this, Paths().ProgramDir, PageControl1);
    TabSheet3 = new TLatchPage(*this, searchOrder_, Paths().ProgramDir, PageControl1);
    const std::pair<QWidget*, QString> pages[] = {{TabSheet1, QStringLiteral("Найти датчик")},
                                                  {TabSheet5, QStringLiteral("Параметры датчика")},
                                                  {TabSheet2, QStringLiteral("Поток результатов")},
                                                  {TabSheet3, QStringLiteral("Защёлкивание результата")}};
    for (const auto& [page, caption] : pages) {
        page->setAutoFillBackground(true);
        PageControl1->addTab(page, caption);
    }
    PageControl1->setCurrentWidget(TabSheet1);
    connect(PageControl1, &QTabWidget::currentChanged, this, &TForm1::PageControl1Change);
    connect(TabSheet2, &TStreamPage::StreamEnded, this, &TForm1::EnableAfterStream);
    TabSheet2->installEventFilter(this);
}

void TForm1::FormCreate()
{
    setWindowTitle(QStringLiteral("Veltrano ") + GetFileVersionText());
    FindCom();
    TabSheet2->setEnabled(false);
    TabSheet3->setEnabled(false);
    TabSheet5->setEnabled(false);
    try {
        ApplySettings();
    } catch (...) {
        // Whatever could not be applied keeps its default, without a message.
    }
    // Said at once: otherwise the first the user would learn of it is settings gone next start.
    if (!settings_->Writable())
        NoteUnsavedSettings(Paths().WorkingFile());
    FormCreating = false;
}

void TForm1::ApplySettings()
{
    const TSettings& settings = *settings_;
    const QScreen* screen = QGuiApplication::primaryScreen();
    const WindowGeometry g =
        RestoreGeometry(settings.Geometry(), screen ? screen->geometry().size() : QSize(1024, 768));
    resize(g.Width, g.Height);
    move(g.Left, g.Top);
    if (settings.Maximized())
        setWindowState(windowState() | Qt::WindowMaximized);

    TabSheet2->ApplySettings();
    const int port = ComboBox2->findText(settings.Port(), Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (port >= 0)
        ComboBox2->setCurrentIndex(port);
    TabSheet1->ApplySettings();

    // Anything but the two known protocols keeps the standard one.
    const TProtocol protocol = settings.Protocol() == 1 ? TProtocol::Modbus : TProtocol::Standard;
    bus_->SetProtocol(protocol);
    RadioGroup_protocol_obm->SetItemIndex(static_cast<int>(protocol));
}

void TForm1::FormConstrainedResize()
{
    setMinimumSize(MinimumWindowSize);
}

void TForm1::closeEvent(QCloseEvent* event)
{
    FormClose();
    event->accept();
}

void TForm1::FormClose()
{
    if (monitor_ && monitor_->isVisible()) {
        monitor_->SaveGeometry();
        monitor_->hide();
    }
    // A recording still running is written as a stop would write it, not lost with the window.
    if (TabSheet2->CheckBox_RecordThrd->isChecked())
        TabSheet2->CheckBox_RecordThrd->setChecked(false);
    // The operation stops and the port is free at once; nothing it would report is shown.
    bus_->Shutdown();
    if (windowState() & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen)) {
        settings_->SetMaximized(true);
        return;
    }
    settings_->SetGeometry({width(), height(), y(), x()});
}

// Settings change on every keystroke, so a message box would stop the user typing; the free
// status panel keeps the note in sight instead, with the file named in its tooltip.
void TForm1::NoteUnsavedSettings(const QString& file)
{
    if (unsavedSettingsNoted_)
        return;
    unsavedSettingsNoted_ = true;
    qCWarning(lcApp) << "settings not saved:" << file;
    SetStatusText(3, QStringLiteral("Настройки не сохраняются"));
    if (QLabel* const panel = StatusBar1->Panel(3))
        panel->setToolTip(
            QStringLiteral("Файл %1 недоступен для записи: изменённые настройки не будут сохранены.")
                .arg(QDir::toNativeSeparators(file)));
}

void TForm1::PageControl1Change()
{
    ComboBox2->setEnabled(PageControl1->currentWidget() == TabSheet1);
    ActivateModbus();
    if (PageControl1->currentWidget() != TabSheet2)
        HideSplash();
    else if (RadioGroup_protocol_obm->ItemIndex() == 1)
        ShowSplash();
}

void TForm1::ResetFormElements()
{
    TabSheet1->setEnabled(true);
    TabSheet5->setEnabled(true);
    if (bus_->Protocol() == TProtocol::Standard)
        TabSheet2->setEnabled(true);
    TabSheet3->setEnabled(true);
    if (PageControl1->currentWidget() == TabSheet1)
        ComboBox2->setEnabled(true);
    ComboBox1->setEnabled(true);
    RadioGroup_protocol_obm->setEnabled(true);
    PageControl1->setEnabled(true);
    for (int panel = 0; panel <= 2; ++panel)
        SetStatusText(panel, QString());
}

void TForm1::ActivateModbus()
{
    RadioGroup_protocol_obm->setEnabled(true);
}

void TForm1::ComboBox1Change()
{
    const int index = ComboBox1->currentIndex();
    if (index < 0)
        return;
    try {
        if (const TDevice* device = ChangeDevice(ComboBox1->currentText()))
            SetComPortSpeed(device->ComPortSpeed);
    } catch (const EConvertError&) {
        // An entry that is no address names no sensor; the line speed stays as it is.
    }
    TabSheet5->AddressChosen(index);
    ActivateModbus();
}

void TForm1::UpdateComboBoxOfAdres(const QByteArray& s)
{
    // The entry keeps its index even if it now sorts elsewhere: the parameter-validity flags
    // are kept per index.
    const int index = ComboBox1->currentIndex();
    if (index < 0)
        return;
    ComboBox1->setItemText(index, QString::fromLatin1(s));
    ComboBox1->setCurrentIndex(index);
}

void TForm1::AddAddressItem(const QString& text)
{
    int at = 0;
    while (at < ComboBox1->count() && ComboBox1->itemText(at).compare(text, Qt::CaseInsensitive) <= 0)
        ++at;
    ComboBox1->insertItem(at, text);
}

TDevice* TForm1::ChangeDevice(const QString& adr) const
{
    return bus_->Devices().FindByBoxText(adr);
}

TDevice* TForm1::ChangeDeviceInt(int adr) const
{
    return bus_->Devices().FindByNumber(adr);
}

TDevice* TForm1::SelectedDevice() const
{
    try {
        return ChangeDevice(ComboBox1->currentText());
    } catch (const EConvertError&) {
        return nullptr;
    }
}

std::uint8_t TForm1::MyHex(const QByteArray& s) const
{
    return MyHexValue(s);
}

void TForm1::SetStatusText(int panel, const QString& text)
{
    StatusBar1->SetText(panel, text);
}

QString TForm1::StatusText(int panel) const
{
    return StatusBar1->Text(panel);
}

int TForm1::SensorCount() const
{
    return ComboBox1->count();
}

int TForm1::SelectedIndex() const
{
    return ComboBox1->currentIndex();
}

QString TForm1::SelectedText() const
{
    return ComboBox1->currentText();
}

void TForm1::RenameSelected(const QString& text)
{
    UpdateComboBoxOfAdres(text.toLatin1());
}

void TForm1::RenameEntry(const QString& from, const QString& to)
{
    const int index = ComboBox1->findText(from);
    if (index >= 0)
        ComboBox1->setItemText(index, to);
}

void TForm1::ShowReceiveError(const QString& text)
{
    SetStatusText(2, text);
    if (!Timer3->isActive())
        Timer3->start();
}

void TForm1::Timer3Timer()
{
    Timer3->stop();
    SetStatusText(2, QString());
}

QString TForm1::PortPath()
{
    return ChoiceCOM(ComboBox2->currentText());
}

bool TForm1::LaunchThread(TOperationCode LThread)
{
    if (LThread == TOperationCode::ReadAllLatches)
        return bus_->StartReadAllLatches(SelectedDevice());
    return bus_->Start(LThread, SelectedDevice());
}

void TForm1::ShowTrafficMonitor()
{
    if (!monitor_) {
        const auto port = [this] { return PortInUse(); };
        monitor_ = new TTrafficMonitor(*bus_, *settings_, port, this);
    }
    monitor_->Open();
}

void TForm1::BringToFront()
{
    if (windowState() & Qt::WindowMinimized)
        setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}
