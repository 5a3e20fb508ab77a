// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/feedback.h"

namespace settree {

void CollectingFeedback::message(const std::string& text) { messages.push_back(text); }

const std::string& CollectingFeedback::lastMessage() const {
    static const std::string none;
    return messages.empty() ? none : messages.back();
}

} // namespace settree
