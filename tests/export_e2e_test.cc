// SPDX-License-Identifier: MIT
// trkexport and msexport run as programs on databases the tests lay out.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "pdbfile.h"
#include "run.h"

namespace {

const std::string TRKEXPORT = TRKEXPORT_PATH;
const std::string MSEXPORT = MSEXPORT_PATH;

const char FULL[] = "$PMGNTRK,4807.038,N,01131.000,E,495,M,170540.25,A,,"
		    "290605*7E\n";
const std::string POINT(
    "\x89\x88\x88\x88\x88\x08\x27\x40\x0E\xE9\xB7\xAF\x03\x0F\x48\xC0"
    "\x00\x80\xF7\x43\xE4\xD4\xC2\x42\x01\x00\x00\x00\x19",
    29);
const std::string HEAD("\x0D" "4D533336 MS" "36" "\x02\0\0\0", 18);
const std::string ONE("\x01\0\0\0", 4);
const std::string NOT_WEXLAR = "Not a Wexlar file.\n";
const std::string UNREADABLE = "Could not read pdbfile.\n";

class Export : public testing::Test {
      protected:
	run::TempDir dir;
	std::string in = dir / "in.pdb", out = dir / "out";

	void SetUp() override { pdbfile::write_file(in, log({FULL})); }

	static std::string log(const std::vector<std::string> &texts)
	{
		std::vector<std::string> records;
		for (const std::string &t : texts)
			records.push_back(t + '\0');
		return pdbfile::track_log(records);
	}
	// Runs trkexport in a time zone 9:30 behind UTC, which no export may
	// show.
	run::Result trk(const std::string &format, const std::string &input,
			const std::string &output,
			const std::vector<std::string> &extra = {})
	{
		std::vector<std::string> args = {TRKEXPORT, format, input,
						 output};
		args.insert(args.end(), extra.begin(), extra.end());
		return run::program(args, "", "", -1, {"TZ=MART9:30"});
	}
};

TEST_F(Export, UsageWhenArgumentsAreMissing)
{
	for (std::vector<std::string> args :
	     {std::vector<std::string>{TRKEXPORT},
	      std::vector<std::string>{TRKEXPORT, "track", in}}) {
		run::Result r = run::program(args, dir.path());
		EXPECT_EQ(r.status, 1);
		EXPECT_EQ(r.out, "\nUsage: " + TRKEXPORT +
				     " <track|csv|mapsend> <inputfile> "
				     "<ouputfile>\n\n");
		EXPECT_EQ(r.err, "");
	}
	for (std::vector<std::string> args :
	     {std::vector<std::string>{MSEXPORT},
	      std::vector<std::string>{MSEXPORT, in}}) {
		run::Result r = run::program(args, dir.path());
		EXPECT_EQ(r.status, 1);
		EXPECT_EQ(r.out, "\nUsage: " + MSEXPORT +
				     " <inputfile> <ouputfile> [Trackname]\n\n");
	}
}

TEST_F(Export, FormatWordIsExact)
{
	for (const char *word : {"TRACK", "GPX", "csv ", ""}) {
		run::Result r = trk(word, in, out);
		EXPECT_EQ(r.status, 1);
		EXPECT_EQ(r.out, "Unknown ouputformat \"" +
				     std::string(word) + "\"\n");
		EXPECT_FALSE(run::exists(out));
	}
}

TEST_F(Export, OnePointInEachFormat)
{
	// Only the track sentence is a point: not a receiver's format line,
	// a waypoint or a route.
	pdbfile::write_file(
	    in, log({"$PMGNFMT,%TRK,LAT,HEMI,LON,HEMI,ALT,UNIT,TIME,VALID,NAME,"
		     "%META,ASCII",
		     "$PMGNWPL,4807.038,N,01131.000,E,495,M,HOME,,a*4C", FULL,
		     "$PMGNRTE,2,1,c,1,HOME,a,CAMP,a*2D"}));
	run::Result r = trk("mapsend", in, out);
	EXPECT_EQ(r.status, 0);
	EXPECT_EQ(r.out + r.err, "");
	EXPECT_EQ(pdbfile::read_file(out),
		  HEAD + "\x06wexlar" + ONE + POINT);

	// Arguments after the third are ignored.
	r = trk("csv", in, out, {"extra"});
	EXPECT_EQ(r.status, 0);
	EXPECT_EQ(pdbfile::read_file(out),
		  "48.117300,11.516667,495.000000,2005-06-29T17:05:40.25Z\n");

	r = trk("track", in, out);
	EXPECT_EQ(r.status, 0);
	std::string gpx = pdbfile::read_file(out);
	EXPECT_EQ(gpx.substr(0, 22), "<?xml version=\"1.0\"?>\n");
	EXPECT_NE(gpx.find("<trkpt lat=\"48.117300\" lon=\"11.516667\">\n\t<ele>"
			   "495.000000</ele>\n\t<time>2005-06-29T17:05:40.25Z"
			   "</time>\n</trkpt>\n</trkseg></trk></gpx>\n"),
		  std::string::npos);
}

TEST_F(Export, EmptyLogInEachFormat)
{
	pdbfile::write_file(in, log({}));
	EXPECT_EQ(trk("csv", in, out).status, 0);
	EXPECT_EQ(pdbfile::read_file(out), "");
	EXPECT_EQ(trk("mapsend", in, out).status, 0);
	EXPECT_EQ(pdbfile::read_file(out),
		  HEAD + "\x06wexlar" + std::string(4, '\0'));
	EXPECT_EQ(trk("track", in, out).status, 0);
	std::string gpx = pdbfile::read_file(out);
	EXPECT_EQ(gpx.substr(gpx.size() - 40),
		  "\">\n<trk>\n<trkseg>\n</trkseg></trk></gpx>\n");
}

TEST_F(Export, LongerOutputIsTruncatedAndModeIs0600)
{
	pdbfile::write_file(out, std::string(5000, 'x'));
	EXPECT_EQ(trk("mapsend", in, out).status, 0);
	EXPECT_EQ(pdbfile::read_file(out).size(), 58u);

	struct Case {
		mode_t umask;
		mode_t mode;
	};
	for (Case c : {Case{022, 0600}, Case{0277, 0400}}) {
		std::string fresh = dir / ("new" + std::to_string(c.umask));
		mode_t old = umask(c.umask);
		run::Result r = trk("csv", in, fresh);
		umask(old);
		EXPECT_EQ(r.status, 0);
		struct stat st;
		ASSERT_EQ(stat(fresh.c_str(), &st), 0);
		EXPECT_EQ(st.st_mode & 0777, c.mode);
	}
}

TEST_F(Export, BadInputsFailAndLeaveTheOutputAlone)
{
	std::string fifo = dir / "fifo";
	ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
	ASSERT_EQ(symlink("nowhere", (dir / "dangling").c_str()), 0);
	pdbfile::write_file(dir / "garbage", "not a database");
	pdbfile::write_file(dir / "other",
			    pdbfile::track_log({"x"}, 0x54455354));
	pdbfile::write_file(dir / "type",
			    pdbfile::track_log({"x"}, 0x57786c31, 0x54455854));
	pdbfile::Layout rs;
	rs.attributes = 1;  // resources under the track log's codes
	rs.entries = {{std::string(FULL) + '\0', 0, 1, 0x44415441}};
	pdbfile::write_file(dir / "resources", pdbfile::build(rs));
	// Cut in its record list, named to work a terminal.
	std::string evil = pdbfile::track_log({"x", "y"});
	evil.replace(0, 9, "evil\x1b[31m");
	pdbfile::write_file(dir / "evil", evil.substr(0, 80));
	struct Case {
		std::string input, out, err;
	};
	const std::string garbage_err =
	    "pdb_LoadHeader: read: unexpected end of file\n"
	    "Can't load header.\n";
	const Case cases[] = {
	    {dir / "missing", "", "No such file or directory\n"},
	    {dir / "dangling", "", "No such file or directory\n"},
	    {dir.path(), "", dir.path() + ": Not a regular file\n"},
	    {fifo, "", fifo + ": Not a regular file\n"},
	    {"/dev/null", "", "/dev/null: Not a regular file\n"},
	    {dir / "garbage", UNREADABLE, garbage_err},
	    {dir / "other", NOT_WEXLAR, ""},
	    {dir / "type", NOT_WEXLAR, ""},
	    {dir / "resources", NOT_WEXLAR, ""},
	    {dir / "evil", UNREADABLE,
	     "LoadRecIndex: error reading record index entry for "
	     "\"evil\\x1b[31m\" (8 bytes): 2.\n"
	     "read: unexpected end of file\n"
	     "Can't read record index for \"evil\\x1b[31m\".\n"},
	};
	pdbfile::write_file(out, "previous");
	for (const Case &c : cases) {
		for (const char *format : {"track", "csv", "mapsend"}) {
			run::Result r = trk(format, c.input, out);
			EXPECT_EQ(r.status, 1) << c.input;
			EXPECT_EQ(r.out, c.out) << c.input;
			EXPECT_EQ(r.err, c.err) << c.input;
		}
		run::Result r = run::program({MSEXPORT, c.input, out});
		EXPECT_EQ(r.status, 1) << c.input;
		EXPECT_EQ(r.out, c.out) << c.input;
		EXPECT_EQ(r.err, c.err) << c.input;
		EXPECT_EQ(pdbfile::read_file(out), "previous");
	}
}

TEST_F(Export, UnreadableInputIsReported)
{
	std::string path = run::unreadable_file(dir);
	if (path.empty())
		GTEST_SKIP() << "no file here that this user cannot read";
	for (const std::vector<std::string> &args :
	     {std::vector<std::string>{TRKEXPORT, "csv", path, out},
	      std::vector<std::string>{MSEXPORT, path, out}}) {
		run::Result r = run::program(args);
		EXPECT_EQ(r.status, 1);
		EXPECT_EQ(r.err, "Permission denied\n");
		EXPECT_FALSE(run::exists(out));
	}
}

TEST_F(Export, OutputThatCannotBeCreated)
{
	run::Result r = trk("csv", in, dir / "no/such/dir");
	EXPECT_EQ(r.status, 1);
	EXPECT_EQ(r.err, "No such file or directory\n");
	r = run::program({MSEXPORT, in, dir.path()});
	EXPECT_EQ(r.status, 1);
	EXPECT_EQ(r.err, "Is a directory\n");
}

TEST_F(Export, OutputThatIsTheInputIsRefused)
{
	const std::string before = pdbfile::read_file(in);
	ASSERT_EQ(link(in.c_str(), (dir / "hard").c_str()), 0);
	const std::vector<std::vector<std::string>> runs = {
	    {TRKEXPORT, "track", in, in},
	    {TRKEXPORT, "mapsend", in, dir / "hard"},
	    {MSEXPORT, in, in, "name"},
	};
	for (const auto &args : runs) {
		run::Result r = run::program(args);
		EXPECT_EQ(r.status, 1);
		EXPECT_EQ(r.err, args[args[0] == MSEXPORT ? 2 : 3] +
				     ": input and output are the same file\n");
		EXPECT_EQ(pdbfile::read_file(in), before);
	}
}

TEST_F(Export, FailedWritesExitOne)
{
	for (const char *format : {"track", "csv", "mapsend"}) {
		run::Result r = trk(format, in, "/dev/full");
		EXPECT_EQ(r.status, 1) << format;
		EXPECT_EQ(r.err, "write: No space left on device\n");
	}
	run::Result r = run::program({MSEXPORT, in, "/dev/full", "x"});
	EXPECT_EQ(r.status, 1);
	EXPECT_EQ(r.err, "write: No space left on device\n");
}

TEST_F(Export, MapSendThroughAPipe)
{
	std::vector<std::string> texts = {FULL, "# comment", FULL, "$P,1,N"};
	pdbfile::write_file(in, log(texts));
	run::Result r = trk("mapsend", in, "/dev/stdout");
	EXPECT_EQ(r.status, 0);
	EXPECT_EQ(r.err, "");
	EXPECT_EQ(r.out, HEAD + "\x06wexlar" + std::string("\x02\0\0\0", 4) +
			     POINT + POINT);
	EXPECT_EQ(trk("mapsend", in, out).status, 0);
	EXPECT_EQ(pdbfile::read_file(out), r.out);
}

TEST_F(Export, MsexportNamesTheTrack)
{
	run::Result r = run::program({MSEXPORT, in, out});
	EXPECT_EQ(r.status, 0);
	EXPECT_EQ(pdbfile::read_file(out), HEAD + "\x06Wexlor" + ONE + POINT);

	r = run::program({MSEXPORT, in, out, "Hike 1", "ignored"});
	EXPECT_EQ(r.status, 0);
	std::string f = pdbfile::read_file(out);
	EXPECT_EQ(f.substr(18, 7), "\x06Hike 1");
	EXPECT_EQ(f.substr(25, 4), ONE);
	EXPECT_EQ(f.substr(29), POINT);

	r = run::program({MSEXPORT, in, out, ""});
	EXPECT_EQ(pdbfile::read_file(out), HEAD + '\0' + ONE + POINT);

	std::string name(255, 'N');
	r = run::program({MSEXPORT, in, out, name});
	EXPECT_EQ(r.status, 0);
	EXPECT_EQ(pdbfile::read_file(out), HEAD + "\xff" + name + ONE + POINT);
}

TEST_F(Export, MsexportRefusesLongNames)
{
	pdbfile::write_file(out, "previous");
	run::Result r = run::program({MSEXPORT, in, out, std::string(256, 'N')});
	EXPECT_EQ(r.status, 1);
	EXPECT_EQ(r.out, "Track name too long: at most 255 bytes.\n");
	EXPECT_EQ(pdbfile::read_file(out), "previous");
	r = run::program({MSEXPORT, in, dir / "new", std::string(300, 'N')});
	EXPECT_EQ(r.status, 1);
	EXPECT_FALSE(run::exists(dir / "new"));
}

}  // namespace
