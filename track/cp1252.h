/* SPDX-License-Identifier: MIT */
/* Windows-1252, the code page of the handheld's text. */
#ifndef TRACK_CP1252_H
#define TRACK_CP1252_H

#include <stdint.h>

/*
 * Unicode code points of the Windows-1252 bytes 0x80 to 0x9F, which Palm
 * handhelds store as text; 0 where the code page has no character.
 */
static const uint16_t CP1252_HIGH[32] = {
    0x20AC, 0,	    0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,	    0x017D, 0,
    0,	    0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,	    0x017E, 0x0178,
};

/* The Unicode code point of the Windows-1252 byte c; 0 where the code
 * page has no character. */
static inline unsigned cp1252_to_unicode(unsigned char c)
{
	return c >= 0x80 && c < 0xA0 ? CP1252_HIGH[c - 0x80] : c;
}

/* The Windows-1252 byte of the code point cp, or -1 where the code page
 * has none.  The C1 controls U+0080 to U+009F have none. */
static inline int unicode_to_cp1252(unsigned long cp)
{
	if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF))
		return (int)cp;
	for (int i = 0; i < 32; i++)
		if (CP1252_HIGH[i] != 0 && CP1252_HIGH[i] == cp)
			return 0x80 + i;
	return -1;
}

#endif
