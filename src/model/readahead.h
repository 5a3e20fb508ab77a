// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <utility>

#include "model/parallel.h"
#include "model/textfile.h"

namespace settree {

// Reads a file on a second thread from construction on, for a caller with other work to do
// before it needs the bytes: the window reads the file named on its command line while the
// toolkit starts. Only a regular file is read ahead: a FIFO could hold the thread until its
// writer ends, if ever.
template <class Bytes> class ReadAhead {
public:
    // read(fileName) reads the file as the caller would read it then.
    ReadAhead(std::string fileName, std::function<Bytes(const std::string&)> read)
        : fileName_(std::move(fileName)), read_(std::move(read)) {
        if (IsRegularFile(fileName_))
            reading_.emplace([this] { bytes_ = read_(fileName_); });
    }
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // The bytes of fileName as read gives them, when they were read ahead under that name;
    // raises what the reading raised. None otherwise, and once taken.
    std::optional<Bytes> Take(const std::string& fileName) {
        if (!reading_ || fileName != fileName_)
            return std::nullopt;
        const struct Taken {
            std::optional<WorkBeside>& reading;
            ~Taken() { reading.reset(); }
        } taken{reading_};
        reading_->Wait();
        return std::move(bytes_);
    }

private:
    std::string fileName_;
    std::function<Bytes(const std::string&)> read_;
    Bytes bytes_{};
    // Declared last: it ends before what it uses goes.
    std::optional<WorkBeside> reading_;
};

} // namespace settree
