// SPDX-License-Identifier: GPL-3.0-or-later
#include "heapmeter.h"

#include <atomic>
#include <cstdlib>
#include <malloc.h>
#include <new>

namespace settree::bench {

namespace {

std::atomic<int64_t> live{0};
std::atomic<int64_t> peak{0};
std::atomic<int64_t> base{0};

void* counted(void* p) {
    if (!p)
        throw std::bad_alloc();
    const int64_t now =
        live.fetch_add(static_cast<int64_t>(malloc_usable_size(p)), std::memory_order_relaxed) +
        static_cast<int64_t>(malloc_usable_size(p));
    int64_t seen = peak.load(std::memory_order_relaxed);
    while (now > seen && !peak.compare_exchange_weak(seen, now, std::memory_order_relaxed)) {
    }
    return p;
}

void release(void* p) noexcept {
    if (!p)
        return;
    live.fetch_sub(static_cast<int64_t>(malloc_usable_size(p)), std::memory_order_relaxed);
    std::free(p);
}

void* aligned(std::size_t size, std::align_val_t alignment) {
    const auto a = static_cast<std::size_t>(alignment);
    return counted(std::aligned_alloc(a, (size + a - 1) / a * a));
}

} // namespace

void HeapMeter::Start() {
    const int64_t now = live.load(std::memory_order_relaxed);
    base.store(now, std::memory_order_relaxed);
    peak.store(now, std::memory_order_relaxed);
}

int64_t HeapMeter::PeakSinceStart() {
    return peak.load(std::memory_order_relaxed) - base.load(std::memory_order_relaxed);
}

int64_t HeapMeter::Live() {
    return live.load(std::memory_order_relaxed);
}

} // namespace settree::bench

using settree::bench::aligned;
using settree::bench::counted;
using settree::bench::release;

void* operator new(std::size_t size) {
    return counted(std::malloc(size ? size : 1));
}
void* operator new[](std::size_t size) {
    return counted(std::malloc(size ? size : 1));
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return counted(std::malloc(size ? size : 1));
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return operator new(size, std::nothrow);
}
void* operator new(std::size_t size, std::align_val_t a) {
    return aligned(size, a);
}
void* operator new[](std::size_t size, std::align_val_t a) {
    return aligned(size, a);
}
void operator delete(void* p) noexcept {
    release(p);
}
void operator delete[](void* p) noexcept {
    release(p);
}
void operator delete(void* p, std::size_t) noexcept {
    release(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    release(p);
}
void operator delete(void* p, std::align_val_t) noexcept {
    release(p);
}
void operator delete[](void* p, std::align_val_t) noexcept {
    release(p);
}
void operator delete(void* p, std::size_t, std::align_val_t) noexcept {
    release(p);
}
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept {
    release(p);
}
