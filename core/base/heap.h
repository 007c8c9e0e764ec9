#pragma once

#include <cstddef>

/// How this process's heap grows. Both programs allocate in bursts: a catalogue of tens of
/// thousands of records is built within a few milliseconds, and the system's page faults
/// for that memory (a fault per 4 KiB page) then cost more than the reading itself.

/// One heap for every thread. Allocations of a second thread would otherwise come from a
/// heap of its own, which glibc grows a page at a time with a system call each: thousands for
/// a catalogue, more than the thread saves. Called before a second thread's first allocation.
void UseOneHeap();

/// While it lives, the heap is grown in one step by about bytes ahead of a burst of
/// allocations, and that fresh memory is offered to the system as huge pages: a catalogue's
/// ten megabytes then fault in a handful of 2 MiB pages instead of thousands of small ones.
/// Nothing is resident before it is used. Afterwards the heap grows and shrinks as before:
/// what the burst left unused is given back at the next release. Where the system offers no
/// huge pages, or the allocator is not glibc's own (the sanitizers'), it does nothing.
/// Not nested.
class CHeapReservation {
public:
    explicit CHeapReservation(size_t bytes);
    ~CHeapReservation();
    CHeapReservation(const CHeapReservation&) = delete;
    CHeapReservation& operator=(const CHeapReservation&) = delete;
};
