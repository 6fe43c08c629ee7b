/* SPDX-License-Identifier: MIT */
#include "report.h"

#include <errno.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "pdb.h"

/* Room for the longest message: texts of a line or two, a database name
 * of 32 bytes and numbers. */
enum { MESSAGE_SIZE = 1024 };

/* Null: standard error. */
static pdb_message_sink sink;
static void *sink_context;

void pdb_SetMessageSink(pdb_message_sink new_sink, void *context)
{
	sink = new_sink;
	sink_context = new_sink != NULL ? context : NULL;
}

/* The text on standard error, its control characters other than line
 * ends and tabs (a database's name may hold any byte) as \xHH, so that
 * no message can work a terminal. */
static void print_text(const char *text)
{
	for (const unsigned char *c = (const unsigned char *)text; *c != '\0';
	     c++) {
		if ((*c < 0x20 && *c != '\n' && *c != '\t') || *c == 0x7F)
			fprintf(stderr, "\\x%02x", *c);
		else
			fputc(*c, stderr);
	}
}

static void deliver(const char *text)
{
	if (sink != NULL)
		sink(sink_context, text);
	else
		print_text(text);
}

void wexlar_report(const char *format, ...)
{
	int saved = errno;
	char text[MESSAGE_SIZE];
	va_list args;
	va_start(args, format);
	vsnprintf(text, sizeof text, format, args);
	va_end(args);
	deliver(text);
	errno = saved;
}

void wexlar_report_errno(const char *tag)
{
	wexlar_report("%s: %s\n", tag, strerror(errno));
}
