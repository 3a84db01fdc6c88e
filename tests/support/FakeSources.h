#pragma once

#include <functional>

class QObject;

// Stands in for what the store waits on (the tool, the version feed): it counts the requests
// and answers when the test says.
template <typename T> struct Fake {
    int requests = 0;
    std::function<void(T)> pending;

    auto source() {
        return [this](QObject*, std::function<void(T)> done) {
            ++requests;
            pending = std::move(done);
        };
    }
    bool busy() const { return bool(pending); }
    void answer(T value) {
        auto done = std::move(pending);
        pending = nullptr;
        done(std::move(value));
    }
};
