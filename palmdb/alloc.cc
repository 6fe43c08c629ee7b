/* SPDX-License-Identifier: MIT */
#include "alloc.h"

#include <stdlib.h>

#ifdef WEXLAR_ALLOC_HOOK
static unsigned long alloc_calls;
static unsigned long alloc_fail_at;

void *pdb_malloc(size_t size)
{
	alloc_calls++;
	if (alloc_fail_at != 0 && alloc_calls == alloc_fail_at)
		return NULL;
	return malloc(size);
}

void pdb_FailAllocation(unsigned long n)
{
	alloc_fail_at = n;
	alloc_calls = 0;
}

unsigned long pdb_AllocationCount(void) { return alloc_calls; }
#else
void *pdb_malloc(size_t size) { return malloc(size); }
#endif
