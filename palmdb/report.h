/* SPDX-License-Identifier: MIT */
/*
 * How the library's functions tell of a failure or a warning: through the
 * sink that pdb_SetMessageSink() chose, standard error by default.  Not
 * part of the installed interface, so the names carry the project prefix.
 */
#ifndef PALMDB_REPORT_H
#define PALMDB_REPORT_H

#ifdef __cplusplus
extern "C" {
#endif

/*
 * Formats one message as printf does and hands it to the sink.  The
 * message ends in a newline; one longer than 1023 bytes is cut.  errno is
 * kept, so that a system error can be reported after it.
 */
void wexlar_report(const char *format, ...)
    __attribute__((format(printf, 1, 2)));

/* "tag: " and the text of errno, as perror(tag) prints it; errno is kept. */
void wexlar_report_errno(const char *tag);

#ifdef __cplusplus
}
#endif

#endif
