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

#ifdef __cplusplus
}
#endif

#endif
