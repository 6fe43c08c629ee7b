/* SPDX-License-Identifier: MIT */
/*
 * Basic types of the Palm database library.
 *
 * A Palm database stores every number big-endian; these types hold the
 * decoded values.  Four-character codes (database type, creator, resource
 * type) are udwords whose most significant byte is the first character.
 */
#ifndef PALMDB_PALM_H
#define PALMDB_PALM_H

#include <stdint.h>

typedef uint8_t ubyte;
typedef uint16_t uword;
typedef uint32_t udword;
typedef int8_t byte;
typedef int16_t word;
typedef int32_t dword;

/* A byte offset from the start of a Palm database file. */
typedef udword localID;

typedef int Bool;
enum { False = 0, True = 1 };

/* Seconds from 1904-01-01 00:00:00 (the Palm epoch) to 1970-01-01 00:00:00. */
#define PALM_EPOCH_OFFSET 2082844800UL

/* Packs four characters into a four-character code, first character high. */
#define PALM_FOURCC(a, b, c, d)                                              \
	(((udword)(ubyte)(a) << 24) | ((udword)(ubyte)(b) << 16) |           \
	 ((udword)(ubyte)(c) << 8) | (udword)(ubyte)(d))

#endif
