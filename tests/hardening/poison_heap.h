// A checking heap for the hardening unit tests, which link the band's code:
// the executable replaces the global allocation functions, so every object
// the band makes with new comes from here.
//
// - Band objects and class factories (allocations of their exact sizes) get
//   pages of their own; freeing one makes its pages inaccessible for the rest
//   of the run, so any later read or write of a freed band faults at once and
//   the fault handler names it.
// - Every other block is filled with a pattern when freed and held back from
//   reuse for a while; a block whose pattern changed was written after it was
//   freed, and a block freed twice is counted.
#pragma once

#include <cstddef>
#include <cstdint>

namespace poison_heap {

// Allocations of these sizes get pages of their own (0 ends the list).
void GuardSizes(std::size_t a, std::size_t b);

struct Report {
    uint64_t guardedAllocations; // page-guarded blocks handed out so far
    uint64_t guardedFrees;       // ... and freed (their pages now fault)
    uint64_t quarantined;        // pattern-filled blocks checked so far
    uint64_t writtenAfterFree;   // blocks whose pattern had changed
    uint64_t doubleFrees;
};

// Checks every block still held back and returns the totals so far.
Report Check();

} // namespace poison_heap
