#include "Version.h"
#include "app/AppLog.h"
#include "app/SanitizerOptions.h"
#include "app/SingleInstance.h"
#include "app/StartupHooks.h"
#include "app/TerminationSignals.h"
#include "app/SanitizerOptions.h"
#include "app/Unit1.h"
#include <QApplication>
#include <QIcon>
#include <QMessageBox>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Veltrano"));
    QApplication::setApplicationVersion(QStringLiteral(VELTRANO_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("veltrano"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/veltrano.png")));

    SingleInstance instance(QStringLiteral("Veltrano"));
    switch (instance.Acquire()) {
    case SingleInstance::Outcome::AlreadyRunning:
        return 0;
    case SingleInstance::Outcome::Failed:
        QMessageBox::critical(nullptr, QStringLiteral("Veltrano"), instance.ErrorText());
        return 1;
    case SingleInstance::Outcome::First:
        break;
    }

    TForm1 form;
    form.CreateSplash();
    QObject::connect(&instance, &SingleInstance::ActivationRequested, &form, [&form] {
        qCInfo(lcApp) << "activation requested";
        form.BringToFront();
    });
    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::TerminationRequested, &form, &TForm1::close);

    InstallStartupHooks(form);
    form.show();
    return QApplication::exec();
}
