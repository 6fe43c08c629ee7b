// SPDX-License-Identifier: MIT
// What the page's drawings write whatever the arithmetic before them gave:
// every coordinate a finite number to the tenth.
#include <gtest/gtest.h>
#include <math.h>

#include "drawing.h"

namespace {

TEST(Drawing, CoordinatesAreFiniteNumbers)
{
	struct Row {
		double v;
		const char *written;
	} rows[] = {
	    {12.34, "12.3"},	     {-4, "-4"},	     {-0.04, "0"},
	    {0.05, "0.1"},	     {-1e300, "-10000000"}, {1e20, "10000000"},
	    {INFINITY, "10000000"}, {-INFINITY, "-10000000"}, {NAN, "0"},
	    {-NAN, "0"},
	};
	for (const Row &r : rows) {
		struct page pg;
		pg.tenths(r.v);
		EXPECT_EQ(pg.html, r.written) << r.v;
	}
}

}  // namespace
