// SPDX-License-Identifier: MIT
// gpsimport and linedump run as programs.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "pdb.h"
#include "pdbfile.h"
#include "run.h"

using pdbfile::be16;
using pdbfile::be32;
using pdbfile::read_file;
using pdbfile::write_file;

namespace {

const std::string GPSIMPORT = GPSIMPORT_PATH;
const std::string LINEDUMP = LINEDUMP_PATH;
const std::string TOO_LARGE = "File to large for conversion\n";
const std::string GPSIMPORT_USAGE =
    "Usage: gpsimport <file> [<pdb-file>|-] Translates an ASCII file with "
    "Magellan track, route, and waypoint information into a PDB database "
    "for the Palm.\n";
const std::string LINEDUMP_USAGE =
    "Usage: linedump pdbfile [<outfile>|-] Converts a Palm PDB database "
    "consisting of text lines into a text file.  If no outfile name is "
    "specified, the name is constructed from the PDB file name. If '-', "
    "stdout is used.\n";

class Contrib : public testing::Test {
      protected:
	run::TempDir dir;

	run::Result import(std::vector<std::string> args)
	{
		args.insert(args.begin(), GPSIMPORT);
		return run::program(args, dir.path());
	}
	run::Result dump(std::vector<std::string> args)
	{
		args.insert(args.begin(), LINEDUMP);
		return run::program(args, dir.path());
	}
	// Imports text and returns the database written to standard output.
	std::string db_of(const std::string &text)
	{
		write_file(dir / "in.txt", text);
		run::Result r = import({"in.txt", "-"});
		EXPECT_EQ(r.status, 0);
		EXPECT_EQ(r.err, "");
		return r.out;
	}
};

TEST_F(Contrib, UsageIsRefusedWithStatusOne)
{
	const std::vector<std::vector<std::string>> refused = {
	    {}, {"a", "b", "c"}, {"-h"}, {"--help", "out"}, {"-h", "out"}};
	for (const auto &args : refused) {
		run::Result r = import(args);
		EXPECT_EQ(r.status, 1);
		EXPECT_EQ(r.err, GPSIMPORT_USAGE);
		r = dump(args);
		EXPECT_EQ(r.status, 1);
		EXPECT_EQ(r.err, LINEDUMP_USAGE);
	}
	EXPECT_FALSE(run::exists(dir / "out"));
	// Only the first argument is a help request.
	write_file(dir / "in.txt", "line\n");
	EXPECT_EQ(import({"in.txt", "-h"}).status, 0);
	EXPECT_EQ(read_file(dir / "-h").size(), 80u + 8 + 6);
}

TEST_F(Contrib, DatabaseBytes)
{
	time_t before = time(nullptr);
	std::string db = db_of("first\n\nthird line\r\ntail without LF");
	time_t after = time(nullptr);
	pdbfile::Layout l;
	l.name = "-";
	l.ctime = l.mtime = be32(db, 36);
	l.entries = {{"first\n" + std::string(1, '\0'), 0, 1, 0},
		     {std::string("\n\0", 2), 0, 2, 0},
		     {std::string("third line\r\n\0", 13), 0, 3, 0}};
	EXPECT_EQ(db, pdbfile::build(l));
	uint32_t stamp = be32(db, 36);
	EXPECT_GE(stamp, (uint32_t)before + 2082844800u);
	EXPECT_LE(stamp, (uint32_t)after + 2082844800u);
}

TEST_F(Contrib, EmptyOrLinelessInputGivesEmptyDatabase)
{
	for (const char *text : {"", "no line feed"}) {
		std::string db = db_of(text);
		ASSERT_EQ(db.size(), 80u);
		EXPECT_EQ(be16(db, 76), 0);
		EXPECT_EQ(db.substr(60, 8), "DATAWxl1");
	}
	EXPECT_EQ(db_of("a\nb").substr(88), std::string("a\n\0", 3));
}

TEST_F(Contrib, SizeLimits)
{
	struct Case {
		std::string text;
		size_t size;  // 0: refused
	};
	const Case cases[] = {
	    {std::string(6545, '\n'), 65530},
	    {std::string(6546, '\n'), 0},
	    {std::string(65447, 'x') + "\n", 65537},
	    {std::string(65448, 'x') + "\n", 0},
	    // Text behind the last LF counts in the limit, though not stored.
	    {std::string(65457, 'x'), 80},
	    {std::string(65458, 'x'), 0},
	    {std::string(65536, 'x'), 0},
	    {std::string(100000, '\n'), 0},
	};
	for (const Case &c : cases) {
		write_file(dir / "in.txt", c.text);
		write_file(dir / "in.pdb", "previous");
		run::Result r = import({"in.txt"});
		if (c.size == 0) {
			EXPECT_EQ(r.status, 1);
			EXPECT_EQ(r.err, TOO_LARGE);
			EXPECT_EQ(read_file(dir / "in.pdb"), "previous");
		} else {
			EXPECT_EQ(r.status, 0);
			EXPECT_EQ(read_file(dir / "in.pdb").size(), c.size);
		}
	}
}

TEST_F(Contrib, NulBeforeTheLastLineFeedIsAFormatError)
{
	write_file(dir / "in.txt", std::string("a\nb\0c\nd\n", 8));
	run::Result r = import({"in.txt", "out.pdb"});
	EXPECT_EQ(r.status, 1);
	EXPECT_EQ(r.err, "Cannot find LF in input file. Format error?\n");
	EXPECT_FALSE(run::exists(dir / "out.pdb"));
	// Behind the last LF it is harmless.
	std::string db = db_of(std::string("a\n\0b", 4));
	EXPECT_EQ(be16(db, 76), 1);
}

TEST_F(Contrib, DerivedNames)
{
	mkdir((dir / "sub").c_str(), 0700);
	mkdir((dir / "sub/deep").c_str(), 0700);
	struct Case {
		std::vector<std::string> args;
		std::string file, name;
	};
	const Case cases[] = {
	    {{"sub/deep/track.log"}, "track.pdb", "track"},
	    {{"a.b.c"}, "a.b.pdb", "a.b"},
	    {{"track"}, "track.pdb", "track"},
	    {{"a.b.c", "sub/deep/data.pdb"}, "sub/deep/data.pdb", "data"},
	    {{"track", "sub/" + std::string(40, 'L') + ".x.pdb"},
	     "sub/" + std::string(40, 'L') + ".x.pdb", std::string(31, 'L')},
	};
	for (const Case &c : cases) {
		write_file(dir / c.args[0], "line\n");
		run::Result r = import(c.args);
		EXPECT_EQ(r.status, 0) << c.file;
		std::string db = read_file(dir / c.file);
		EXPECT_EQ(std::string(db.c_str()), c.name);
	}
	EXPECT_EQ(std::string(db_of("x\n").c_str()), "-");

	write_file(dir / "sub/deep/track.pdb", db_of("one\ntwo\n"));
	run::Result r = dump({"sub/deep/track.pdb"});
	EXPECT_EQ(r.status, 0);
	EXPECT_EQ(read_file(dir / "track.txt"), "one\ntwo\n");
	r = dump({"sub/deep/track.pdb", "-"});
	EXPECT_EQ(r.out, "one\ntwo\n");
}

TEST_F(Contrib, NamesTooLongAreRefusedFirst)
{
	std::string long_name(1024, 'n');
	run::Result r = import({"missing", long_name});
	EXPECT_EQ(r.status, 1);
	EXPECT_EQ(r.err, "Output file name too long: at most 1023 characters.\n");
	r = import({std::string(1020, 'n') + ".txt"});  // derived name: 1024
	EXPECT_EQ(r.status, 1);
	EXPECT_EQ(r.err, "Output file name too long: at most 1023 characters.\n");
	r = dump({"x.pdb", long_name});
	EXPECT_EQ(r.status, 1);
	EXPECT_EQ(r.err, "Output file name too long: at most 1023 characters.\n");
}

TEST_F(Contrib, FailuresNameTheFileAndTouchNothing)
{
	write_file(dir / "out", "previous");
	write_file(dir / "in.txt", "line\n");
	write_file(dir / "in.pdb", db_of("line\n"));
	mkdir((dir / "adir").c_str(), 0700);
	struct Case {
		std::vector<std::string> args;
		std::string err;
	};
	const Case cases[] = {
	    {{"missing.txt", "out"}, "missing.txt: No such file or directory\n"},
	    {{"adir", "out"}, "adir: Is a directory\n"},
	    {{"in.txt", "nodir/out"}, "nodir/out: No such file or directory\n"},
	    {{"in.txt", "adir"}, "adir: Is a directory\n"},
	};
	for (const Case &c : cases) {
		run::Result r = import(c.args);
		EXPECT_EQ(r.status, 1);
		EXPECT_EQ(r.err, c.err);
		std::vector<std::string> args = c.args;
		if (args[0] == "in.txt")
			args[0] = "in.pdb";
		r = dump(args);
		EXPECT_EQ(r.status, 1);
		EXPECT_EQ(r.err, c.err);
		EXPECT_EQ(read_file(dir / "out"), "previous");
	}
	EXPECT_FALSE(run::exists(dir / "nodir"));
}

TEST_F(Contrib, OutputThatIsTheInputIsRefused)
{
	write_file(dir / "track.pdb", "text that is not a database\n");
	run::Result r = import({"track.pdb"});
	EXPECT_EQ(r.status, 1);
	EXPECT_EQ(r.err, "track.pdb: input and output are the same file\n");
	EXPECT_EQ(read_file(dir / "track.pdb"),
		  "text that is not a database\n");

	write_file(dir / "track.txt", db_of("line\n"));
	std::string before = read_file(dir / "track.txt");
	ASSERT_EQ(symlink("track.txt", (dir / "link.txt").c_str()), 0);
	for (const std::vector<std::string> &args :
	     {std::vector<std::string>{"track.txt"},
	      std::vector<std::string>{"track.txt", "link.txt"}}) {
		r = dump(args);
		EXPECT_EQ(r.status, 1);
		EXPECT_EQ(r.err, args.back() +
				     ": input and output are the same file\n");
		EXPECT_EQ(read_file(dir / "track.txt"), before);
	}
}

TEST_F(Contrib, FailedWritesExitOne)
{
	write_file(dir / "in.txt", "line\n");
	run::Result r = import({"in.txt", "/dev/full"});
	EXPECT_EQ(r.status, 1);
	EXPECT_EQ(r.err, "/dev/full: No space left on device\n");
	write_file(dir / "in.pdb", db_of("line\n"));
	r = dump({"in.pdb", "/dev/full"});
	EXPECT_EQ(r.status, 1);
	EXPECT_EQ(r.err, "/dev/full: No space left on device\n");
}

TEST_F(Contrib, InputFromAPipeOrALink)
{
	run::Result r = run::program({GPSIMPORT, "/dev/stdin", "-"}, dir.path(),
				     "one\ntwo\n");
	EXPECT_EQ(r.status, 0);
	EXPECT_EQ(be16(r.out, 76), 2);
	std::string db = r.out;
	r = run::program({LINEDUMP, "/dev/stdin", "-"}, dir.path(), db);
	EXPECT_EQ(r.status, 0);
	EXPECT_EQ(r.out, "one\ntwo\n");

	ASSERT_EQ(symlink("nowhere", (dir / "dangling").c_str()), 0);
	for (const std::string &prog : {GPSIMPORT, LINEDUMP}) {
		r = run::program({prog, "dangling", "out"}, dir.path());
		EXPECT_EQ(r.status, 1);
		EXPECT_EQ(r.err, "dangling: No such file or directory\n");
		EXPECT_FALSE(run::exists(dir / "out"));
	}
}

TEST_F(Contrib, UnreadableInputIsReported)
{
	std::string path = run::unreadable_file(dir);
	if (path.empty())
		GTEST_SKIP() << "no file here that this user cannot read";
	for (const std::string &prog : {GPSIMPORT, LINEDUMP}) {
		run::Result r = run::program({prog, path, "out"}, dir.path());
		EXPECT_EQ(r.status, 1);
		EXPECT_EQ(r.err, path + ": Permission denied\n");
		EXPECT_FALSE(run::exists(dir / "out"));
	}
}

TEST_F(Contrib, RoundTripGivesTheTextBack)
{
	const std::vector<std::string> texts = {
	    "$PMGNTRK,4807.038,N,01131.000,E,495,M,170540.25,A,,290605*7E\n"
	    "# comment\n\n$PMGNTRK,1,S,2,W,3,M,4,A,,010106*00\r\n",
	    "single\n", "", "cut\nafter the last line feed"};
	for (const std::string &t : texts) {
		write_file(dir / "t.pdb", db_of(t));
		run::Result r = dump({"t.pdb", "-"});
		EXPECT_EQ(r.status, 0);
		EXPECT_EQ(r.out, t.substr(0, t.rfind('\n') + 1));
	}
}

// What gpsimport writes, the library reads and writes back unchanged.
TEST_F(Contrib, LibraryRewritesAnImportByteForByte)
{
	std::string db = db_of(pdbfile::read_file(EXAMPLE_TRACK));
	int in = pdbfile::fd_with(db), out = pdbfile::fd_with("");
	struct pdb *p = pdb_Read(in);
	ASSERT_NE(p, nullptr);
	EXPECT_EQ(pdb_Write(p, out), 0);
	EXPECT_EQ(pdbfile::read_fd(out), db);
	free_pdb(p);
	close(in);
	close(out);
}

// A record database of 78 header bytes followed by body.
std::string raw_db(uint16_t numrecs, const std::string &body)
{
	std::string f = pdbfile::build(pdbfile::Layout()).substr(0, 78);
	pdbfile::put_be16(f, 76, numrecs);
	return f + body;
}

TEST_F(Contrib, LinedumpReadingRules)
{
	struct Case {
		std::string file, out;
	};
	const std::string entry(8, '\x01');
	const Case cases[] = {
	    // A string without LF gets one, a string with one anywhere not.
	    {raw_db(1, entry + std::string("\0\0a\0a\nb\0", 8)), "a\na\nb"},
	    // Empty strings are empty lines.
	    {raw_db(0, std::string("\0\0x\0\0y\0", 7)), "x\n\ny\n"},
	    {raw_db(0, std::string("\0z\0", 3)), "\nz\n"},
	    // Two bytes that are not both 0 are text.
	    {raw_db(0, std::string("AB\0", 3)), "AB\n"},
	    {raw_db(0, std::string("\0", 1)), ""},
	    {raw_db(0, "x"), "x\n"},
	    {raw_db(0, "\n"), "\n"},
	    // An index that ends at or beyond the data: nothing.
	    {raw_db(3, "short"), ""},
	    {raw_db(0xFFFF, "short"), ""},
	};
	for (const Case &c : cases) {
		write_file(dir / "in.pdb", c.file);
		run::Result r = dump({"in.pdb", "-"});
		EXPECT_EQ(r.status, 0);
		EXPECT_EQ(r.out, c.out);
	}
}

TEST_F(Contrib, LinedumpSizeLimits)
{
	write_file(dir / "out.txt", "previous");
	const std::pair<std::string, std::string> refused[] = {
	    {raw_db(0, ""), "PDB file is too small\n"},
	    {raw_db(0, std::string(65537 - 78 + 1, 'x')),
	     "PDB file is too large\n"},
	};
	for (const auto &c : refused) {
		write_file(dir / "in.pdb", c.first);
		run::Result r = dump({"in.pdb", "out.txt"});
		EXPECT_EQ(r.status, 1);
		EXPECT_EQ(r.err, c.second);
		EXPECT_EQ(read_file(dir / "out.txt"), "previous");
	}
	write_file(dir / "in.pdb", raw_db(0, std::string(65537 - 78, 'x')));
	run::Result r = dump({"in.pdb", "-"});
	EXPECT_EQ(r.status, 0);
	EXPECT_EQ(r.out.size(), 65537u - 78 + 1);
}

}  // namespace
