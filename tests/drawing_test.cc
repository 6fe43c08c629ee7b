// SPDX-License-Identifier: MIT
// What the page's drawings write whatever arithmetic came before: finite
// coordinates to the tenth, and round steps of any span.
#include <gtest/gtest.h>
#include <math.h>

#include <string>

#include "drawing.h"

namespace {

TEST(Drawing, CoordinatesAreFiniteNumbers)
{
	struct Row {
		double v;
		const char *written;
	} rows[] = {
	    {12.34, "12.3"},     {-4, "-4"},	    {-0.04, "0"},
	    {0.05, "0.1"},	 {-1e300, "-1000000"}, {1e20, "1000000"},
	    {NAN, "0"},		 {-NAN, "0"},	    {INFINITY, "0"},
	    {-INFINITY, "0"},
	};
	for (const Row &r : rows) {
		std::string out;
		draw_tenths(&out, r.v);
		EXPECT_EQ(out, r.written) << r.v;
	}
}

TEST(Drawing, RoundSteps)
{
	struct Row {
		double span, lines, step;
		int decimals;
	} rows[] = {
	    {8.85, 5, 2, 0},	  {0.0544, 5, 0.02, 2}, {1e12, 5, 2e11, 0},
	    {0, 5, 1, 0},	  {-3, 5, 1, 0},	{NAN, 5, 1, 0},
	    {INFINITY, 5, 1, 0},
	};
	for (const Row &r : rows) {
		EXPECT_EQ(draw_round_step(r.span, r.lines), r.step) << r.span;
		EXPECT_EQ(draw_decimals_of(r.step), r.decimals) << r.span;
	}
}

}  // namespace
