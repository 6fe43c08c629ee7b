/* SPDX-License-Identifier: MIT */
#include "util.h"
#include "fileio.h"
#include "report.h"

#include <errno.h>
#include <string.h>
#include <unistd.h>

ubyte peek_ubyte(const ubyte *buf) { return buf[0]; }

uword peek_uword(const ubyte *buf)
{
	return (uword)((unsigned)buf[0] << 8 | buf[1]);
}

udword peek_udword(const ubyte *buf)
{
	return (udword)buf[0] << 24 | (udword)buf[1] << 16 |
	       (udword)buf[2] << 8 | (udword)buf[3];
}

ubyte get_ubyte(const ubyte **buf)
{
	ubyte v = peek_ubyte(*buf);
	*buf += 1;
	return v;
}

uword get_uword(const ubyte **buf)
{
	uword v = peek_uword(*buf);
	*buf += 2;
	return v;
}

udword get_udword(const ubyte **buf)
{
	udword v = peek_udword(*buf);
	*buf += 4;
	return v;
}

void put_ubyte(ubyte **buf, ubyte value)
{
	*(*buf)++ = value;
}

void put_uword(ubyte **buf, uword value)
{
	*(*buf)++ = (ubyte)(value >> 8);
	*(*buf)++ = (ubyte)value;
}

void put_udword(ubyte **buf, udword value)
{
	*(*buf)++ = (ubyte)(value >> 24);
	*(*buf)++ = (ubyte)(value >> 16);
	*(*buf)++ = (ubyte)(value >> 8);
	*(*buf)++ = (ubyte)value;
}

enum { DUMP_WIDTH = 16 };

void debug_dump(FILE *outfile, const char *prefix, const ubyte *buf,
		udword len)
{
	static const char HEX[] = "0123456789abcdef";
	/* One line past the prefix: 16 slots of 3, "  | ", 16 characters. */
	char text[DUMP_WIDTH * 3 + 4 + DUMP_WIDTH + 2];
	for (udword line = 0; line < len; line += DUMP_WIDTH) {
		char *p = text;
		for (udword i = line; i < line + DUMP_WIDTH; i++) {
			p[0] = i < len ? HEX[buf[i] >> 4] : ' ';
			p[1] = i < len ? HEX[buf[i] & 0xF] : ' ';
			p[2] = ' ';
			p += 3;
		}
		memcpy(p, "  | ", 4);
		p += 4;
		for (udword i = line; i < line + DUMP_WIDTH && i < len; i++) {
			int c = buf[i];
			*p++ = (char)(c >= 0x20 && c <= 0x7e ? c : '.');
		}
		*p++ = '\n';
		/* prefix, a blank, then the line, in one print */
		fprintf(outfile, "%s %.*s", prefix, (int)(p - text), text);
	}
}

/* read (offset -1) or pread at offset until len bytes, the end of the
 * file or an error. */
static ssize_t read_all(int fd, void *buf, size_t len, off_t offset)
{
	size_t done = 0;
	while (done < len) {
		char *at = (char *)buf + done;
		ssize_t n = offset < 0 ? read(fd, at, len - done)
				       : pread(fd, at, len - done,
					       offset + (off_t)done);
		if (n < 0) {
			if (errno == EINTR)
				continue;
			return -1;
		}
		if (n == 0)
			break;
		done += (size_t)n;
	}
	return (ssize_t)done;
}

ssize_t wexlar_read_full(int fd, void *buf, size_t len)
{
	return read_all(fd, buf, len, -1);
}

ssize_t wexlar_pread_full(int fd, void *buf, size_t len, off_t offset)
{
	return read_all(fd, buf, len, offset);
}

ssize_t wexlar_write_full(int fd, const void *buf, size_t len)
{
	size_t done = 0;
	while (done < len) {
		ssize_t n = write(fd, (const char *)buf + done, len - done);
		if (n < 0) {
			if (errno == EINTR)
				continue;
			return -1;
		}
		if (n == 0) {
			errno = EIO;
			return -1;
		}
		done += (size_t)n;
	}
	return (ssize_t)done;
}

void wexlar_report_short_read(const char *tag, ssize_t got)
{
	if (got < 0)
		wexlar_report_errno(tag);
	else
		wexlar_report("%s: unexpected end of file\n", tag);
}
