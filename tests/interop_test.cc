// SPDX-License-Identifier: MIT
// Interoperability with GPSBabel, a converter written elsewhere: it makes
// random tracks as Magellan text, we pack and export them as GPX, and it
// reads our GPX and its own text back; the points must agree.
#include <gtest/gtest.h>
#include <unistd.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>

#include <sstream>
#include <string>
#include <vector>

#include "pdbfile.h"
#include "run.h"

namespace {

const std::string GPSIMPORT = GPSIMPORT_PATH;
const std::string GPXIMPORT = GPXIMPORT_PATH;
const std::string LINEDUMP = LINEDUMP_PATH;
const std::string TRKEXPORT = TRKEXPORT_PATH;

// Lines of one gpsimport database: well below its 65536-byte input limit.
const size_t LINES_PER_IMPORT = 800;

struct Point {
	double lat, lon, alt;
	std::string date;
	long centisecs;	 // time of day
};

// Why GPSBabel cannot serve as the peer here, or "" when it can: it must
// be installed and still read and write Magellan files (1.9 dropped them).
std::string gpsbabel_missing()
{
	if (system("command -v gpsbabel >/dev/null 2>&1") != 0)
		return "gpsbabel is not installed";
	run::Result r = run::program({"/bin/sh", "-c", "exec gpsbabel -^2"});
	if (r.out.find("\tmagellan\t") == std::string::npos)
		return "this gpsbabel has no magellan format";
	return "";
}

void babel(const std::vector<std::string> &args)
{
	std::vector<std::string> argv = {"/bin/sh", "-c", "exec gpsbabel \"$@\"",
					 "gpsbabel"};
	argv.insert(argv.end(), args.begin(), args.end());
	run::Result r = run::program(argv);
	ASSERT_EQ(r.status, 0) << r.err;
}

std::vector<std::string> split(const std::string &s, char sep)
{
	std::vector<std::string> out;
	std::string item;
	std::istringstream in(s);
	while (std::getline(in, item, sep))
		out.push_back(item);
	return out;
}

// "hh:mm:ss[.fff]" as hundredths of a second.
long centisecs_of(const std::string &t)
{
	std::vector<std::string> hms = split(t, ':');
	double secs = std::stod(hms.at(0)) * 3600 + std::stod(hms.at(1)) * 60 +
		      std::stod(hms.at(2));
	return lround(secs * 100);
}

// The points of a unicsv file that GPSBabel wrote.
std::vector<Point> read_unicsv(const std::string &path)
{
	std::vector<std::string> lines = split(pdbfile::read_file(path), '\n');
	for (std::string &l : lines)  // its lines end in CR LF
		if (!l.empty() && l.back() == '\r')
			l.pop_back();
	std::vector<Point> points;
	if (lines.empty())
		return points;
	std::vector<std::string> head = split(lines[0], ',');
	auto col = [&](const char *name) {
		for (size_t i = 0; i < head.size(); i++)
			if (head[i] == name)
				return i;
		ADD_FAILURE() << "no column " << name << " in " << lines[0];
		return (size_t)0;
	};
	size_t lat = col("Latitude"), lon = col("Longitude"),
	       alt = col("Altitude"), date = col("Date"), time = col("Time");
	for (size_t i = 1; i < lines.size(); i++) {
		std::vector<std::string> f = split(lines[i], ',');
		if (f.size() < head.size())
			continue;
		points.push_back({std::stod(f[lat]), std::stod(f[lon]),
				  std::stod(f[alt]), f[date],
				  centisecs_of(f[time])});
	}
	return points;
}

// Our GPX read back by GPSBabel.
void read_gpx(const std::string &gpx, const std::string &csv,
	      std::vector<Point> *into)
{
	babel({"-t", "-i", "gpx", "-f", gpx, "-o", "unicsv", "-F", csv});
	std::vector<Point> more = read_unicsv(csv);
	into->insert(into->end(), more.begin(), more.end());
}

void expect_same(const std::vector<Point> &want, const std::vector<Point> &got,
		 const std::string &what)
{
	ASSERT_EQ(got.size(), want.size()) << what;
	const double tolerance = 1e-6 + 1e-12;
	for (size_t i = 0; i < want.size(); i++) {
		EXPECT_NEAR(got[i].lat, want[i].lat, tolerance) << what << i;
		EXPECT_NEAR(got[i].lon, want[i].lon, tolerance) << what << i;
		EXPECT_NEAR(got[i].alt, want[i].alt, 1e-3) << what << i;
		EXPECT_EQ(got[i].date, want[i].date) << what << i;
		EXPECT_EQ(got[i].centisecs, want[i].centisecs) << what << i;
	}
}

class Interop : public testing::TestWithParam<int> {};

TEST_P(Interop, GpxOfBothPackingsMatchesGpsbabel)
{
	std::string missing = gpsbabel_missing();
	if (!missing.empty())
		GTEST_SKIP() << missing << ": interoperability not checked";
	const int points = GetParam();
	run::TempDir dir;
	babel({"-t", "-i",
	       "random,points=" + std::to_string(points) + ",seed=" +
		   std::to_string(points + 7) + ",nodelay",
	       "-f", "x", "-o", "magellan", "-F", dir / "track.txt"});
	babel({"-t", "-i", "magellan", "-f", dir / "track.txt", "-o", "unicsv",
	       "-F", dir / "ref.csv"});
	std::vector<Point> ref = read_unicsv(dir / "ref.csv");
	ASSERT_EQ(ref.size(), (size_t)points);

	std::vector<std::string> lines =
	    split(pdbfile::read_file(dir / "track.txt"), '\n');
	while (!lines.empty() && lines.back().empty())
		lines.pop_back();

	// As gpsimport packs them: line, LF and NUL, in databases that fit.
	std::vector<Point> imported;
	for (size_t first = 0, part = 0; first < lines.size();
	     first += LINES_PER_IMPORT, part++) {
		std::string text, base = dir / ("part" + std::to_string(part));
		for (size_t i = first;
		     i < lines.size() && i < first + LINES_PER_IMPORT; i++)
			text += lines[i] + "\n";
		pdbfile::write_file(base + ".txt", text);
		run::Result r = run::program(
		    {GPSIMPORT, base + ".txt", base + ".pdb"});
		ASSERT_EQ(r.status, 0) << r.err;
		r = run::program({TRKEXPORT, "track", base + ".pdb",
				  base + ".gpx"});
		ASSERT_EQ(r.status, 0) << r.err;
		read_gpx(base + ".gpx", base + ".csv", &imported);
	}
	expect_same(ref, imported, "gpsimport, point ");

	// As the handheld logs them: one report per record, text and NUL.
	std::vector<std::string> records;
	for (const std::string &l : lines)
		records.push_back(l + '\0');
	pdbfile::write_file(dir / "handheld.pdb", pdbfile::track_log(records));
	run::Result r = run::program(
	    {TRKEXPORT, "track", dir / "handheld.pdb", dir / "handheld.gpx"});
	ASSERT_EQ(r.status, 0) << r.err;
	std::vector<Point> logged;
	read_gpx(dir / "handheld.gpx", dir / "handheld.csv", &logged);
	expect_same(ref, logged, "handheld log, point ");

	// The same log as GPX 1.1: the same points, and valid by its schema.
	r = run::program({TRKEXPORT, "gpx", dir / "handheld.pdb",
			  dir / "handheld11.gpx"});
	ASSERT_EQ(r.status, 0) << r.err;
	std::vector<Point> logged11;
	read_gpx(dir / "handheld11.gpx", dir / "handheld11.csv", &logged11);
	expect_same(ref, logged11, "handheld log as GPX 1.1, point ");
	const std::string schema = SCHEMA_DIR "/gpx11.xsd";
	if (system("command -v xmllint >/dev/null 2>&1") == 0) {
		r = run::program({"/bin/sh", "-c",
				  "exec xmllint --noout --schema \"$0\" \"$1\"",
				  schema, dir / "handheld11.gpx"});
		EXPECT_EQ(r.status, 0) << r.err;
	}
}

INSTANTIATE_TEST_SUITE_P(Points, Interop, testing::Values(1, 50, 2000));

// Waypoints and two routes, one of an odd number of points, with names
// that hold blanks and fit the 8 bytes a Meridian-style file keeps.
const char PLACES_GPX[] =
    "<?xml version=\"1.0\"?>\n<gpx version=\"1.1\" creator=\"test\" "
    "xmlns=\"http://www.topografix.com/GPX/1/1\">\n"
    "<wpt lat=\"47.418717\" lon=\"10.983333\"><ele>904</ele>"
    "<name>Ridge</name><cmt>view east</cmt></wpt>\n"
    "<wpt lat=\"-33.8568\" lon=\"151.2153\"><ele>12</ele>"
    "<name>Harbour</name></wpt>\n"
    "<wpt lat=\"0.5\" lon=\"-0.25\"><name>Null Isl</name></wpt>\n"
    "<rte><name>Loop A</name>"
    "<rtept lat=\"47.418717\" lon=\"10.983333\"><name>Ridge</name></rtept>"
    "<rtept lat=\"47.42\" lon=\"10.99\"><name>Saddle</name></rtept>"
    "<rtept lat=\"47.43\" lon=\"11.0\"><name>Lake Hut</name></rtept>"
    "<rtept lat=\"47.44\" lon=\"11.01\"><name>Spring</name></rtept>"
    "<rtept lat=\"47.418717\" lon=\"10.983333\"><name>Ridge</name></rtept>"
    "</rte>\n<rte><name>Short</name>"
    "<rtept lat=\"-33.8568\" lon=\"151.2153\"><name>Harbour</name></rtept>"
    "<rtept lat=\"-33.86\" lon=\"151.21\"><name>Quay 2</name></rtept>"
    "</rte>\n</gpx>\n";

struct Place {
	std::string name;
	double lat, lon, alt;
};

// The places of a unicsv file that GPSBabel wrote: its lines end in CR LF,
// its names are quoted.
std::vector<Place> read_places(const std::string &path)
{
	std::vector<Place> places;
	std::vector<std::string> lines = split(pdbfile::read_file(path), '\n');
	for (size_t i = 1; i < lines.size(); i++) {
		std::vector<std::string> f = split(lines[i], ',');
		if (f.size() < 5)
			continue;
		std::string name = f[3];
		if (name.size() >= 2 && name.front() == '"')
			name = name.substr(1, name.size() - 2);
		places.push_back({name, std::stod(f[1]), std::stod(f[2]),
				  std::stod(f[4])});
	}
	return places;
}

void expect_same_places(const std::vector<Place> &want,
			const std::vector<Place> &got, bool altitudes,
			const std::string &what)
{
	ASSERT_EQ(got.size(), want.size()) << what;
	for (size_t i = 0; i < want.size(); i++) {
		EXPECT_EQ(got[i].name, want[i].name) << what << i;
		EXPECT_NEAR(got[i].lat, want[i].lat, 1e-6 + 1e-12) << what << i;
		EXPECT_NEAR(got[i].lon, want[i].lon, 1e-6 + 1e-12) << what << i;
		if (altitudes) {
			EXPECT_NEAR(got[i].alt, want[i].alt, 1e-3) << what << i;
		}
	}
}

// A receiver's waypoint and route files, as GPSBabel writes them in the
// dialect (magellan: Meridian-style; magellanx: eXplorist, whose route
// lines carry the route's name), packed by gpsimport and exported as GPX
// 1.1: our waypoints and route points are those GPSBabel reads from the
// same text.  A route point copies the first waypoint of its name, so only
// the waypoints' altitudes are compared.
class InteropPlaces : public testing::TestWithParam<const char *> {};

TEST_P(InteropPlaces, WaypointsAndRoutesMatchGpsbabel)
{
	std::string missing = gpsbabel_missing();
	if (!missing.empty())
		GTEST_SKIP() << missing << ": interoperability not checked";
	const std::string dialect = GetParam();
	run::TempDir dir;
	pdbfile::write_file(dir / "src.gpx", PLACES_GPX);
	babel({"-w", "-i", "gpx", "-f", dir / "src.gpx", "-o", dialect, "-F",
	       dir / "wpt.txt"});
	babel({"-r", "-i", "gpx", "-f", dir / "src.gpx", "-o", dialect, "-F",
	       dir / "rte.txt"});
	pdbfile::write_file(dir / "all.txt",
			    pdbfile::read_file(dir / "wpt.txt") +
				pdbfile::read_file(dir / "rte.txt"));
	run::Result r = run::program(
	    {GPSIMPORT, dir / "all.txt", dir / "all.pdb"});
	ASSERT_EQ(r.status, 0) << r.err;
	r = run::program({TRKEXPORT, "gpx", dir / "all.pdb", dir / "all.gpx"});
	ASSERT_EQ(r.status, 0) << r.err;
	EXPECT_EQ(r.err, "");

	babel({"-w", "-i", dialect, "-f", dir / "wpt.txt", "-f", dir / "rte.txt",
	       "-o", "unicsv", "-F", dir / "ref-wpt.csv"});
	babel({"-r", "-i", dialect, "-f", dir / "rte.txt", "-o", "unicsv", "-F",
	       dir / "ref-rte.csv"});
	babel({"-w", "-i", "gpx", "-f", dir / "all.gpx", "-o", "unicsv", "-F",
	       dir / "our-wpt.csv"});
	babel({"-r", "-i", "gpx", "-f", dir / "all.gpx", "-o", "unicsv", "-F",
	       dir / "our-rte.csv"});
	std::vector<Place> ref_rte = read_places(dir / "ref-rte.csv");
	ASSERT_EQ(ref_rte.size(), 7u);
	expect_same_places(read_places(dir / "ref-wpt.csv"),
			   read_places(dir / "our-wpt.csv"), true,
			   dialect + " waypoint ");
	expect_same_places(ref_rte, read_places(dir / "our-rte.csv"), false,
			   dialect + " route point ");
}

INSTANTIATE_TEST_SUITE_P(Dialects, InteropPlaces,
			 testing::Values("magellan", "magellanx"));

}  // namespace

namespace {

// A GPX document whose positions are whole thousandths of a minute, which
// GPSBabel's sentences hold exactly, times in hundredths and names of at
// most 8 bytes (what a Meridian-style file keeps).
const char IMPORT_GPX[] =
    "<?xml version=\"1.0\"?>\n<gpx version=\"1.0\" "
    "xmlns=\"http://www.topografix.com/GPX/1/0\">\n"
    "<wpt lat=\"47.4187166667\" lon=\"10.9833333333\"><ele>904</ele>"
    "<name>Ridge</name><cmt>view east</cmt></wpt>\n"
    "<wpt lat=\"-33.8568\" lon=\"-151.2153\"><ele>12</ele>"
    "<name>Harbour</name></wpt>\n"
    "<rte><rtept lat=\"47.4187166667\" lon=\"10.9833333333\">"
    "<name>Ridge</name></rtept><rtept lat=\"47.42\" lon=\"10.99\">"
    "<name>Saddle</name></rtept><rtept lat=\"47.43\" lon=\"11.0\">"
    "<name>Lake Hut</name></rtept></rte>\n"
    "<trk><name>Morning</name><trkseg>"
    "<trkpt lat=\"47.1\" lon=\"10.2\"><ele>901</ele>"
    "<time>2026-08-14T07:42:05.25Z</time></trkpt>"
    "<trkpt lat=\"-0.5\" lon=\"-0.25\"><ele>-3</ele>"
    "<time>2026-08-14T23:59:59.99Z</time></trkpt>"
    "<trkpt lat=\"47.105\" lon=\"10.205\"><ele>905</ele>"
    "<time>2026-08-15T00:00:00Z</time></trkpt>"
    "</trkseg></trk>\n</gpx>\n";

// gpximport's sentences and GPSBabel's for the same GPX document decode,
// by GPSBabel's own reader, to the same waypoints, route points and track
// points.
TEST(InteropImport, SentencesMatchGpsbabels)
{
	std::string missing = gpsbabel_missing();
	if (!missing.empty())
		GTEST_SKIP() << missing << ": interoperability not checked";
	run::TempDir dir;
	pdbfile::write_file(dir / "in.gpx", IMPORT_GPX);
	run::Result r =
	    run::program({GPXIMPORT, dir / "in.gpx", dir / "ours.pdb"});
	ASSERT_EQ(r.status, 0) << r.err;
	r = run::program({LINEDUMP, dir / "ours.pdb", dir / "ours.txt"});
	ASSERT_EQ(r.status, 0) << r.err;
	const char *kinds[] = {"-w", "-r", "-t"};
	for (const char *kind : kinds) {
		std::string k = kind + 1;
		babel({kind, "-i", "gpx", "-f", dir / "in.gpx", "-o", "magellan",
		       "-F", dir / ("theirs" + k + ".txt")});
		for (const char *who : {"ours", "theirs"}) {
			std::string text = std::string(who) == "ours"
					       ? dir / "ours.txt"
					       : dir / ("theirs" + k + ".txt");
			babel({kind, "-i", "magellan", "-f", text, "-o", "unicsv",
			       "-F", dir / (who + k + ".csv")});
		}
	}
	// Our waypoints are the document's, then the route's new ones.
	std::vector<Place> wpts = read_places(dir / "oursw.csv");
	ASSERT_EQ(wpts.size(), 4u);
	wpts.resize(2);
	expect_same_places(read_places(dir / "theirsw.csv"), wpts, true,
			   "waypoint ");
	expect_same_places(read_places(dir / "theirsr.csv"),
			   read_places(dir / "oursr.csv"), false,
			   "route point ");
	std::vector<Point> theirs = read_unicsv(dir / "theirst.csv");
	ASSERT_EQ(theirs.size(), 3u);
	expect_same(theirs, read_unicsv(dir / "ourst.csv"), "track point ");
}

}  // namespace

namespace {

// The tracks of a GPX document as "trk 2 3 trk 1": the points of each
// segment, in order, whoever wrote it.
std::string segments_of(const std::string &gpx)
{
	std::string layout;
	for (size_t at = gpx.find('<'); at != std::string::npos;
	     at = gpx.find('<', at + 1)) {
		if (gpx.compare(at, 5, "<trk>") == 0)
			layout += layout.empty() ? "trk" : " trk";
		else if (gpx.compare(at, 8, "<trkseg>") == 0)
			layout += " 0";
		else if (gpx.compare(at, 7, "<trkpt ") == 0) {
			size_t count = layout.rfind(' ') + 1;
			unsigned long n = std::stoul(layout.substr(count));
			layout.replace(count, std::string::npos,
				       std::to_string(n + 1));
		}
	}
	return layout;
}

// A nameless track in two segments and a named one in three, through
// gpximport and trkexport: GPSBabel reads the segments of what we write as
// it reads those of the document.
TEST(InteropImport, GpsbabelReadsOurSegments)
{
	std::string missing = gpsbabel_missing();
	if (!missing.empty())
		GTEST_SKIP() << missing << ": interoperability not checked";
	std::string doc = "<?xml version=\"1.0\"?>\n<gpx version=\"1.1\" "
			  "creator=\"test\" "
			  "xmlns=\"http://www.topografix.com/GPX/1/1\">\n";
	struct Track {
		std::string name;
		std::vector<int> segments; // points in each
	} tracks[] = {{"", {2, 3}}, {"Ridge", {2, 3, 2}}};
	int minute = 0;
	for (const Track &t : tracks) {
		doc += "<trk>";
		if (!t.name.empty())
			doc += "<name>" + t.name + "</name>";
		for (int points : t.segments) {
			doc += "<trkseg>";
			for (int i = 0; i < points; i++, minute++) {
				char pt[120];
				snprintf(pt, sizeof pt,
					 "<trkpt lat=\"47.%02d\" lon=\"10\">"
					 "<time>2026-08-14T07:%02d:00Z</time>"
					 "</trkpt>",
					 minute, minute);
				doc += pt;
			}
			doc += "</trkseg>";
		}
		doc += "</trk>\n";
	}
	doc += "</gpx>\n";
	run::TempDir dir;
	pdbfile::write_file(dir / "in.gpx", doc);
	run::Result r =
	    run::program({GPXIMPORT, dir / "in.gpx", dir / "ours.pdb"});
	ASSERT_EQ(r.status, 0) << r.err;
	r = run::program(
	    {TRKEXPORT, "gpx", dir / "ours.pdb", dir / "ours.gpx"});
	ASSERT_EQ(r.status, 0) << r.err;
	for (std::string who : {"in", "ours"})
		babel({"-t", "-i", "gpx", "-f", dir / (who + ".gpx"), "-o",
		       "gpx", "-F", dir / (who + "-read.gpx")});
	std::string theirs =
	    segments_of(pdbfile::read_file(dir / "in-read.gpx"));
	EXPECT_EQ(theirs, "trk 2 3 trk 2 3 2");
	EXPECT_EQ(segments_of(pdbfile::read_file(dir / "ours-read.gpx")),
		  theirs);
}

}  // namespace
