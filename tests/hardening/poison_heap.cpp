#include "hardening/poison_heap.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace poison_heap {
namespace {

constexpr uint32_t kLive = 0x4C495645;
constexpr uint32_t kFreed = 0x44454144;
constexpr uint32_t kGuardedLive = 0x47554152;
constexpr unsigned char kFreedByte = 0xDD;
constexpr unsigned char kNewByte = 0xCD;

// 16 bytes in front of each block keep the alignment new promises.
struct alignas(16) Header {
    std::size_t size;
    uint32_t magic;
    uint32_t pad;
};

constexpr std::size_t kRingSlots = 1 << 14;
constexpr std::size_t kRingBytes = std::size_t{32} << 20;

SRWLOCK g_lock = SRWLOCK_INIT;
Header* g_ring[kRingSlots];
std::size_t g_ringHead = 0;
std::size_t g_ringCount = 0;
std::size_t g_ringBytes = 0;
std::size_t g_guard[2] = {0, 0};
Report g_report = {};

constexpr std::size_t kPage = 4096;
// Freed guarded regions, for the fault handler's message.
constexpr std::size_t kGuardedSlots = 1 << 16;
void* g_guardedFreed[kGuardedSlots];
std::size_t g_guardedFreedCount = 0;

bool Intact(const Header* h) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(h + 1);
    for (std::size_t i = 0; i < h->size; ++i) {
        if (p[i] != kFreedByte) {
            return false;
        }
    }
    return true;
}

// Under the lock: releases the oldest held block after checking it.
void EvictOldest() {
    const std::size_t tail = (g_ringHead + kRingSlots - g_ringCount) % kRingSlots;
    Header* h = g_ring[tail];
    g_ring[tail] = nullptr;
    --g_ringCount;
    g_ringBytes -= h->size;
    ++g_report.quarantined;
    if (!Intact(h)) {
        ++g_report.writtenAfterFree;
        std::fprintf(stderr, "poison heap: block of %zu bytes at %p written after it was freed\n",
                     h->size, static_cast<void*>(h + 1));
    }
    std::free(h);
}

LONG CALLBACK OnFault(EXCEPTION_POINTERS* info) {
    if (info->ExceptionRecord->ExceptionCode != EXCEPTION_ACCESS_VIOLATION) {
        return EXCEPTION_CONTINUE_SEARCH;
    }
    const uintptr_t address = info->ExceptionRecord->ExceptionInformation[1];
    for (std::size_t i = 0; i < g_guardedFreedCount && i < kGuardedSlots; ++i) {
        const uintptr_t base = reinterpret_cast<uintptr_t>(g_guardedFreed[i]);
        if (address >= base && address < base + 2 * kPage) {
            std::fprintf(stderr, "poison heap: %s of freed band memory at %p (instruction %p)\n",
                         info->ExceptionRecord->ExceptionInformation[0] ? "write" : "read",
                         reinterpret_cast<void*>(address), info->ExceptionRecord->ExceptionAddress);
            std::fflush(stderr);
            TerminateProcess(GetCurrentProcess(), 4);
        }
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

bool IsGuarded(std::size_t size) {
    return size != 0 && (size == g_guard[0] || size == g_guard[1]);
}

// The block ends at the end of its first page, so the inaccessible second
// page catches running off its end as well.
void* AllocateGuarded(std::size_t size) {
    void* region = VirtualAlloc(nullptr, 2 * kPage, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    if (region == nullptr) {
        return nullptr;
    }
    DWORD old = 0;
    VirtualProtect(static_cast<char*>(region) + kPage, kPage, PAGE_NOACCESS, &old);
    const std::size_t offset = (kPage - sizeof(Header) - size) & ~std::size_t{15};
    Header* h = reinterpret_cast<Header*>(static_cast<char*>(region) + offset);
    h->size = size;
    h->magic = kGuardedLive;
    std::memset(h + 1, kNewByte, size);
    AcquireSRWLockExclusive(&g_lock);
    ++g_report.guardedAllocations;
    ReleaseSRWLockExclusive(&g_lock);
    return h + 1;
}

void FreeGuarded(Header* h) {
    void* region = reinterpret_cast<void*>(reinterpret_cast<uintptr_t>(h) & ~(kPage - 1));
    h->magic = kFreed;
    std::memset(h + 1, kFreedByte, h->size);
    AcquireSRWLockExclusive(&g_lock);
    ++g_report.guardedFrees;
    g_guardedFreed[g_guardedFreedCount++ % kGuardedSlots] = region;
    ReleaseSRWLockExclusive(&g_lock);
    DWORD old = 0;
    VirtualProtect(region, kPage, PAGE_NOACCESS, &old);
}

void* Allocate(std::size_t size) {
    static const bool installed = AddVectoredExceptionHandler(1, OnFault) != nullptr;
    (void)installed;
    if (IsGuarded(size)) {
        return AllocateGuarded(size);
    }
    Header* h = static_cast<Header*>(std::malloc(sizeof(Header) + (size == 0 ? 1 : size)));
    if (h == nullptr) {
        return nullptr;
    }
    h->size = size;
    h->magic = kLive;
    std::memset(h + 1, kNewByte, size);
    return h + 1;
}

void Free(void* p) {
    if (p == nullptr) {
        return;
    }
    Header* h = static_cast<Header*>(p) - 1;
    if ((reinterpret_cast<uintptr_t>(h) & (kPage - 1)) != 0 && h->magic == kGuardedLive) {
        FreeGuarded(h);
        return;
    }
    AcquireSRWLockExclusive(&g_lock);
    if (h->magic == kFreed) {
        ++g_report.doubleFrees;
        ReleaseSRWLockExclusive(&g_lock);
        std::fprintf(stderr, "poison heap: block at %p freed twice\n", p);
        return;
    }
    h->magic = kFreed;
    std::memset(h + 1, kFreedByte, h->size);
    while (g_ringCount == kRingSlots || (g_ringCount > 0 && g_ringBytes + h->size > kRingBytes)) {
        EvictOldest();
    }
    g_ring[g_ringHead] = h;
    g_ringHead = (g_ringHead + 1) % kRingSlots;
    ++g_ringCount;
    g_ringBytes += h->size;
    ReleaseSRWLockExclusive(&g_lock);
}

} // namespace

void GuardSizes(std::size_t a, std::size_t b) {
    g_guard[0] = a;
    g_guard[1] = b;
}

Report Check() {
    AcquireSRWLockExclusive(&g_lock);
    for (std::size_t i = 0; i < g_ringCount; ++i) {
        const Header* h = g_ring[(g_ringHead + kRingSlots - 1 - i) % kRingSlots];
        if (!Intact(h) && h->magic == kFreed) {
            ++g_report.writtenAfterFree;
            std::fprintf(stderr,
                         "poison heap: block of %zu bytes at %p written after it was freed\n",
                         h->size, static_cast<const void*>(h + 1));
            // Repaint it so that it is reported once.
            std::memset(const_cast<Header*>(h) + 1, kFreedByte, h->size);
        }
    }
    const Report report = g_report;
    ReleaseSRWLockExclusive(&g_lock);
    return report;
}

} // namespace poison_heap

void* operator new(std::size_t size) {
    void* p = poison_heap::Allocate(size);
    if (p == nullptr) {
        std::abort(); // the tests are not built to run out of memory
    }
    return p;
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return poison_heap::Allocate(size);
}
void operator delete(void* p) noexcept {
    poison_heap::Free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    poison_heap::Free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    poison_heap::Free(p);
}
