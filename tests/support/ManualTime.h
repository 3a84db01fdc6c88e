#pragma once

#include "store/TimeSource.h"

#include <map>
#include <vector>

// A clock that moves only when a test says so, firing the timers that fall due on the way.
class ManualTime final : public TimeSource {
public:
    explicit ManualTime(Instant start)
        : now_(start) {}

    Instant now() const override { return now_; }
    std::unique_ptr<Timer> after(double seconds, std::function<void()> action) override {
        return add(seconds, 0, std::move(action));
    }
    std::unique_ptr<Timer> every(double seconds, std::function<void()> action) override {
        return add(seconds, seconds, std::move(action));
    }

    // Moves the clock forward, firing due timers in order (each at its own instant).
    void advance(double seconds) { advanceTo(now_ + seconds); }
    void advanceTo(Instant target) {
        for (auto next = due(target); next != entries_.end(); next = due(target)) {
            now_ = next->second.due;
            auto action = next->second.action; // the action may cancel its own timer
            if (next->second.interval > 0)
                next->second.due = next->second.due + next->second.interval;
            else
                entries_.erase(next);
            action();
        }
        now_ = target;
    }

    // Seconds from now to each pending one-shot timer.
    std::vector<double> pendingOnce() const {
        std::vector<double> out;
        for (const auto& [id, e] : entries_)
            if (e.interval == 0)
                out.push_back(secondsBetween(now_, e.due));
        return out;
    }
    size_t timerCount() const { return entries_.size(); }

private:
    struct Entry {
        Instant due;
        double interval;
        std::function<void()> action;
    };
    class Handle final : public Timer {
    public:
        Handle(ManualTime* time, int id)
            : time_(time)
            , id_(id) {}
        ~Handle() override { time_->entries_.erase(id_); }

    private:
        ManualTime* time_;
        int id_;
    };

    // The earliest timer due by target, if any.
    std::map<int, Entry>::iterator due(Instant target) {
        auto next = entries_.end();
        for (auto it = entries_.begin(); it != entries_.end(); ++it)
            if (it->second.due <= target &&
                (next == entries_.end() || it->second.due < next->second.due))
                next = it;
        return next;
    }

    std::unique_ptr<Timer> add(double delay, double interval, std::function<void()> action) {
        entries_[nextId_] = Entry{now_ + delay, interval, std::move(action)};
        return std::make_unique<Handle>(this, nextId_++);
    }

    Instant now_;
    std::map<int, Entry> entries_;
    int nextId_ = 0;
};
