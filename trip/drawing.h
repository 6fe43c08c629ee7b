/* SPDX-License-Identifier: MIT */
/*
 * What the page's drawings share: the page's text as it is built (escaped
 * text, coordinates in tenths of a view box unit), round steps for axes
 * and grids, and the width that a text takes in the page's font.
 */
#ifndef TRIP_DRAWING_H
#define TRIP_DRAWING_H

#include <string>

/* The page's text as it is built.  Appending may throw std::bad_alloc. */
struct page {
	std::string html;

	void put(const char *s) { html += s; }
	void put(const std::string &s) { html += s; }

	/* Text from the log (Windows-1252) as escaped UTF-8. */
	void text(const std::string &cp1252);

	/* UTF-8 text, escaped for an element's content or an attribute. */
	void escaped(const std::string &utf8);

	/* v to the tenth, as the coordinates of the drawings are: "12.3",
	 * "-4", never "-0"; a v that is not finite as 0 and one beyond
	 * DRAWING_COORDINATE_MAX as that bound, so that every coordinate
	 * written is a finite number. */
	void tenths(double v);

	/* "x,y", each to the tenth. */
	void xy(double x, double y)
	{
		tenths(x);
		html += ',';
		tenths(y);
	}

	/* v with decimals places (see trip_format_fixed()). */
	void number(double v, int decimals);
};

/* The largest coordinate written (view box units). */
#define DRAWING_COORDINATE_MAX 1e7

/* The round step (1, 2 or 5 times a power of ten) nearest at or above
 * span / lines; span and lines positive and finite. */
double round_step(double span, double lines);

/* Decimals that the multiples of step need to be written exactly (0 to
 * 6). */
int decimals_of(double step);

/*
 * The width (view box units) that the Windows-1252 text takes at a font
 * size of px units in the page's font, sans-serif: never less than the
 * width that DejaVu Sans or Liberation Sans (metrics of Arial, Helvetica)
 * give it, so that a box of that width holds the text in any of them.
 * Bytes that trip_utf8() drops take no room.
 */
double text_width(const std::string &cp1252, double px);

/* Of a line of text at a font size of px: the height above the baseline
 * and below it that any of those fonts' glyphs reach (units). */
double text_ascent(double px);
double text_descent(double px);

#endif
