// SPDX-License-Identifier: MIT
// trkexport html: the page of a trip, byte for byte on every machine, as an
// HTML5 parser and an XML parser take it, with hostile names, odd logs and
// the largest one, and in a real browser.
#include <gtest/gtest.h>
#include <stdint.h>
#include <stdio.h>

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

// A $PMGNTRK of degrees north and east (negative: south, west).
std::string point(double lat, double lon, int alt, int secs,
		  const std::string &track = "")
{
	char text[160];
	double la = lat < 0 ? -lat : lat, lo = lon < 0 ? -lon : lon;
	snprintf(text, sizeof text,
		 "$PMGNTRK,%02d%07.4f,%c,%03d%07.4f,%c,%05d,M,%02d%02d%02d.00,"
		 "A,%s,140826*00\n",
		 (int)la, (la - (int)la) * 60, lat < 0 ? 'S' : 'N', (int)lo,
		 (lo - (int)lo) * 60, lon < 0 ? 'W' : 'E', alt, secs / 3600,
		 secs / 60 % 60, secs % 60, track.c_str());
	return text;
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
			 "routes: \nwaypoints: \nprofiles: 317\n"
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
		  "routes: 2\nwaypoints: </title><script>aler | Cairn & \"top\"\n"
		  "profiles: 30 20\n"
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
	    tiny, fifty;
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
