#pragma once

#include <QByteArray>

#include <mutex>

// A byte buffer that one thread appends to while another copies it.
class LockedData {
public:
    void append(const QByteArray& chunk) {
        std::lock_guard lock(mutex_);
        data_.append(chunk);
    }
    QByteArray value() const {
        std::lock_guard lock(mutex_);
        return data_;
    }

private:
    mutable std::mutex mutex_;
    QByteArray data_;
};
