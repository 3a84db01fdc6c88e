#pragma once

#include <QByteArray>

#include <algorithm>
#include <limits>
#include <mutex>

// A byte buffer that one thread appends to while another copies it. It keeps the first
// `limit` bytes and drops the rest, so that a tool that prints without end costs nothing.
class LockedData {
public:
    explicit LockedData(qsizetype limit = std::numeric_limits<qsizetype>::max())
        : limit_(limit) {}

    void append(const QByteArray& chunk) {
        std::lock_guard lock(mutex_);
        data_.append(chunk.left(std::max<qsizetype>(0, limit_ - data_.size())));
    }
    QByteArray value() const {
        std::lock_guard lock(mutex_);
        return data_;
    }

private:
    const qsizetype limit_;
    mutable std::mutex mutex_;
    QByteArray data_;
};
