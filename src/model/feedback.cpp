// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/feedback.h"

#include <cstdio>

namespace settree {

void CollectingFeedback::message(const std::string& text) {
    messages.push_back(text);
}

const std::string& CollectingFeedback::lastMessage() const {
    static const std::string none;
    return messages.empty() ? none : messages.back();
}

void StderrFeedback::message(const std::string& text) {
    ++count_;
    std::string block = subject_.empty() ? text : subject_ + ": " + text;
    block += '\n';
    std::fwrite(block.data(), 1, block.size(), stderr);
    std::fflush(stderr);
}

} // namespace settree
