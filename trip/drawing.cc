/* SPDX-License-Identifier: MIT */
#include "drawing.h"

#include <math.h>

#include "ieee_rounding.h"
#include "trip.h"

namespace {

/*
 * The advance of each Windows-1252 character in thousandths of the font
 * size: the larger of DejaVu Sans's and Liberation Sans's, rounded up.
 * Controls and the bytes without a character take none (trip_utf8() drops
 * them); the soft hyphen counts as a hyphen, in case it is shown.
 */
const unsigned short ADVANCE[256] = {
    0,	  0,   0,   0,	 0,   0,   0,	0,   0,	  0,   0,   0,	 0,   0,   0,
    0,	  0,   0,   0,	 0,   0,   0,	0,   0,	  0,   0,   0,	 0,   0,   0,
    0,	  0,   318, 401, 460, 838, 637, 951, 780, 275, 391, 391, 500, 838,
    318,  361, 318, 337, 637, 637, 637, 637, 637, 637, 637, 637, 637, 637,
    337,  337, 838, 838, 838, 557, 1016, 685, 687, 723, 771, 667, 611, 778,
    752,  295, 500, 667, 558, 863, 749, 788, 667, 788, 723, 667, 611, 732,
    685,  989, 686, 667, 686, 391, 337, 391, 838, 557, 500, 613, 635, 550,
    635,  616, 353, 635, 634, 278, 278, 580, 278, 975, 634, 612, 635, 635,
    412,  521, 393, 634, 592, 818, 592, 592, 525, 637, 337, 637, 838, 0,
    637,  0,   318, 557, 519, 1000, 557, 557, 500, 1342, 667, 400, 1070, 0,
    686,  0,   0,   318, 318, 519, 519, 590, 557, 1000, 500, 1000, 521, 400,
    1023, 0,   525, 667, 318, 401, 637, 637, 637, 637, 337, 557, 500, 1000,
    472,  612, 838, 361, 1000, 553, 500, 838, 401, 401, 500, 637, 637, 318,
    500,  401, 472, 612, 970, 970, 970, 611, 685, 685, 685, 685, 685, 685,
    1000, 723, 667, 667, 667, 667, 295, 295, 295, 295, 775, 749, 788, 788,
    788,  788, 788, 838, 788, 732, 732, 732, 732, 667, 667, 630, 613, 613,
    613,  613, 613, 613, 982, 550, 616, 616, 616, 616, 278, 278, 278, 278,
    612,  634, 612, 612, 612, 612, 612, 838, 612, 634, 634, 634, 634, 592,
    635,  592};

/* Kerning, hinting and rounding in the browser widen a text by less than
 * this share. */
const double WIDTH_SLACK = 1.05;
/* The fonts' highest ascent and deepest descent, in font sizes, rounded
 * up (DejaVu Sans: 0.928 and 0.236). */
const double ASCENT = 0.95, DESCENT = 0.25;

}  // namespace

void page::text(const std::string &cp1252) { escaped(trip_utf8(cp1252)); }

void page::escaped(const std::string &utf8)
{
	for (char c : utf8) {
		switch (c) {
		case '&': html += "&amp;"; break;
		case '<': html += "&lt;"; break;
		case '>': html += "&gt;"; break;
		case '"': html += "&quot;"; break;
		case '\'': html += "&#39;"; break;
		default: html += c;
		}
	}
}

namespace {

__attribute__((noinline)) long long tenths_of(double v)
{
	[[maybe_unused]] ieee_rounding guard;
	if (!(v == v))
		return 0;
	v = fmax(-DRAWING_COORDINATE_MAX, fmin(DRAWING_COORDINATE_MAX, v));
	return llround(v * 10);
}

}  // namespace

void page::tenths(double v)
{
	long long t = tenths_of(v);
	if (t < 0) {
		html += '-';
		t = -t;
	}
	html += std::to_string(t / 10);
	if (t % 10 != 0) {
		html += '.';
		html += (char)('0' + t % 10);
	}
}

void page::number(double v, int decimals)
{
	char text[TRIP_TEXT_SIZE];
	html += trip_format_fixed(v, decimals, text);
}

__attribute__((noinline)) double round_step(double span, double lines)
{
	[[maybe_unused]] ieee_rounding guard;
	double want = span / lines;
	double step = pow(10.0, floor(log10(want)));
	for (double m : {1.0, 2.0, 5.0, 10.0})
		if (step * m >= want)
			return step * m;
	return step * 10.0;
}

__attribute__((noinline)) int decimals_of(double step)
{
	[[maybe_unused]] ieee_rounding guard;
	for (int d = 0; d < 6; d++) {
		double scaled = step * pow(10.0, d);
		if (fabs(scaled - nearbyint(scaled)) < 1e-9 * scaled)
			return d;
	}
	return 6;
}

__attribute__((noinline)) double text_width(const std::string &cp1252,
					    double px)
{
	[[maybe_unused]] ieee_rounding guard;
	unsigned long thousandths = 0;
	for (unsigned char c : cp1252)
		thousandths += ADVANCE[c];
	return ceil(thousandths * px * WIDTH_SLACK / 1000.0);
}

__attribute__((noinline)) double text_ascent(double px)
{
	[[maybe_unused]] ieee_rounding guard;
	return ASCENT * px;
}

__attribute__((noinline)) double text_descent(double px)
{
	[[maybe_unused]] ieee_rounding guard;
	return DESCENT * px;
}
