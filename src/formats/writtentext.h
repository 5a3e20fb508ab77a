// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string_view>

namespace settree {

// Element text while an ElementTextBuilder writes it on another thread, for a reader on the
// thread that feeds the builder: the text pane takes the lines written so far while the rest is
// still being written, instead of waiting for the whole text.
//
// The reader gets the text written so far: whole lines joined by line breaks, the last without
// one, in the builder's memory, valid during the call only. Every call gives a longer beginning
// of the same text. The builder stops sharing when the text it gives at the end would not begin
// with those bytes (it needs normalising), or when its memory has to move; Kept then says false,
// and the reader has to take the whole text anew.
class WrittenText {
public:
    // expected: about how long the whole text will be, room to set aside.
    using Reader = std::function<void(std::string_view soFar, size_t expected)>;

    // reader gets the text so far each time at least step bytes more are written.
    explicit WrittenText(Reader reader, size_t step = size_t{1} << 20);
    WrittenText(const WrittenText&) = delete;
    WrittenText& operator=(const WrittenText&) = delete;

    // The feeding side, from time to time: gives the reader the text so far when enough is new.
    // False once the text is no longer shared.
    bool Poll();
    // The feeding side, when it has nothing else to do: gives the reader the text as it comes,
    // until End.
    void Follow();
    // No more text comes: the builder is done, or failed.
    void End();
    // After the builder has given its text: whether that text begins with every byte the reader
    // got. False too when the builder failed or gave nothing.
    bool Kept() const;

    // The builder's side, on its own thread. Begin shares the memory the text is written into,
    // with room for expected bytes; Publish makes its first size bytes readable; Stop ends the
    // sharing before the memory moves or the text is changed (it waits for a reader still
    // reading); Done says the text given whole begins with every byte published.
    void Begin(const char* text, size_t expected);
    void Publish(size_t size);
    void Stop();
    void Done();

private:
    Reader reader_;
    size_t step_;
    size_t given_ = 0; // bytes the reader has got, on the feeding side
    std::atomic<size_t> ready_{0};
    std::atomic<size_t> wanted_{SIZE_MAX}; // the size Follow waits for
    std::mutex waitMutex_;                 // for Follow's wait: Poll is not held up by it
    std::condition_variable changed_;
    bool ended_ = false;       // under waitMutex_
    mutable std::mutex mutex_; // held while the reader reads and while the sharing changes
    const char* text_ = nullptr;
    size_t expected_ = 0;
    bool open_ = false; // shared: the memory is in place and the text unchanged
    bool done_ = false;
};

} // namespace settree
