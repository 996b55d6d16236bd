#pragma once
#include <QByteArray>
#include <mutex>
#include <utility>

// An 8-bit text that one thread writes while another reads it. Used like std::atomic:
// load()/store(), or plain assignment and conversion.
class TLockedText {
  public:
    TLockedText() = default;
    explicit TLockedText(QByteArray initial) : text_(std::move(initial)) {}
    TLockedText(const TLockedText&) = delete;
    TLockedText& operator=(const TLockedText&) = delete;

    QByteArray load() const
    {
        const std::lock_guard lock(mutex_);
        return text_;
    }
    void store(QByteArray value)
    {
        const std::lock_guard lock(mutex_);
        text_ = std::move(value);
    }
    TLockedText& operator=(QByteArray value)
    {
        store(std::move(value));
        return *this;
    }
    operator QByteArray() const { return load(); }

  private:
    mutable std::mutex mutex_;
    QByteArray text_;
};
