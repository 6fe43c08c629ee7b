// SPDX-License-Identifier: MIT
// Decoding of position reports.
#include <gtest/gtest.h>
#include <math.h>

#include <string>
#include <vector>

#include "mag.h"
#include "pointtext.h"

namespace {

const char FULL[] = "$PMGNTRK,4807.038,N,01131.000,E,495,M,170540.25,A,,"
		    "290605*7E";

struct trkrec fresh()
{
	struct trkrec t;
	memset(&t, 0, sizeof t);
	return t;
}

// Decodes text from a heap buffer of exactly its length: no terminator, so
// a read past the end is caught by the address sanitizer.
int decode(const std::string &text, struct trkrec *t)
{
	std::vector<char> exact(text.begin(), text.end());
	return parsemagdata(exact.empty() ? nullptr : exact.data(),
			    exact.size(), t);
}

TEST(Decode, FullReport)
{
	struct trkrec t = fresh();
	EXPECT_EQ(parsemagdatastring(FULL, &t), 1);
	EXPECT_NEAR(t.y, -48.1173, 1e-12);
	EXPECT_NEAR(t.x, 11.0 + 31.0 / 60.0, 1e-12);
	EXPECT_EQ(t.altitude, 495.0f);
	EXPECT_EQ(t.centisecs, 25);
	EXPECT_EQ(t.validity, 1);
	EXPECT_EQ(t.time, 1120064740);
}

TEST(Decode, HemispheresAndStatus)
{
	struct trkrec t = fresh();
	EXPECT_EQ(decode("$PMGNTRK,4807.038,S,01131.000,W,495,M,170540.25,V,,"
			 "290605*7E",
			 &t),
		  1);
	EXPECT_NEAR(t.y, 48.1173, 1e-12);
	EXPECT_NEAR(t.x, -(11.0 + 31.0 / 60.0), 1e-12);
	EXPECT_EQ(t.validity, 0);
	// Only upper-case N and W change the sign.
	EXPECT_EQ(decode("$PMGNTRK,4807.038,n,01131.000,w,1,M,1,A,", &t), 1);
	EXPECT_GT(t.y, 0);
	EXPECT_GT(t.x, 0);
}

TEST(Decode, FieldsBeyondTheLastSeparatorKeepTheirValues)
{
	struct trkrec t = fresh();
	t.time = 12345;
	// The date is not followed by a separator: not decoded.
	EXPECT_EQ(decode("$PMGNTRK,4807.038,N,01131.000,E,495,M,170540.25,A,,"
			 "290605",
			 &t),
		  1);
	EXPECT_EQ(t.time, 12345);
	// Cut after the time: 0, but what was reached is assigned.
	t = fresh();
	EXPECT_EQ(decode("$PMGNTRK,4807.038,N,01131.000,E,495,M,170540.25,",
			 &t),
		  0);
	EXPECT_NEAR(t.y, -48.1173, 1e-12);
	EXPECT_NE(t.x, 0);
	EXPECT_EQ(t.altitude, 495.0f);
	EXPECT_EQ(t.centisecs, 25);
	EXPECT_EQ(t.validity, 0);
	// A report without hundredths repeats the previous ones.
	t = fresh();
	ASSERT_EQ(parsemagdatastring(FULL, &t), 1);
	EXPECT_EQ(decode("$PMGNTRK,1000,N,2000,E,100,M,120000,A,,010106,", &t), 1);
	EXPECT_EQ(t.centisecs, 25);
	EXPECT_EQ(t.time, 1136116800);
}

TEST(Decode, CommentsOtherSentencesAndEmptyTextsAssignNothing)
{
	struct trkrec t = fresh();
	t.x = 7;
	EXPECT_EQ(decode(std::string("#") + FULL, &t), 0);
	for (const char *other :
	     {"$PMGNWPL,4807.038,N,01131.000,E,495,M,HOME,,a*4C",
	      "$PMGNTRKX,4807.038,N,01131.000,E,495,M,170540.25,A,,290605*7E",
	      "$PMGNTR,4807.038,N,01131.000,E,495,M,170540.25,A,,290605*7E",
	      "$PMGNTRk*4807.038*N*01131.000*E*495*M*170540.25*A**290605*7E"})
		EXPECT_EQ(decode(other, &t), 0) << other;
	EXPECT_EQ(decode("", &t), 0);
	EXPECT_EQ(parsemagdata(nullptr, 0, &t), 0);
	EXPECT_EQ(decode(std::string("\0,1,N,", 6), &t), 0);
	EXPECT_EQ(t.x, 7);
}

TEST(Decode, EndMarksAndTheFirstCharacter)
{
	struct trkrec t = fresh();
	t.time = 1;
	// The text ends at the line feed: the date is never reached.
	EXPECT_EQ(decode("$PMGNTRK,1,N,1,E,1,M,1,A,\n,290605,", &t), 1);
	EXPECT_EQ(t.time, 1);
	EXPECT_EQ(decode("$PMGNTRK,1,N,1,E,1,M,1,A,\r,290605,", &t), 1);
	EXPECT_EQ(decode(std::string("$PMGNTRK,1,N,1,E,1,M,1,A,\0,290605,", 35), &t),
		  1);
	EXPECT_EQ(t.time, 1);
	// A leading CR or LF is read on past.
	EXPECT_EQ(decode("\n$P,1,N,1,E,1,M,1,A,,290605,", &t), 1);
	EXPECT_EQ(t.time, 1120003200 + 3600);  // time field "1": 01:00
	// "*" separates like ",".
	EXPECT_EQ(decode("$PMGNTRK*1*N*1*E*1*M*1*A*", &t), 1);
}

TEST(Decode, LongFieldIsCutTo255Characters)
{
	struct trkrec t = fresh();
	std::string alt = std::string(254, '0') + "79";
	EXPECT_EQ(decode("$PMGNTRK,0,N,0,E," + alt + ",M,0,A,", &t), 1);
	EXPECT_EQ(t.altitude, 7.0f);
}

TEST(Decode, NumbersFollowTheAtofGrammarOnly)
{
	const std::pair<const char *, float> cases[] = {
	    {"nan", 0},	      {"inf", 0},	  {"infinity", 0},
	    {"-INF", 0},      {"0x10", 0},	  {"  -12.5e1", -125},
	    {"1e", 1},	      {"1e+", 1},	  {"+.5", 0.5f},
	    {".", 0},	      {"-", 0},		  {"1.5e+2x", 150},
	    {"\t7", 7},	      {"12abc", 12},	  {"", 0},
	    {"1e39", HUGE_VALF}, {"-1e39", -HUGE_VALF}, {"3.", 3},
	};
	for (const auto &c : cases) {
		struct trkrec t = fresh();
		t.altitude = 99;
		std::string text = std::string("$PMGNTRK,0,N,0,E,") + c.first +
				   ",M,0,A,";
		EXPECT_EQ(decode(text, &t), 1);
		EXPECT_EQ(t.altitude, c.second) << c.first;
	}
}

TEST(Decode, TimeFieldTakesDigitsOnly)
{
	const std::pair<const char *, int> cases[] = {
	    {"170540.25", 25}, {"170540.5", 50}, {"170540.999", 99},
	    {"170540.-1", 3},  {"170540. 5", 3}, {"170540", 3},
	    {"1705.25", 3},    {"170540.0", 0},
	};
	for (const auto &c : cases) {
		struct trkrec t = fresh();
		t.centisecs = 3;
		decode(std::string("$PMGNTRK,0,N,0,E,0,M,") + c.first + ",A,,010100,",
		       &t);
		EXPECT_EQ(t.centisecs, c.second) << c.first;
	}
	struct trkrec t = fresh();
	// A blank or sign ends the reading: the rest stays 0.
	decode("$PMGNTRK,0,N,0,E,0,M, 70540,A,,010100,", &t);
	EXPECT_EQ(t.time, 946684800);
	decode("$PMGNTRK,0,N,0,E,0,M,17-1,A,,010100,", &t);
	EXPECT_EQ(t.time, 946684800 + 17 * 3600);
	decode("$PMGNTRK,0,N,0,E,0,M,1705,A,,-10100,", &t);
	EXPECT_EQ((uint32_t)t.time, 943920000u + 17 * 3600 + 300);
}

// Seconds since 1970 of dates in the report's own form.
TEST(Decode, DatesAreUtcWithMonthsCarrying)
{
	const std::pair<const char *, uint32_t> cases[] = {
	    {"010100", 946684800u},  // 2000-01-01
	    {"290605", 1120003200u}, // 2005-06-29
	    {"000105", 1104451200u}, // day 0: 2004-12-31
	    {"011305", 1136073600u}, // month 13: 2006-01-01
	    {"010005", 1101859200u}, // month 0: 2004-12-01
	    {"", 943920000u},	     // no digits: day 0 of month -1 of 2000
	    {"190138", 2147472000u}, // 2038-01-19
	    {"010150", 2524608000u}, // 2050-01-01
	    {"311299", 4102358400u}, // 2099-12-31, never 1999
	    {"290200", 951782400u},  // 2000 is a leap year
	};
	for (const auto &c : cases) {
		struct trkrec t = fresh();
		decode(std::string("$PMGNTRK,0,N,0,E,0,M,000000.00,A,,") + c.first +
			   ",",
		       &t);
		EXPECT_EQ((uint32_t)t.time, c.second) << c.first;
	}
}

// The bits of the IEEE double results, as the degree part taken through a
// 32-bit integer gives them with SSE2: every platform must give these, the
// x87 FPU included.
TEST(Mag2Degrees, SameBitsOnEveryPlatform)
{
	const struct {
		double in;
		uint64_t bits;
	} cases[] = {
	    {4807.038, 0x40480F03AFB7E90EULL},	 {-4807.038, 0xC0480F03AFB7E90EULL},
	    {1131.0, 0x4027088888888889ULL},	 {12000.0, 0x405E000000000000ULL},
	    {0.0, 0x0000000000000000ULL},	 {-0.0, 0x0000000000000000ULL},
	    {-0.5, 0xBF81111111111111ULL},	 {17959.9999, 0x40667FFFFC813714ULL},
	    {-9000.0, 0xC056800000000000ULL},	 {1e11, 0x41CDCD6500000000ULL},
	    {-2.1e11, 0xC1DF4ADD40000000ULL},	 {123.456, 0x3FF641434F9953B3ULL},
	};
	for (const auto &c : cases) {
		double got = mag2degrees(c.in);
		uint64_t bits;
		memcpy(&bits, &got, sizeof bits);
		EXPECT_EQ(bits, c.bits) << c.in;
	}
	EXPECT_NEAR(mag2degrees(-4807.038), -48.1173, 1e-12);
}

TEST(Mag2Degrees, HugeAndInfiniteValuesStayNumbers)
{
	EXPECT_EQ(mag2degrees(HUGE_VAL), HUGE_VAL);
	EXPECT_EQ(mag2degrees(-HUGE_VAL), -HUGE_VAL);
	EXPECT_FALSE(isnan(mag2degrees(1e308)));
	EXPECT_NEAR(mag2degrees(1e300), 1e298, 1e285);
	struct trkrec t = fresh();
	decode("$PMGNTRK,1e999,N,-1e999,E,0,M,0,A,", &t);
	EXPECT_EQ(t.y, -HUGE_VAL);
	EXPECT_EQ(t.x, -HUGE_VAL);
}

TEST(FormatPoint, HundredthsPrintAsTwoDigits)
{
	const std::pair<int, const char *> cases[] = {
	    {25, ".25Z"}, {5, ".05Z"}, {0, ".00Z"}, {99, ".99Z"}};
	for (const auto &c : cases) {
		struct trkrec t = fresh();
		t.centisecs = (uint8_t)c.first;
		char buf[POINT_TEXT_SIZE];
		wexlar_format_point(POINT_CSV, &t, buf);
		EXPECT_EQ(std::string(buf),
			  std::string("-0.000000,0.000000,0.000000,"
				      "1970-01-01T00:00:00") +
			      c.second + "\n");
	}
}

TEST(FormatPoint, SignsAndTheUnsignedTime)
{
	struct trkrec t = fresh();
	ASSERT_EQ(parsemagdatastring(
		      "$PMGNTRK,4807.038,S,01131.000,W,-12.5,M,000000.00,A,,010150,",
		      &t),
		  1);
	char buf[POINT_TEXT_SIZE];
	int n = wexlar_format_point(POINT_GPX, &t, buf);
	const std::string want = "<trkpt lat=\"-48.117300\" lon=\"-11.516667\">\n"
				 "\t<ele>-12.500000</ele>\n"
				 "\t<time>2050-01-01T00:00:00.00Z</time>\n"
				 "</trkpt>\n";
	EXPECT_EQ(std::string(buf, n), want);
	// "-0" north prints as 0.
	t = fresh();
	parsemagdatastring("$PMGNTRK,-0,N,-0,E,0,M,0,A,", &t);
	wexlar_format_point(POINT_CSV, &t, buf);
	EXPECT_EQ(std::string(buf).substr(0, 18), "0.000000,0.000000,");
}

// The items must be what printf("%f") and strftime make of the point.
TEST(FormatPoint, SameBytesAsPrintf)
{
	const double values[] = {0.0,	   -0.0,      0.5e-6,	 1.5e-6,
				 2.5e-6,   -2.5e-6,   0.0000005, 123.4564995,
				 1e-7,	   -1e-7,     47.4187166666, 1e21,
				 -1e300,   HUGE_VAL,  -HUGE_VAL, NAN,
				 0.1 + 0.2, 179.9999999};
	// Dates are the project's own: fixed here, not from the C library,
	// whose time_t may end in 2038.
	const struct {
		uint32_t secs;
		const char *text;
	} times[] = {{0, "1970-01-01T00:00:00"},
		     {86399, "1970-01-01T23:59:59"},
		     {86400, "1970-01-02T00:00:00"},
		     {951782400u, "2000-02-29T00:00:00"},
		     {2147483648u, "2038-01-19T03:14:08"},
		     {2524608000u, "2050-01-01T00:00:00"},
		     {4294967295u, "2106-02-07T06:28:15"}};
	for (double v : values) {
		for (const auto &when : times) {
			struct trkrec t = fresh();
			t.x = v;
			t.y = -v;
			t.altitude = (float)v;
			t.time = (int32_t)when.secs;
			t.centisecs = 7;
			char got[POINT_TEXT_SIZE], want[POINT_TEXT_SIZE];
			const char *stamp = when.text;
			wexlar_format_point(POINT_CSV, &t, got);
			snprintf(want, sizeof want, "%f,%f,%f,%s.%02dZ\n", -t.y,
				 t.x, (double)t.altitude, stamp, t.centisecs);
			EXPECT_STREQ(got, want);
			wexlar_format_point(POINT_GPX, &t, got);
			snprintf(want, sizeof want,
				 "<trkpt lat=\"%f\" lon=\"%f\">\n\t<ele>%f</ele>"
				 "\n\t<time>%s.%02dZ</time>\n</trkpt>\n",
				 -t.y, t.x, (double)t.altitude, stamp,
				 t.centisecs);
			EXPECT_STREQ(got, want);
		}
	}
}

TEST(FormatPoint, LargestValuesFitTheBuffer)
{
	struct trkrec t = fresh();
	t.x = -1.7976931348623157e308;
	t.y = 1.7976931348623157e308;
	t.altitude = -3.4e38f;
	t.centisecs = 99;
	t.time = -1;
	char buf[POINT_TEXT_SIZE];
	int n = wexlar_format_point(POINT_GPX, &t, buf);
	EXPECT_LT(n, POINT_TEXT_SIZE - 1);
	EXPECT_EQ(std::string(buf + n - 47),
		  "\t<time>2106-02-07T06:28:15.99Z</time>\n</trkpt>\n");
}

}  // namespace
