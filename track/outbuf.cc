/* SPDX-License-Identifier: MIT */
#include "outbuf.h"

#include <stdio.h>
#include <string.h>

#include "fileio.h"


struct outbuf *wexlar_out_open(int fd)
{
	static struct outbuf ob;
	ob.fd = fd;
	ob.failed = 0;
	ob.len = 0;
	return &ob;
}

int wexlar_out_flush(struct outbuf *ob)
{
	if (ob->failed)
		return -1;
	if (ob->len > 0 && wexlar_write_full(ob->fd, ob->data, ob->len) < 0) {
		perror("write");
		ob->failed = 1;
		return -1;
	}
	ob->len = 0;
	return 0;
}

int wexlar_out_put(struct outbuf *ob, const void *bytes, size_t len)
{
	const char *p = (const char *)bytes;
	while (len > 0) {
		if (ob->failed)
			return -1;
		size_t room = sizeof ob->data - ob->len;
		size_t n = len < room ? len : room;
		memcpy(ob->data + ob->len, p, n);
		ob->len += n;
		p += n;
		len -= n;
		if (ob->len == sizeof ob->data && wexlar_out_flush(ob) < 0)
			return -1;
	}
	return ob->failed ? -1 : 0;
}
