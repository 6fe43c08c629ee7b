// SPDX-License-Identifier: MIT
// trkexport -t DIR FILE... over folders as HotSync leaves them, and the
// outputs that no export may replace: Palm databases.
#include <dirent.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "pdbfile.h"
#include "run.h"

using pdbfile::read_file;
using pdbfile::write_file;

namespace {

const std::string TRKEXPORT = TRKEXPORT_PATH;
const std::string MSEXPORT = MSEXPORT_PATH;
const std::string FAILINJECT = FAILINJECT_PATH;

const char FULL[] = "$PMGNTRK,4807.038,N,01131.000,E,495,M,170540.25,A,,"
		    "290605*7E";
const std::string USAGE =
    "usage: trkexport track|gpx|csv|mapsend|html -t DIR FILE...\n";
const std::string EARLIER = "earlier output\n";

const uint32_t MEMO = 0x6d656d6f;  // "memo"

// A track log of n copies of the point.
std::string log_of(int n)
{
	return pdbfile::track_log(
	    std::vector<std::string>((size_t)n, std::string(FULL) + '\0'));
}

class Folder : public testing::Test {
      protected:
	run::TempDir dir;

	void SetUp() override
	{
		for (const char *sub : {"Backup", "out", "x", "y", "z"})
			ASSERT_EQ(mkdir((dir / sub).c_str(), 0700), 0);
	}

	// trkexport in the test's directory, in a time zone 9:30 behind UTC,
	// which no export may show.
	run::Result trk(const std::vector<std::string> &args,
			const std::vector<std::string> &env = {},
			long fsize_limit = -1)
	{
		std::vector<std::string> argv = {TRKEXPORT};
		argv.insert(argv.end(), args.begin(), args.end());
		std::vector<std::string> all = {"TZ=MART9:30"};
		all.insert(all.end(), env.begin(), env.end());
		return run::program(argv, dir.path(), "", fsize_limit, all);
	}

	// What a single run writes for the input, in that format.
	std::string single(const std::string &format, const std::string &input)
	{
		run::Result r = trk({format, input, "single.out"});
		EXPECT_EQ(r.status, 0) << input;
		std::string bytes = read_file(dir / "single.out");
		unlink((dir / "single.out").c_str());
		return bytes;
	}

	// The names in a directory of the test, sorted.
	std::vector<std::string> names(const std::string &sub) const
	{
		return pdbfile::dir_names(dir / sub);
	}

	void empty_out()
	{
		for (const std::string &n : names("out"))
			unlink((dir / ("out/" + n)).c_str());
	}

	static std::vector<std::string> failing(const std::string &call)
	{
		const char *asan = getenv("ASAN_OPTIONS");
		return {"LD_PRELOAD=" + FAILINJECT, "WEXLAR_FAIL=" + call,
			"ASAN_OPTIONS=" + std::string(asan ? asan : "") +
			    ":verify_asan_link_order=0"};
	}
};

// Every kind of file a backup folder (or a mistyped name) gives: each
// gets its line, in order, and only a failure to read makes the status
// 1; the logs are written whatever comes before and after them.
TEST_F(Folder, EachFileOfABackupFolder)
{
	pdbfile::Layout app;
	app.attributes = 1;  // a resource database, as applications are
	app.type = 0x6170706c;	// "appl"
	app.creator = 0x546f6f6c;  // "Tool"
	app.entries = {{"code", 0, 1, 0x636f6465}};
	const std::string skipped = "; skipped\n";
	struct Row {
		std::string name, bytes;  // bytes "" with a line: made below
		std::string line;	  // after "trkexport: "NAME": "
		bool fails;
		std::string output;  // the output's name in out/, if written
	};
	std::vector<Row> rows = {
	    {"a.pdb", log_of(1), "", false, "a.gpx"},
	    {"Memo.pdb", pdbfile::track_log({"x"}, MEMO),
	     "not a Wexlar track log (type \"DATA\", creator \"memo\")" +
		 skipped,
	     false, ""},
	    {"Tool.prc", pdbfile::build(app),
	     "not a Wexlar track log (resource database, type \"appl\", "
	     "creator \"Tool\")" +
		 skipped,
	     false, ""},
	    // cut inside the record index: the library has lines for that
	    {"broken.pdb", log_of(2).substr(0, 86),
	     "not a readable Palm database\n", true, ""},
	    {"fifo.pdb", "", "not a regular file\n", true, ""},
	    {"sub.pdb", "", "Is a directory\n", true, ""},
	    {"missing.pdb", "", "No such file or directory\n", true, ""},
	    {"B.PDB", log_of(3), "", false, "B.gpx"},
	    {"notes.txt", "a memo\n", "not a readable Palm database\n", true,
	     ""},
	    {"c", log_of(2), "", false, "c.gpx"},
	};
	ASSERT_EQ(mkfifo((dir / "Backup/fifo.pdb").c_str(), 0600), 0);
	ASSERT_EQ(mkdir((dir / "Backup/sub.pdb").c_str(), 0700), 0);
	std::vector<std::string> written;
	for (const Row &row : rows) {
		if (!row.bytes.empty())
			write_file(dir / ("Backup/" + row.name), row.bytes);
		if (!row.output.empty())
			written.push_back(row.output);
	}
	std::sort(written.begin(), written.end());
	const std::string unreadable = run::unreadable_file(dir);
	// Without the files that fail, other applications' databases leave
	// the status 0.
	for (bool failing : {true, false}) {
		SCOPED_TRACE(failing);
		empty_out();
		std::vector<std::string> args = {"gpx", "-t", "out"};
		std::string err;
		for (const Row &row : rows) {
			if (row.fails && !failing)
				continue;
			args.push_back("Backup/" + row.name);
			if (!row.line.empty())
				err += "trkexport: \"Backup/" + row.name +
				       "\": " + row.line;
		}
		if (failing && !unreadable.empty()) {
			args.push_back(unreadable);
			err += "trkexport: \"" + unreadable +
			       "\": Permission denied\n";
		}
		run::Result r = trk(args);
		EXPECT_EQ(r.status, failing ? 1 : 0);
		EXPECT_EQ(r.out, "");
		EXPECT_EQ(r.err, err);
		EXPECT_EQ(names("out"), written);  // no temporary file left
		for (const Row &row : rows) {
			if (!row.output.empty()) {
				std::string out = "out/" + row.output;
				EXPECT_EQ(read_file(dir / out),
					  single("gpx", "Backup/" + row.name))
				    << row.name;
			}
		}
	}
}

TEST_F(Folder, SameNamesAreRefusedBeforeAnythingIsWritten)
{
	for (const char *path : {"x/a.pdb", "b.pdb", "y/a.PDB", "z/a"})
		write_file(dir / path, log_of(1));
	write_file(dir / "out/b.gpx", EARLIER);
	// The names alone decide: a missing file clashes all the same.
	run::Result r =
	    trk({"gpx", "-t", "out", "x/a.pdb", "b.pdb", "y/a.PDB", "z/a",
		 "missing/b.pdb"});
	const std::string none = "; nothing exported\n";
	EXPECT_EQ(r.status, 1);
	EXPECT_EQ(r.out, "");
	EXPECT_EQ(r.err,
		  "trkexport: \"x/a.pdb\" and \"y/a.PDB\" would both be "
		  "written to \"out/a.gpx\"" + none +
		      "trkexport: \"x/a.pdb\" and \"z/a\" would both be "
		      "written to \"out/a.gpx\"" + none +
		      "trkexport: \"b.pdb\" and \"missing/b.pdb\" would both "
		      "be written to \"out/b.gpx\"" + none);
	EXPECT_EQ(names("out"), std::vector<std::string>{"b.gpx"});
	EXPECT_EQ(read_file(dir / "out/b.gpx"), EARLIER);

	// Names are compared byte for byte: these two do not clash.
	write_file(dir / "x/A.pdb", log_of(2));
	r = trk({"gpx", "-t", "out", "x/a.pdb", "x/A.pdb"});
	EXPECT_EQ(r.status, 0);
	EXPECT_EQ(r.err, "");
	EXPECT_EQ(names("out"),
		  (std::vector<std::string>{"A.gpx", "a.gpx", "b.gpx"}));
}

TEST_F(Folder, CommandLines)
{
	write_file(dir / "a.pdb", log_of(1));
	write_file(dir / "-a.pdb", log_of(1));
	write_file(dir / "a", EARLIER);
	struct Row {
		std::vector<std::string> args;
		int status;
		std::string err;
		std::vector<std::string> out;  // what out/ then holds
	};
	const std::vector<std::string> a = {"a.gpx"};
	const std::vector<Row> rows = {
	    {{"gpx", "-t", "out", "a.pdb"}, 0, "", a},
	    {{"-t", "out", "gpx", "a.pdb"}, 0, "", a},
	    {{"gpx", "a.pdb", "-tout"}, 0, "", a},
	    {{"gpx", "--target-directory=out", "a.pdb"}, 0, "", a},
	    {{"gpx", "--target-directory", "out", "a.pdb"}, 0, "", a},
	    {{"gpx", "--targ=out", "a.pdb"}, 0, "", a},
	    {{"gpx", "-t", "out/", "a.pdb"}, 0, "", a},
	    {{"gpx", "-t", "out", "--", "-a.pdb"}, 0, "", {"-a.gpx"}},
	    {{"gpx", "-t", "out", "a.pdb", "-x"}, 1,
	     "trkexport: unknown option \"-x\"\n" + USAGE, {}},
	    {{"gpx", "-t", "out", "--tar", "out", "a.pdb"}, 1,
	     "trkexport: more than one target directory\n" + USAGE, {}},
	    {{"gpx", "a.pdb", "-t"}, 1,
	     "trkexport: a directory must follow \"-t\"\n" + USAGE, {}},
	    {{"GPX", "-t", "out", "a.pdb"}, 1,
	     "trkexport: unknown format \"GPX\"\n" + USAGE, {}},
	    {{"-t", "out"}, 1, "trkexport: no format given\n" + USAGE, {}},
	    {{"gpx", "-t", "out"}, 1,
	     "trkexport: no track log given\n" + USAGE, {}},
	    {{"gpx", "-t", "nowhere", "a.pdb"}, 1,
	     "trkexport: \"nowhere\": No such file or directory\n", {}},
	    {{"gpx", "-t", "a", "a.pdb"}, 1,
	     "trkexport: \"a\": Not a directory\n", {}},
	    // After "--" no option: the single run's input "--", output "-t".
	    {{"gpx", "--", "-t", "out", "a.pdb"}, 1,
	     "No such file or directory\n", {}},
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
		EXPECT_EQ(names("out"), row.out);
	}
	EXPECT_FALSE(run::exists(dir / "-t"));
	EXPECT_EQ(read_file(dir / "a"), EARLIER);
}

TEST_F(Folder, EachFormatGivesTheBytesOfASingleRun)
{
	write_file(dir / "Backup/walk.pdb", log_of(3));
	const std::map<std::string, std::string> extensions = {
	    {"track", "walk.gpx"}, {"gpx", "walk.gpx"}, {"csv", "walk.csv"},
	    {"mapsend", "walk.trk"}, {"html", "walk.html"}};
	for (const auto &[format, name] : extensions) {
		empty_out();
		run::Result r = trk({format, "-t", "out", "Backup/walk.pdb"});
		EXPECT_EQ(r.status, 0) << format;
		EXPECT_EQ(r.out + r.err, "") << format;
		// Pages get their atlas beside them (atlas_e2e_test.cc).
		std::vector<std::string> written = {name};
		if (format == "html")
			written.insert(written.begin(), "index.html");
		EXPECT_EQ(names("out"), written);
		EXPECT_EQ(read_file(dir / ("out/" + name)),
			  single(format, "Backup/walk.pdb"))
		    << format;
	}
}

// The outputs of a folder that cannot be put in place keep what they held;
// the others are written.
TEST_F(Folder, FailedOutputsKeepWhatTheyHeld)
{
	write_file(dir / "big.pdb", log_of(900));  // a CSV beyond 8 KiB
	write_file(dir / "small.pdb", log_of(1));
	const std::string small = single("csv", "small.pdb");
	struct Row {
		std::string fail;  // injected failure; empty: a file-size limit
		std::string err;
		std::string small;  // what out/small.csv then holds
	};
	const std::string io = ": Input/output error\n";
	const std::vector<Row> rows = {
	    {"", "trkexport: \"out/big.csv\": write: File too large\n"
		 "trkexport: \"out/big.csv\": not written\n",
	     small},
	    {"fsync",
	     "trkexport: \"out/big.csv\": fsync" + io +
		 "trkexport: \"out/small.csv\": fsync" + io,
	     EARLIER},
	    {"rename",
	     "trkexport: \"out/big.csv\": rename" + io +
		 "trkexport: \"out/small.csv\": rename" + io,
	     EARLIER},
	};
	for (const Row &row : rows) {
		SCOPED_TRACE(row.fail);
		write_file(dir / "out/big.csv", EARLIER);
		write_file(dir / "out/small.csv", EARLIER);
		std::vector<std::string> args = {"csv", "-t", "out", "big.pdb",
						 "small.pdb"};
		run::Result r = row.fail.empty()
				    ? trk(args, {}, 8192)
				    : trk(args, failing(row.fail));
		EXPECT_EQ(r.status, 1);
		EXPECT_EQ(r.out, "");
		EXPECT_EQ(r.err, row.err);
		EXPECT_EQ(read_file(dir / "out/big.csv"), EARLIER);
		EXPECT_EQ(read_file(dir / "out/small.csv"), row.small);
		EXPECT_EQ(names("out"),
			  (std::vector<std::string>{"big.csv", "small.csv"}));
	}
}

// A run over several databases with the output in the wrong place, in
// each form in which it names a database as its output.
TEST_F(Folder, OutputsThatAreDatabasesAreNeverReplaced)
{
	write_file(dir / "Backup/a.pdb", log_of(1));
	write_file(dir / "Backup/b.pdb", log_of(2));
	write_file(dir / "Backup/c.pdb", pdbfile::track_log({"x"}, MEMO));
	write_file(dir / "out/a.gpx", log_of(4));  // a database by any name
	ASSERT_EQ(symlink("Backup/b.pdb", (dir / "link.gpx").c_str()), 0);
	const std::vector<std::string> backup = names("Backup");
	std::map<std::string, std::string> before;
	for (const std::string &n : backup)
		before[n] = read_file(dir / ("Backup/" + n));
	const std::string gpx_b = single("gpx", "Backup/b.pdb");
	auto refused = [](const std::string &prog, const std::string &path,
			  const std::string &format) {
		return prog + ": \"" + path +
		       "\" is a Palm database; not replaced (to export several "
		       "logs: trkexport " +
		       format + " -t DIR FILE...)\n";
	};
	struct Row {
		std::vector<std::string> args;
		std::string err;
	};
	const std::vector<Row> rows = {
	    {{TRKEXPORT, "gpx", "Backup/a.pdb", "Backup/b.pdb", "Backup/c.pdb",
	      "out/"},
	     refused("trkexport", "Backup/b.pdb", "gpx")},
	    {{TRKEXPORT, "gpx", "Backup/a.pdb", "Backup/b.pdb"},
	     refused("trkexport", "Backup/b.pdb", "gpx")},
	    {{MSEXPORT, "Backup/a.pdb", "Backup/b.pdb"},
	     refused("msexport", "Backup/b.pdb", "mapsend")},
	    {{MSEXPORT, "Backup/a.pdb", "Backup/c.pdb", "Name"},
	     refused("msexport", "Backup/c.pdb", "mapsend")},
	    {{TRKEXPORT, "csv", "Backup/missing.pdb", "Backup/c.pdb"},
	     refused("trkexport", "Backup/c.pdb", "csv")},
	    {{TRKEXPORT, "track", "Backup/a.pdb", "link.gpx"},
	     refused("trkexport", "link.gpx", "track")},
	    // The folder's other outputs are still written.
	    {{TRKEXPORT, "gpx", "-t", "out", "Backup/a.pdb", "Backup/b.pdb"},
	     "trkexport: \"out/a.gpx\": is a Palm database; not replaced\n"},
	};
	for (const Row &row : rows) {
		std::string line;
		for (const std::string &arg : row.args)
			line += " " + arg;
		SCOPED_TRACE(line);
		run::Result r = run::program(row.args, dir.path());
		EXPECT_EQ(r.status, 1);
		EXPECT_EQ(r.out, "");
		EXPECT_EQ(r.err, row.err);
		EXPECT_EQ(names("Backup"), backup);
		for (const std::string &n : backup)
			EXPECT_EQ(read_file(dir / ("Backup/" + n)), before[n])
			    << n;
	}
	EXPECT_EQ(read_file(dir / "out/a.gpx"), log_of(4));
	EXPECT_EQ(names("out"), (std::vector<std::string>{"a.gpx", "b.gpx"}));
	EXPECT_EQ(read_file(dir / "out/b.gpx"), gpx_b);
	EXPECT_EQ(names("."), (std::vector<std::string>{
				  "Backup", "link.gpx", "out", "x", "y", "z"}));
}

// A FIFO as the output is written as before, and never read to find a
// database in it (which would wait for a writer that never comes).
TEST_F(Folder, FifoOutputIsNeverRead)
{
	write_file(dir / "a.pdb", log_of(2));
	const std::string csv = single("csv", "a.pdb");
	ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
	std::string through;
	std::thread reader([&] { through = read_file(dir / "fifo"); });
	run::Result r = trk({"csv", "a.pdb", "fifo"});
	reader.join();
	EXPECT_EQ(r.status, 0);
	EXPECT_EQ(r.out + r.err, "");
	EXPECT_EQ(through, csv);
}

// Each fault below was found by trying to break the folder mode and the
// refusal to export over a database; each test fails until it is fixed.

// An input named on the command line is never replaced by the output of
// another input of the same run (as a single run refuses an output that
// is its input): "trkexport track -t . *" in a folder holding x.pdb and
// the user's own x.gpx.
TEST_F(Folder, AnInputIsNeverReplacedByTheOutputOfAnother)
{
	write_file(dir / "Backup/x.pdb", log_of(2));
	const std::string mine = "<?xml version=\"1.0\"?>\n<gpx/>\n";
	write_file(dir / "Backup/x.gpx", mine);
	for (const auto &order :
	     {std::vector<std::string>{"x.gpx", "x.pdb"},
	      std::vector<std::string>{"x.pdb", "x.gpx"}}) {
		SCOPED_TRACE(order[0]);
		run::Result r = run::program(
		    {TRKEXPORT, "track", "-t", ".", order[0], order[1]},
		    dir / "Backup");
		EXPECT_EQ(r.status, 1);
		EXPECT_EQ(read_file(dir / "Backup/x.gpx"), mine);
	}
}

// A FIFO in DIR that has an output's name must not stop the run: the
// other logs are still written and the run ends.  (timeout ends the run
// that waits for a reader; its status 124 is the fault.)
TEST_F(Folder, AFifoInTheDirectoryNeverBlocksTheRun)
{
	write_file(dir / "a.pdb", log_of(1));
	write_file(dir / "b.pdb", log_of(2));
	ASSERT_EQ(mkfifo((dir / "out/a.gpx").c_str(), 0600), 0);
	run::Result r = run::program(
	    {"/usr/bin/timeout", "5", TRKEXPORT, "gpx", "-t", "out", "a.pdb", "b.pdb"},
	    dir.path());
	EXPECT_NE(r.status, 124);
	EXPECT_EQ(read_file(dir / "out/b.gpx"), single("gpx", "b.pdb"));
}

// A MapSend file whose first points are a receiver's no-fix reports
// (0,0 without a time) is full of zeros where a Palm database has its
// offsets and count, and was taken for a database: an export could not
// replace its own earlier output, in either form.
TEST_F(Folder, AnEarlierMapSendExportIsNoDatabase)
{
	const std::string nofix =
	    "$PMGNTRK,0000.0000,N,00000.0000,E,00000,M,,V,,";
	std::vector<std::string> records(5, nofix + '\0');
	for (int i = 0; i < 3; i++)
		records.push_back(std::string(FULL) + '\0');
	write_file(dir / "a.pdb", pdbfile::track_log(records));
	for (int pass = 0; pass < 2; pass++) {
		SCOPED_TRACE(pass);
		run::Result r = trk({"mapsend", "a.pdb", "a.trk"});
		EXPECT_EQ(r.status, 0);
		EXPECT_EQ(r.err, "");
		r = trk({"mapsend", "-t", "out", "a.pdb"});
		EXPECT_EQ(r.status, 0);
		EXPECT_EQ(r.err, "");
	}
}

// A writer's warning in the folder mode names the file it is about: with
// several logs, "route 1 ..." alone tells no one which log lacks the
// waypoint.
TEST_F(Folder, EveryLineOfAFolderRunNamesItsFile)
{
	const std::vector<std::string> records = {
	    std::string("$PMGNWPL,4730.000,N,01015.000,W,0003000,F,Peak One,"
			"a comment,a*0F") + '\0',
	    std::string("$PMGNRTE,1,1,c,1,Ridge,Nowhere,a*00") + '\0',
	    std::string(FULL) + '\0'};
	write_file(dir / "r.pdb", pdbfile::track_log(records));
	write_file(dir / "s.pdb", log_of(1));
	run::Result r = trk({"gpx", "-t", "out", "r.pdb", "s.pdb"});
	EXPECT_EQ(r.status, 0);
	EXPECT_NE(r.err, "");
	size_t start = 0;
	while (start < r.err.size()) {
		size_t end = r.err.find('\n', start);
		std::string line = r.err.substr(start, end - start);
		EXPECT_TRUE(line.find("\"r.pdb\"") != std::string::npos ||
			    line.find("\"out/r.gpx\"") != std::string::npos)
		    << line;
		start = end == std::string::npos ? r.err.size() : end + 1;
	}
}

// /dev/stdout that is a file opened for appending (">> all.csv", or a
// group's "{ ...; } > all.csv") is written in place, as a terminal or a
// pipe is: replacing the file it names loses what it held.
TEST_F(Folder, StandardOutputAppendedToAFileKeepsWhatItHeld)
{
	write_file(dir / "a.pdb", log_of(2));
	const std::string csv = single("csv", "a.pdb");
	write_file(dir / "all.csv", EARLIER);
	run::Result r = run::program(
	    {"/bin/sh", "-c",
	     "\"$0\" csv a.pdb /dev/stdout >> all.csv && "
	     "{ echo head; \"$0\" csv a.pdb /dev/stdout; echo foot; } "
	     "> group.csv",
	     TRKEXPORT},
	    dir.path());
	EXPECT_EQ(r.status, 0);
	EXPECT_EQ(read_file(dir / "all.csv"), EARLIER + csv);
	EXPECT_EQ(read_file(dir / "group.csv"), "head\n" + csv + "foot\n");
}

}  // namespace
