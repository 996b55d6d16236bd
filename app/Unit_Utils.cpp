#include "app/Unit_Utils.h"
#include "Version.h"

QString GetFileVersionText()
{
    return QStringLiteral(VELTRANO_VERSION);
}
