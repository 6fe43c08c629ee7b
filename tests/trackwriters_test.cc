// SPDX-License-Identifier: MIT
// The GPX, CSV and MapSend writers on databases made in memory.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "mag.h"
#include "pdbfile.h"

namespace {

const char FULL[] = "$PMGNTRK,4807.038,N,01131.000,E,495,M,170540.25,A,,"
		    "290605*7E\n";

const std::string GPX_HEADER =
    "<?xml version=\"1.0\"?>\n<gpx version=\"1.0\" creator=\"Wexlar "
    "trkexport exporter - https://wexlar.example.org/\" "
    "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
    "xmlns=\"http://www.topografix.com/GPX/1/0\" "
    "xsi:schemaLocation=\"http://www.topografix.com/GPX/1/0 "
    "http://www.topografix.com/GPX/1/0/gpx.xsd\">\n<trk>\n<trkseg>\n";
const std::string GPX_FOOTER = "</trkseg></trk></gpx>\n";
const std::string GPX11_HEADER =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<gpx version=\"1.1\" "
    "creator=\"Wexlar trkexport exporter - https://wexlar.example.org/\" "
    "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
    "xmlns=\"http://www.topografix.com/GPX/1/1\" "
    "xsi:schemaLocation=\"http://www.topografix.com/GPX/1/1 "
    "http://www.topografix.com/GPX/1/1/gpx.xsd\">\n";

// A record database named name holding the texts, each with its NUL.
struct pdb *log_of(const std::vector<std::string> &texts,
		   const std::string &name = "")
{
	struct pdb *db = new_pdb();
	memcpy(db->name, name.data(), std::min(name.size(), sizeof db->name));
	udword id = 1;
	for (const std::string &t : texts)
		pdb_AppendRecord(db, new_Record(0, 0, id++, (uword)t.size(),
						(const ubyte *)t.data()));
	return db;
}

struct Output {
	int status;
	std::string bytes, err;
};

template <typename W>
Output run_writer(W writer, const std::vector<std::string> &texts,
		  const std::string &name = "")
{
	struct pdb *db = log_of(texts, name);
	int fd = pdbfile::fd_with("");
	testing::internal::CaptureStderr();
	int status = writer(db, fd);
	std::string err = testing::internal::GetCapturedStderr();
	Output o{status, pdbfile::read_fd(fd), err};
	close(fd);
	free_pdb(db);
	return o;
}

TEST(TextWriters, EmptyLogs)
{
	for (auto texts : {std::vector<std::string>{},
			   std::vector<std::string>{"# only a comment\n",
						    "$P,1,N,2\n", ""}}) {
		Output gpx = run_writer(parsewexlarfilegpx, texts);
		EXPECT_EQ(gpx.status, 0);
		EXPECT_EQ(gpx.bytes, GPX_HEADER + GPX_FOOTER);
		Output csv = run_writer(parsewexlarfilecsv, texts);
		EXPECT_EQ(csv.status, 0);
		EXPECT_EQ(csv.bytes, "");
	}
}

TEST(TextWriters, ItemsFollowRecordOrder)
{
	std::vector<std::string> texts = {
	    std::string(FULL) + '\0', "#comment\n",
	    "$PMGNTRK,0100.000,S,00030.000,W,-3,M,000000.05,V,,010170*00\n",
	    std::string(FULL)};
	Output csv = run_writer(parsewexlarfilecsv, texts);
	EXPECT_EQ(csv.status, 0);
	EXPECT_EQ(csv.bytes,
		  "48.117300,11.516667,495.000000,2005-06-29T17:05:40.25Z\n"
		  "-1.000000,-0.500000,-3.000000,2070-01-01T00:00:00.05Z\n"
		  "48.117300,11.516667,495.000000,2005-06-29T17:05:40.25Z\n");
	Output gpx = run_writer(parsewexlarfilegpx, texts);
	const std::string first =
	    "<trkpt lat=\"48.117300\" lon=\"11.516667\">\n"
	    "\t<ele>495.000000</ele>\n"
	    "\t<time>2005-06-29T17:05:40.25Z</time>\n</trkpt>\n";
	const std::string second =
	    "<trkpt lat=\"-1.000000\" lon=\"-0.500000\">\n"
	    "\t<ele>-3.000000</ele>\n"
	    "\t<time>2070-01-01T00:00:00.05Z</time>\n</trkpt>\n";
	EXPECT_EQ(gpx.bytes, GPX_HEADER + first + second + first + GPX_FOOTER);
}

TEST(TextWriters, Gpx11OnePointByteForByte)
{
	const std::string head = GPX11_HEADER + "<trk>\n";
	const std::string point =
	    "<trkseg>\n<trkpt lat=\"48.117300\" lon=\"11.516667\">\n"
	    "\t<ele>495.000000</ele>\n"
	    "\t<time>2005-06-29T17:05:40.25Z</time>\n</trkpt>\n"
	    "</trkseg>\n</trk>\n</gpx>\n";
	// Database names (Windows-1252, up to 32 bytes, no NUL needed) and
	// the name element they give.
	const std::pair<std::string, std::string> names[] = {
	    {"Ridge walk", "<name>Ridge walk</name>\n"},
	    {"R&D <\xE9t\xE9>\x01\tx",
	     "<name>R&amp;D &lt;\xC3\xA9t\xC3\xA9&gt;&#9;x</name>\n"},
	    {"\x80\x81\x9F\xFF",
	     "<name>\xE2\x82\xAC\xC5\xB8\xC3\xBF</name>\n"},
	    {std::string(32, 'L'),
	     "<name>" + std::string(32, 'L') + "</name>\n"},
	    {"", ""},
	    {"\x1B\x02", ""},
	};
	for (const auto &n : names) {
		Output gpx = run_writer(parsewexlarfilegpx11, {FULL}, n.first);
		EXPECT_EQ(gpx.status, 0);
		EXPECT_EQ(gpx.bytes, head + n.second + point) << n.first;
	}
}

// A waypoint or route point element as the GPX 1.1 writer prints it.
std::string place(const char *tag, const char *lat, const char *lon,
		  const char *ele, const char *name, const char *cmt = "")
{
	std::string s = std::string("<") + tag + " lat=\"" + lat + "\" lon=\"" +
			lon + "\">\n";
	if (*ele)
		s += std::string("\t<ele>") + ele + "</ele>\n";
	if (*name)
		s += std::string("\t<name>") + name + "</name>\n";
	if (*cmt)
		s += std::string("\t<cmt>") + cmt + "</cmt>\n";
	return s + "</" + tag + ">\n";
}

const char PEAK[] = "$PMGNWPL,4730.000,N,01015.000,W,0000904,M,Peak One,"
		    "a comment,a*27\n";
const char HUT[] = "$PMGNWPL,3307.407,S,15112.000,E,1000,F,Hut & <b>,,a*4B\n";
const char C[] = "$PMGNWPL,0100.000,N,00200.000,E,,M,C\n";

TEST(TextWriters, Gpx11WaypointsRoutesAndTracks)
{
	const std::string head = GPX11_HEADER;
	const std::string peak = place("wpt", "47.500000", "-10.250000",
				       "904.000000", "Peak One", "a comment");
	const std::string hut = place("wpt", "-33.123450", "151.200000",
				      "304.800000", "Hut &amp; &lt;b&gt;");
	const std::string c = place("wpt", "1.000000", "2.000000", "", "C");
	auto rtept = [](const std::string &w) {
		return "<rtept" + w.substr(4, w.size() - 11) + "</rtept>\n";
	};
	const std::string point =
	    "<trkpt lat=\"48.117300\" lon=\"11.516667\">\n"
	    "\t<ele>495.000000</ele>\n"
	    "\t<time>2005-06-29T17:05:40.25Z</time>\n</trkpt>\n";
	auto trk = [](const std::string &name, const std::string &points) {
		return "<trk>\n" + name + "<trkseg>\n" + points +
		       "</trkseg>\n</trk>\n";
	};
	const std::string SEGMENT = "</trkseg>\n<trkseg>\n";
	auto named = [](const char *name) {
		std::string t = FULL;
		return t.replace(t.find(",A,,") + 3, 0, name);
	};
	struct Row {
		const char *what;
		std::vector<std::string> texts;
		std::string body, err;
	} rows[] = {
	    {"Meridian route, feet, blanks and markup in names",
	     {PEAK, HUT, C, "$PMGNRTE,2,1,c,1,Peak One,a,Hut & <b>,a*1F\n",
	      "$PMGNRTE,2,2,c,1,C,a,*0B\n"},
	     peak + hut + c + "<rte>\n<number>1</number>\n" + rtept(peak) +
		 rtept(hut) + rtept(c) + "</rte>\n",
	     ""},
	    {"eXplorist route, lines out of order, a one-point line",
	     {"$PMGNRTE,3,3,c,4,Ridge,C,a,,*7C\n", PEAK,
	      "$PMGNRTE,3,1,c,4,Ridge,Peak One,a,C,a*5E\n", C,
	      "$PMGNRTE,3,2,c,4,,Peak One,a*5E\n"},
	     peak + c + "<rte>\n<name>Ridge</name>\n<number>4</number>\n" +
		 rtept(peak) + rtept(c) + rtept(peak) + rtept(c) + "</rte>\n",
	     ""},
	    {"two routes interleaved, by number; a missing waypoint",
	     {"$PMGNRTE,2,2,c,7,C,a*00\n", "$PMGNRTE,1,1,c,2,Hut & <b>,a\n",
	      "$PMGNRTE,2,1,c,7,Gone,a,Peak One,a*00\n", C, HUT, PEAK},
	     c + hut + peak + "<rte>\n<number>2</number>\n" + rtept(hut) +
		 "</rte>\n<rte>\n<number>7</number>\n" + rtept(peak) +
		 rtept(c) + "</rte>\n",
	     "route 7: no waypoint \"Gone\" in the log; left out of the "
	     "route\n"},
	    {"lines and waypoints that cannot be read; a missing line",
	     {"$PMGNRTE,2,x,c,1,C,a\n", "$PMGNRTE,2,1,c\n",
	      "$PMGNRTE,2,1,c,1,R\xE9,C,a\n", "$PMGNWPL,4730.000,N,1,E,1,M\n",
	      "$PMGNWPL,9100.000,N,1,E,1,M,Far\n", C},
	     c + "<rte>\n<name>R\xC3\xA9</name>\n<number>1</number>\n" +
		 rtept(c) + "</rte>\n",
	     "record 0: route line cannot be read; left out\n"
	     "record 1: route line cannot be read; left out\n"
	     "record 3: waypoint cannot be read; left out\n"
	     "record 4: waypoint cannot be read; left out\n"
	     "route 1 \"R\\xe9\": 1 of its 2 lines are missing\n"},
	    {"tracks named by their points",
	     {FULL, named("Day 2"), FULL, named("Day 3"), named("Day 2")},
	     trk("<name>log</name>\n", point) +
		 trk("<name>Day 2</name>\n", point + point) +
		 trk("<name>Day 3</name>\n", point) +
		 trk("<name>Day 2</name>\n", point),
	     ""},
	    {"segments: a name that comes back after empty ones",
	     {named("T"), FULL, named("T"), FULL, FULL, named("T"), named("T")},
	     trk("<name>T</name>\n", point + point + SEGMENT + point + point +
					 point + SEGMENT + point + point),
	     ""},
	    {"every point named, as older logs are: one segment",
	     {named("T"), named("T"), named("T")},
	     trk("<name>T</name>\n", point + point + point), ""},
	    {"a name back after another track's starts a track",
	     {named("A"), named("B"), FULL, named("A")},
	     trk("<name>A</name>\n", point) +
		 trk("<name>B</name>\n", point + point) +
		 trk("<name>A</name>\n", point),
	     ""},
	    {"the database's name on segment starts, as on nameless points",
	     {named("log"), FULL, named("log"), FULL, FULL, named("log")},
	     trk("<name>log</name>\n",
		 point + point + SEGMENT + point + point + point + SEGMENT +
		     point),
	     ""},
	    {"points named as the database after nameless ones: a track",
	     {FULL, FULL, named("log"), FULL, named("log")},
	     trk("<name>log</name>\n", point + point) +
		 trk("<name>log</name>\n", point + point + SEGMENT + point),
	     ""},
	    {"a named track first, then one with no name left",
	     {named("A&B"), named("\x01")},
	     trk("<name>A&amp;B</name>\n", point) + trk("", point), ""},
	    {"waypoints alone give no track", {C}, c, ""},
	    {"feet as metres; no elevation or time that the sentence lacks",
	     {"$PMGNTRK,4807.038,N,01131.000,E,1000,F,170540.25,A,,290605*00\n",
	      "$PMGNTRK,4807.038,N,01131.000,E,,M,,A,,*00\n",
	      "$PMGNTRK,4807.038,N,01131.000,E,495,M,,A,,290605*00\n"},
	     trk("<name>log</name>\n",
		 "<trkpt lat=\"48.117300\" lon=\"11.516667\">\n"
		 "\t<ele>304.800000</ele>\n"
		 "\t<time>2005-06-29T17:05:40.25Z</time>\n</trkpt>\n"
		 "<trkpt lat=\"48.117300\" lon=\"11.516667\">\n</trkpt>\n"
		 "<trkpt lat=\"48.117300\" lon=\"11.516667\">\n"
		 "\t<ele>495.000000</ele>\n"
		 "\t<time>2005-06-29T00:00:00.25Z</time>\n</trkpt>\n"),
	     ""},
	};
	for (const Row &r : rows) {
		Output gpx = run_writer(parsewexlarfilegpx11, r.texts, "log");
		EXPECT_EQ(gpx.status, 0) << r.what;
		EXPECT_EQ(gpx.bytes, head + r.body + "</gpx>\n") << r.what;
		EXPECT_EQ(gpx.err, r.err) << r.what;
	}
}

TEST(TextWriters, GpxValidatesAgainstItsSchema)
{
	if (system("command -v xmllint >/dev/null 2>&1") != 0)
		GTEST_SKIP() << "xmllint is not installed";
	const std::string schemas = SCHEMA_DIR;
	// Dates on both sides of 2038, a name that needs escaping, waypoints,
	// routes and named tracks, one in two segments.
	std::vector<std::string> texts(300, FULL);
	const char day[] = "$PMGNTRK,0100.000,S,00030.000,W,-3,M,235959.99,V,"
			   "Day \x80<2>,311299*00\n";
	for (const char *t : {day, FULL, day})
		texts.push_back(t);
	for (const char *t : {PEAK, HUT, C, "$PMGNRTE,1,1,c,3,R,Peak One,a,C,a\n",
			      "$PMGNRTE,1,1,c,9,Peak One,a\n"})
		texts.push_back(t);
	struct Case {
		_parsewexlarffile writer;
		const char *schema;
	};
	for (Case c : {Case{parsewexlarfilegpx, "gpx10.xsd"},
		       Case{parsewexlarfilegpx11, "gpx11.xsd"}}) {
		Output gpx = run_writer(c.writer, texts, "A&B <\xE9\x01>");
		char path[] = "/tmp/wexlar-gpx-XXXXXX";
		int fd = mkstemp(path);
		ASSERT_GE(fd, 0);
		close(fd);
		pdbfile::write_file(path, gpx.bytes);
		std::string cmd = "xmllint --noout --schema " + schemas + "/" +
				  c.schema + " " + path;
		EXPECT_EQ(system(cmd.c_str()), 0) << c.schema;
		unlink(path);
	}
}

template <typename W>
void expect_write_failure(W writer)
{
	struct pdb *db = log_of({FULL});
	int fd = open("/dev/full", O_WRONLY);
	testing::internal::CaptureStderr();
	EXPECT_EQ(writer(db, fd), -1);
	EXPECT_EQ(testing::internal::GetCapturedStderr(),
		  "write: No space left on device\n");
	close(fd);
	// A descriptor that is not open for writing at all.
	fd = open("/dev/null", O_RDONLY);
	testing::internal::CaptureStderr();
	EXPECT_EQ(writer(db, fd), -1);
	EXPECT_EQ(testing::internal::GetCapturedStderr(),
		  "write: Bad file descriptor\n");
	close(fd);
	free_pdb(db);
}

TEST(TextWriters, FailedWritesAreReported)
{
	expect_write_failure(parsewexlarfilegpx);
	expect_write_failure(parsewexlarfilecsv);
	expect_write_failure(parsewexlarfileimapsend);
}

const std::string MAPSEND_POINT(
    "\x89\x88\x88\x88\x88\x08\x27\x40"
    "\x0E\xE9\xB7\xAF\x03\x0F\x48\xC0"
    "\x00\x80\xF7\x43"
    "\xE4\xD4\xC2\x42"
    "\x01\x00\x00\x00"
    "\x19",
    29);
const std::string MAPSEND_HEAD("\x0D" "4D533336 MS" "36" "\x02\0\0\0", 18);

TEST(MapSend, OnePointExampleByteForByte)
{
	Output o = run_writer(parsewexlarfileimapsend, {FULL});
	EXPECT_EQ(o.status, 0);
	EXPECT_EQ(o.bytes, MAPSEND_HEAD + "\x06wexlar" +
			       std::string("\x01\0\0\0", 4) + MAPSEND_POINT);
	EXPECT_EQ(o.bytes.size(), 58u);
}

TEST(MapSend, NamesAndCounts)
{
	auto named = [](const char *name) {
		return [name](struct pdb *db, int fd) {
			return parsewexlarfile(db, fd, name);
		};
	};
	std::string v = FULL;
	v.replace(v.find(",A,"), 3, ",V,");
	Output o = run_writer(named(""), {"#c\n", FULL, v});
	EXPECT_EQ(o.bytes.size(), 23u + 2 * 29);
	EXPECT_EQ(o.bytes.substr(18, 5), std::string("\0\x02\0\0\0", 5));
	EXPECT_EQ(o.bytes.substr(23, 29), MAPSEND_POINT);
	EXPECT_EQ(o.bytes[23 + 29 + 24], 0);  // validity of the V point

	std::string name255(255, 'n');
	o = run_writer(named(name255.c_str()), {});
	EXPECT_EQ(o.bytes, MAPSEND_HEAD + "\xff" + name255 +
			       std::string(4, '\0'));
	std::string name300(300, 'n');
	o = run_writer(named(name300.c_str()), {});
	EXPECT_EQ(o.bytes.size(), 23u + 255);
}

TEST(MapSend, PipeGetsTheCountFirst)
{
	struct pdb *db = log_of({FULL, "#c\n", FULL});
	int p[2];
	ASSERT_EQ(pipe(p), 0);
	EXPECT_EQ(parsewexlarfileimapsend(db, p[1]), 0);
	close(p[1]);
	std::string bytes = pdbfile::read_fd(p[0]);
	close(p[0]);
	EXPECT_EQ(bytes, MAPSEND_HEAD + "\x06wexlar" +
			     std::string("\x02\0\0\0", 4) + MAPSEND_POINT +
			     MAPSEND_POINT);
	free_pdb(db);
}

TEST(MapSend, RegularFileIsLeftAtTheCount)
{
	struct pdb *db = log_of({FULL});
	int fd = pdbfile::fd_with("");
	EXPECT_EQ(parsewexlarfile(db, fd, "Hike 1"), 0);
	EXPECT_EQ(lseek(fd, 0, SEEK_CUR), 29);
	std::string bytes = pdbfile::read_fd(fd);
	EXPECT_EQ(bytes.substr(19, 6), "Hike 1");
	EXPECT_EQ(bytes.substr(25, 4), std::string("\x01\0\0\0", 4));
	EXPECT_EQ(bytes.substr(29), MAPSEND_POINT);
	close(fd);
	free_pdb(db);
}

}  // namespace
