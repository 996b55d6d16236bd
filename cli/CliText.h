#pragma once
// The translation context of the command line's messages: English in the code, Russian from the
// translation file when the locale asks for it.
#include <QCoreApplication>

class Cli {
    Q_DECLARE_TR_FUNCTIONS(Cli)
};
