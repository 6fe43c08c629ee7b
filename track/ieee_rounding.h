/* SPDX-License-Identifier: MIT */
/* IEEE double arithmetic on every platform, the x87 FPU included. */
#ifndef TRACK_IEEE_ROUNDING_H
#define TRACK_IEEE_ROUNDING_H

/*
 * The x87 FPU of 32-bit x86 without SSE2 computes in 80-bit registers, so
 * each step would round differently from an IEEE double's and the decoded
 * points would differ in their last bits from every other platform's.
 * While an ieee_rounding lives, the FPU rounds every result to a double's
 * 53 bits instead: the IEEE result, the same bits everywhere.  Elsewhere it
 * does nothing.  A function that computes under a guard is kept out of line
 * (noinline), so that no step can move out of the guard's reach.
 */
#if defined(__i386__) && !defined(__SSE2_MATH__)
struct ieee_rounding {
	unsigned short saved;
	ieee_rounding()
	{
		enum { PRECISION_MASK = 0x300, PRECISION_DOUBLE = 0x200 };
		__asm__ __volatile__("fnstcw %0" : "=m"(saved) : : "memory");
		unsigned short cw =
		    (unsigned short)((saved & ~PRECISION_MASK) | PRECISION_DOUBLE);
		__asm__ __volatile__("fldcw %0" : : "m"(cw) : "memory");
	}
	~ieee_rounding()
	{
		__asm__ __volatile__("fldcw %0" : : "m"(saved) : "memory");
	}
};
#else
struct ieee_rounding {};
#endif

#endif
