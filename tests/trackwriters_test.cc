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
	const std::string head =
	    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<gpx version=\"1.1\" "
	    "creator=\"Wexlar trkexport exporter - "
	    "https://wexlar.example.org/\" "
	    "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
	    "xmlns=\"http://www.topografix.com/GPX/1/1\" "
	    "xsi:schemaLocation=\"http://www.topografix.com/GPX/1/1 "
	    "http://www.topografix.com/GPX/1/1/gpx.xsd\">\n<trk>\n";
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

TEST(TextWriters, GpxValidatesAgainstItsSchema)
{
	if (system("command -v xmllint >/dev/null 2>&1") != 0)
		GTEST_SKIP() << "xmllint is not installed";
	const std::string schemas = SCHEMA_DIR;
	if (access((schemas + "/gpx11.xsd").c_str(), R_OK) != 0)
		GTEST_SKIP() << "no GPX schemas in " << schemas;
	// Dates on both sides of 2038, a name that needs escaping.
	std::vector<std::string> texts(300, FULL);
	texts.push_back("$PMGNTRK,0100.000,S,00030.000,W,-3,M,235959.99,V,,"
			"311299*00\n");
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
