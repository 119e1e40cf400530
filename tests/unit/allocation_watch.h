// Watches the non-throwing allocations the band's code makes (the product
// allocates every object with new (std::nothrow)): counts those of one size
// and their deletes, and can make the next one of that size fail. The unit
// test executable replaces the global allocation functions for this; with
// nothing watched they behave as the library's own.
#pragma once

#include <cstddef>

namespace allocation_watch {

struct Counts {
    int allocations; // nothrow allocations of the watched size that succeeded
    int deletes;     // of those, how many were deleted again
    int failures;    // allocations made to fail
};

// Starts counting allocations of exactly `size` bytes; resets the counts.
void Watch(std::size_t size);
// Fails the next nothrow allocation of `size` bytes (returns null).
void FailNext(std::size_t size);
Counts Get();
// Stops watching and failing.
void Stop();

} // namespace allocation_watch
