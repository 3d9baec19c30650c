#pragma once

#include <condition_variable>
#include <mutex>
#include <optional>
#include <utility>

// One item at a time from one thread to another: put() waits while the
// last item is still there, take() waits for an item, or for close() once
// none is left.
template <typename T>
class Hand_Off {
public:
    void put(T item) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return !item_; });
        item_ = std::move(item);
        changed_.notify_all();
    }

    std::optional<T> take() {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return item_ || closed_; });
        std::optional<T> out = std::move(item_);
        item_.reset();
        changed_.notify_all();
        return out;
    }

    void close() {
        std::lock_guard<std::mutex> lock(mutex_);
        closed_ = true;
        changed_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::optional<T> item_;
    bool closed_ = false;
};
