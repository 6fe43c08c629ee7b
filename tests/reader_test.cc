// SPDX-License-Identifier: MIT
// The database reader on crafted files.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <string>
#include <utility>
#include <vector>

#include "alloc.h"
#include "pdb.h"
#include "pdbfile.h"

using pdbfile::Layout;

namespace {

struct Loaded {
	struct pdb *db;
	std::string err;
};

// Keeps each message that the library hands to its sink.
void collect(void *context, const char *text)
{
	static_cast<std::vector<std::string> *>(context)->push_back(text);
}

// Loads bytes twice: with the default sink, giving the text on standard
// error, and with a sink of the test's, which must receive the same text,
// each message a line of its own, while nothing reaches standard error
// (but the trace, when it is on).
Loaded load(const std::string &bytes)
{
	int fd = pdbfile::fd_with(bytes);
	testing::internal::CaptureStderr();
	struct pdb *db = pdb_Read(fd);
	std::string err = testing::internal::GetCapturedStderr();
	close(fd);

	std::vector<std::string> messages;
	pdb_SetMessageSink(collect, &messages);
	fd = pdbfile::fd_with(bytes);
	testing::internal::CaptureStderr();
	free_pdb(pdb_Read(fd));
	std::string bypassed = testing::internal::GetCapturedStderr();
	close(fd);
	pdb_SetMessageSink(nullptr, nullptr);
	std::string sunk;
	for (const std::string &m : messages) {
		EXPECT_EQ(m.back(), '\n') << m;
		sunk += m;
	}
	if (pdb_trace == 0) {
		EXPECT_EQ(bypassed, "");
		EXPECT_EQ(sunk, err);
	}
	return {db, err};
}

std::string data_of(const pdb_record *r)
{
	return r->data ? std::string((const char *)r->data, r->data_len) : "";
}

std::vector<std::string> record_texts(const struct pdb *db)
{
	std::vector<std::string> out;
	for (const pdb_record *r = db->rec_index.rec; r; r = r->next)
		out.push_back(data_of(r));
	return out;
}

Layout sample()
{
	Layout l;
	l.has_appinfo = l.has_sortinfo = true;
	l.appinfo = "APPI";
	l.sortinfo = "SORT";
	l.entries = {{"hello", 0x45, 0x010203, 0}, {"world", 0x6A, 7, 0}};
	return l;
}

TEST(Reader, EmptyDatabaseIs80Bytes)
{
	std::string f = pdbfile::build(Layout());
	ASSERT_EQ(f.size(), 80u);
	Loaded r = load(f);
	ASSERT_NE(r.db, nullptr);
	EXPECT_EQ(r.err, "");
	EXPECT_EQ(r.db->numrecs, 0);
	EXPECT_EQ(r.db->rec_index.rec, nullptr);
	EXPECT_EQ(r.db->file_size, 80);
	EXPECT_EQ(r.db->appinfo, nullptr);
	EXPECT_EQ(r.db->sortinfo, nullptr);
	free_pdb(r.db);
}

TEST(Reader, WorkedExampleOfOneRecord)
{
	Layout l;
	l.entries = {{"hi", 0x40, 1, 0}};
	std::string f = pdbfile::build(l);
	ASSERT_EQ(f.size(), 90u);
	EXPECT_EQ(f.substr(72, 16),
		  std::string("\0\0\0\0\0\x01\0\0\0\x58\x40\0\0\x01\0\0", 16));
	Loaded r = load(f);
	ASSERT_NE(r.db, nullptr);
	EXPECT_EQ(r.err, "");
	const pdb_record *rec = r.db->rec_index.rec;
	EXPECT_EQ(rec->offset, 88u);
	EXPECT_EQ(rec->flags, 0x40);
	EXPECT_EQ(rec->category, 0);
	EXPECT_EQ(rec->id, 1u);
	EXPECT_EQ(data_of(rec), "hi");
	free_pdb(r.db);
}

TEST(Reader, HeaderFieldsAndBlocks)
{
	Layout l = sample();
	l.name = std::string(32, 'N');  // no terminating zero byte
	l.attributes = 0x8002;
	l.version = 3;
	l.ctime = 1, l.mtime = 2, l.baktime = 3, l.modnum = 4, l.seed = 5;
	l.next_reclist = 9;
	Loaded r = load(pdbfile::build(l));
	ASSERT_NE(r.db, nullptr);
	EXPECT_EQ(r.err, "");
	const struct pdb *db = r.db;
	EXPECT_EQ(std::string(db->name, 32), l.name);
	EXPECT_EQ(db->attributes, 0x8002);
	EXPECT_EQ(db->version, 3);
	EXPECT_EQ(db->ctime + db->mtime + db->baktime + db->modnum, 10u);
	EXPECT_EQ(db->uniqueIDseed, 5u);
	EXPECT_EQ(db->next_reclistID, 9u);
	EXPECT_EQ(db->type, 0x44415441u);
	EXPECT_EQ(db->creator, 0x57786c31u);
	EXPECT_EQ(db->appinfo_offset, 96u);
	EXPECT_EQ(db->sortinfo_offset, 100u);
	ASSERT_EQ(db->appinfo_len, 4);
	EXPECT_EQ(std::string((char *)db->appinfo, 4), "APPI");
	ASSERT_EQ(db->sortinfo_len, 4);
	EXPECT_EQ(std::string((char *)db->sortinfo, 4), "SORT");
	EXPECT_EQ(record_texts(db),
		  (std::vector<std::string>{"hello", "world"}));
	const pdb_record *a = db->rec_index.rec, *b = a->next;
	EXPECT_EQ(a->flags, 0x40);
	EXPECT_EQ(a->category, 5);
	EXPECT_EQ(a->id, 0x010203u);
	EXPECT_EQ(b->flags, 0x68);
	EXPECT_EQ(b->category, 0);
	free_pdb(r.db);
}

TEST(Reader, AppInfoRunsToEndWithoutSortBlockOrRecords)
{
	Layout l;
	l.has_appinfo = true;
	l.appinfo = "whole rest of file";
	Loaded r = load(pdbfile::build(l));
	ASSERT_NE(r.db, nullptr);
	EXPECT_EQ(r.db->appinfo_len, 18);
	free_pdb(r.db);

	l.has_sortinfo = true;  // the sort block then runs to the end
	l.appinfo = "app";
	l.sortinfo = "sort block";
	r = load(pdbfile::build(l));
	ASSERT_NE(r.db, nullptr);
	EXPECT_EQ(r.db->appinfo_len, 3);
	EXPECT_EQ(r.db->sortinfo_len, 10);
	free_pdb(r.db);
}

TEST(Reader, GapBeforeDataIsSkippedSilently)
{
	Layout l;
	l.entries = {{"one", 0, 1, 0}, {"two", 0, 2, 0}};
	std::string f = pdbfile::build(l);
	f.insert(96, "GAPGAP");
	for (size_t i = 0; i < 2; i++) {
		size_t p = pdbfile::entry_pos(l, i);
		pdbfile::put_be32(f, p, pdbfile::be32(f, p) + 6);
	}
	Loaded r = load(f);
	ASSERT_NE(r.db, nullptr);
	EXPECT_EQ(r.err, "");
	EXPECT_EQ(record_texts(r.db), (std::vector<std::string>{"one", "two"}));
	free_pdb(r.db);
}

TEST(Reader, EntryPointingBackIntoIndexWarnsAndRereads)
{
	Layout l;
	l.entries = {{"one", 0, 1, 0}, {"two", 0, 2, 0}};
	std::string f = pdbfile::build(l);
	pdbfile::put_be32(f, pdbfile::entry_pos(l, 0), 78);
	Loaded r = load(f);
	ASSERT_NE(r.db, nullptr);
	EXPECT_EQ(r.err,
		  "Warning: record 0 in \"test\" isn't where I thought it would "
		  "be.\nExpected 0x4e, but we're at 0x5e.\n");
	// Record 0 now runs from the index to record 1.
	EXPECT_EQ(data_of(r.db->rec_index.rec), f.substr(78, 99 - 78));
	free_pdb(r.db);
}

TEST(Reader, ZeroLengthEntriesHaveNoBuffer)
{
	Layout l;
	l.entries = {{"", 0, 1, 0}, {"x", 0, 2, 0}, {"", 0, 3, 0}};
	Loaded r = load(pdbfile::build(l));
	ASSERT_NE(r.db, nullptr);
	const pdb_record *a = r.db->rec_index.rec;
	EXPECT_EQ(a->data_len, 0);
	EXPECT_EQ(a->data, nullptr);
	EXPECT_EQ(data_of(a->next), "x");
	EXPECT_EQ(a->next->next->data, nullptr);
	free_pdb(r.db);

	l.attributes = PDB_ATTR_RESDB;
	l.entries = {{"", 0, 1, 0x74455854}, {"rs", 0, 2, 0x74455854}};
	r = load(pdbfile::build(l));
	ASSERT_NE(r.db, nullptr);
	const pdb_resource *rs = r.db->rec_index.rsrc;
	EXPECT_EQ(rs->data, nullptr);
	EXPECT_EQ(rs->type, 0x74455854u);
	EXPECT_EQ(rs->next->id, 2);
	EXPECT_EQ(std::string((char *)rs->next->data, rs->next->data_len),
		  "rs");
	free_pdb(r.db);
}

TEST(Reader, TrailingBytesJoinTheLastRecord)
{
	Layout l;
	l.entries = {{"a", 0, 1, 0}, {"b", 0, 2, 0}};
	Loaded r = load(pdbfile::build(l) + "tail");
	ASSERT_NE(r.db, nullptr);
	EXPECT_EQ(record_texts(r.db), (std::vector<std::string>{"a", "btail"}));
	free_pdb(r.db);
}

TEST(Reader, LargeFileLastRecordOfHundredBytes)
{
	Layout l;
	l.entries = {{std::string(60000 - 104, 'a'), 0, 1, 0},
		     {std::string(9900, 'b'), 0, 2, 0},
		     {std::string(100, 'c'), 0, 3, 0}};
	std::string f = pdbfile::build(l);
	ASSERT_EQ(f.size(), 70000u);
	Loaded r = load(f);
	ASSERT_NE(r.db, nullptr);
	const pdb_record *last = r.db->rec_index.rec->next->next;
	EXPECT_EQ(last->offset, 69900u);
	EXPECT_EQ(last->data_len, 100);
	EXPECT_EQ(r.db->file_size, 70000);
	free_pdb(r.db);
}

// Cuts of the sample file (index 78..93, AppInfo 96, sort 100, records at
// 104 and 109, 114 bytes in all) and what each must report.
TEST(Reader, TruncatedFilesFailAtEachBoundary)
{
	const std::string f = pdbfile::build(sample());
	ASSERT_EQ(f.size(), 114u);
	const std::string recs = "Can't read records for \"test\".\n";
	const std::pair<size_t, std::string> cases[] = {
	    {0, "pdb_LoadHeader: read: unexpected end of file\n"
		"Can't load header.\n"},
	    {71, "pdb_LoadHeader: read: unexpected end of file\n"
		 "Can't load header.\n"},
	    {75, "pdb_LoadRecListHeader: read2: unexpected end of file\n"
		 "Can't load record list header for \"test\".\n"},
	    {78, "LoadRecIndex: error reading record index entry for \"test\" "
		 "(8 bytes): 0.\nread: unexpected end of file\n"
		 "Can't read record index for \"test\".\n"},
	    {90, "LoadRecIndex: error reading record index entry for \"test\" "
		 "(8 bytes): 4.\nread: unexpected end of file\n"
		 "Can't read record index for \"test\".\n"},
	    {98, "pdb_LoadAppBlock: read: unexpected end of file\n"
		 "Can't read AppInfo block for \"test\".\n"},
	    {102, "pdb_LoadSortBlock: read: unexpected end of file\n"
		  "Can't read sort block for \"test\".\n"},
	    {106, "Can't read record 0 in \"test\".\n"
		  "pdb_LoadRecords: read: unexpected end of file\n" + recs},
	    {108, "Can't read record 0 in \"test\".\n"
		  "pdb_LoadRecords: read: unexpected end of file\n" + recs},
	};
	for (const auto &c : cases) {
		Loaded r = load(f.substr(0, c.first));
		EXPECT_EQ(r.db, nullptr) << c.first;
		EXPECT_EQ(r.err, c.second) << c.first;
	}
	for (size_t cut = 0; cut < 109; cut++) {
		Loaded r = load(f.substr(0, cut));
		EXPECT_EQ(r.db, nullptr) << cut;
		EXPECT_EQ(r.err.find("Success"), std::string::npos) << r.err;
	}
	// From the last record's offset on, the cut only shortens it.
	for (size_t cut = 109; cut <= f.size(); cut++) {
		Loaded r = load(f.substr(0, cut));
		ASSERT_NE(r.db, nullptr) << cut;
		EXPECT_EQ(data_of(r.db->rec_index.rec->next),
			  f.substr(109, cut - 109));
		free_pdb(r.db);
	}
}

TEST(Reader, TruncatedResourceIndexHasOnlyTheReadersLine)
{
	Layout l;
	l.attributes = PDB_ATTR_RESDB;
	l.entries = {{"abc", 0, 1, 0x41424344}, {"d", 0, 2, 0x41424344}};
	std::string f = pdbfile::build(l);
	Loaded r = load(f.substr(0, 83));
	EXPECT_EQ(r.db, nullptr);
	EXPECT_EQ(r.err, "Can't read resource index for \"test\".\n");
	r = load(f.substr(0, 101));
	EXPECT_EQ(r.db, nullptr);
	EXPECT_EQ(r.err, "Can't read resource 0 in \"test\".\n"
			 "pdb_LoadResources: read: unexpected end of file\n"
			 "Can't read resources for \"test\".\n");
}

TEST(Reader, OneAnnouncedRecordIn78Bytes)
{
	std::string f = pdbfile::build(Layout()).substr(0, 78);
	pdbfile::put_be16(f, 76, 1);
	Loaded r = load(f);
	EXPECT_EQ(r.db, nullptr);
	EXPECT_EQ(r.err,
		  "LoadRecIndex: error reading record index entry for \"test\" "
		  "(8 bytes): 0.\nread: unexpected end of file\n"
		  "Can't read record index for \"test\".\n");
}

TEST(Reader, HugeBlockClaimFailsWithoutAllocating)
{
	std::string f = pdbfile::build(Layout());
	pdbfile::put_be32(f, 52, 80);	       // AppInfo at 80 ...
	pdbfile::put_be32(f, 56, 0x80000000u);  // ... up to the 2 GB mark
	pdb_FailAllocation(0);
	Loaded r = load(f);
	EXPECT_EQ(r.db, nullptr);
	// The pdb itself, nothing more, in each of the two reads of load().
	EXPECT_EQ(pdb_AllocationCount(), 2u);
	EXPECT_EQ(r.err, "pdb_LoadAppBlock: read: unexpected end of file\n"
			 "Can't read AppInfo block for \"test\".\n");
}

TEST(Reader, BlockEndingBeforeItsStartFails)
{
	Layout l = sample();
	std::string f = pdbfile::build(l);
	pdbfile::put_be32(f, 56, 90);  // sort block before the AppInfo block
	Loaded r = load(f);
	EXPECT_EQ(r.db, nullptr);
	EXPECT_EQ(r.err, "pdb_LoadAppBlock: Out of memory.\n"
			 "Can't read AppInfo block for \"test\".\n");
}

TEST(Reader, SpansTheModelCannotHoldFail)
{
	Layout l;
	l.entries = {{std::string(65536, 'x'), 0, 1, 0}, {"y", 0, 2, 0}};
	Loaded r = load(pdbfile::build(l));
	EXPECT_EQ(r.db, nullptr);
	EXPECT_EQ(r.err, "Can't read record 0 in \"test\".\n"
			 "Can't read records for \"test\".\n");

	l.entries = {{std::string(65535, 'x'), 0, 1, 0}, {"y", 0, 2, 0}};
	r = load(pdbfile::build(l));
	ASSERT_NE(r.db, nullptr);
	EXPECT_EQ(r.db->rec_index.rec->data_len, 65535);
	free_pdb(r.db);

	l.entries = {{"abc", 0, 1, 0}, {"def", 0, 2, 0}};
	std::string f = pdbfile::build(l);
	pdbfile::put_be32(f, pdbfile::entry_pos(l, 1), 90);  // before record 0
	r = load(f);
	EXPECT_EQ(r.db, nullptr);
	EXPECT_EQ(r.err, "Can't read record 0 in \"test\".\n"
			 "Can't read records for \"test\".\n");

	l.attributes = PDB_ATTR_RESDB;
	l.entries = {{std::string(70000, 'r'), 0, 1, 1}};
	r = load(pdbfile::build(l));
	EXPECT_EQ(r.db, nullptr);
	EXPECT_EQ(r.err, "Can't read resource 0 in \"test\".\n"
			 "Can't read resources for \"test\".\n");
}

TEST(Reader, FileBeyondSigned32BitsFails)
{
	int fd = pdbfile::fd_with(pdbfile::build(Layout()));
	if (ftruncate(fd, (off_t)1 << 31) != 0)
		GTEST_SKIP() << "no sparse file of 2 GiB here";
	testing::internal::CaptureStderr();
	EXPECT_EQ(pdb_Read(fd), nullptr);
	EXPECT_EQ(testing::internal::GetCapturedStderr(),
		  "File is too large for a Palm database (2147483648 bytes, "
		  "at most 2147483647).\n");
	close(fd);
}

TEST(Reader, PipeIsNotSeekable)
{
	int p[2];
	ASSERT_EQ(pipe(p), 0);
	testing::internal::CaptureStderr();
	EXPECT_EQ(pdb_Read(p[0]), nullptr);
	EXPECT_EQ(testing::internal::GetCapturedStderr(),
		  "File isn't seekable.\n");
	close(p[0]);
	close(p[1]);
}

TEST(Reader, FileLengthIsMeasuredFromThePosition)
{
	int fd = pdbfile::fd_with("0123456789");
	lseek(fd, 4, SEEK_SET);
	EXPECT_EQ(get_file_length(fd), 6);
	EXPECT_EQ(lseek(fd, 0, SEEK_CUR), 4);
	close(fd);
}

TEST(Reader, DescriptorIsLeftWhereTheReadsEnded)
{
	std::string f = pdbfile::build(sample());
	int fd = pdbfile::fd_with(f);
	struct pdb *db = pdb_Read(fd);
	ASSERT_NE(db, nullptr);
	EXPECT_EQ(lseek(fd, 0, SEEK_CUR), (off_t)f.size());
	free_pdb(db);
	// The loaders one by one, each from where the one before left off.
	db = new_pdb();
	lseek(fd, 0, SEEK_SET);
	EXPECT_EQ(pdb_LoadHeader(fd, db), 0);
	EXPECT_EQ(lseek(fd, 0, SEEK_CUR), 72);
	EXPECT_EQ(pdb_LoadRecListHeader(fd, db), 0);
	EXPECT_EQ(pdb_LoadRecIndex(fd, db), 0);
	EXPECT_EQ(lseek(fd, 0, SEEK_CUR), 94);
	free_pdb(db);
	close(fd);
}

// Trace lines with the level above which each one prints.
using Trace = std::vector<std::pair<int, std::string>>;

std::string expected_at(const Trace &t, int level)
{
	std::string out;
	for (const auto &line : t)
		if (level > line.first)
			out += line.second;
	return out;
}

class ReaderTrace : public testing::Test {
      protected:
	void SetUp() override
	{
		const char *tz = getenv("TZ");
		saved_tz_ = tz ? tz : "";
		had_tz_ = tz != nullptr;
		setenv("TZ", "UTC", 1);
		tzset();
	}
	void TearDown() override
	{
		if (had_tz_)
			setenv("TZ", saved_tz_.c_str(), 1);
		else
			unsetenv("TZ");
		tzset();
		pdb_trace = 0;
	}
	std::string saved_tz_;
	bool had_tz_ = false;
};

TEST_F(ReaderTrace, RecordDatabaseAtEveryLevel)
{
	Layout l;
	l.name = "Trace";
	l.attributes = 0x80ff;
	l.version = 2;
	l.ctime = 2082844800u;	// 1970-01-01
	l.mtime = 0;		// 1904-01-01
	l.baktime = 4294967295u;
	l.modnum = 7;
	l.seed = 9;
	l.has_appinfo = true;
	l.appinfo = "AI";
	l.entries = {{"hey", 0x45, 0x010203, 0}};
	const Trace t = {
	    {4, "\tname: \"Trace\"\n"},
	    {4, "\tattributes: 0x80ff RESDB RO APPINFODIRTY BACKUP OKNEWER "
		"RESET NOCOPY STREAM OPEN\n"},
	    {4, "\tversion: 2\n"},
	    {4, "\tctime: 2082844800 Thu Jan  1 00:00:00 1970\n"},
	    {4, "\tmtime: 0 Fri Jan  1 00:00:00 1904\n"},
	    // Local time through the C library: beyond a 32-bit time_t's
	    // 2038 there is no text to show.
	    {4, sizeof(time_t) >= 8
		    ? "\tbaktime: 4294967295 Mon Feb  6 06:28:15 2040\n"
		    : "\tbaktime: 4294967295 (unrepresentable time)\n"},
	    {4, "\tmodnum: 7\n"},
	    {4, "\tappinfo_offset: 0x00000058\n"},
	    {4, "\tsortinfo_offset: 0x00000000\n"},
	    {4, "\ttype: 'DATA' (0x44415441)\n"},
	    {4, "\tcreator: 'Wxl1' (0x57786c31)\n"},
	    {4, "\tuniqueIDseed: 9\n"},
	    {5, "\tnextID: 0\n"},
	    {5, "\tlen: 1\n"},
	};
	// RESDB is set here only for the attribute line; read it as records.
	l.attributes = 0x80fe;
	Trace rec = t;
	rec[1].second = "\tattributes: 0x80fe RO APPINFODIRTY BACKUP OKNEWER "
			"RESET NOCOPY STREAM OPEN\n";
	rec.insert(rec.end(),
		   {{5, "split 0x45 into 0x40, 0x05\n"},
		    {5, "\tRecord 0: offset 0x0000005a, flags 0x40,  category "
			 "0x05, ID 0x00010203\n"},
		    {5, "<APP 41 49 " + std::string(42, ' ') + "  | AI\n"},
		    {4, "Reading record 0 (id 0x00010203)\n"},
		    {5, "Contents of record 0:\n"},
		    {5, "<REC 68 65 79 " + std::string(39, ' ') + "  | hey\n"}});
	std::string f = pdbfile::build(l);
	for (int level = 0; level <= 6; level++) {
		pdb_trace = level;
		Loaded r = load(f);
		ASSERT_NE(r.db, nullptr);
		EXPECT_EQ(r.err, expected_at(rec, level)) << "level " << level;
		pdb_trace = 0;
		free_pdb(r.db);
	}
}

TEST_F(ReaderTrace, ResourceDatabaseAtEveryLevel)
{
	Layout l;
	l.name = "R";
	l.attributes = PDB_ATTR_RESDB;
	l.ctime = l.mtime = l.baktime = 2082844800u;
	l.type = 0x61707020;
	l.creator = 0x54455354;
	l.entries = {{"", 0, 1, 0x636f6465}, {"z", 0, 2, 0x64617461}};
	std::string epoch = " Thu Jan  1 00:00:00 1970\n";
	const Trace t = {
	    {4, "\tname: \"R\"\n"},
	    {4, "\tattributes: 0x0001 RESDB\n"},
	    {4, "\tversion: 0\n"},
	    {4, "\tctime: 2082844800" + epoch},
	    {4, "\tmtime: 2082844800" + epoch},
	    {4, "\tbaktime: 2082844800" + epoch},
	    {4, "\tmodnum: 0\n"},
	    {4, "\tappinfo_offset: 0x00000000\n"},
	    {4, "\tsortinfo_offset: 0x00000000\n"},
	    {4, "\ttype: 'app ' (0x61707020)\n"},
	    {4, "\tcreator: 'TEST' (0x54455354)\n"},
	    {4, "\tuniqueIDseed: 0\n"},
	    {5, "\tnextID: 0\n"},
	    {5, "\tlen: 2\n"},
	    {5, "\tResource 0: type 'code' (0x636f6465), id 1, offset "
		"0x00000064\n"},
	    {5, "\tResource 1: type 'data' (0x64617461), id 2, offset "
		"0x00000064\n"},
	    {4, "Reading resource 0 (type 'code')\n"},
	    {4, "Reading resource 1 (type 'data')\n"},
	    {5, "Contents of resource 1:\n"},
	    {5, "<RSRC 7a " + std::string(45, ' ') + "  | z\n"},
	};
	std::string f = pdbfile::build(l);
	for (int level = 0; level <= 6; level++) {
		pdb_trace = level;
		Loaded r = load(f);
		ASSERT_NE(r.db, nullptr);
		EXPECT_EQ(r.err, expected_at(t, level)) << "level " << level;
		pdb_trace = 0;
		free_pdb(r.db);
	}
}

}  // namespace
