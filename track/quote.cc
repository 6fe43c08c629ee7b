/* SPDX-License-Identifier: MIT */
#include "quote.h"

void wexlar_put_quoted(FILE *out, const char *bytes, size_t len)
{
	fputc('"', out);
	for (size_t i = 0; i < len; i++) {
		unsigned char c = (unsigned char)bytes[i];
		if (c == '\\' || c == '"')
			fprintf(out, "\\%c", c);
		else if (c >= 0x20 && c <= 0x7e)
			fputc(c, out);
		else
			fprintf(out, "\\x%02x", c);
	}
	fputc('"', out);
}
