#pragma once

// Memory for large inputs in large pages. Reading a 100 MB file touches some 25 000 fresh 4 KiB pages, and
// building what it describes as many again; every first touch of a page is a fault into the system, which
// on virtual machines costs several microseconds each, more than reading the file itself. Pages of 2 MiB
// cut their number 512-fold. Both functions are hints: where the system offers no such pages (or in builds
// that replace the allocator, such as the sanitizer build) they do nothing, and nothing else changes.

#include <cstddef>

namespace quorvix {

/// Asks the system to back the buffer with large pages when its pages are first touched. Call it before
/// writing to a large buffer (a few MiB and more); the part not covering whole large pages is left as it is.
void adviseLargePages(void* data, std::size_t size);

/// Lets the next `bytes` or so of heap allocations of this process use large pages, and keeps freed heap
/// memory for reuse instead of handing it back to the system. Meant for a program that reads one large
/// input and ends: call it once, when the input's size is known.
void prepareLargePageHeap(std::size_t bytes);

} // namespace quorvix
