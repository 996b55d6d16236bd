#include "protocol/LinkSender.h"
#include <memory>
#include <mutex>

namespace {
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
    // The driver logs every frame it writes; logging here too would show each one twice.
    const auto current = CurrentSender();
    return current && (*current)(bytes);
}

bool LinkSenderRegistered()
{
    return CurrentSender() != nullptr;
}
