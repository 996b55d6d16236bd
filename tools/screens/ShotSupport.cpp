#include "ShotSupport.h"
#include "bus/SensorBus.h"
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cstdio>

ShotSession::ShotSession(int argc, char** argv, const QString& settingsIni, int width, int height)
    : folder_(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("."))
{
    QDir().mkpath(folder_);
    if (!settingsIni.isEmpty()) {
        QFile file(QDir(work_.path()).filePath(QStringLiteral("Settings.ini")));
        if (file.open(QIODevice::WriteOnly))
            file.write(settingsIni.toUtf8());
    }
    form_ = std::make_unique<TForm1>(nullptr, SettingsPaths{work_.path(), program_.path()});
    form_->CreateSplash();
    form_->resize(width, height);
    form_->show();
    if (!QTest::qWaitForWindowExposed(form_.get()))
        std::fprintf(stderr, "the window was never exposed\n");
    Settle();
}

ShotSession::~ShotSession()
{
    form_->close();
    form_.reset();
}

bool ShotSession::WaitUntil(const std::function<bool()>& done, int ms)
{
    return QTest::qWaitFor(done, ms);
}

void ShotSession::Settle(int ms)
{
    QTest::qWait(ms);
}

bool ShotSession::Save(const QString& name)
{
    return Save(*form_, name);
}

bool ShotSession::Save(QWidget& widget, const QString& name)
{
    Settle(150);
    const QString path = QDir(folder_).filePath(name + QStringLiteral(".png"));
    const bool saved = widget.grab().save(path);
    std::fprintf(stderr, "%s %s\n", saved ? "saved" : "NOT saved", qPrintable(path));
    if (!saved)
        ++failures_;
    return saved;
}

void ShotSession::ChooseDemoPort()
{
    QComboBox* const box = form_->ComboBox2;
    const int index = box->findText(DemoPortName);
    if (index >= 0)
        box->setCurrentIndex(index);
    else
        box->setCurrentText(DemoPortName);
    Settle(100);
}

void ShotSession::CloseMessageBoxes()
{
    auto* const timer = new QTimer(form_.get());
    QObject::connect(timer, &QTimer::timeout, [] {
        if (auto* const box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            if (QAbstractButton* const button = box->defaultButton())
                button->click();
            else
                box->reject();
        }
    });
    timer->start(20);
}

bool ShotSession::SearchDemoBus()
{
    ChooseDemoPort();
    // The highest demo address is 26.
    form_->TabSheet1->Edit1->setText(QStringLiteral("20"));
    form_->TabSheet1->Edit2->setText(QStringLiteral("26"));
    form_->TabSheet1->Button5->click();
    const bool found = WaitUntil(
        [this] { return !form_->Bus().Busy() && form_->StatusText(1) == QStringLiteral("Поиск завершён"); },
        60000);
    if (!found) {
        std::fprintf(stderr, "the demo bus search ended in \"%s\"\n", qPrintable(form_->StatusText(1)));
        return false;
    }
    form_->ComboBox1->setCurrentIndex(0);
    form_->ComboBox1Change();
    Settle(100);
    return true;
}
