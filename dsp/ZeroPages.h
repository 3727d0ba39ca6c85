// Large zero-filled blocks whose untouched pages cost no memory: they come straight from the
// system as fresh zero pages, so only the pages a caller writes (or its allocator's header) become
// resident. Ordinary calloc cannot promise that: once the C library has freed a large block it may
// serve the next one from reused heap memory, which it then clears in full.
//
// Any thread; allocation and release are system calls, so never on the audio thread.
#pragma once

#include <cstddef>

// Fresh anonymous pages of at least `bytes` (rounded up to whole pages), all zero. Null when bytes
// is 0 or the system refuses. Release with FreeZeroPages and the same byte count.
void* AllocateZeroPages(size_t bytes);
void FreeZeroPages(void* block, size_t bytes);

// The block allocation the engine uses: AllocateZeroPages, except under AddressSanitizer, whose
// own allocator also maps large blocks fresh (without clearing them) and keeps their bounds
// checked. Release with FreeZeroed and the same byte count; null is allowed.
void* AllocateZeroed(size_t bytes);
void FreeZeroed(void* block, size_t bytes);
