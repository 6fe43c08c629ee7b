// SPDX-License-Identifier: MIT
// trkinfo run as a program: the sample's numbers for people and as CSV, a
// backup folder with other applications' databases and broken files, and
// its command line with files that try to break it.  The bytes are the same on every machine the tests run
// on.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "pdbfile.h"
#include "run.h"

using pdbfile::write_file;

namespace {

const std::string TRKINFO = TRKINFO_PATH;
const std::string GPSIMPORT = GPSIMPORT_PATH;

const char CSV_HEADER[] =
    "file,track,points,fixless,glitches,start,end,duration_s,moving_s,"
    "distance_m,max_speed_kmh,min_ele_m,max_ele_m,climb_m,descent_m,"
    "raw_climb_m,raw_descent_m\n";

// The sample track's numbers for people.
const char HIKE[] =
    "file: \"hike.pdb\"\n"
    "track: \"hike\"\n"
    "points: 320\n"
    "without a fix: 3\n"
    "glitches: 0\n"
    "start: 2026-08-14T07:42:05.25Z\n"
    "end: 2026-08-14T09:48:16.25Z\n"
    "duration: 2:06:11\n"
    "moving time: 1:45:54\n"
    "distance: 8.83 km\n"
    "average moving speed: 5.0 km/h\n"
    "highest speed: 11.6 km/h\n"
    "lowest elevation: 904 m\n"
    "highest elevation: 2087 m\n"
    "climb: 1180 m\n"
    "descent: 1180 m\n"
    "raw climb: 1218 m\n"
    "raw descent: 1218 m\n";

class Trkinfo : public testing::Test {
      protected:
	run::TempDir dir;

	void SetUp() override
	{
		ASSERT_EQ(run::program({GPSIMPORT, EXAMPLE_TRACK,
					dir / "hike.pdb"})
			      .status,
			  0);
		// Two named tracks (a comma and quotes in their names), feet,
		// two waypoints and a route of them.
		write_file(dir / "two.pdb",
			   pdbfile::track_log({
			       "$PMGNWPL,4725.1230,N,01059.0000,E,0000904,M,"
			       "Hut,,a*00\n",
			       "$PMGNWPL,4727.1629,N,01100.1634,E,0002085,M,"
			       "Cairn,,a*00\n",
			       "$PMGNRTE,1,1,c,2,Up \"there\",Hut,a,Cairn,a*00\n",
			       "$PMGNTRK,4725.1230,N,01059.0000,E,00904,M,"
			       "074205.25,A,Day 1,140826*00\n",
			       "$PMGNTRK,4725.1525,N,01059.0054,E,00909,M,"
			       "074226.00,A,Day \"2\",140826*00\n",
			       "$PMGNTRK,4725.1725,N,01059.0154,E,03000,F,"
			       "074236.00,A,Day \"2\",140826*00\n",
			   }));
		write_file(dir / "memo.pdb",
			   pdbfile::track_log({"shopping\n"}, 0x6D656D6F,
					      0x44415441));
		write_file(dir / "broken.pdb", "not a Palm database at all, "
					       "but text long enough to be "
					       "read as a header of one\n");
		write_file(dir / "empty.pdb", pdbfile::track_log({}));
	}

	run::Result info(const std::vector<std::string> &args)
	{
		std::vector<std::string> argv = {TRKINFO};
		argv.insert(argv.end(), args.begin(), args.end());
		return run::program(argv, dir.path());
	}
};

TEST_F(Trkinfo, SampleForPeople)
{
	run::Result r = info({"hike.pdb"});
	EXPECT_EQ(r.status, 0);
	EXPECT_EQ(r.err, "");
	EXPECT_EQ(r.out, HIKE);
}

TEST_F(Trkinfo, FolderAsCsv)
{
	run::Result r = info({"--csv", "hike.pdb", "memo.pdb", "broken.pdb",
			      "two.pdb", "missing.pdb", "empty.pdb", "."});
	EXPECT_EQ(r.status, 1);
	EXPECT_EQ(r.out,
		  std::string(CSV_HEADER) +
		      "hike.pdb,hike,320,3,0,2026-08-14T07:42:05.25Z,"
		      "2026-08-14T09:48:16.25Z,7571.00,6354.00,8831.9,11.58,"
		      "904.0,2087.0,1179.9,1179.9,1218.0,1218.0\n"
		      "two.pdb,Day 1,1,0,0,2026-08-14T07:42:05.25Z,"
		      "2026-08-14T07:42:05.25Z,0.00,0.00,0.0,,904.0,904.0,0.0,"
		      "0.0,0.0,0.0\n"
		      "two.pdb,\"Day \"\"2\"\"\",2,0,0,2026-08-14T07:42:26.00Z,"
		      "2026-08-14T07:42:36.00Z,10.00,10.00,39.1,14.09,909.0,"
		      "914.4,0.0,0.0,5.4,0.0\n"
		      "empty.pdb,test,0,0,0,,,,,,,,,,,,\n");
	EXPECT_EQ(r.err,
		  "trkinfo: \"memo.pdb\": not a Wexlar track log (type "
		  "\"DATA\", creator \"memo\"); skipped\n"
		  "trkinfo: \"broken.pdb\": not a readable Palm database\n"
		  "trkinfo: \"missing.pdb\": No such file or directory\n"
		  "trkinfo: \".\": Is a directory\n");
	// Other applications' databases alone change nothing.
	r = info({"--csv", "memo.pdb", "empty.pdb"});
	EXPECT_EQ(r.status, 0);
}

TEST_F(Trkinfo, PlacesAndTotalsForPeople)
{
	run::Result r = info({"hike.pdb", "two.pdb", "empty.pdb"});
	EXPECT_EQ(r.status, 0);
	EXPECT_EQ(r.err, "");
	EXPECT_EQ(r.out,
		  std::string(HIKE) +
		      "\nfile: \"two.pdb\"\ntrack: \"Day 1\"\npoints: 1\n"
		      "without a fix: 0\nglitches: 0\n"
		      "start: 2026-08-14T07:42:05.25Z\n"
		      "end: 2026-08-14T07:42:05.25Z\nduration: 0:00:00\n"
		      "moving time: 0:00:00\ndistance: 0.00 km\n"
		      "lowest elevation: 904 m\nhighest elevation: 904 m\n"
		      "climb: 0 m\ndescent: 0 m\nraw climb: 0 m\n"
		      "raw descent: 0 m\n"
		      "\nfile: \"two.pdb\"\ntrack: \"Day \\\"2\\\"\"\npoints: 2\n"
		      "without a fix: 0\nglitches: 0\n"
		      "start: 2026-08-14T07:42:26.00Z\n"
		      "end: 2026-08-14T07:42:36.00Z\nduration: 0:00:10\n"
		      "moving time: 0:00:10\ndistance: 0.04 km\n"
		      "average moving speed: 14.1 km/h\n"
		      "highest speed: 14.1 km/h\nlowest elevation: 909 m\n"
		      "highest elevation: 914 m\nclimb: 0 m\ndescent: 0 m\n"
		      "raw climb: 5 m\nraw descent: 0 m\n"
		      "\nfile: \"two.pdb\"\nwaypoints: 2\n"
		      "route 2: \"Up \\\"there\\\"\", 2 points, 4.05 km\n"
		      "\nfile: \"empty.pdb\"\ntrack: \"test\"\npoints: 0\n"
		      "without a fix: 0\nglitches: 0\n"
		      "\nall tracks: 4\npoints: 323\nwithout a fix: 3\n"
		      "glitches: 0\nstart: 2026-08-14T07:42:05.25Z\n"
		      "end: 2026-08-14T09:48:16.25Z\nduration: 2:06:21\n"
		      "moving time: 1:46:04\ndistance: 8.87 km\n"
		      "average moving speed: 5.0 km/h\n"
		      "highest speed: 14.1 km/h\nlowest elevation: 904 m\n"
		      "highest elevation: 2087 m\nclimb: 1180 m\n"
		      "descent: 1180 m\nraw climb: 1223 m\n"
		      "raw descent: 1218 m\n");
}

// The command line and the files that try to break it: options after the
// files, odd names, files that are no log or none to read.
TEST_F(Trkinfo, CommandLine)
{
	const std::string usage = "usage: trkinfo [--csv] FILE...\n";
	const std::string header = CSV_HEADER;
	const std::string empty_csv = "empty.pdb,test,0,0,0,,,,,,,,,,,,\n";
	const std::string empty_block =
	    "track: \"test\"\npoints: 0\nwithout a fix: 0\nglitches: 0\n";
	const std::string no_track = ",,0,,,,,,,,,,,,,,\n";
	const std::string places = pdbfile::track_log(
	    {"$PMGNWPL,4725.1230,N,01059.0000,E,0000904,M,Hut,,a*00\n"});
	ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
	write_file(dir / "places.pdb", places);
	write_file(dir / "--csv", pdbfile::track_log({}));
	for (const char *name : {"=f", "+f", "-f", "@f", "\tf", "\rf", "a\nb"})
		write_file(dir / name, places);
	// A track that a spreadsheet would run; below sea level.
	write_file(dir / "formula.pdb",
		   pdbfile::track_log({"$PMGNTRK,4725.1230,N,01059.0000,E,"
				       "-0012,M,074205.25,A,=2+3,140826*00\n"}));
	pdbfile::Layout resources;
	resources.attributes = 1;  // resources under a track log's codes
	resources.entries = {{"$PMGNTRK,4725.1230,N,01059.0000,E,00904,M,"
			      "074205.25,A,,140826*00",
			      0, 1, 0x44415441}};
	write_file(dir / "res.pdb", pdbfile::build(resources));
	resources.type = 0x61707020;     // "appl", as a program is
	resources.creator = 0x57786c31;  // Wexlar's own application
	write_file(dir / "app.prc", pdbfile::build(resources));
	struct Call {
		std::vector<std::string> args;
		int status;
		std::string out, err;
	} calls[] = {
	    {{}, 1, "", usage},
	    {{"--csv"}, 1, "", usage},
	    {{"-x", "hike.pdb"}, 1, "", "trkinfo: unknown option -x\n" + usage},
	    {{"empty.pdb", "-x"}, 1, "", "trkinfo: unknown option -x\n" + usage},
	    {{"--version"}, 0, "trkinfo 1.0.0\n", ""},
	    {{"--", "missing"}, 1, "",
	     "trkinfo: \"missing\": No such file or directory\n"},
	    {{"-"}, 1, "", "trkinfo: \"-\": No such file or directory\n"},
	    {{"empty.pdb", "--csv"}, 0, header + empty_csv, ""},
	    {{"--", "--csv"}, 0, "file: \"--csv\"\n" + empty_block, ""},
	    {{"fifo", "empty.pdb"}, 1, "file: \"empty.pdb\"\n" + empty_block,
	     "trkinfo: \"fifo\": not a regular file\n"},
	    {{"--csv", "res.pdb"}, 1, header,
	     "trkinfo: \"res.pdb\": not a Wexlar file: a resource database\n"},
	    {{"--csv", "app.prc"}, 0, header,
	     "trkinfo: \"app.prc\": not a Wexlar track log (type \"app \", "
	     "creator \"Wxl1\"); skipped\n"},
	    {{"--csv", "new\nline\x01.pdb"}, 1, header,
	     "trkinfo: \"new\\x0aline\\x01.pdb\": No such file or directory\n"},
	    {{"--csv", "places.pdb", "empty.pdb", "a\nb"}, 0,
	     header + "places.pdb" + no_track + empty_csv + "\"a\nb\"" +
		 no_track,
	     ""},
	    {{"places.pdb"}, 0, "file: \"places.pdb\"\nwaypoints: 1\n", ""},
	    {{"--csv", "--", "=f", "+f", "-f", "@f", "\tf", "\rf"}, 0,
	     header + "'=f" + no_track + "'+f" + no_track + "'-f" + no_track +
		 "'@f" + no_track + "'\tf" + no_track + "\"'\rf\"" + no_track,
	     ""},
	    {{"--csv", "formula.pdb"}, 0,
	     header + "formula.pdb,'=2+3,1,0,0,2026-08-14T07:42:05.25Z,"
		      "2026-08-14T07:42:05.25Z,0.00,0.00,0.0,,-12.0,-12.0,0.0,"
		      "0.0,0.0,0.0\n",
	     ""},
	};
	for (const Call &c : calls) {
		std::string call;
		for (const std::string &a : c.args)
			call += " " + a;
		run::Result r = info(c.args);
		EXPECT_EQ(r.status, c.status) << call;
		EXPECT_EQ(r.out, c.out) << call;
		EXPECT_EQ(r.err, c.err) << call;
	}
	run::Result help = info({"--help"});
	EXPECT_EQ(help.status, 0);
	EXPECT_EQ(help.out.rfind(usage, 0), 0u);
}

}  // namespace
