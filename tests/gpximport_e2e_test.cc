// SPDX-License-Identifier: MIT
// gpximport run as a program: the sentences GPX gives, the refusals, and
// the way back through trkexport.
#include <dirent.h>
#include <gtest/gtest.h>
#include <math.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <time.h>

#include <algorithm>
#include <string>
#include <vector>

#include "pdbfile.h"
#include "run.h"

using pdbfile::be16;
using pdbfile::be32;
using pdbfile::read_file;
using pdbfile::write_file;

namespace {

const std::string GPXIMPORT = GPXIMPORT_PATH;
const std::string GPSIMPORT = GPSIMPORT_PATH;
const std::string LINEDUMP = LINEDUMP_PATH;
const std::string TRKEXPORT = TRKEXPORT_PATH;
const std::string FAILINJECT = FAILINJECT_PATH;

const std::string GPX11 =
    "<gpx version=\"1.1\" xmlns=\"http://www.topografix.com/GPX/1/1\">";
const std::string GPX10 =
    "<gpx version=\"1.0\" xmlns=\"http://www.topografix.com/GPX/1/0\">";

// The texts of the records of a database, without their LF and NUL.
std::vector<std::string> records_of(const std::string &db)
{
	std::vector<std::string> texts;
	size_t n = be16(db, 76);
	for (size_t i = 0; i < n; i++) {
		size_t start = be32(db, 78 + 8 * i);
		size_t end = i + 1 < n ? be32(db, 78 + 8 * (i + 1)) : db.size();
		texts.push_back(db.substr(start, end - start - 2));
	}
	return texts;
}

class GpxImport : public testing::Test {
      protected:
	run::TempDir dir;

	run::Result import(const std::vector<std::string> &args)
	{
		std::vector<std::string> argv = {GPXIMPORT};
		argv.insert(argv.end(), args.begin(), args.end());
		return run::program(argv, dir.path());
	}
	// The records that the document gives.
	std::vector<std::string> sentences(const std::string &doc)
	{
		write_file(dir / "in.gpx", doc);
		run::Result r = import({"in.gpx", "-"});
		EXPECT_EQ(r.status, 0) << r.err;
		EXPECT_EQ(r.err, "");
		return r.status == 0 ? records_of(r.out)
				     : std::vector<std::string>{};
	}
};

TEST_F(GpxImport, SnippetsGiveTheirSentences)
{
	// A track point at lat degrees north, 0 east.
	auto pt = [](int lat) {
		return "<trkpt lat=\"" + std::to_string(lat) + "\" lon=\"0\"/>";
	};
	struct Row {
		std::string what, doc;
		std::vector<std::string> want;
	} rows[] = {
	    {"a waypoint, GPX 1.1",
	     GPX11 + "<wpt lat=\"47.418717\" lon=\"-10.983333\"><ele>904.5"
		     "</ele><name>Peak</name><cmt>view</cmt><desc>d</desc>"
		     "</wpt></gpx>",
	     {"$PMGNWPL,4725.1230,N,01059.0000,W,0000905,M,Peak,view,a*71"}},
	    {"GPX 1.0, no elevation, desc as comment, south and east",
	     "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>" + GPX10 +
		 "<wpt lat=\"-0.5\" lon=\"179.99999999\"><desc>caf\xE9"
		 "</desc></wpt></gpx>",
	     {"$PMGNWPL,0030.0000,S,18000.0000,E,0000000,M,WPT001,caf\xE9,a*"
	      "AC"}},
	    {"no namespace, mapping, cutting, entities and CDATA",
	     "<gpx><wpt lat=\"1\" lon=\"2\"><name>a,b*c$d\te&#x20AC;&#x4E00;"
	     "<![CDATA[<x>]]>123456789</name><cmt>" +
		 std::string(50, 'c') + "</cmt></wpt></gpx>",
	     {"$PMGNWPL,0100.0000,N,00200.0000,E,0000000,M,a b c d e\x80?<x>"
	      "123456,cccccccccccccccccccccccccccccccccccccccccccccc,a*F4"}},
	    {"a route: known waypoint, a new one, a name taken, a nameless",
	     GPX11 + "<wpt lat=\"1\" lon=\"2\"><name>A</name></wpt>"
		     "<rte><rtept lat=\"1\" lon=\"2\"><name>A</name></rtept>"
		     "<rtept lat=\"3\" lon=\"4\"><name>A</name></rtept>"
		     "<rtept lat=\"5\" lon=\"6\"/></rte>"
		     "<rte><rtept lat=\"3\" lon=\"4\"><name>A</name></rtept>"
		     "</rte></gpx>",
	     {"$PMGNWPL,0100.0000,N,00200.0000,E,0000000,M,A,,a*16",
	      "$PMGNWPL,0300.0000,N,00400.0000,E,0000000,M,A2,,a*20",
	      "$PMGNWPL,0500.0000,N,00600.0000,E,0000000,M,WPT001,,a*35",
	      "$PMGNRTE,2,1,c,1,A,a,A2,a*34", "$PMGNRTE,2,2,c,1,WPT001,a*06",
	      "$PMGNRTE,1,1,c,2,A2,a*14"}},
	    {"a full name made unique keeps 20 bytes",
	     GPX11 + "<wpt lat=\"1\" lon=\"2\"><name>" + std::string(25, 'n') +
		 "</name></wpt><wpt lat=\"1\" lon=\"3\"><name>" +
		 std::string(21, 'n') + "</name></wpt></gpx>",
	     {"$PMGNWPL,0100.0000,N,00200.0000,E,0000000,M," +
		  std::string(20, 'n') + ",,a*57",
	      "$PMGNWPL,0100.0000,N,00300.0000,E,0000000,M," +
		  std::string(19, 'n') + "2,,a*0A"}},
	    {"track points: zones, truncated hundredths, fix, gaps",
	     GPX11 + "<trk><name>Day 1</name><trkseg>"
		     "<trkpt lat=\"47.1\" lon=\"10.2\"><ele>-12.5</ele>"
		     "<time>2026-08-14T01:42:05.259+02:30</time></trkpt>"
		     "<trkpt lat=\"47.1\" lon=\"10.2\"><time> 2099-12-31T23:59:59"
		     "</time><fix>none</fix></trkpt></trkseg></trk>"
		     "<trk><trkseg><trkpt lat=\"0\" lon=\"0\"><ele>904</ele>"
		     "<time>2000-01-01T00:00:00.5-00:00</time></trkpt>"
		     "</trkseg></trk></gpx>",
	     {"$PMGNTRK,4706.0000,N,01012.0000,E,-0013,M,231205.25,A,Day 1,"
	      "130826*2B",
	      "$PMGNTRK,4706.0000,N,01012.0000,E,,M,235959.00,V,,311299*50",
	      "$PMGNTRK,0000.0000,N,00000.0000,E,00904,M,000000.50,A,Track 2,"
	      "010100*25"}},
	    {"an entity declared by a parameter entity",
	     "<!DOCTYPE gpx [<!ENTITY % pe \"<!ENTITY x 'fromPE'>\"> %pe;]>"
	     "<gpx><wpt lat=\"1\" lon=\"2\"><name>&x;</name></wpt></gpx>",
	     {"$PMGNWPL,0100.0000,N,00200.0000,E,0000000,M,fromPE,,a*54"}},
	    {"one name, one place: the same sentence once, others renamed; a "
	     "route point names the first of its name and place",
	     GPX11 + "<wpt lat=\"1\" lon=\"2\"><name>Hut</name></wpt>"
		     "<wpt lat=\"1\" lon=\"2\"><name>Hut</name><ele>5</ele></wpt>"
		     "<wpt lat=\"1\" lon=\"2\"><name>Hut</name></wpt>"
		     "<wpt lat=\"1\" lon=\"2\"><name>Hut</name><cmt>c</cmt></wpt>"
		     "<rte><rtept lat=\"1\" lon=\"2\"><name>Hut</name><ele>5</ele>"
		     "</rtept></rte></gpx>",
	     {"$PMGNWPL,0100.0000,N,00200.0000,E,0000000,M,Hut,,a*1E",
	      "$PMGNWPL,0100.0000,N,00200.0000,E,0000005,M,Hut2,,a*29",
	      "$PMGNWPL,0100.0000,N,00200.0000,E,0000000,M,Hut3,c,a*4E",
	      "$PMGNRTE,1,1,c,1,Hut,a*2D"}},
	    {"names and comments without the blanks at their ends; blanks are "
	     "no name",
	     GPX11 + "<wpt lat=\"1\" lon=\"2\"><name>\n    Pass\n  </name>"
		     "<cmt>\t view </cmt></wpt><wpt lat=\"1\" lon=\"2\"><name> "
		     "\n</name></wpt></gpx>",
	     {"$PMGNWPL,0100.0000,N,00200.0000,E,0000000,M,Pass,view,a*6B",
	      "$PMGNWPL,0100.0000,N,00200.0000,E,0000000,M,WPT001,,a*35"}},
	    {"windows-1252",
	     "<?xml version=\"1.0\" encoding=\"windows-1252\"?><gpx><wpt "
	     "lat=\"1\" lon=\"2\"><name>caf\xE9 \x80</name></wpt></gpx>",
	     {"$PMGNWPL,0100.0000,N,00200.0000,E,0000000,M,caf\xE9 \x80,,a*7A"}},
	    {"times as RFC 3339 allows them; a leap second",
	     GPX11 + "<trk><trkseg>"
		     "<trkpt lat=\"0\" lon=\"0\"><time>2026-08-14t01:42:05z"
		     "</time></trkpt>"
		     "<trkpt lat=\"0\" lon=\"0\"><time>2026-08-14T01:42:05+0200"
		     "</time></trkpt>"
		     "<trkpt lat=\"0\" lon=\"0\"><time>2026-12-31T23:59:60.5Z"
		     "</time></trkpt></trkseg></trk></gpx>",
	     {"$PMGNTRK,0000.0000,N,00000.0000,E,,M,014205.00,A,in,140826*4C",
	      "$PMGNTRK,0000.0000,N,00000.0000,E,,M,234205.00,A,,130826*4C",
	      "$PMGNTRK,0000.0000,N,00000.0000,E,,M,000000.50,A,,010127*40"}},
	    {"tracks never merge: nameless, or named as the one before",
	     GPX11 + "<trk><name>Trail 1</name><trkseg><trkpt lat=\"0\" "
		     "lon=\"0\"/></trkseg></trk><trk><trkseg><trkpt lat=\"0\" "
		     "lon=\"0\"/></trkseg></trk><trk><trkseg><trkpt lat=\"0\" "
		     "lon=\"0\"/></trkseg><name>Track 2</name></trk><trk><name>"
		     "Track 2</name></trk></gpx>",
	     {"$PMGNTRK,0000.0000,N,00000.0000,E,,M,,A,Trail 1,*3D",
	      "$PMGNTRK,0000.0000,N,00000.0000,E,,M,,A,Track 2,*33",
	      "$PMGNTRK,0000.0000,N,00000.0000,E,,M,,A,Track 2 (3),*21"}},
	    {"segments: the name starts each; an empty trkseg keeps nothing; "
	     "after a segment of one point the next start is unmarked",
	     GPX11 + "<trk><name>T</name><trkseg>" + pt(1) + pt(2) +
		     "</trkseg><trkseg/><trkseg>" + pt(3) + pt(4) +
		     "</trkseg><trkseg>" + pt(5) + "</trkseg><trkseg>" + pt(6) +
		     pt(7) + "</trkseg></trk></gpx>",
	     {"$PMGNTRK,0100.0000,N,00000.0000,E,,M,,A,T,*3B",
	      "$PMGNTRK,0200.0000,N,00000.0000,E,,M,,A,,*6C",
	      "$PMGNTRK,0300.0000,N,00000.0000,E,,M,,A,T,*39",
	      "$PMGNTRK,0400.0000,N,00000.0000,E,,M,,A,,*6A",
	      "$PMGNTRK,0500.0000,N,00000.0000,E,,M,,A,T,*3F",
	      "$PMGNTRK,0600.0000,N,00000.0000,E,,M,,A,,*68",
	      "$PMGNTRK,0700.0000,N,00000.0000,E,,M,,A,,*69"}},
	    {"segments of a nameless first track carry the database's name, "
	     "the next track named so is renamed; a name after the points",
	     GPX11 + "<trk><trkseg>" + pt(1) + pt(2) + "</trkseg><trkseg>" +
		     pt(3) + "</trkseg></trk><trk><trkseg>" + pt(4) + pt(5) +
		     "</trkseg><trkseg>" + pt(6) + "</trkseg><name>in</name>"
		     "</trk><trk><trkseg>" + pt(7) + "</trkseg></trk></gpx>",
	     {"$PMGNTRK,0100.0000,N,00000.0000,E,,M,,A,in,*68",
	      "$PMGNTRK,0200.0000,N,00000.0000,E,,M,,A,,*6C",
	      "$PMGNTRK,0300.0000,N,00000.0000,E,,M,,A,in,*6A",
	      "$PMGNTRK,0400.0000,N,00000.0000,E,,M,,A,in (2),*7E",
	      "$PMGNTRK,0500.0000,N,00000.0000,E,,M,,A,,*6B",
	      "$PMGNTRK,0600.0000,N,00000.0000,E,,M,,A,in (2),*7C",
	      "$PMGNTRK,0700.0000,N,00000.0000,E,,M,,A,Track 3,*35"}},
	    {"a nameless track after one named as it would be is renamed",
	     GPX11 + "<trk><name>Track 2</name><trkseg>" + pt(1) +
		     "</trkseg></trk><trk><trkseg>" + pt(2) +
		     "</trkseg></trk></gpx>",
	     {"$PMGNTRK,0100.0000,N,00000.0000,E,,M,,A,Track 2,*32",
	      "$PMGNTRK,0200.0000,N,00000.0000,E,,M,,A,Track 2 (2),*22"}},
	    {"minutes carry into the degrees; extensions are skipped",
	     "<gpx xmlns=\"http://www.topografix.com/GPX/1/1\" xmlns:x=\"u\">"
	     "<wpt lat=\"9.99999999\" lon=\"-0.0\"><name>C</name>"
	     "<extensions><x:name>no</x:name><name>no</name></extensions>"
	     "</wpt><x:wpt lat=\"1\" lon=\"1\"/></gpx>",
	     {"$PMGNWPL,1000.0000,N,00000.0000,E,0000000,M,C,,a*16"}},
	};
	for (const Row &r : rows)
		EXPECT_EQ(sentences(r.doc), r.want) << r.what;
}

TEST_F(GpxImport, RefusalsChangeNothing)
{
	const std::string pt = "<trk><trkseg><trkpt lat=\"1\" lon=\"2\">";
	std::string many = GPX11;
	for (int i = 0; i < 65536; i++)
		many += "<wpt lat=\"1\" lon=\"2\"/>";
	many += "<unclosed";
	// Points of one route, each a new waypoint, two a line: the 43691st
	// makes 65537 records.
	std::string long_route = GPX11 + "<rte>";
	for (int i = 1; i <= 50000; i++)
		long_route += "<rtept lat=\"1\" lon=\"0\"><name>P" +
			      std::to_string(i) + "</name></rtept>";
	long_route += "</rte></gpx>";
	struct Row {
		std::string doc, err;
	} rows[] = {
	    {GPX11 + "<wpt lat=\"1\" lon=\"2\"></gpx>",
	     "in.gpx:1:85: mismatched tag"},
	    {"<kml/>", "in.gpx:1:1: not a GPX document"},
	    {"<gpx xmlns=\"urn:other\"/>", "in.gpx:1:1: not a GPX document"},
	    {"<!DOCTYPE gpx [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>\n<gpx>"
	     "<wpt lat=\"1\" lon=\"2\"><name>&x;</name></wpt></gpx>",
	     "in.gpx:2:33: error in processing external entity reference"},
	    {"<!DOCTYPE gpx [<!ENTITY a \"aaaaaaaaaa\">"
	     "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">"
	     "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">"
	     "<!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\">"
	     "<!ENTITY e \"&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;\">"
	     "<!ENTITY f \"&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;\">"
	     "<!ENTITY g \"&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;\">"
	     "<!ENTITY h \"&g;&g;&g;&g;&g;&g;&g;&g;&g;&g;\">]>"
	     "<gpx><wpt lat=\"1\" lon=\"2\"><name>&h;</name></wpt></gpx>",
	     "in.gpx:1:382: limit on input amplification factor (from DTD "
	     "and entities) breached"},
	    {"<gpx>" + pt + "<time>1999-12-31T23:59:59.99Z</time></trkpt>",
	     "in.gpx:1:19: time \"1999-12-31T23:59:59.99Z\" is not from 2000 "
	     "to 2099 (UTC), which a two-digit year holds"},
	    {"<gpx>" + pt + "<time>2099-12-31T23:30:00-00:30</time></trkpt>",
	     "in.gpx:1:19: time \"2099-12-31T23:30:00-00:30\" is not from "
	     "2000 to 2099 (UTC), which a two-digit year holds"},
	    {"<gpx>" + pt + "<time>2026-02-29T00:00:00Z</time></trkpt>",
	     "in.gpx:1:19: time \"2026-02-29T00:00:00Z\" is not a date and "
	     "time"},
	    {"<gpx><wpt lat=\"-90.0001\" lon=\"0\"/></gpx>",
	     "in.gpx:1:6: latitude \"-90.0001\" is not a number from -90 to "
	     "90"},
	    {"<gpx><wpt lat=\"0\" lon=\"nan\"/></gpx>",
	     "in.gpx:1:6: longitude \"nan\" is not a number from -180 to 180"},
	    {"<gpx><wpt lat=\"0\" lon=\"1\"><ele>1e9</ele></wpt></gpx>",
	     "in.gpx:1:6: elevation \"1e9\" is not a number of metres below "
	     "10^9"},
	    {long_route, "in.gpx:1:" + std::to_string(
				       long_route.rfind(
				       "<rtept", long_route.find(">P43691<")) + 1) +
			     ": more than 65535 records: 65535 is the most a "
			     "database holds"},
	    {"<!DOCTYPE gpx SYSTEM \"ent.dtd\">\n<gpx><wpt lat=\"1\" "
	     "lon=\"2\"><name>&foo;</name></wpt></gpx>",
	     "in.gpx:1:31: error in processing external entity reference"},
	    {"<!DOCTYPE gpx [<!ENTITY % e SYSTEM \"x.dtd\"> %e;]><gpx/>",
	     "in.gpx:1:45: error in processing external entity reference"},
	    {"<!DOCTYPE gpx [%undeclared;<!ENTITY x \"v\">]>\n<gpx><wpt "
	     "lat=\"1\" lon=\"2\"><name>&x;</name></wpt></gpx>",
	     "in.gpx:1:16: entity %undeclared; is not expanded: its "
	     "declaration is not read"},
	    {"<gpx>" + pt + "<time>2026-08-14T01:42:05." + std::string(4097, '9') +
		 "+05:00</time></trkpt>",
	     "in.gpx:1:19: time \"2026-08-14T01:42:05.99999999999999999999\"... "
	     "is longer than 4096 bytes"},
	    {"<gpx><wpt lat=\"47.5" + std::string(4100, ' ') +
		 "garbage\" lon=\"0\"/></gpx>",
	     "in.gpx:1:6: latitude \"47.5                                    "
	     "\"... is longer than 4096 bytes"},
	    {"<gpx><wpt lat=\"0\" lon=\"1\"><ele>999999999.5</ele></wpt></gpx>",
	     "in.gpx:1:6: elevation \"999999999.5\" is not a number of metres "
	     "below 10^9"},
	    {"<gpx>" + pt + "<time>1600000000</time></trkpt>",
	     "in.gpx:1:19: time \"1600000000\" is not a date and time"},
	    {"<gpx>" + pt + "<time>10000000000-01-01T00:00:00Z</time></trkpt>",
	     "in.gpx:1:19: time \"10000000000-01-01T00:00:00Z\" is not from "
	     "2000 to 2099 (UTC), which a two-digit year holds"},
	    {many,
	     "in.gpx:1:1441832: more than 65535 records: 65535 is the most a "
	     "database holds"},
	};
	write_file(dir / "in.pdb", "earlier");
	for (const Row &r : rows) {
		write_file(dir / "in.gpx", r.doc);
		run::Result res = import({"in.gpx"});
		EXPECT_EQ(res.status, 1) << r.err;
		EXPECT_EQ(res.err, "gpximport: " + r.err + "\n");
		EXPECT_EQ(read_file(dir / "in.pdb"), "earlier") << r.err;
	}
	// The command line, a missing input, the input as the output.
	struct Call {
		std::vector<std::string> args;
		int status;
		std::string out, err;
	} calls[] = {
	    {{}, 1, "", "Usage: gpximport GPXFILE [PDBFILE | -]\n"},
	    {{"--version"}, 0, "gpximport 1.0.0\n", ""},
	    {{"missing.gpx"}, 1, "",
	     "gpximport: missing.gpx: No such file or directory\n"},
	    {{"in.gpx", "./in.gpx"}, 1, "",
	     "gpximport: ./in.gpx: input and output are the same file\n"},
	};
	for (const Call &c : calls) {
		run::Result res = import(c.args);
		EXPECT_EQ(res.status, c.status);
		EXPECT_EQ(res.out, c.out);
		EXPECT_EQ(res.err, c.err);
	}
	EXPECT_EQ(read_file(dir / "in.gpx"), many);
	run::Result help = import({"--help"});
	EXPECT_EQ(help.status, 0);
	EXPECT_EQ(help.out.rfind("Usage: gpximport GPXFILE [PDBFILE | -]\n", 0),
		  0u);
}

TEST_F(GpxImport, SameDatabaseAsGpsimportButTheTimes)
{
	write_file(dir / "in.gpx",
		   GPX11 + "<wpt lat=\"1\" lon=\"2\"><name>A</name></wpt><trk>"
			   "<trkseg><trkpt lat=\"1\" lon=\"2\"/></trkseg></trk>"
			   "</gpx>");
	ASSERT_EQ(mkdir((dir / "sub").c_str(), 0777), 0);
	ASSERT_EQ(import({"in.gpx"}).status, 0);  // to in.pdb, named "in"
	ASSERT_EQ(run::program({LINEDUMP, "in.pdb", "sub/in.txt"}, dir.path())
		      .status,
		  0);
	ASSERT_EQ(run::program({GPSIMPORT, "in.txt", "in.pdb"}, dir / "sub")
		      .status,
		  0);
	std::string ours = read_file(dir / "in.pdb");
	std::string theirs = read_file(dir / "sub/in.pdb");
	ASSERT_EQ(ours.size(), theirs.size());
	EXPECT_EQ(ours.substr(0, 36), theirs.substr(0, 36));
	EXPECT_EQ(ours.substr(44), theirs.substr(44));
	struct stat st;
	ASSERT_EQ(stat((dir / "in.pdb").c_str(), &st), 0);
	mode_t mask = umask(0);
	umask(mask);
	EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask);
}

// One point of a document that trkexport wrote: its element, position,
// elevation, name and time.
struct Point {
	std::string kind;
	double lat, lon, ele;
	std::string name, time;
};

// The text between open and close in element, or "".
std::string between(const std::string &element, const std::string &open,
		    const std::string &close)
{
	size_t start = element.find(open);
	if (start == std::string::npos)
		return "";
	start += open.size();
	return element.substr(start, element.find(close, start) - start);
}

// The points of a document in the layout trkexport writes, in order.
std::vector<Point> points_of(const std::string &gpx)
{
	std::vector<Point> points;
	for (size_t at = gpx.find(" lat=\""); at != std::string::npos;
	     at = gpx.find(" lat=\"", at + 1)) {
		size_t open = gpx.rfind('<', at);
		std::string kind = gpx.substr(open + 1, at - open - 1);
		size_t end = gpx.find("</" + kind + ">", at);
		std::string e = gpx.substr(open, end - open);
		std::string ele = between(e, "<ele>", "</ele>");
		points.push_back({kind, std::stod(between(e, "lat=\"", "\"")),
				  std::stod(between(e, "lon=\"", "\"")),
				  ele.empty() ? 0.0 : std::stod(ele),
				  between(e, "<name>", "</name>"),
				  between(e, "<time>", "</time>")});
	}
	return points;
}

TEST_F(GpxImport, RoundTripThroughTrkexport)
{
	const std::string doc =
	    GPX11 +
	    "<wpt lat=\"47.418717\" lon=\"10.983333\"><ele>904.4</ele>"
	    "<name>Ridge Top</name><cmt>view</cmt></wpt>"
	    "<wpt lat=\"-33.856843\" lon=\"-151.215297\"><ele>-3</ele>"
	    "<name>Caf\xC3\xA9 &amp; Co</name></wpt>"
	    "<rte><name>One</name><rtept lat=\"47.418717\" lon=\"10.983333\">"
	    "<name>Ridge Top</name></rtept><rtept lat=\"1.000001\" "
	    "lon=\"179.999999\"><ele>12</ele><name>Far East</name></rtept>"
	    "<rtept lat=\"-89.999999\" lon=\"0.000001\"><name>South</name>"
	    "</rtept></rte><rte><rtept lat=\"-33.856843\" lon=\"-151.215297\">"
	    "<name>Caf\xC3\xA9 &amp; Co</name></rtept></rte>"
	    "<trk><name>Morning</name><trkseg><trkpt lat=\"47.1\" lon=\"10.2\">"
	    "<ele>901</ele><time>2026-08-14T07:42:05.25Z</time></trkpt>"
	    "</trkseg><trkseg><trkpt lat=\"47.123457\" lon=\"10.234568\">"
	    "<ele>902</ele><time>2026-08-14T07:43:00Z</time></trkpt></trkseg>"
	    "</trk><trk><name>Evening</name><trkseg><trkpt lat=\"-47.5\" "
	    "lon=\"-10.5\"><ele>0</ele><time>2099-12-31T23:59:59.99Z</time>"
	    "</trkpt></trkseg></trk></gpx>";
	const std::vector<Point> want = {
	    {"wpt", 47.418717, 10.983333, 904, "Ridge Top", ""},
	    {"wpt", -33.856843, -151.215297, -3, "Caf\xC3\xA9 &amp; Co", ""},
	    {"wpt", 1.000001, 179.999999, 12, "Far East", ""},
	    {"wpt", -89.999999, 0.000001, 0, "South", ""},
	    {"rtept", 47.418717, 10.983333, 904, "Ridge Top", ""},
	    {"rtept", 1.000001, 179.999999, 12, "Far East", ""},
	    {"rtept", -89.999999, 0.000001, 0, "South", ""},
	    {"rtept", -33.856843, -151.215297, -3, "Caf\xC3\xA9 &amp; Co", ""},
	    {"trkpt", 47.1, 10.2, 901, "", "2026-08-14T07:42:05.25Z"},
	    {"trkpt", 47.123457, 10.234568, 902, "", "2026-08-14T07:43:00.00Z"},
	    {"trkpt", -47.5, -10.5, 0, "", "2099-12-31T23:59:59.99Z"},
	};
	write_file(dir / "trip.gpx", doc);
	ASSERT_EQ(import({"trip.gpx"}).status, 0);
	run::Result r = run::program(
	    {TRKEXPORT, "gpx", dir / "trip.pdb", dir / "back.gpx"});
	ASSERT_EQ(r.status, 0) << r.err;
	EXPECT_EQ(r.err, "");
	std::string back = read_file(dir / "back.gpx");
	std::vector<Point> got = points_of(back);
	ASSERT_EQ(got.size(), want.size());
	for (size_t i = 0; i < want.size(); i++) {
		EXPECT_EQ(got[i].kind, want[i].kind) << i;
		EXPECT_NEAR(got[i].lat, want[i].lat, 2e-6) << i;
		EXPECT_NEAR(got[i].lon, want[i].lon, 2e-6) << i;
		EXPECT_NEAR(got[i].ele, want[i].ele, 0.5) << i;
		EXPECT_EQ(got[i].name, want[i].name) << i;
		EXPECT_EQ(got[i].time, want[i].time) << i;
	}
	// Two routes, and the tracks by their names.
	EXPECT_NE(back.find("</rte>\n<rte>\n<number>2</number>"),
		  std::string::npos);
	EXPECT_NE(back.find("<name>Morning</name>\n<trkseg>\n<trkpt lat=\"47.1"),
		  std::string::npos);
	EXPECT_NE(back.find("<name>Evening</name>\n<trkseg>\n<trkpt lat=\"-47"),
		  std::string::npos);
}

// What a GPX lacks stays lacking: points without time or elevation and
// tracks without names come back from trkexport as they were, so that a
// second round gives the very same document.
TEST_F(GpxImport, RoundTripKeepsWhatTheGpxLacked)
{
	const std::string pt = "<trkpt lat=\"1\" lon=\"2\"/>";
	write_file(dir / "trip.gpx",
		   GPX11 + "<trk><trkseg>" + pt + "</trkseg></trk>"
			   "<trk><name>Trail 1</name><trkseg><trkpt lat=\"1\" "
			   "lon=\"2\"><ele>5</ele></trkpt>" + pt +
			   "</trkseg></trk><trk><name>Trail 1</name><trkseg>" +
			   pt + "</trkseg></trk><trk><trkseg><trkpt lat=\"1\" "
			   "lon=\"2\"><time>2026-08-14T07:42:05Z</time></trkpt>"
			   "</trkseg></trk></gpx>");
	std::string gpx[2];
	for (std::string &out : gpx) {
		ASSERT_EQ(import({"trip.gpx", "trip.pdb"}).status, 0);
		run::Result r = run::program(
		    {TRKEXPORT, "gpx", dir / "trip.pdb", dir / "trip.gpx"});
		ASSERT_EQ(r.status, 0) << r.err;
		out = read_file(dir / "trip.gpx");
	}
	EXPECT_EQ(gpx[1], gpx[0]);
	const std::string bare = "<trkpt lat=\"1.000000\" lon=\"2.000000\">\n"
				 "</trkpt>\n";
	auto trk = [](const std::string &name, const std::string &points) {
		return "<trk>\n<name>" + name + "</name>\n<trkseg>\n" + points +
		       "</trkseg>\n</trk>\n";
	};
	EXPECT_NE(gpx[0].find(
		      trk("trip", bare) +
		      trk("Trail 1",
			  "<trkpt lat=\"1.000000\" lon=\"2.000000\">\n"
			  "\t<ele>5.000000</ele>\n</trkpt>\n" + bare) +
		      trk("Trail 1 (3)", bare) +
		      trk("Track 4",
			  "<trkpt lat=\"1.000000\" lon=\"2.000000\">\n"
			  "\t<time>2026-08-14T07:42:05.00Z</time>\n</trkpt>\n") +
		      "</gpx>\n"),
		  std::string::npos)
	    << gpx[0];
}

// The tracks of a document that trkexport wrote, as "name:2|3 ...": each
// track's name and the points of each of its segments.
std::string layout_of(const std::string &gpx)
{
	std::string layout;
	for (size_t trk = gpx.find("<trk>\n"); trk != std::string::npos;
	     trk = gpx.find("<trk>\n", trk + 1)) {
		size_t end = gpx.find("</trk>\n", trk);
		std::string t = gpx.substr(trk, end - trk);
		layout += (layout.empty() ? "" : " ") +
			  between(t, "<trk>\n<name>", "</name>") + ":";
		for (size_t seg = t.find("<trkseg>\n");
		     seg != std::string::npos;
		     seg = t.find("<trkseg>\n", seg + 1)) {
			size_t points = 0;
			for (size_t at = t.find("<trkpt ", seg);
			     at < t.find("</trkseg>", seg);
			     at = t.find("<trkpt ", at + 1))
				points++;
			layout += (layout.back() == ':' ? "" : "|") +
				  std::to_string(points);
		}
	}
	return layout;
}

// A GPX track's segments come back from trkexport as segments, and the
// document goes round again to the very same records and bytes.
TEST_F(GpxImport, SegmentsGoRoundByteForByte)
{
	// A track point at lat hundredths of a degree north, a minute later
	// each.
	auto pt = [](int lat) {
		char text[120];
		snprintf(text, sizeof text,
			 "<trkpt lat=\"47.%02d\" lon=\"10\"><ele>%d</ele><time>"
			 "2026-08-14T07:%02d:00Z</time></trkpt>",
			 lat, 900 + lat, lat);
		return std::string(text);
	};
	auto seg = [](const std::string &points) {
		return "<trkseg>" + points + "</trkseg>";
	};
	struct Row {
		std::string what, doc, layout;
	} rows[] = {
	    {"one track in three segments, an empty one among them",
	     "<trk><name>Ridge</name>" + seg(pt(1) + pt(2)) + seg("") +
		 seg(pt(3) + pt(4) + pt(5)) + seg(pt(6) + pt(7)) + "</trk>",
	     "Ridge:2|3|2"},
	    {"a nameless first track in segments, then one named as the "
	     "database and one named after the points",
	     "<trk>" + seg(pt(1) + pt(2)) + seg(pt(3) + pt(4)) + "</trk><trk>"
		 "<name>trip</name>" + seg(pt(5)) + "</trk><trk>" +
		 seg(pt(6) + pt(7)) + seg(pt(8) + pt(9)) +
		 "<name>Late</name></trk>",
	     "trip:2|2 trip (2):1 Late:2|2"},
	    {"a segment of one point is joined by the next",
	     "<trk><name>T</name>" + seg(pt(1) + pt(2)) + seg(pt(3)) +
		 seg(pt(4) + pt(5)) + seg(pt(6)) + "</trk>",
	     "T:2|3|1"},
	};
	for (const Row &r : rows) {
		SCOPED_TRACE(r.what);
		write_file(dir / "trip.gpx", GPX11 + r.doc + "</gpx>");
		std::vector<std::string> records[2];
		std::string gpx[2];
		for (int round = 0; round < 2; round++) {
			ASSERT_EQ(import({"trip.gpx", "trip.pdb"}).status, 0);
			records[round] =
			    records_of(read_file(dir / "trip.pdb"));
			run::Result res = run::program({TRKEXPORT, "gpx",
							dir / "trip.pdb",
							dir / "trip.gpx"});
			ASSERT_EQ(res.status, 0) << res.err;
			gpx[round] = read_file(dir / "trip.gpx");
		}
		EXPECT_EQ(layout_of(gpx[0]), r.layout);
		EXPECT_EQ(records[1], records[0]);
		EXPECT_EQ(gpx[1], gpx[0]);
	}
}

// A nameless first track carries the database's name, as its header holds
// it, where a sentence's field holds it unchanged; its segments are marked
// by it, and trkexport names the track after the database either way.
TEST_F(GpxImport, NamelessFirstTrackCarriesTheDatabasesName)
{
	const std::string pt = "<trkpt lat=\"1\" lon=\"2\"/>";
	write_file(dir / "in.gpx", GPX11 + "<trk><trkseg>" + pt + pt +
				       "</trkseg><trkseg>" + pt + pt +
				       "</trkseg></trk></gpx>");
	const std::string name31(31, 'n');
	struct Row {
		std::string file, name, layout;
	} rows[] = {
	    {"in.pdb", "in", "in:2|2"},
	    {name31 + "nn.pdb", name31, name31 + ":2|2"},
	    {"a,b.pdb", "", "a,b:4"},
	    {"a*b.pdb", "", "a*b:4"},
	    {"a$b.pdb", "", "a$b:4"},
	};
	for (const Row &r : rows) {
		SCOPED_TRACE(r.file);
		ASSERT_EQ(import({"in.gpx", r.file}).status, 0);
		std::vector<std::string> names;
		for (const std::string &s : records_of(read_file(dir / r.file))) {
			size_t name = s.find(",A,") + 3;
			names.push_back(s.substr(name, s.find(',', name) - name));
		}
		EXPECT_EQ(names,
			  (std::vector<std::string>{r.name, "", r.name, ""}));
		run::Result res = run::program(
		    {TRKEXPORT, "gpx", dir / r.file, dir / "back.gpx"});
		ASSERT_EQ(res.status, 0) << res.err;
		EXPECT_EQ(layout_of(read_file(dir / "back.gpx")), r.layout);
	}
}

// The database's name: the output's, else the input's, cut to 31 bytes
// and a NUL; made and changed now, counted from 1904.
TEST_F(GpxImport, DatabaseNameAndStamps)
{
	const std::string name36(32, 'n');
	struct Row {
		std::vector<std::string> args;
		std::string file, name;
	} rows[] = {
	    {{"in.gpx", name36 + ".pdb"}, name36 + ".pdb", name36.substr(0, 31)},
	    {{"in.gpx"}, "in.pdb", "in"},
	    {{".gpx"}, ".pdb", ".gpx"},
	    {{"sub/trip.v2.gpx", "out/x.y.pdb"}, "out/x.y.pdb", "x.y"},
	    {{"sub/trip.v2.gpx", "-"}, "", "trip.v2"},
	};
	const std::string doc = GPX11 + "<wpt lat=\"1\" lon=\"2\"/></gpx>";
	ASSERT_EQ(mkdir((dir / "sub").c_str(), 0777), 0);
	ASSERT_EQ(mkdir((dir / "out").c_str(), 0777), 0);
	for (const char *in : {"in.gpx", ".gpx", "sub/trip.v2.gpx"})
		write_file(dir / in, doc);
	for (const Row &r : rows) {
		uint32_t before = (uint32_t)time(NULL) + 2082844800u;
		run::Result res = import(r.args);
		uint32_t after = (uint32_t)time(NULL) + 2082844800u;
		ASSERT_EQ(res.status, 0) << r.file << res.err;
		std::string db = r.file.empty() ? res.out : read_file(dir / r.file);
		ASSERT_GT(db.size(), 78u);
		EXPECT_EQ(db.substr(0, 32), r.name + std::string(32 - r.name.size(),
								 '\0'))
		    << r.file;
		for (size_t at : {36, 40}) {
			EXPECT_GE(be32(db, at), before) << at;
			EXPECT_LE(be32(db, at), after) << at;
		}
	}
}

// Memory that runs out anywhere, from the first allocation on: one line
// naming the file, exit 1, the earlier output kept and no file left over.
TEST_F(GpxImport, OutOfMemoryIsToldNotACrash)
{
	write_file(dir / "in.gpx",
		   GPX11 + "<wpt lat=\"1\" lon=\"2\"><name>A</name></wpt>"
			   "<wpt lat=\"1\" lon=\"3\"><name>A</name></wpt>"
			   "<rte><rtept lat=\"5\" lon=\"6\"><name>B</name>"
			   "</rtept></rte><trk><trkseg><trkpt lat=\"1\" "
			   "lon=\"2\"><time>2026-08-14T07:42:05Z</time></trkpt>"
			   "</trkseg><name>T</name></trk></gpx>");
	const char *asan = getenv("ASAN_OPTIONS");
	auto import_failing = [&](const std::string &fail) {
		return run::program(
		    {GPXIMPORT, "in.gpx", "out.pdb"}, dir.path(), "", -1,
		    {"LD_PRELOAD=" + FAILINJECT, "WEXLAR_FAIL=" + fail,
		     "ASAN_OPTIONS=" + std::string(asan ? asan : "") +
			 ":verify_asan_link_order=0"});
	};
	// Only a program whose operator new is the preloaded one can be made
	// to run out: counted, not failed, so that a program that wrongly
	// carries on after a failure is still caught below.
	run::Result probe = import_failing("new-count");
	ASSERT_EQ(probe.status, 0) << probe.err;
	ASSERT_NE(probe.err.find("failinject: "), std::string::npos)
	    << probe.err;
	if (probe.err.find("failinject: 0 allocations") != std::string::npos)
		GTEST_SKIP() << "gpximport's allocations do not reach the "
				"preloaded operator new (the program brings its "
				"own, as under clang's AddressSanitizer): "
				"allocation failures cannot be injected";
	unsigned failed = 0;
	for (unsigned long n = 1;; n++) {
		ASSERT_LT(n, 5000u) << "allocations never stop failing";
		write_file(dir / "out.pdb", "earlier");
		run::Result r = import_failing("new=" + std::to_string(n));
		if (r.status == 0)
			break;
		failed++;
		ASSERT_EQ(r.status, 1) << "allocation " << n << ": " << r.err;
		EXPECT_EQ(r.err.rfind("gpximport: in.gpx", 0), 0u) << r.err;
		EXPECT_NE(r.err.find(": Cannot allocate memory\n"),
			  std::string::npos)
		    << r.err;
		EXPECT_EQ(read_file(dir / "out.pdb"), "earlier") << n;
	}
	EXPECT_GT(failed, 20u);
	EXPECT_EQ(read_file(dir / "out.pdb").substr(0, 3), "out");
	std::vector<std::string> names;
	DIR *d = opendir(dir.path().c_str());
	while (struct dirent *e = readdir(d))
		names.push_back(e->d_name);
	closedir(d);
	std::sort(names.begin(), names.end());
	EXPECT_EQ(names, (std::vector<std::string>{".", "..", "in.gpx",
						   "out.pdb"}));
}

}  // namespace
