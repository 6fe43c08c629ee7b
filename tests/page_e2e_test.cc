// SPDX-License-Identifier: MIT
// trkexport html: the page of a trip, byte for byte on every machine, as an
// HTML5 parser and an XML parser take it, with hostile names, odd logs and
// the largest one, and in a real browser.
#include <gtest/gtest.h>
#include <stdint.h>
#include <stdio.h>

#include <set>
#include <string>
#include <vector>

#include "pdbfile.h"
#include "run.h"

using pdbfile::read_file;
using pdbfile::write_file;

namespace {

const std::string TRKEXPORT = TRKEXPORT_PATH;
const std::string GPSIMPORT = GPSIMPORT_PATH;
const std::string PYTHON = PYTHON_PATH;
const std::string TESTS = TESTS_DIR;

const std::string HOSTILE = "</title><script>alert(1)</script>";

// A $PMGNTRK of degrees north and east (negative: south, west), its
// altitude field alt as it stands.
std::string point(double lat, double lon, const std::string &alt, int secs,
		  const std::string &track = "")
{
	char text[400];
	double la = lat < 0 ? -lat : lat, lo = lon < 0 ? -lon : lon;
	snprintf(text, sizeof text,
		 "$PMGNTRK,%02d%07.4f,%c,%03d%07.4f,%c,%s,M,%02d%02d%02d.00,"
		 "A,%s,140826*00\n",
		 (int)la, (la - (int)la) * 60, lat < 0 ? 'S' : 'N', (int)lo,
		 (lo - (int)lo) * 60, lon < 0 ? 'W' : 'E', alt.c_str(),
		 secs / 3600 % 24, secs / 60 % 60, secs % 60, track.c_str());
	return text;
}

std::string point(double lat, double lon, int alt, int secs,
		  const std::string &track = "")
{
	char text[16];
	snprintf(text, sizeof text, "%05d", alt);
	return point(lat, lon, std::string(text), secs, track);
}

// The value of the line "label: value" of page_check.py's report.
std::string field(const std::string &found, const std::string &label)
{
	size_t at = found.find("\n" + label + ": ");
	if (at == std::string::npos)
		return "(no " + label + ")";
	at += label.size() + 3;
	return found.substr(at, found.find('\n', at) - at);
}

// The parts of text between the separators.
std::vector<std::string> split(const std::string &text,
			       const std::string &separator)
{
	std::vector<std::string> parts;
	for (size_t at = 0;;) {
		size_t end = text.find(separator, at);
		parts.push_back(text.substr(at, end - at));
		if (end == std::string::npos)
			return parts;
		at = end + separator.size();
	}
}

// A $PMGNWPL of degrees north and east (negative: south, west).
std::string waypoint(double lat, double lon, const std::string &name)
{
	char text[160];
	double la = lat < 0 ? -lat : lat, lo = lon < 0 ? -lon : lon;
	snprintf(text, sizeof text,
		 "$PMGNWPL,%02d%07.4f,%c,%03d%07.4f,%c,0000500,M,%s,,a*00\n",
		 (int)la, (la - (int)la) * 60, lat < 0 ? 'S' : 'N', (int)lo,
		 (lo - (int)lo) * 60, lon < 0 ? 'W' : 'E', name.c_str());
	return text;
}

// The same numbers on every machine, from 0 up to below 1.
struct Sequence {
	uint32_t state = 12345;
	double next()
	{
		state = state * 1103515245u + 12345u;
		return (state >> 8) / 16777216.0;
	}
};

class Page : public testing::Test {
      protected:
	run::TempDir dir;

	// The page of a log of the records, named name.
	std::string page_of(const std::vector<std::string> &records,
			    const std::string &name = "log")
	{
		std::string db = pdbfile::track_log(records);
		std::string field = name.substr(0, 31);
		db.replace(0, 32, field + std::string(32 - field.size(), '\0'));
		write_file(dir / "log.pdb", db);
		run::Result r = run::program(
		    {TRKEXPORT, "html", dir / "log.pdb", dir / "log.html"});
		EXPECT_EQ(r.status, 0) << r.out << r.err;
		EXPECT_EQ(r.out + r.err, "");
		return read_file(dir / "log.html");
	}

	// The sample's page, hike.html; false when it could not be made.
	bool sample_page()
	{
		return run::program({GPSIMPORT, EXAMPLE_TRACK, dir / "hike.pdb"})
			       .status == 0 &&
		       run::program({TRKEXPORT, "html", dir / "hike.pdb",
				     dir / "hike.html"})
			       .status == 0;
	}

	// What tests/page_browser.py --measure finds in the page at path: ""
	// where the browser cannot run.
	std::string measure(const std::string &path)
	{
		run::Result r = run::program(
		    {PYTHON, TESTS + "/page_browser.py", "--measure", path});
		if (r.status == 77)
			return "";
		EXPECT_EQ(r.status, 0) << r.err;
		return r.out;
	}

	// What tests/page_check.py finds in the page at path; skips the test
	// where the checker cannot run.
	std::string check(const std::string &path)
	{
		run::Result r = run::program(
		    {PYTHON, TESTS + "/page_check.py", path});
		if (r.status == 77)
			return "skip: " + r.out;
		EXPECT_EQ(r.status, 0) << r.err;
		return r.out;
	}
};

TEST_F(Page, SampleIsTheSameEverywhere)
{
	ASSERT_TRUE(sample_page());
	EXPECT_EQ(read_file(dir / "hike.html"),
		  read_file(TESTS + "/pages/hike.html"));
	std::string found = check(dir / "hike.html");
	if (found.rfind("skip: ", 0) == 0)
		GTEST_SKIP() << found;
	// 320 points, 3 without a fix: 317 drawn on the map and the profile.
	EXPECT_EQ(found, "parse errors: none\nsvg: xml\nsvg: xml\nscripts: 0\n"
			 "external: osm link\nnumbers: finite\ntracks: 317\n"
			 "track colours: #d7301f\nothers: 0 #8c8c8c\n"
			 "routes: \nwaypoints: \nprofiles: 317\n"
			 "axis labels: km m 0 2 4 6 8 1000 1500 2000\n"
			 "extremes: highest 2087 m, lowest 904 m\n"
			 "extremes inside: yes\nrows: #d7301f hike\n"
			 "legend: #d7301f hike\n"
			 "title: hike \u2013 2026-08-14\nh1: hike\n");
}

TEST_F(Page, TracksRouteWaypointsAndHostileNames)
{
	std::vector<std::string> records = {
	    "$PMGNWPL,4725.1230,N,01059.0000,E,0000904,M," + HOSTILE.substr(0, 20) +
		",a comment,a*00\n",
	    "$PMGNWPL,4727.1629,N,01100.1634,E,0002085,M,Cairn & \"top\",,a*00\n",
	    "$PMGNRTE,1,1,c,1,R<b>,Cairn & \"top\",a," + HOSTILE.substr(0, 20) +
		",a*00\n"};
	for (int i = 0; i < 30; i++)
		records.push_back(point(47.42 + i * 0.001, 10.98 + i * 0.0005,
					900 + 10 * i, 7 * 3600 + 30 * i,
					HOSTILE));
	for (int i = 0; i < 20; i++)
		records.push_back(point(47.45 - i * 0.0015, 10.995 + i * 0.001,
					1200 - 5 * i, 9 * 3600 + 30 * i, "Day 2"));
	std::string page = page_of(records, HOSTILE);
	EXPECT_EQ(page, read_file(TESTS + "/pages/two.html"));
	EXPECT_EQ(page.find("<script"), std::string::npos);
	std::string found = check(dir / "log.html");
	if (found.rfind("skip: ", 0) == 0)
		GTEST_SKIP() << found;
	EXPECT_EQ(found,
		  "parse errors: none\nsvg: xml\nsvg: xml\nsvg: xml\nscripts: 0\n"
		  "external: osm link\nnumbers: finite\ntracks: 30 20\n"
		  "track colours: #d7301f #2166ac\nothers: 0 #8c8c8c\n"
		  "routes: 2\nwaypoints: </title><script>aler | Cairn & \"top\"\n"
		  "profiles: 30 20\n"
		  "axis labels: km m 0 1 2 3 900 1000 1100 1200 | "
		  "km m 0 1 2 3 1100 1150 1200\n"
		  "extremes: highest 1190 m, lowest 900 m | "
		  "highest 1200 m, lowest 1105 m\n"
		  "extremes inside: yes\n"
		  "rows: #d7301f </title><script>alert(1)</script> | "
		  "#2166ac Day 2 | All tracks\n"
		  "legend: #d7301f </title><script>alert(1)</script> | "
		  "#2166ac Day 2 | - - - routes\n"
		  "title: </title><script>alert(1)</scrip \u2013 2026-08-14\n"
		  "h1: </title><script>alert(1)</scrip\n");
}

TEST_F(Page, OddLogsGiveSoundPages)
{
	struct Row {
		const char *what;
		std::vector<std::string> records;
		std::string tracks, profiles;
	} rows[] = {
	    {"an empty log", {}, "", ""},
	    {"waypoints only",
	     {"$PMGNWPL,4725.1230,N,01059.0000,E,0000904,M,A,,a*00\n",
	      "$PMGNWPL,4725.1230,N,01059.0000,E,0000904,M,B,,a*00\n"},
	     "",
	     ""},
	    {"one point", {point(47.42, 10.98, 904, 0)}, "1", "1"},
	    {"across the antimeridian",
	     {point(-17.0, 179.99, 0, 0), point(-17.0, -179.99, 0, 60),
	      point(-17.01, -179.98, 0, 120)},
	     "3",
	     "3"},
	    {"at the pole, the last point a jump to the other",
	     {point(89.99, 0, 2800, 0), point(90.0, 0, 2800, 60),
	      point(89.99, 180, 2800, 120), point(-90.0, 0, 0, 180)},
	     "3",
	     "3"},
	};
	for (const Row &r : rows) {
		SCOPED_TRACE(r.what);
		std::string page = page_of(r.records);
		EXPECT_EQ(page.find("nan"), std::string::npos);
		EXPECT_EQ(page.find("inf"), std::string::npos);
		std::string found = check(dir / "log.html");
		if (found.rfind("skip: ", 0) == 0)
			GTEST_SKIP() << found;
		EXPECT_NE(found.find("parse errors: none\n"), std::string::npos)
		    << found;
		EXPECT_EQ(found.find("not xml"), std::string::npos) << found;
		EXPECT_NE(found.find("numbers: finite\ntracks: " + r.tracks +
				     "\n"),
			  std::string::npos)
		    << found;
		EXPECT_NE(found.find("profiles: " + r.profiles + "\n"),
			  std::string::npos)
		    << found;
	}
}

// The largest log: every point drawn, the page within 4 MB.
TEST_F(Page, LargestLog)
{
	std::vector<std::string> records;
	for (int i = 0; i < 65535; i++)
		records.push_back(point(47.0 + i * 1e-5, 10.0 + (i % 2000) * 1e-5,
					500 + i % 300, i));
	std::string page = page_of(records);
	EXPECT_LE(page.size(), 4u << 20);
	size_t start = page.find("<polyline class=\"trk\"");
	ASSERT_NE(start, std::string::npos);
	start = page.find("points=\"", start) + 8;
	size_t end = page.find('"', start);
	size_t vertices = 1;
	for (size_t i = start; i < end; i++)
		vertices += page[i] == ' ';
	EXPECT_EQ(vertices, 65535u);
}

// However the largest log's records are split, into waypoints or into
// segments of one track, its page stays within 4,000,000 bytes.
TEST_F(Page, LargestLogsOfWaypointsOrSegments)
{
	struct Row {
		const char *what;
		std::vector<std::string> records;
	} rows[] = {
	    {"65535 waypoints", {}},
	    {"65535 points, a new segment every two", {}},
	};
	Sequence random;
	for (int i = 0; i < 65535; i++) {
		char name[40];
		snprintf(name, sizeof name, "Waypoint %05d by the road", i);
		rows[0].records.push_back(waypoint(47 + random.next() * 0.2,
						   10 + random.next() * 0.3,
						   name));
		// A point naming its track right after one that names none
		// starts a new segment.
		rows[1].records.push_back(point(47.0 + i * 1e-5,
						10.0 + (i % 2000) * 1e-5,
						500 + i % 300, i,
						i % 2 ? "" : "A"));
	}
	for (const Row &r : rows) {
		SCOPED_TRACE(r.what);
		EXPECT_LE(page_of(r.records).size(), 4000000u);
	}
}

// Profiles of odd tracks: metres along a short one, a flat one labelled
// once, elevations no place has left out, every label inside its plot.
TEST_F(Page, ProfilesOfOddTracks)
{
	struct Row {
		const char *what;
		std::vector<std::string> records;
		std::string profiles, axes, extremes;
	} rows[] = {
	    {"a flat track", {}, "20", "m m 0 50 100 150 200 900 910",
	     "904 m throughout"},
	    {"a 50 m track", {}, "46", "m m 0 20 40 900 920 940",
	     "highest 945 m, lowest 900 m"},
	    {"one point", {point(47.42, 10.98, 904, 0)}, "1",
	     "m m 0 2 4 6 8 10 900 910", "904 m throughout"},
	    {"an altitude of 1e20 m among others",
	     {point(47.42, 10.98, 500, 0), point(47.421, 10.98, "1e20", 10),
	      point(47.422, 10.98, 600, 20)},
	     "2", "m m 0 50 100 150 200 500 550 600",
	     "highest 600 m, lowest 500 m"},
	    {"only an altitude of 1e20 m", {point(47.42, 10.98, "1e20", 0)}, "",
	     "", ""},
	    {"altitudes at a float's limits",
	     {point(47.42, 10.98, "3.4e38", 0), point(47.421, 10.98, "-3.4e38", 10),
	      point(47.422, 10.98, "-1e20", 20), point(47.423, 10.98, 600, 30),
	      point(47.424, 10.98, 1000, 40)},
	     "2", "m m 0 100 200 300 400 600 800 1000",
	     "highest 1000 m, lowest 600 m"},
	};
	for (int i = 0; i < 20; i++)
		rows[0].records.push_back(
		    point(47.42 + i * 1e-4, 10.98, 904, 10 * i));
	for (int i = 0; i < 46; i++)
		rows[1].records.push_back(
		    point(47.42 + i * 1e-5, 10.98, 900 + i, i));
	for (const Row &r : rows) {
		SCOPED_TRACE(r.what);
		page_of(r.records);
		std::string found = check(dir / "log.html");
		if (found.rfind("skip: ", 0) == 0)
			GTEST_SKIP() << found;
		EXPECT_EQ(field(found, "numbers"), "finite");
		EXPECT_EQ(field(found, "profiles"), r.profiles);
		EXPECT_EQ(field(found, "axis labels"), r.axes);
		EXPECT_EQ(field(found, "extremes"), r.extremes);
		EXPECT_EQ(field(found, "extremes inside"), "yes");
	}
}

// However many tracks a log holds: a row, a colour of its own and a line
// on the map for each of the twelve longest, one row and one grey line for
// the others, the profiles of the five longest, and a page of at most
// 4,000,000 bytes.
TEST_F(Page, AnyNumberOfTracks)
{
	const std::string LONG_NAME(255, 'W');
	struct Row {
		const char *what;
		std::vector<std::string> records;
		std::vector<std::string> names; // the rows' tracks, in order
		std::string profiles;
	} rows[] = {
	    {"13 tracks, one with a long name", {}, {}, "30 30 30 30 30"},
	    {"65535 one-point tracks", {}, {}, "1 1 1 1 1"},
	    {"65535 points alternating between two names", {}, {},
	     "1 1 1 1 1"},
	};
	// Track t is shorter than track t - 1: the first twelve have rows.
	for (int t = 0; t < 13; t++) {
		std::string name = t == 0 ? LONG_NAME : "Day " + std::to_string(t);
		for (int i = 0; i < 30; i++)
			rows[0].records.push_back(
			    point(47.0 + t * 0.01 + i * (1e-4 - t * 1e-6),
				  10.0 + t * 0.01, 900 + i + t, 10 * i, name));
		if (t < 12)
			rows[0].names.push_back(name);
	}
	rows[0].names.push_back("1 other track");
	for (int i = 0; i < 65535; i++) {
		std::string one = "T" + std::to_string(i), two = i % 2 ? "B" : "A";
		rows[1].records.push_back(point(47.0 + i * 1e-5,
						10.0 + (i % 2000) * 1e-5,
						500 + i % 300, i, one));
		rows[2].records.push_back(point(47.0 + i * 1e-5,
						10.0 + (i % 2000) * 1e-5,
						500 + i % 300, i, two));
		if (i < 12) {
			rows[1].names.push_back(one);
			rows[2].names.push_back(two);
		}
	}
	rows[1].names.push_back("65523 other tracks");
	rows[2].names.push_back("65523 other tracks");
	for (const Row &r : rows) {
		SCOPED_TRACE(r.what);
		EXPECT_LE(page_of(r.records).size(), 4000000u);
		std::string found = check(dir / "log.html");
		if (found.rfind("skip: ", 0) == 0)
			GTEST_SKIP() << found;
		EXPECT_EQ(field(found, "numbers"), "finite");
		EXPECT_EQ(field(found, "profiles"), r.profiles);
		EXPECT_EQ(field(found, "extremes inside"), "yes");
		// "#colour name" a row, then the totals'.
		std::vector<std::string> cells = split(field(found, "rows"), " | ");
		ASSERT_EQ(cells.size(), r.names.size() + 1);
		EXPECT_EQ(cells.back(), "All tracks");
		cells.pop_back();
		std::vector<std::string> colours;
		for (size_t i = 0; i < cells.size(); i++) {
			EXPECT_EQ(cells[i].substr(8), r.names[i]);
			colours.push_back(cells[i].substr(0, 7));
		}
		std::set<std::string> distinct(colours.begin(), colours.end());
		EXPECT_EQ(distinct.size(), colours.size());
		std::string listed;
		for (size_t i = 0; i < cells.size(); i++)
			listed += (i ? " | " : "") + cells[i];
		EXPECT_EQ(field(found, "legend"), listed);
		// The rows' tracks in their colours, the others together in
		// theirs.
		std::string drawn;
		for (size_t i = 0; i + 1 < colours.size(); i++)
			drawn += (i ? " " : "") + colours[i];
		EXPECT_EQ(field(found, "track colours"), drawn);
		EXPECT_EQ(field(found, "others"), "1 " + colours.back());
	}
}

// The checker tells a page that is not UTF-8, rather than crashing.
TEST_F(Page, CheckerTellsWhatIsNotUtf8)
{
	write_file(dir / "bad.html", "<!DOCTYPE html><title>\xff</title>");
	run::Result r = run::program(
	    {PYTHON, TESTS + "/page_check.py", dir / "bad.html"});
	if (r.status == 77)
		GTEST_SKIP() << r.out;
	EXPECT_EQ(r.status, 1);
	EXPECT_EQ(r.err, "page_check: " + dir / "bad.html" +
			     ": not UTF-8: byte 0xff at 22\n");
}

// In headless Chromium, offline: the track on the map and on the profile,
// and no request beyond the page.
TEST_F(Page, SampleInABrowser)
{
	ASSERT_TRUE(sample_page());
	run::Result r = run::program({PYTHON, TESTS + "/page_browser.py",
				      dir / "hike.html", dir / "hike.png"});
	if (r.status == 77)
		GTEST_SKIP() << r.out;
	ASSERT_EQ(r.status, 0) << r.err;
	EXPECT_EQ(r.out.substr(0, r.out.find('\n')), "requests: /hike.html");
	int map = -1, profile = -1;
	ASSERT_EQ(sscanf(r.out.c_str(), "requests: %*[^\n]\nmap: %d\nprofile: %d",
			 &map, &profile),
		  2)
	    << r.out;
	EXPECT_GT(map, 500);
	EXPECT_GT(profile, 500);
}

// A glitch 1383 km off is left off the map: the map is scaled to the
// points kept, and no line runs to the glitch.
TEST_F(Page, GlitchesStayOffTheMap)
{
	std::vector<std::string> records;
	for (int i = 0; i < 30; i++)
		records.push_back(i == 15 ? point(59.8, 25.0, 900, 7 * 3600 + 30 * i)
					  : point(47.42 + i * 0.001, 10.98, 900,
						  7 * 3600 + 30 * i));
	std::string page = page_of(records);
	size_t at = page.find("class=\"slabel\"");
	ASSERT_NE(at, std::string::npos);
	std::string label = page.substr(page.find('>', at) + 1,
					page.find('<', at) - page.find('>', at) - 1);
	EXPECT_TRUE(label == "500 m" || label == "1 km") << label;
	std::string found = check(dir / "log.html");
	if (found.rfind("skip: ", 0) == 0)
		GTEST_SKIP() << found;
	EXPECT_NE(found.find("tracks: 29\n"), std::string::npos) << found;
}

// Every text of every drawing measured as Chromium lays it out: no two
// overlap and none reaches past its drawing's edge, however crowded, long,
// small, large or far north the trip; crowded maps still name dozens of
// their waypoints.
TEST_F(Page, TextsNeverCollideInABrowser)
{
	static const char *const CITIES[] = {
	    "Aachen", "Augsburg", "Bamberg", "Berlin", "Bielefeld", "Bochum",
	    "Bonn", "Braunschweig", "Bremen", "Chemnitz", "Cottbus",
	    "Darmstadt", "Dortmund", "Dresden", "Duisburg", "Duesseldorf",
	    "Erfurt", "Essen", "Flensburg", "Frankfurt am Main",
	    "Frankfurt (Oder)", "Freiburg im Breisgau", "Fulda",
	    "Gelsenkirchen", "Goettingen", "Hagen", "Halle (Saale)", "Hamburg",
	    "Hannover", "Heidelberg", "Heilbronn", "Ingolstadt", "Jena",
	    "Kaiserslautern", "Karlsruhe", "Kassel", "Kiel", "Koblenz", "Koeln",
	    "Konstanz", "Krefeld", "Leipzig", "Leverkusen", "Luebeck",
	    "Ludwigshafen", "Magdeburg", "Mainz", "Mannheim",
	    "Moenchengladbach", "Muelheim an der Ruhr", "Muenchen", "Muenster",
	    "NARVA", "Neuss", "Nuernberg", "Oberhausen", "Offenbach",
	    "Oldenburg", "Osnabrueck", "Paderborn", "Passau", "Pforzheim",
	    "Potsdam", "Regensburg", "Rostock", "Saarbruecken", "Salzgitter",
	    "Schwerin", "Siegen", "Solingen", "Stralsund", "Stuttgart", "Trier",
	    "Ulm", "Wiesbaden", "Wolfsburg", "Wuerzburg", "Wuppertal",
	    "Zwickau", "Garmisch-Partenkirchen"};
	static const char *const KINDS[] = {
	    "Hut", "Alm", "Spring", "Cross", "Bridge", "Gasthof Sonne",
	    "Kapelle St. Martin"};
	Sequence random;
	std::vector<std::string> crowd, country, east, pole, world, across,
	    tiny, fifty, at_start;
	for (int i = 0; i < 400; i++) {
		char name[40];
		snprintf(name, sizeof name, "WP%03d %s", i, KINDS[i % 7]);
		crowd.push_back(waypoint(47.3 + random.next() * 0.18,
					 11.3 + random.next() * 0.26, name));
	}
	for (const char *city : CITIES)
		country.push_back(waypoint(47.5 + random.next() * 7,
					   6 + random.next() * 9, city));
	for (int i = 0; i < 40; i++)
		east.push_back(point(47.42 + i * 0.001, 10.98 + i * 0.001,
				     900 + i, 7 * 3600 + 30 * i));
	east.push_back(waypoint(47.459, 11.0195,
				"Gasthof zur schoenen Aussicht am Berg"));
	at_start.assign(east.begin(), east.begin() + 40);
	at_start.push_back(waypoint(47.42, 10.98, "Parking"));
	for (int i = 0; i <= 72; i++)
		pole.push_back(point(89.5, -180.0 + 5 * (i % 72), 2800 + i, i * 60,
				     "circle"));
	for (int i = 0; i <= 53; i++)
		pole.push_back(point(84.0 + 0.1 * i, 30.0, 2800 - i, 8000 + i * 60,
				     "north"));
	world = {waypoint(51.5074, -0.1278, "London"),
		 waypoint(40.7128, -74.006, "New York"),
		 waypoint(35.6762, 139.6503, "Tokyo")};
	for (int i = 0; i < 20; i++)
		across.push_back(point(-17.0 + 0.01 * i,
				       i < 10 ? 179.9 + 0.01 * i
					      : -180.0 + 0.01 * (i - 10),
				       10 + i, i * 60));
	across.push_back(waypoint(-17.0, 179.95, "Date line east"));
	across.push_back(waypoint(-16.9, -179.95, "Date line west"));
	for (int i = 0; i < 10; i++)
		tiny.push_back(
		    point(47.42 + i * 4e-6, 10.98 + i * 4e-6, 900 + 5 * i, i));
	for (int k = 0; k < 50; k++)
		for (int i = 0; i < 10; i++)
			fifty.push_back(point(46 + (k % 10) * 0.3 + i * 0.002,
					      8 + (k / 10) * 0.5 + i * 0.001,
					      500 + i, k * 1000 + i,
					      "Track " + std::to_string(k)));
	struct Row {
		const char *what;
		std::vector<std::string> records;
		int least_labels; // waypoint names on the map
	} rows[] = {
	    {"400 waypoints in 20 km", crowd, 36},
	    {"80 places over a country", country, 60},
	    {"a long name at the east edge", east, 1},
	    {"a waypoint at the track's start", at_start, 1},
	    {"the pole", pole, 0},
	    {"the world", world, 3},
	    {"the antimeridian", across, 2},
	    {"5 m", tiny, 0},
	    {"50 tracks", fifty, 0},
	    {"the sample", {}, 0},
	};
	for (const Row &r : rows) {
		SCOPED_TRACE(r.what);
		std::string path = dir / "log.html";
		if (r.records.empty()) {
			ASSERT_TRUE(sample_page());
			path = dir / "hike.html";
		} else {
			page_of(r.records);
		}
		std::string page = read_file(path);
		int labels = 0;
		for (size_t at = page.find("class=\"wlabel\"");
		     at != std::string::npos;
		     at = page.find("class=\"wlabel\"", at + 1))
			labels++;
		EXPECT_GE(labels, r.least_labels);
		std::string found = measure(path);
		if (found.empty())
			GTEST_SKIP() << "no headless Chromium";
		EXPECT_EQ(found.rfind("svg map: ", 0), 0u) << found;
		EXPECT_NE(found.find("\noverlaps: none\npast edges: none\n"),
			  std::string::npos)
		    << found;
	}
}

}  // namespace
