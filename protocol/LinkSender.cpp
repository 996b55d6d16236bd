#include "protocol/LinkSender.h"
#include <QLoggingCategory>
#include <memory>
#include <mutex>

namespace {
// Every frame handed to the driver, in hex; on with QT_LOGGING_RULES="veltrano.link.frames.debug=true".
Q_LOGGING_CATEGORY(lcLinkFrames, "veltrano.link.frames", QtWarningMsg)

std::mutex senderMutex;
// Shared so that a send in progress keeps its sender alive while another is registered.
std::shared_ptr<const TLinkSender> sender;

std::shared_ptr<const TLinkSender> CurrentSender()
{
    const std::lock_guard lock(senderMutex);
    return sender;
}
} // namespace

void SetLinkSender(TLinkSender send)
{
    auto next = send ? std::make_shared<const TLinkSender>(std::move(send)) : nullptr;
    const std::lock_guard lock(senderMutex);
    sender = std::move(next);
}

bool LinkSend(const QByteArray& bytes)
{
    const auto current = CurrentSender();
    const bool sent = current && (*current)(bytes);
    qCDebug(lcLinkFrames) << (sent ? "sent" : "not sent") << bytes.toHex(' ');
    return sent;
}

bool LinkSenderRegistered()
{
    return CurrentSender() != nullptr;
}
