// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/writtentext.h"

#include <utility>

namespace settree {

WrittenText::WrittenText(Reader reader, size_t step) : reader_(std::move(reader)), step_(step) {}

bool WrittenText::Poll() {
    const size_t ready = ready_.load(std::memory_order_acquire);
    if (ready < given_ + step_)
        return true;
    // The lock keeps the memory in place while the reader reads it: the builder stops sharing
    // under the same lock before its memory can move.
    const std::lock_guard<std::mutex> lock(mutex_);
    if (!open_)
        return false;
    reader_(std::string_view(text_, ready), expected_);
    given_ = ready;
    return true;
}

void WrittenText::Follow() {
    std::unique_lock<std::mutex> lock(waitMutex_);
    for (;;) {
        const size_t wanted = given_ + step_;
        wanted_.store(wanted);
        changed_.wait(lock, [&] { return ended_ || ready_.load() >= wanted; });
        if (ended_)
            return;
        lock.unlock();
        const bool shared = Poll();
        lock.lock();
        if (!shared) {
            wanted_.store(SIZE_MAX);
            changed_.wait(lock, [&] { return ended_; });
            return;
        }
    }
}

void WrittenText::End() {
    {
        const std::lock_guard<std::mutex> lock(waitMutex_);
        ended_ = true;
    }
    changed_.notify_all();
}

void WrittenText::Publish(size_t size) {
    ready_.store(size);
    // Follow is woken only when it has enough to take.
    if (size < wanted_.load())
        return;
    { const std::lock_guard<std::mutex> lock(waitMutex_); }
    changed_.notify_all();
}

bool WrittenText::Kept() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return done_;
}

void WrittenText::Begin(const char* text, size_t expected) {
    const std::lock_guard<std::mutex> lock(mutex_);
    text_ = text;
    open_ = true;
    expected_ = expected;
}

void WrittenText::Stop() {
    const std::lock_guard<std::mutex> lock(mutex_);
    open_ = false;
}

void WrittenText::Done() {
    const std::lock_guard<std::mutex> lock(mutex_);
    done_ = open_;
    open_ = false;
}

} // namespace settree
