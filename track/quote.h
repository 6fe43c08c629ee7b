/* SPDX-License-Identifier: MIT */
/* Bytes of unknown text shown safely in a message or a listing. */
#ifndef TRACK_QUOTE_H
#define TRACK_QUOTE_H

#include <stddef.h>
#include <stdio.h>

#ifdef __cplusplus
extern "C" {
#endif

/*
 * Prints the len bytes at bytes to out between double quotes: printable
 * ASCII as it is, a backslash and a quote escaped with a backslash, every
 * other byte as \xHH.
 */
void wexlar_put_quoted(FILE *out, const char *bytes, size_t len);

/* Room that wexlar_quote() needs for len bytes. */
#define WEXLAR_QUOTED_SIZE(len) (4 * (len) + 3)

/*
 * Writes the len bytes at bytes into out (WEXLAR_QUOTED_SIZE(len) bytes)
 * as wexlar_put_quoted() prints them, followed by a NUL.  Returns the
 * length of the text.
 */
size_t wexlar_quote(char *out, const char *bytes, size_t len);

#ifdef __cplusplus
}
#endif

#endif
