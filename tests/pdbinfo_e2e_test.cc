// SPDX-License-Identifier: MIT
// pdbinfo run as a program on databases the tests lay out.
#include <gtest/gtest.h>

#include <string>

#include "pdbfile.h"
#include "run.h"

namespace {

const std::string PDBINFO = PDBINFO_PATH;
const std::string GPSIMPORT = GPSIMPORT_PATH;

class Pdbinfo : public testing::Test {
      protected:
	run::TempDir dir;

	run::Result info(std::vector<std::string> args)
	{
		args.insert(args.begin(), PDBINFO);
		return run::program(args, dir.path(), "", -1, {"TZ=MART9:30"});
	}
};

// A track log from gpsimport, stamped at a known time: the header, the
// records, and the points that the exporters would take.
const std::string IMPORT_LISTING =
    "file: \"log.pdb\"\n"
    "name: \"log\"\n"
    "attributes: 0x0000\n"
    "version: 0\n"
    "created: 2040-01-31T23:59:59Z\n"
    "modified: 1970-01-01T00:00:01Z (counted from 1970)\n"
    "backed up: never\n"
    "modification number: 0\n"
    "type: \"DATA\"\n"
    "creator: \"Wxl1\"\n"
    "unique ID seed: 0\n"
    "records: 3\n"
    "AppInfo block: 0 bytes\n"
    "sort block: 0 bytes\n"
    "record 0: offset 104, size 50, flags none, category 0, unique ID 1\n"
    "record 1: offset 154, size 62, flags none, category 0, unique ID 2\n"
    "record 2: offset 216, size 62, flags none, category 0, unique ID 3\n"
    "track points: 2, first 2005-06-29T17:05:40.25Z, last "
    "2050-01-01T00:00:00.00Z\n";

void make_import(const run::TempDir &dir)
{
	pdbfile::write_file(
	    dir / "log.txt",
	    "$PMGNWPL,4807.038,N,01131.000,E,495,M,HOME,,a*4C\n"
	    "$PMGNTRK,4807.038,N,01131.000,E,495,M,170540.25,A,,290605*7E\n"
	    "$PMGNTRK,4807.038,N,01131.000,E,495,M,000000.00,A,,010150*7E\n");
	ASSERT_EQ(run::program({GPSIMPORT, "log.txt", "log.pdb"}, dir.path())
		      .status,
		  0);
	std::string db = pdbfile::read_file(dir / "log.pdb");
	pdbfile::put_be32(db, 36, 0xFFF90D7Fu);  // 2040-01-31 23:59:59
	pdbfile::put_be32(db, 40, 1);
	pdbfile::write_file(dir / "log.pdb", db);
}

TEST_F(Pdbinfo, ImportedTrackLog)
{
	make_import(dir);
	run::Result r = info({"log.pdb"});
	EXPECT_EQ(r.status, 0);
	EXPECT_EQ(r.err, "");
	EXPECT_EQ(r.out, IMPORT_LISTING);
}

TEST_F(Pdbinfo, ResourceDatabaseWithDumps)
{
	pdbfile::Layout l;
	l.name = std::string("App\x01\x7F\xE9\"\\", 8);
	l.attributes = 0x0009;  // RESDB BACKUP
	l.version = 3;
	l.baktime = 2082844800;	 // 1970-01-01
	l.modnum = 7;
	l.type = 0x6170706C;	// appl
	l.creator = 0x5778FF31; // Wx\xFF1
	l.seed = 42;
	l.has_appinfo = true;
	l.appinfo = "0123456789abcdefXY";
	l.entries = {{"code!", 0, 1, 0x636F6465}, {"", 0, 0xFFFF, 0x74564552}};
	pdbfile::write_file(dir / "app.prc", pdbfile::build(l));
	run::Result r = info({"-x", "app.prc"});
	EXPECT_EQ(r.status, 0);
	EXPECT_EQ(r.err, "");
	EXPECT_EQ(r.out,
		  "file: \"app.prc\"\n"
		  "name: \"App\\x01\\x7f\\xe9\\\"\\\\\"\n"
		  "attributes: 0x0009 RESDB BACKUP\n"
		  "version: 3\n"
		  "created: never\n"
		  "modified: never\n"
		  "backed up: 2036-01-02T00:00:00Z (counted from 1970)\n"
		  "modification number: 7\n"
		  "type: \"appl\"\n"
		  "creator: \"Wx\\xff1\"\n"
		  "unique ID seed: 42\n"
		  "resources: 2\n"
		  "AppInfo block: 18 bytes\n"
		  "    30 31 32 33 34 35 36 37 38 39 61 62 63 64 65 66   "
		  "| 0123456789abcdef\n"
		  "    58 59                                             "
		  "| XY\n"
		  "sort block: 0 bytes\n"
		  "resource 0: type \"code\", ID 1, offset 118, size 5\n"
		  "    63 6f 64 65 21                                    "
		  "| code!\n"
		  "resource 1: type \"tVER\", ID 65535, offset 123, size 0\n");
}

// The standard category block: the renamed-categories word, 16 names of
// 16 bytes, 16 IDs, and what a maker puts after them.
std::string category_block(const std::vector<std::string> &names,
			   size_t tail = 1)
{
	std::string block(2, '\0');
	for (size_t i = 0; i < 16; i++) {
		std::string n = i < names.size() ? names[i] : "";
		n.resize(16, '\0');
		block += n;
	}
	return block + std::string(16 + tail, '\x07');
}

TEST_F(Pdbinfo, StampsFrom1970AndCategoryNames)
{
	// The listing of a database of one record in category 1.
	auto listing = [](const std::string &dates, const std::string &block,
			  const std::string &category) {
		return "file: \"cat.pdb\"\nname: \"test\"\nattributes: 0x0000\n"
		       "version: 0\n" +
		       dates +
		       "backed up: never\nmodification number: 0\n"
		       "type: \"DATA\"\ncreator: \"Wxl1\"\nunique ID seed: 0\n"
		       "records: 1\nAppInfo block: " +
		       block +
		       "sort block: 0 bytes\nrecord 0: offset " +
		       std::to_string(88 + std::stoi(block)) +
		       ", size 1, flags none, category 1" +
		       category + ", unique ID 1\ntrack points: 0\n";
	};
	const std::string never = "created: never\nmodified: never\n";
	struct Row {
		uint32_t ctime, mtime;
		std::string appinfo, want;
	} rows[] = {
	    {0x7FFFFFFF, 0x80000000, category_block({"Unfiled", "Bayern"}),
	     listing("created: 2038-01-19T03:14:07Z (counted from 1970)\n"
		     "modified: 1972-01-19T03:14:08Z\n",
		     "275 bytes\ncategory 0: \"Unfiled\"\n"
		     "category 1: \"Bayern\"\n",
		     " \"Bayern\"")},
	    {1, 0xFFFFFFFF, category_block({"", "Lago di Garda\xE9"}, 0),
	     listing("created: 1970-01-01T00:00:01Z (counted from 1970)\n"
		     "modified: 2040-02-06T06:28:15Z\n",
		     "274 bytes\ncategory 1: \"Lago di Garda\\xe9\"\n",
		     " \"Lago di Garda\\xe9\"")},
	    {0, 0, category_block({"A", "B"}).substr(0, 273),
	     listing(never, "273 bytes\n", "")},
	    {0, 0, category_block({"A", std::string(16, 'x')}),
	     listing(never, "275 bytes\n", "")},
	    {0, 0, category_block({"A", "B\x1F"}),
	     listing(never, "275 bytes\n", "")},
	};
	for (const Row &row : rows) {
		pdbfile::Layout l;
		l.ctime = row.ctime;
		l.mtime = row.mtime;
		l.has_appinfo = true;
		l.appinfo = row.appinfo;
		l.entries = {{"x", 0x01, 1}};
		pdbfile::write_file(dir / "cat.pdb", pdbfile::build(l));
		run::Result r = info({"cat.pdb"});
		EXPECT_EQ(r.status, 0);
		EXPECT_EQ(r.out, row.want);
	}
}

TEST_F(Pdbinfo, BrokenFileBetweenGoodOnes)
{
	make_import(dir);
	pdbfile::write_file(dir / "broken.pdb", "too short");
	run::Result r = info({"log.pdb", "broken.pdb", "missing", "log.pdb"});
	EXPECT_EQ(r.status, 1);
	EXPECT_EQ(r.out, IMPORT_LISTING + "\n" + IMPORT_LISTING);
	EXPECT_EQ(r.err, "pdb_LoadHeader: read: unexpected end of file\n"
			 "Can't load header.\n"
			 "pdbinfo: broken.pdb: not a readable Palm database\n"
			 "pdbinfo: missing: No such file or directory\n");

	r = info({});
	EXPECT_EQ(r.status, 1);
	EXPECT_EQ(r.out, "");
	EXPECT_EQ(r.err.substr(0, 27), "usage: pdbinfo [-x] FILE...");
	r = info({"--help"});
	EXPECT_EQ(r.status, 0);
	EXPECT_EQ(r.out.substr(0, 27), "usage: pdbinfo [-x] FILE...");
}

}  // namespace
