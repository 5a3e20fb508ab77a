// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace settree {

// How core operations talk to the user: a message that the editor shows in a one-button
// message box, and the busy cursor around long operations. The editor implements it with
// message boxes and the override cursor; the converter and the unattended run write each
// message to standard error.
class Feedback {
public:
    virtual ~Feedback() = default;
    virtual void message(const std::string& text) = 0;
    virtual void busyBegin() {}
    virtual void busyEnd() {}
};

// Shows the busy cursor for the lifetime of the object, on every way out.
class BusyCursor {
public:
    explicit BusyCursor(Feedback& feedback) : feedback_(feedback) { feedback_.busyBegin(); }
    ~BusyCursor() { feedback_.busyEnd(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;

private:
    Feedback& feedback_;
};

// Keeps every message it is given, in order; for headless runs and tests.
class CollectingFeedback : public Feedback {
public:
    void message(const std::string& text) override;
    const std::string& lastMessage() const;

    std::vector<std::string> messages;
    int busyDepth = 0;
    int busyCount = 0;
    void busyBegin() override {
        ++busyDepth;
        ++busyCount;
    }
    void busyEnd() override { --busyDepth; }
};

// Writes each message to standard error as one block followed by a line end, and counts them;
// for the converter and the unattended run, where nobody sees a message box. With a subject (the
// file being read), each message begins with it and ": ", so that it names its file.
class StderrFeedback : public Feedback {
public:
    explicit StderrFeedback(std::string subject = std::string()) : subject_(std::move(subject)) {}
    void message(const std::string& text) override;
    int count() const { return count_; }

private:
    std::string subject_;
    int count_ = 0;
};

} // namespace settree
