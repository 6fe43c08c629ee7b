/* SPDX-License-Identifier: MIT */
/*
 * The fields of Magellan sentences made from GPX values: positions,
 * altitudes, times and text as the handheld holds them, and the checksum.
 */
#ifndef GPX_SENTENCES_H
#define GPX_SENTENCES_H

#include <stdint.h>

#include <string>

/* Bytes of a text field that the handheld keeps. */
enum { WPT_NAME_MAX = 20, WPT_COMMENT_MAX = 46, TRACK_NAME_MAX = 255 };

/*
 * The UTF-8 text (expat's) as Windows-1252 of at most max bytes: each
 * character its byte, "?" where the code page has none (and for a byte
 * that is no UTF-8), a blank for "," "*" "$" and control characters, which
 * would break the sentence.
 */
std::string mag_text(const std::string &utf8, size_t max);

/*
 * The decimal number that the len bytes at text hold, blanks around it
 * allowed, into *v.  false when they hold no finite number or more.
 */
bool parse_decimal(const char *text, size_t len, double *v);

/* Room for any text that the put_ functions below write. */
enum { FIELD_ROOM = 64 };

/*
 * Writes "ddmm.mmmm,N|S,dddmm.mmmm,E|W" for a position in degrees
 * (latitude -90 to 90, longitude -180 to 180) at out: minutes with four
 * decimals, rounded, the carry going into the degrees.  The same text on
 * every platform.  Returns the end of the text.
 */
char *put_position(char *out, double lat, double lon);

/* Altitudes in metres are refused from this magnitude on. */
static const double ELE_LIMIT = 1e9;

/* Writes the altitude ele (of magnitude below ELE_LIMIT) rounded to whole
 * metres, halves away from zero, as printf's "%0*ld" with width gives it.
 * Returns the end of the text. */
char *put_metres(char *out, double ele, int width);

/* A time of day and date as a track point holds them. */
struct mag_time {
	char hms[sizeof "hhmmss.cc"];
	char date[sizeof "ddmmyy"];
};

enum time_status { TIME_OK, TIME_INVALID, TIME_OUT_OF_RANGE };

/*
 * The xsd:dateTime in the len bytes at text ("YYYY-MM-DDThh:mm:ss", a
 * fraction of the second, "Z" or an offset "+hh:mm" or "-hh:mm"; no zone
 * is UTC; blanks around it allowed) into *t in UTC, its hundredths
 * truncated.  As RFC 3339 and the programs that write GPX have it, "t" and
 * "z" may be lower case, an offset may lack its colon ("+0200"), and a
 * leap second (":60") is taken as the first second after it.
 * TIME_OUT_OF_RANGE for a moment before 2000-01-01 or from 2100-01-01 on,
 * which a two-digit year cannot hold; TIME_INVALID for a text that is no
 * such time.
 */
enum time_status parse_gpx_time(const char *text, size_t len,
				 struct mag_time *t);

/* text without the XML white space at its ends. */
std::string trim_blanks(const std::string &text);

/* Appends "$body*HH" to out: HH the exclusive or of the len bytes of body,
 * as two upper-case hex digits. */
void append_sentence(std::string *out, const char *body, size_t len);

#endif
