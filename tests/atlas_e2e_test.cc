// SPDX-License-Identifier: MIT
// trkexport html -t DIR: the atlas of the folder, DIR/index.html, byte for
// byte, as an HTML5 parser takes it (every row and every link to a page
// that is there) and as Chromium lays it out; what a backup folder holds
// beside track logs; a log named index; an atlas that cannot be written.
#include <dirent.h>
#include <gtest/gtest.h>
#include <math.h>
#include <stdint.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <vector>

#include "pdbfile.h"
#include "run.h"

using pdbfile::read_file;
using pdbfile::write_file;

namespace {

const std::string TRKEXPORT = TRKEXPORT_PATH;
const std::string GPSIMPORT = GPSIMPORT_PATH;
const std::string FAILINJECT = FAILINJECT_PATH;
const std::string PYTHON = PYTHON_PATH;
const std::string TESTS = TESTS_DIR;

const std::string EARLIER = "earlier atlas\n";

// A $PMGNTRK record of degrees north and east on day (of August 2026) at
// second secs, of the track named track; without a time where secs < 0.
std::string point(double lat, double lon, int secs, const std::string &track,
		  int day = 14)
{
	char text[200], when[16] = "", date[8] = "";
	if (secs >= 0) {
		snprintf(when, sizeof when, "%02d%02d%02d.00", secs / 3600 % 24,
			 secs / 60 % 60, secs % 60);
		snprintf(date, sizeof date, "%02d0826", day);
	}
	snprintf(text, sizeof text,
		 "$PMGNTRK,%02d%07.4f,N,%03d%07.4f,E,00500,M,%s,A,%s,%s*00\n",
		 (int)lat, (lat - (int)lat) * 60, (int)lon,
		 (lon - (int)lon) * 60, when, track.c_str(), date);
	return text;
}

// Ten points 0.001 degree apart due north from 47 degrees, a minute
// apart: 1.00 km (GeographicLib: 1000.8 m), 0:09:00 moving, no climb.
std::vector<std::string> kilometre(const std::string &track, int day,
				   bool timed = true)
{
	std::vector<std::string> v;
	for (int i = 0; i < 10; i++)
		v.push_back(point(47 + i * 0.001, 11, timed ? 8 * 3600 + 60 * i : -1,
				  track, day));
	return v;
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

// The value of the line "label: value" of a checker's report.
std::string field(const std::string &found, const std::string &label)
{
	size_t at = found.find(label + ": ");
	if (at == std::string::npos || (at > 0 && found[at - 1] != '\n'))
		return "(no " + label + ")";
	at += label.size() + 2;
	return found.substr(at, found.find('\n', at) - at);
}

class Atlas : public testing::Test {
      protected:
	run::TempDir dir;

	void SetUp() override
	{
		for (const char *sub : {"out", "x", "y"})
			ASSERT_EQ(mkdir((dir / sub).c_str(), 0700), 0);
	}

	run::Result trk(const std::vector<std::string> &args,
			const std::vector<std::string> &env = {})
	{
		std::vector<std::string> argv = {TRKEXPORT};
		argv.insert(argv.end(), args.begin(), args.end());
		return run::program(argv, dir.path(), "", -1, env);
	}

	// The names in out/, sorted.
	std::vector<std::string> outputs() const
	{
		return pdbfile::dir_names(dir / "out");
	}

	void empty_out()
	{
		for (const std::string &n : outputs())
			unlink((dir / ("out/" + n)).c_str());
	}

	// What page_check.py --atlas finds in out/index.html; "skip: ..."
	// where the checker cannot run.
	std::string check()
	{
		run::Result r = run::program({PYTHON, TESTS + "/page_check.py",
					      "--atlas", dir / "out/index.html"});
		if (r.status == 77)
			return "skip: " + r.out;
		EXPECT_EQ(r.status, 0) << r.err;
		return r.out;
	}

	// What page_browser.py --measure finds in out/index.html: "" where
	// the browser cannot run.
	std::string measure()
	{
		run::Result r = run::program({PYTHON, TESTS + "/page_browser.py",
					      "--measure", dir / "out/index.html"});
		if (r.status == 77)
			return "";
		EXPECT_EQ(r.status, 0) << r.err;
		return r.out;
	}
};

// The sample walk and the lake's two tracks: the same bytes everywhere, a
// sound document whose lines and rows lead to the pages written, its texts
// clear of each other and of the map's edges in a browser.
TEST_F(Atlas, SampleAndASecondLog)
{
	ASSERT_EQ(run::program({GPSIMPORT, EXAMPLE_TRACK, dir / "hike.pdb"}).status,
		  0);
	ASSERT_EQ(run::program({GPSIMPORT, EXAMPLE_LAKE, dir / "lake.pdb"}).status,
		  0);
	run::Result r = trk({"html", "-t", "out", "lake.pdb", "hike.pdb"});
	EXPECT_EQ(r.status, 0);
	EXPECT_EQ(r.out + r.err, "");
	EXPECT_EQ(outputs(), (std::vector<std::string>{"hike.html", "index.html",
						       "lake.html"}));
	EXPECT_EQ(read_file(dir / "out/index.html"),
		  read_file(TESTS + "/pages/atlas.html"));
	std::string found = check();
	if (found.rfind("skip: ", 0) == 0)
		GTEST_SKIP() << found;
	// The walk's 317 points thinned to 200; the lake's all kept.
	EXPECT_EQ(found,
		  "parse errors: none\nsvg: xml\nscripts: 0\nexternal: none\n"
		  "missing: none\nnumbers: finite\n"
		  "tracks: 200->hike.html 191->lake.html 60->lake.html\n"
		  "rows: hike.pdb ; hike ; 2026-08-14 ; 8.83 km ; 1:45:54 ; "
		  "1180 m ->hike.html | lake.pdb ; Lake loop ; 2026-08-16 ; "
		  "6.44 km ; 1:28:36 ; 65 m ->lake.html | lake.pdb ; Evening "
		  "stroll ; 2026-08-16 ; 0.87 km ; 0:22:36 ; 70 m ->lake.html | "
		  "All ; 3 tracks ;  ; 16.14 km ; 3:37:06 ; 1315 m\n"
		  "title: Trips \u2013 2026-08-14 to 2026-08-16\nh1: Trips\n");
	std::string measured = measure();
	if (measured.empty())
		GTEST_SKIP() << "no headless Chromium";
	EXPECT_EQ(measured.rfind("svg map: ", 0), 0u) << measured;
	EXPECT_NE(measured.find("\noverlaps: none\npast edges: none\n"),
		  std::string::npos)
	    << measured;
}

// What a backup folder holds beside logs of one track: only the logs
// written are in the atlas, each track a row sorted by start (those
// without a time last, as given), a log without tracks a row of its own;
// names of any bytes shown escaped and linked to the pages that are
// there.
TEST_F(Atlas, WhatTheFolderHolds)
{
	const std::string hostile = "<b>&\"x'";
	struct File {
		std::string name, bytes, err;  // err after "trkexport: "NAME": "
	} files[] = {
	    {"late.pdb", pdbfile::track_log(kilometre("Evening", 16)), ""},
	    {"Memo.pdb", pdbfile::track_log({"x"}, 0x6d656d6f),
	     "not a Wexlar track log (type \"DATA\", creator \"memo\"); "
	     "skipped\n"},
	    {hostile + ".pdb",
	     pdbfile::track_log(kilometre("A&B <i>\"q\"</td>", 14)), ""},
	    {"broken.pdb", pdbfile::track_log(kilometre("B", 1)).substr(0, 90),
	     "not a readable Palm database\n"},
	    {"places.pdb",
	     pdbfile::track_log(
		 {"$PMGNWPL,4700.000,N,01100.000,E,0000500,M,Hut,,a*00\n"}),
	     ""},
	    {"caf\xe9 100%.pdb", pdbfile::track_log({}), ""},
	    {"a:b.pdb", pdbfile::track_log(kilometre("T", 0, false)), ""},
	};
	std::vector<std::string> args = {"html", "-t", "out"};
	std::string err;
	for (const File &f : files) {
		write_file(dir / f.name, f.bytes);
		args.push_back(f.name);
		if (!f.err.empty())
			err += "trkexport: \"" + f.name + "\": " + f.err;
	}
	run::Result r = trk(args);
	EXPECT_EQ(r.status, 1);
	EXPECT_EQ(r.out, "");
	EXPECT_EQ(r.err, err);
	EXPECT_EQ(outputs(),
		  (std::vector<std::string>{hostile + ".html", "a:b.html",
					    "caf\xe9 100%.html", "index.html",
					    "late.html", "places.html"}));
	std::string atlas = read_file(dir / "out/index.html");
	EXPECT_EQ(atlas.find("<b>"), std::string::npos);
	EXPECT_EQ(atlas.find("<i>"), std::string::npos);
	std::string found = check();
	if (found.rfind("skip: ", 0) == 0)
		GTEST_SKIP() << found;
	// Lines due north keep their two ends.
	EXPECT_EQ(found,
		  "parse errors: none\nsvg: xml\nscripts: 0\nexternal: none\n"
		  "missing: none\nnumbers: finite\n"
		  "tracks: 2->%3Cb%3E%26%22x%27.html 2->late.html "
		  "2->a%3Ab.html\n"
		  "rows: " + hostile + ".pdb ; A&B <i>\"q\"</td> ; 2026-08-14 ; "
		  "1.00 km ; 0:09:00 ; 0 m ->%3Cb%3E%26%22x%27.html | "
		  "late.pdb ; Evening ; 2026-08-16 ; 1.00 km ; 0:09:00 ; 0 m "
		  "->late.html | places.pdb ;  ;  ;  ;  ;  ->places.html | "
		  "caf\ufffd 100%.pdb ; test ;  ;  ;  ;  ->caf%E9%20100%25.html | "
		  "a:b.pdb ; T ;  ; 1.00 km ;  ; 0 m ->a%3Ab.html | "
		  "All ; 4 tracks ;  ; 3.00 km ; 0:18:00 ; 0 m\n"
		  "title: Trips \u2013 2026-08-14 to 2026-08-16\nh1: Trips\n");
}

// index.html is the atlas's: a log that would have its page there gets
// index.pdb.html, which clashes as any other name; names are compared
// byte for byte; other formats have no atlas.
TEST_F(Atlas, ALogNamedIndex)
{
	const std::string log = pdbfile::track_log(kilometre("T", 14));
	for (const char *path : {"index.pdb", "x/index", "INDEX.PDB",
				 "y/index.pdb.pdb"})
		write_file(dir / path, log);
	struct Row {
		std::vector<std::string> args;
		int status;
		std::string err;
		std::vector<std::string> out;
		std::string link;  // the atlas's link to the page
	} rows[] = {
	    {{"html", "-t", "out", "index.pdb"}, 0, "",
	     {"index.html", "index.pdb.html"}, "index.pdb.html"},
	    {{"html", "-t", "out", "x/index"}, 0, "",
	     {"index.html", "index.pdb.html"}, "index.pdb.html"},
	    {{"html", "-t", "out", "INDEX.PDB"}, 0, "",
	     {"INDEX.html", "index.html"}, "INDEX.html"},
	    {{"html", "-t", "out", "index.pdb", "y/index.pdb.pdb"}, 1,
	     "trkexport: \"index.pdb\" and \"y/index.pdb.pdb\" would both be "
	     "written to \"out/index.pdb.html\"; nothing exported\n",
	     {}, ""},
	    {{"gpx", "-t", "out", "index.pdb"}, 0, "", {"index.gpx"}, ""},
	};
	for (const Row &row : rows) {
		std::string line;
		for (const std::string &arg : row.args)
			line += " " + arg;
		SCOPED_TRACE(line);
		empty_out();
		run::Result r = trk(row.args);
		EXPECT_EQ(r.status, row.status);
		EXPECT_EQ(r.out, "");
		EXPECT_EQ(r.err, row.err);
		EXPECT_EQ(outputs(), row.out);
		if (row.link.empty())
			continue;
		// The atlas of the one log, linked to its page.
		std::string atlas = read_file(dir / "out/index.html");
		EXPECT_NE(atlas.find("<h1>Trips</h1>\n<p class=\"day\">1 track "
				     "in 1 log, 2026-08-14</p>"),
			  std::string::npos);
		EXPECT_NE(atlas.find("<a href=\"" + row.link + "\">"),
			  std::string::npos);
	}
}

// An atlas that cannot be written or must not be replaced: one line, exit
// status 1, the earlier file as it was, the pages written all the same.
TEST_F(Atlas, AnAtlasNotWrittenKeepsTheEarlier)
{
	write_file(dir / "a.pdb", pdbfile::track_log(kilometre("T", 14)));
	ASSERT_EQ(trk({"html", "-t", "out", "a.pdb"}).status, 0);
	const std::string atlas = read_file(dir / "out/index.html");
	const std::string page = read_file(dir / "out/a.html");
	const std::string database = pdbfile::track_log({"x"});
	const char *asan = getenv("ASAN_OPTIONS");
	struct Row {
		std::string what, earlier;
		std::vector<std::string> env;
		std::string err;  // after "trkexport: "out/index.html": "
	} rows[] = {
	    {"a failed write", EARLIER,
	     {"LD_PRELOAD=" + FAILINJECT,
	      "WEXLAR_FAIL=write=" + std::to_string(atlas.size()),
	      "ASAN_OPTIONS=" + std::string(asan ? asan : "") +
		  ":verify_asan_link_order=0"},
	     "Input/output error\n"},
	    {"a database", database, {}, "is a Palm database; not replaced\n"},
	};
	for (const Row &row : rows) {
		SCOPED_TRACE(row.what);
		empty_out();
		write_file(dir / "out/index.html", row.earlier);
		run::Result r = trk({"html", "-t", "out", "a.pdb"}, row.env);
		EXPECT_EQ(r.status, 1);
		EXPECT_EQ(r.out, "");
		EXPECT_EQ(r.err, "trkexport: \"out/index.html\": " + row.err);
		EXPECT_EQ(read_file(dir / "out/index.html"), row.earlier);
		EXPECT_EQ(read_file(dir / "out/a.html"), page);
		EXPECT_EQ(outputs(),
			  (std::vector<std::string>{"a.html", "index.html"}));
	}
}

// Fifty logs spread over a country, in a browser: every track drawn and
// linked, no text over another or past the map's edge.
TEST_F(Atlas, FiftyLogsOverACountry)
{
	Sequence random;
	std::vector<std::string> args = {"html", "-t", "out"};
	for (int k = 0; k < 50; k++) {
		double lat = 47.5 + random.next() * 7, lon = 6 + random.next() * 9,
		       heading = random.next() * 6.28;
		std::vector<std::string> records;
		for (int i = 0; i < 300; i++) {
			heading += (random.next() - 0.5) * 0.6;
			lat += sin(heading) * 4e-4;
			lon += cos(heading) * 6e-4;
			records.push_back(point(lat, lon, 8 * 3600 + 20 * i,
						"Tour " + std::to_string(k),
						1 + k % 28));
		}
		std::string name = "tour" + std::to_string(k) + ".pdb";
		write_file(dir / name, pdbfile::track_log(records));
		args.push_back(name);
	}
	run::Result r = trk(args);
	EXPECT_EQ(r.status, 0);
	EXPECT_EQ(r.out + r.err, "");
	std::string found = check();
	if (found.rfind("skip: ", 0) == 0)
		GTEST_SKIP() << found;
	EXPECT_EQ(field(found, "parse errors"), "none");
	EXPECT_EQ(field(found, "missing"), "none");
	std::string tracks = field(found, "tracks");
	EXPECT_EQ(std::count(tracks.begin(), tracks.end(), '>'), 50) << tracks;
	std::string measured = measure();
	if (measured.empty())
		GTEST_SKIP() << "no headless Chromium";
	EXPECT_NE(measured.find("\noverlaps: none\npast edges: none\n"),
		  std::string::npos)
	    << measured;
}

}  // namespace
