// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <exception>
#include <functional>
#include <system_error>
#include <thread>
#include <utility>

namespace settree {

// Text work on fewer bytes than this stays on one thread: a second one is not worth its start.
// Larger texts are read or checked in two halves at once, or beside other work.
inline constexpr size_t kParallelBytes = size_t{1} << 20;

// Runs first() on the calling thread and second() on another thread at the same time, and
// returns true when both are done. False, having run neither, when no thread can be started:
// for work whose two sides wait on each other and cannot run one after the other. What either
// throws is rethrown here, first()'s before second()'s.
template <class First, class Second> bool TryInParallel(First&& first, Second&& second) {
    std::exception_ptr secondError;
    std::thread other;
    try {
        other = std::thread([&] {
            try {
                second();
            } catch (...) {
                secondError = std::current_exception();
            }
        });
    } catch (const std::system_error&) {
        return false;
    }
    try {
        first();
    } catch (...) {
        other.join();
        throw;
    }
    other.join();
    if (secondError)
        std::rethrow_exception(secondError);
    return true;
}

// Runs first() and second() at the same time as TryInParallel does; where no thread can be
// started the two run one after the other.
template <class First, class Second> void RunInParallel(First&& first, Second&& second) {
    if (!TryInParallel(first, second)) {
        first();
        second();
    }
}

// Runs work() on a thread of its own from construction on, for work whose result the caller
// needs only later: Wait() waits for it and rethrows what it threw. Where no thread can be
// started, Wait() runs it. The destructor waits for it too, and drops what it threw.
class WorkBeside {
public:
    explicit WorkBeside(std::function<void()> work) : work_(std::move(work)) {
        try {
            thread_ = std::thread([this] {
                try {
                    work_();
                } catch (...) {
                    error_ = std::current_exception();
                }
            });
        } catch (const std::system_error&) {
            // Wait runs it.
        }
    }
    WorkBeside(const WorkBeside&) = delete;
    WorkBeside& operator=(const WorkBeside&) = delete;
    ~WorkBeside() {
        if (thread_.joinable())
            thread_.join();
    }

    // Waits for the work to end, or runs it; rethrows what it threw. Called once.
    void Wait() {
        if (thread_.joinable())
            thread_.join();
        else if (work_)
            work_();
        work_ = nullptr;
        if (error_)
            std::rethrow_exception(std::exchange(error_, nullptr));
    }

private:
    std::function<void()> work_;
    std::exception_ptr error_;
    std::thread thread_;
};

} // namespace settree
