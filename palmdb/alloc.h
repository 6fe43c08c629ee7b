/* SPDX-License-Identifier: MIT */
/*
 * The library's one door to the C heap, with a hook for tests that makes a
 * chosen allocation fail (compiled in with WEXLAR_ALLOC_HOOK only).
 * Everything the library allocates comes through pdb_malloc() and is
 * released with free().
 */
#ifndef PALMDB_ALLOC_H
#define PALMDB_ALLOC_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/* malloc(size), or null when the failure hook says so. */
void *pdb_malloc(size_t size);

#ifdef WEXLAR_ALLOC_HOOK
/*
 * Test hook, in the tests' build of the library only.  After
 * pdb_FailAllocation(n) with n > 0, the n-th following call of
 * pdb_malloc() fails (and only that one); n = 0 turns the hook off.
 * Either way the count of pdb_AllocationCount() starts again from 0.
 */
void pdb_FailAllocation(unsigned long n);

/* Calls of pdb_malloc() since the last pdb_FailAllocation(). */
unsigned long pdb_AllocationCount(void);
#endif

#ifdef __cplusplus
}
#endif

#endif
