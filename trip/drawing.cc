/* SPDX-License-Identifier: MIT */
#include "drawing.h"

#include <math.h>

#include "ieee_rounding.h"

namespace {

/* Widths of the printable ASCII characters from the space on, in
 * thousandths of an em: the wider of DejaVu Sans and Liberation Sans
 * (Arial's widths), rounded up. */
const short ASCII_WIDTHS[95] = {
    320, 410, 460, 840, 640, 960, 780, 280, 400, 400, 500, 840,
    320, 370, 320, 340, 640, 640, 640, 640, 640, 640, 640, 640,
    640, 640, 340, 340, 840, 840, 840, 560, 1020, 690, 690, 730,
    780, 670, 620, 780, 760, 300, 500, 670, 560, 870, 750, 790,
    670, 790, 730, 670, 620, 740, 690, 990, 690, 670, 690, 400,
    340, 400, 840, 560, 500, 620, 640, 550, 640, 620, 360, 640,
    640, 280, 280, 580, 280, 980, 640, 620, 640, 640, 420, 530,
    400, 640, 600, 820, 600, 600, 530, 640, 340, 640, 840,
};
/* Any other character: the widest of Windows-1252, the per mille sign. */
const short OTHER_WIDTH = 1350;

__attribute__((noinline)) long long tenths_of(double v)
{
	[[maybe_unused]] ieee_rounding guard;
	if (!isfinite(v))
		return 0;
	v = fmax(-DRAW_COORDINATE_LIMIT, fmin(DRAW_COORDINATE_LIMIT, v));
	return llround(v * 10);
}

}  // namespace

void draw_tenths(std::string *out, double v)
{
	long long t = tenths_of(v);
	if (t < 0) {
		*out += '-';
		t = -t;
	}
	*out += std::to_string(t / 10);
	if (t % 10 != 0) {
		*out += '.';
		*out += (char)('0' + t % 10);
	}
}

__attribute__((noinline)) double draw_round_step(double span, double lines)
{
	[[maybe_unused]] ieee_rounding guard;
	double want = span / lines;
	if (!(want > 0 && isfinite(want)))
		return 1.0;
	double step = pow(10.0, floor(log10(want)));
	for (double m : {1.0, 2.0, 5.0, 10.0})
		if (step * m >= want)
			return step * m;
	return step * 10.0;
}

__attribute__((noinline)) int draw_decimals_of(double step)
{
	[[maybe_unused]] ieee_rounding guard;
	for (int d = 0; d < 6; d++) {
		double scaled = step * pow(10.0, d);
		if (fabs(scaled - nearbyint(scaled)) < 1e-9 * scaled)
			return d;
	}
	return 6;
}

__attribute__((noinline)) double draw_text_width(const std::string &utf8,
						 double font_size)
{
	[[maybe_unused]] ieee_rounding guard;
	long thousandths = 0;
	for (unsigned char c : utf8) {
		if (c >= 0x20 && c < 0x7F)
			thousandths += ASCII_WIDTHS[c - 0x20];
		else if (c >= 0x80 && (c & 0xC0) != 0x80)
			thousandths += OTHER_WIDTH; /* a character's first byte */
	}
	return (double)thousandths / 1000.0 * font_size;
}
