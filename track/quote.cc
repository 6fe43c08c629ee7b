/* SPDX-License-Identifier: MIT */
#include "quote.h"

#include <stdio.h>

/* One byte as it shows between the quotes, at out (room for 4 and a NUL);
 * returns the length. */
static int quote_byte(char *out, unsigned char c)
{
	if (c == '\\' || c == '"')
		return snprintf(out, 5, "\\%c", c);
	if (c >= 0x20 && c <= 0x7e)
		return snprintf(out, 5, "%c", c);
	return snprintf(out, 5, "\\x%02x", c);
}

void wexlar_put_quoted(FILE *out, const char *bytes, size_t len)
{
	char shown[5];
	fputc('"', out);
	for (size_t i = 0; i < len; i++) {
		quote_byte(shown, (unsigned char)bytes[i]);
		fputs(shown, out);
	}
	fputc('"', out);
}

size_t wexlar_quote(char *out, const char *bytes, size_t len)
{
	char *p = out;
	*p++ = '"';
	for (size_t i = 0; i < len; i++)
		p += quote_byte(p, (unsigned char)bytes[i]);
	*p++ = '"';
	*p = '\0';
	return (size_t)(p - out);
}
