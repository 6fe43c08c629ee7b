/* SPDX-License-Identifier: MIT */
/*
 * Buffered output to a descriptor for the writers: the bytes are the same
 * as with one write per item, in far fewer system calls.  The first failed
 * write is reported (perror "write") and every later call does nothing.
 */
#ifndef TRACK_OUTBUF_H
#define TRACK_OUTBUF_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

struct outbuf {
	int fd;
	int failed; /* set at the first failed write */
	size_t len;
	char data[64 * 1024];
};

/* The writers' one output buffer, emptied and set to write to fd.  One
 * writer at a time uses it. */
struct outbuf *wexlar_out_open(int fd);

/* Appends len bytes, writing the buffer out when it fills.  0, or -1 once
 * a write has failed. */
int wexlar_out_put(struct outbuf *ob, const void *bytes, size_t len);

/* Writes out what is buffered.  0, or -1 once a write has failed. */
int wexlar_out_flush(struct outbuf *ob);

#ifdef __cplusplus
}
#endif

#endif
