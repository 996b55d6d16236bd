#pragma once
#include <QByteArray>
#include <functional>

// The way out to the serial driver, which belongs to the main window: the window registers
// CommPortDriver1.SendString here. Any thread may send; registration may change at any time.
using TLinkSender = std::function<bool(const QByteArray&)>;

void SetLinkSender(TLinkSender send); // an empty function unregisters
// Hands the bytes to the registered sender and returns its result; false when none is registered.
bool LinkSend(const QByteArray& bytes);
// True while a sender is registered.
bool LinkSenderRegistered();
