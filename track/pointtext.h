/* SPDX-License-Identifier: MIT */
/* The text of one track point, as the GPX and CSV writers print it. */
#ifndef TRACK_POINTTEXT_H
#define TRACK_POINTTEXT_H

#include "mag.h"

/* The project's site, named in the creator attribute of every document. */
#define WEXLAR_HOME "https://wexlar.example.org/"

#define XSI_NAMESPACE "http://www.w3.org/2001/XMLSchema-instance"

#ifdef __cplusplus
extern "C" {
#endif

/* How one point is printed. */
enum point_style { POINT_GPX, POINT_CSV };

/* Size that any printed point fits. */
#define POINT_TEXT_SIZE 1024

/*
 * Prints trk as a GPX track point or a CSV line into buf (of
 * POINT_TEXT_SIZE bytes).  Returns the length of the text.
 */
int wexlar_format_point(enum point_style style, const struct trkrec *trk,
			char *buf);
/*
 * Prints trk as a GPX 1.1 track point into buf (of POINT_TEXT_SIZE bytes):
 * as POINT_GPX does, but without <ele> where info says the altitude field
 * is empty, in metres where it is in feet, and without <time> where the
 * time and date fields are empty.  Returns the length of the text.
 */
int wexlar_format_track_point(const struct trkrec *trk,
			      const struct magtrkpt *info, char *buf);

/* Size that any finite double printed as "%f" fits. */
#define FIXED_TEXT_SIZE 400

/*
 * Prints the finite v as "%f" would, six digits after the point, into buf
 * (of FIXED_TEXT_SIZE bytes).  Returns the length of the text.
 */
int wexlar_format_fixed(double v, char *buf);

/* Size that any printed time fits. */
#define TIME_TEXT_SIZE 32

/*
 * Prints the UTC time of trk as the GPX and CSV writers do,
 * "YYYY-MM-DDTHH:MM:SS.ccZ", into buf (of TIME_TEXT_SIZE bytes).  Returns
 * the length of the text.
 */
int wexlar_format_time(const struct trkrec *trk, char *buf);

#ifdef __cplusplus
}
#endif

#endif
