/* SPDX-License-Identifier: MIT */
/*
 * What the drawings of the trip page share: coordinates written to the
 * tenth of a view box unit, round steps for axes and graticules, and the
 * estimated size of a text, all the same on every platform.
 */
#ifndef TRIP_DRAWING_H
#define TRIP_DRAWING_H

#include <string>

/* A coordinate beyond this (view box units) is written as this, with its
 * sign: far outside any drawing, yet a number every reader takes. */
#define DRAW_COORDINATE_LIMIT 1e6

/*
 * Appends v rounded to the tenth to *out: "12.3", "-4", "0" (never "-0").
 * A v that is not finite is written as 0, one beyond
 * DRAW_COORDINATE_LIMIT as the limit, so that every coordinate written is
 * a finite number whatever the arithmetic before gave.  Throws
 * std::bad_alloc when out of memory.
 */
void draw_tenths(std::string *out, double v);

/*
 * The round step (1, 2 or 5 times a power of ten) nearest at or above
 * span / lines, for span and lines above 0 and finite; 1 otherwise.
 */
double draw_round_step(double span, double lines);

/* The decimals (0 to 6) that the multiples of the round step need. */
int draw_decimals_of(double step);

/*
 * The estimated width of a UTF-8 text at font_size (px or view box
 * units): at least what the common sans-serif fonts (DejaVu Sans,
 * Liberation Sans, Arial, Helvetica) lay it out to, from a fixed table
 * of widths per character, so that a text placed by it is never wider
 * on screen.
 */
double draw_text_width(const std::string &utf8, double font_size);

/* A text's extent above and below its baseline, in ems of its font size:
 * at least those of the same fonts' line boxes. */
#define DRAW_TEXT_ASCENT 0.93
#define DRAW_TEXT_DESCENT 0.24

#endif
