#include "unit/allocation_watch.h"

#include <cstdlib>
#include <new>

namespace allocation_watch {
namespace {

constexpr int kSlots = 64;
std::size_t g_watched = 0;
std::size_t g_failSize = 0;
Counts g_counts = {};
void* g_live[kSlots] = {};

void Forget(void* p) {
    if (p == nullptr || g_watched == 0) {
        return;
    }
    for (void*& slot : g_live) {
        if (slot == p) {
            slot = nullptr;
            ++g_counts.deletes;
            return;
        }
    }
}

} // namespace

void Watch(std::size_t size) {
    g_watched = size;
    g_counts = {};
    for (void*& slot : g_live) {
        slot = nullptr;
    }
}

void FailNext(std::size_t size) {
    g_failSize = size;
}

Counts Get() {
    return g_counts;
}

void Stop() {
    g_watched = 0;
    g_failSize = 0;
}

// Called from the replaced allocation functions below.
void* NothrowAllocate(std::size_t size) {
    if (g_failSize != 0 && size == g_failSize) {
        g_failSize = 0;
        ++g_counts.failures;
        return nullptr;
    }
    void* p = std::malloc(size == 0 ? 1 : size);
    if (p != nullptr && g_watched != 0 && size == g_watched) {
        ++g_counts.allocations;
        for (void*& slot : g_live) {
            if (slot == nullptr) {
                slot = p;
                break;
            }
        }
    }
    return p;
}

void Deallocate(void* p) {
    Forget(p);
    std::free(p);
}

} // namespace allocation_watch

// Replacements of the global allocation functions (the library's own also use
// malloc and free, so memory from either side may be freed by the other).
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return allocation_watch::NothrowAllocate(size);
}
void operator delete(void* p) noexcept {
    allocation_watch::Deallocate(p);
}
void operator delete(void* p, std::size_t) noexcept {
    allocation_watch::Deallocate(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    allocation_watch::Deallocate(p);
}
