#include "app/Unit1.h"
#include "Version.h"

TForm1::TForm1(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Veltrano ") + QStringLiteral(VELTRANO_VERSION));
}
