#pragma once
#include <QString>

// What to tell a user who may not open path: the device and the group that may, e.g.
// "Нет доступа к /dev/ttyUSB0: добавьте пользователя в группу dialout".
QString DeniedPortHint(const QString& path);
