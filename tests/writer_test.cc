// SPDX-License-Identifier: MIT
// The database writer and the record editing operations.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "alloc.h"
#include "pdb.h"
#include "pdbfile.h"

using pdbfile::be32;
using pdbfile::Layout;

namespace {

struct Written {
	int status;
	std::string bytes, err;
};

Written write_db(const struct pdb *db)
{
	int fd = pdbfile::fd_with("");
	testing::internal::CaptureStderr();
	int status = pdb_Write(db, fd);
	std::string err = testing::internal::GetCapturedStderr();
	std::string bytes = pdbfile::read_fd(fd);
	close(fd);
	return {status, bytes, err};
}

struct pdb *db_named(const char *name, uword attributes = 0)
{
	struct pdb *db = new_pdb();
	strncpy(db->name, name, sizeof db->name);
	db->attributes = attributes;
	return db;
}

void add_block(void **block, dword *len, const std::string &bytes)
{
	*block = malloc(bytes.size() + 1);
	memcpy(*block, bytes.data(), bytes.size());
	*len = (dword)bytes.size();
}

TEST(Writer, EmptyDatabaseIs80Bytes)
{
	struct pdb *db = db_named("empty");
	db->type = 0x44415441;
	Written w = write_db(db);
	EXPECT_EQ(w.status, 0);
	EXPECT_EQ(w.err, "");
	Layout l;
	l.name = "empty";
	l.creator = 0;
	EXPECT_EQ(w.bytes, pdbfile::build(l));
	EXPECT_EQ(w.bytes.size(), 80u);
	free_pdb(db);
}

TEST(Writer, RecordsWithAppInfoGetFreshOffsets)
{
	struct pdb *db = db_named("three");
	add_block(&db->appinfo, &db->appinfo_len, "0123456789");
	db->appinfo_offset = 9999;  // stale offsets are ignored
	const char *texts[] = {"aaaaa", "", "bbbbbbb"};
	for (udword i = 0; i < 3; i++) {
		struct pdb_record *r =
		    new_Record(0x40, 0, i + 1, (uword)strlen(texts[i]),
			       (const ubyte *)texts[i]);
		r->offset = 1;
		pdb_AppendRecord(db, r);
	}
	Written w = write_db(db);
	EXPECT_EQ(w.status, 0);
	EXPECT_EQ(w.err, "\"three\" record 0x00000002 has length 0.\n");
	ASSERT_EQ(w.bytes.size(), 126u);
	EXPECT_EQ(be32(w.bytes, 52), 104u);
	EXPECT_EQ(be32(w.bytes, 78), 114u);
	EXPECT_EQ(be32(w.bytes, 86), 119u);
	EXPECT_EQ(be32(w.bytes, 94), 119u);
	EXPECT_EQ(w.bytes.substr(104), "0123456789aaaaabbbbbbb");
	free_pdb(db);
}

TEST(Writer, ResourcesGetTenByteEntriesAndNoWarning)
{
	struct pdb *db = db_named("rsrc", PDB_ATTR_RESDB);
	add_block(&db->appinfo, &db->appinfo_len, "0123456789");
	const char *texts[] = {"aaaaa", "", "bbbbbbb"};
	for (uword i = 0; i < 3; i++)
		pdb_AppendResource(db, new_Resource(0x636f6465, i,
						    (uword)strlen(texts[i]),
						    (const ubyte *)texts[i]));
	Written w = write_db(db);
	EXPECT_EQ(w.status, 0);
	EXPECT_EQ(w.err, "");
	EXPECT_EQ(be32(w.bytes, 52), 110u);
	EXPECT_EQ(be32(w.bytes, 78 + 6), 120u);
	EXPECT_EQ(be32(w.bytes, 88 + 6), 125u);
	EXPECT_EQ(be32(w.bytes, 98 + 6), 125u);
	EXPECT_EQ(w.bytes.size(), 132u);
	free_pdb(db);
}

TEST(Writer, HeaderFieldsThatAreNormalised)
{
	struct pdb *db = db_named("norm", 0x8000);
	db->next_reclistID = 5;
	struct pdb_record *r = new_Record(0x4F, 0x15, 0x12345678, 1,
					  (const ubyte *)"x");
	pdb_AppendRecord(db, r);
	Written w = write_db(db);
	EXPECT_EQ(pdbfile::be16(w.bytes, 32), 0);
	EXPECT_EQ(be32(w.bytes, 72), 0u);
	EXPECT_EQ(w.bytes.substr(82, 4), "\x45\x34\x56\x78");
	EXPECT_EQ(r->id, 0x12345678u);
	db->attributes = 0x7FFF & ~PDB_ATTR_RESDB;
	w = write_db(db);
	EXPECT_EQ(pdbfile::be16(w.bytes, 32), 0x7FFE);
	free_pdb(db);
}

TEST(Writer, EmptyAppInfoSharesTheNextOffset)
{
	struct pdb *db = db_named("e");
	db->appinfo = malloc(1);
	db->appinfo_len = 0;
	pdb_AppendRecord(db, new_Record(0, 0, 1, 2, (const ubyte *)"hi"));
	Written w = write_db(db);
	EXPECT_EQ(be32(w.bytes, 52), 88u);
	EXPECT_EQ(be32(w.bytes, 78), 88u);
	free_pdb(db);
}

struct pdb *read_back(const std::string &bytes)
{
	int fd = pdbfile::fd_with(bytes);
	struct pdb *db = pdb_Read(fd);
	close(fd);
	return db;
}

TEST(Writer, RoundTripReproducesCanonicalFiles)
{
	std::vector<Layout> layouts(6);
	layouts[1].entries = {{"hello", 0x45, 1, 0}, {"", 0x40, 2, 0},
			      {"world", 0x68, 0xABCDEF, 0}};
	layouts[2] = layouts[1];
	layouts[2].has_appinfo = layouts[2].has_sortinfo = true;
	layouts[2].appinfo = "app info";
	layouts[2].sortinfo = "s";
	layouts[3].attributes = PDB_ATTR_RESDB | PDB_ATTR_BACKUP;
	layouts[3].entries = {{"code", 0, 1, 0x636f6465}, {"", 0, 2, 1},
			      {"tail", 0, 0xFFFF, 2}};
	layouts[4] = layouts[3];
	layouts[4].has_appinfo = true;
	layouts[4].appinfo = "resource app info";
	layouts[5].has_sortinfo = true;
	layouts[5].sortinfo = "only a sort block";
	layouts[5].version = 7;
	layouts[5].ctime = 3, layouts[5].mtime = 4, layouts[5].modnum = 5;
	for (size_t i = 0; i < layouts.size(); i++) {
		std::string file = pdbfile::build(layouts[i]);
		struct pdb *db = read_back(file);
		ASSERT_NE(db, nullptr) << i;
		Written w = write_db(db);
		EXPECT_EQ(w.status, 0);
		EXPECT_EQ(w.bytes, file) << "layout " << i;
		free_pdb(db);
	}
}

// Writes db with the file size limited to limit bytes, so that the piece
// that crosses it falls short.
Written write_limited(const struct pdb *db, rlim_t limit)
{
	struct rlimit old, lim;
	getrlimit(RLIMIT_FSIZE, &old);
	lim = old;
	lim.rlim_cur = limit;
	void (*oldsig)(int) = signal(SIGXFSZ, SIG_IGN);
	int fd = pdbfile::fd_with("");
	// Standard error goes to a pipe: a captured file would meet the limit.
	int p[2], saved = dup(2);
	EXPECT_EQ(pipe(p), 0);
	dup2(p[1], 2);
	setrlimit(RLIMIT_FSIZE, &lim);
	int status = pdb_Write(db, fd);
	setrlimit(RLIMIT_FSIZE, &old);
	dup2(saved, 2);
	close(saved);
	close(p[1]);
	std::string err = pdbfile::read_fd(p[0]);
	close(p[0]);
	signal(SIGXFSZ, oldsig);
	std::string bytes = pdbfile::read_fd(fd);
	EXPECT_NE(fcntl(fd, F_GETFD), -1) << "descriptor closed";
	close(fd);
	return {status, bytes, err};
}

TEST(Writer, EachPieceThatFallsShortIsReported)
{
	// Record database: header 0, list header 72, entries 78 and 86, NULs
	// 94, AppInfo 96, sort block 100, data 104.
	struct pdb *db = db_named("short");
	add_block(&db->appinfo, &db->appinfo_len, "APPI");
	add_block(&db->sortinfo, &db->sortinfo_len, "SORT");
	pdb_AppendRecord(db, new_Record(0, 0, 1, 3, (const ubyte *)"abc"));
	pdb_AppendRecord(db, new_Record(0, 0, 2, 3, (const ubyte *)"def"));
	const std::string too_big = "write: File too large\n";
	const std::pair<rlim_t, std::string> cases[] = {
	    {10, "pdb_Write: can't write database header for \"short\".\n"},
	    {74, "pdb_Write: can't write record list header for \"short\".\n"},
	    {80, "pdb_Write: Can't write record index entry for \"short\".\n"},
	    {90, "pdb_Write: Can't write record index entry for \"short\".\n"},
	    {95, "pdb_Write: Can't write the two useless NULs to \"short\".\n"},
	    {97, "pdb_Write: Can't write AppInfo block for \"short\".\n"},
	    {101, "pdb_Write: Can't write sort block for \"short\".\n"},
	    {105, "pdb_Write: Can't write record data for \"short\".\n"},
	    {109, "pdb_Write: Can't write record data for \"short\".\n"},
	};
	for (const auto &c : cases) {
		Written w = write_limited(db, c.first);
		EXPECT_EQ(w.status, -1) << c.first;
		EXPECT_EQ(w.err, c.second + too_big) << c.first;
		EXPECT_EQ(w.bytes.size(), c.first);
	}
	free_pdb(db);

	db = db_named("rs", PDB_ATTR_RESDB);
	pdb_AppendResource(db, new_Resource(1, 1, 3, (const ubyte *)"abc"));
	Written w = write_limited(db, 80);
	EXPECT_EQ(w.err,
		  "pdb_Write: Can't write resource index entry for \"rs\".\n" +
		      too_big);
	w = write_limited(db, 91);
	EXPECT_EQ(w.err,
		  "pdb_Write: Can't write resource data for \"rs\".\n" +
		      too_big);
	free_pdb(db);
}

TEST(Writer, FailedHeaderLeavesTheDescriptorOpen)
{
	int fd = open("/dev/full", O_WRONLY);
	ASSERT_GE(fd, 0);
	struct pdb *db = db_named("full");
	testing::internal::CaptureStderr();
	EXPECT_EQ(pdb_Write(db, fd), -1);
	EXPECT_EQ(testing::internal::GetCapturedStderr(),
		  "pdb_Write: can't write database header for \"full\".\n"
		  "write: No space left on device\n");
	EXPECT_EQ(close(fd), 0);  // still ours to close
	free_pdb(db);
}

// A database of records with the given IDs, each holding one byte.
struct pdb *with_ids(std::vector<udword> ids)
{
	struct pdb *db = new_pdb();
	for (udword id : ids)
		pdb_AppendRecord(db, new_Record(0, 0, id, 1,
						(const ubyte *)"r"));
	return db;
}

std::vector<udword> ids_of(const struct pdb *db)
{
	std::vector<udword> out;
	for (const pdb_record *r = db->rec_index.rec; r; r = r->next)
		out.push_back(r->id);
	EXPECT_EQ(out.size(), db->numrecs);
	return out;
}

TEST(Editing, FindByIndexAndID)
{
	struct pdb *db = new_pdb();
	EXPECT_EQ(pdb_FindRecordByIndex(db, 0), nullptr);
	free_pdb(db);
	db = with_ids({10, 20, 20, 0x1000000});
	EXPECT_EQ(pdb_FindRecordByIndex(db, 0)->id, 10u);
	EXPECT_EQ(pdb_FindRecordByIndex(db, 3)->id, 0x1000000u);
	EXPECT_EQ(pdb_FindRecordByIndex(db, 4), nullptr);
	EXPECT_EQ(pdb_FindRecordByIndex(db, 9), nullptr);
	EXPECT_EQ(pdb_FindRecordByID(db, 20), pdb_FindRecordByIndex(db, 1));
	EXPECT_EQ(pdb_FindRecordByID(db, 0), nullptr);  // all 32 bits count
	EXPECT_EQ(pdb_FindRecordByID(db, 0x1000000),
		  pdb_FindRecordByIndex(db, 3));
	free_pdb(db);
}

TEST(Editing, DeleteKeepsListLinkedAndCounted)
{
	struct pdb *db = with_ids({1, 2, 2, 3, 4});
	struct pdb_record *second_two = pdb_FindRecordByIndex(db, 2);
	EXPECT_EQ(pdb_DeleteRecordByID(db, 2), 0);
	EXPECT_EQ(ids_of(db), (std::vector<udword>{1, 2, 3, 4}));
	EXPECT_EQ(pdb_FindRecordByID(db, 2), second_two);
	EXPECT_EQ(pdb_DeleteRecordByID(db, 1), 0);  // head
	EXPECT_EQ(pdb_DeleteRecordByID(db, 4), 0);  // tail
	EXPECT_EQ(pdb_DeleteRecordByID(db, 99), 0); // absent
	EXPECT_EQ(ids_of(db), (std::vector<udword>{2, 3}));
	db->attributes = PDB_ATTR_RESDB;
	EXPECT_EQ(pdb_DeleteRecordByID(db, 2), -1);
	db->attributes = 0;
	EXPECT_EQ(ids_of(db), (std::vector<udword>{2, 3}));
	free_pdb(db);
}

TEST(Editing, InsertAtHeadAndAfterTail)
{
	struct pdb *db = with_ids({2});
	pdb_InsertRecord(db, nullptr, new_Record(0, 0, 1, 0, nullptr));
	pdb_InsertRecord(db, pdb_FindRecordByIndex(db, 1),
			 new_Record(0, 0, 3, 0, nullptr));
	pdb_InsertRecord(db, pdb_FindRecordByIndex(db, 0),
			 new_Record(0, 0, 9, 0, nullptr));
	EXPECT_EQ(ids_of(db), (std::vector<udword>{1, 9, 2, 3}));
	free_pdb(db);

	db = new_pdb();
	db->attributes = PDB_ATTR_RESDB;
	pdb_InsertResource(db, nullptr, new_Resource(1, 2, 0, nullptr));
	pdb_InsertResource(db, nullptr, new_Resource(1, 1, 0, nullptr));
	pdb_InsertResource(db, db->rec_index.rsrc->next,
			   new_Resource(1, 3, 0, nullptr));
	EXPECT_EQ(db->numrecs, 3);
	EXPECT_EQ(db->rec_index.rsrc->id, 1);
	EXPECT_EQ(db->rec_index.rsrc->next->next->id, 3);
	free_pdb(db);
}

TEST(Editing, ConstructorsAndCopiesKeepFieldsUnmasked)
{
	struct pdb_record *r = new_Record(0xFF, 0x1F, 0xFFFFFFFF, 0, nullptr);
	EXPECT_EQ(r->flags, 0xFF);
	EXPECT_EQ(r->category, 0x1F);
	EXPECT_EQ(r->id, 0xFFFFFFFFu);
	EXPECT_EQ(r->data, nullptr);
	r->offset = 1234;
	struct pdb *db = new_pdb();
	struct pdb_record *c = pdb_CopyRecord(db, r);
	EXPECT_EQ(c->offset, 1234u);
	EXPECT_EQ(c->next, nullptr);
	EXPECT_EQ(c->data, nullptr);
	EXPECT_EQ(db->numrecs, 0);
	pdb_FreeRecord(r);
	pdb_FreeRecord(c);

	r = new_Record(0, 0, 1, 3, (const ubyte *)"abc");
	c = pdb_CopyRecord(db, r);
	ASSERT_NE(c->data, r->data);
	EXPECT_EQ(std::string((char *)c->data, c->data_len), "abc");
	pdb_FreeRecord(r);
	pdb_FreeRecord(c);

	struct pdb_resource *rs = new_Resource(0x41424344, 7, 2,
					       (const ubyte *)"xy");
	rs->offset = 5;
	struct pdb_resource *rc = pdb_CopyResource(db, rs);
	EXPECT_EQ(rc->type, 0x41424344u);
	EXPECT_EQ(rc->id, 7);
	EXPECT_EQ(rc->offset, 5u);
	EXPECT_EQ(std::string((char *)rc->data, rc->data_len), "xy");
	pdb_FreeResource(rs);
	pdb_FreeResource(rc);
	rs = new_Resource(1, 1, 0, nullptr);
	rc = pdb_CopyResource(db, rs);
	EXPECT_EQ(rc->data, nullptr);
	pdb_FreeResource(rs);
	pdb_FreeResource(rc);
	free_pdb(db);
}

TEST(Editing, ConstructorsTraceAboveFive)
{
	pdb_trace = 6;
	testing::internal::CaptureStderr();
	pdb_FreeRecord(new_Record(0x40, 3, 0x10, 2, (const ubyte *)"hi"));
	pdb_FreeResource(new_Resource(0x636f6465, 0x12, 0, nullptr));
	pdb_trace = 5;
	pdb_FreeRecord(new_Record(0x40, 3, 0x10, 2, (const ubyte *)"hi"));
	pdb_trace = 0;
	EXPECT_EQ(testing::internal::GetCapturedStderr(),
		  "new_Record: Creating new record:\n\tflags == 0x40\n"
		  "\tcategory == 0x03\n\tid == 0x00000010\n\tlen == 2\n"
		  "NEW 68 69 " + std::string(42, ' ') + "  | hi\n"
		  "new_Resource: Creating new resource:\n"
		  "\ttype == 0x636f6465 (code)\n\tid == 0x0012\n\tlen == 0\n");
}

// Runs make() with its n-th allocation failing; returns what it printed.
template <typename F>
std::string failing_alloc(unsigned long n, F make)
{
	pdb_FailAllocation(n);
	testing::internal::CaptureStderr();
	make();
	std::string err = testing::internal::GetCapturedStderr();
	pdb_FailAllocation(0);
	return err;
}

TEST(Editing, AllocationFailuresReturnNullWithTheirMessage)
{
	struct pdb *db = new_pdb();
	strcpy(db->name, "mem");
	struct pdb_record *src = new_Record(0, 0, 1, 1, (const ubyte *)"a");
	struct pdb_resource *rsrc = new_Resource(1, 1, 1, (const ubyte *)"a");
	struct Case {
		unsigned long n;
		std::string want;
		void *(*make)(struct pdb *, pdb_record *, pdb_resource *);
	};
	auto rec = [](struct pdb *, pdb_record *, pdb_resource *) -> void * {
		return new_Record(0, 0, 1, 1, (const ubyte *)"a");
	};
	auto res = [](struct pdb *, pdb_record *, pdb_resource *) -> void * {
		return new_Resource(0, 1, 1, (const ubyte *)"a");
	};
	auto crec = [](struct pdb *d, pdb_record *s, pdb_resource *) -> void * {
		return pdb_CopyRecord(d, s);
	};
	auto cres = [](struct pdb *d, pdb_record *, pdb_resource *s) -> void * {
		return pdb_CopyResource(d, s);
	};
	const Case cases[] = {
	    {1, "new_Record: Out of memory.\n", rec},
	    {2, "new_Record: can't allocate data.\n", rec},
	    {1, "new_Resource: Out of memory.\n", res},
	    {2, "new_Resource: can't allocate data.\n", res},
	    {1, "pdb_CopyRecord: Out of memory.\n", crec},
	    {2, "pdb_CopyRecord: can't allocate record data for \"mem\".\n",
	     crec},
	    {1, "pdb_CopyResource: Out of memory.\n", cres},
	    {2, "pdb_CopyResource: can't allocate resource data for "
		"\"mem\".\n",
	     cres},
	};
	for (const Case &c : cases) {
		void *got = reinterpret_cast<void *>(1);
		std::string err = failing_alloc(
		    c.n, [&] { got = c.make(db, src, rsrc); });
		EXPECT_EQ(got, nullptr) << c.want;
		EXPECT_EQ(err, c.want);
	}
	pdb_FreeRecord(src);
	pdb_FreeResource(rsrc);
	free_pdb(db);
}

// Every allocation of a load made to fail in turn: the load fails with the
// failing step's message and the reader's line, and leaks nothing.
TEST(Editing, ReaderSurvivesEveryAllocationFailure)
{
	Layout recs;
	recs.has_appinfo = recs.has_sortinfo = true;
	recs.appinfo = "A";
	recs.sortinfo = "S";
	recs.entries = {{"one", 0, 1, 0}, {"", 0, 2, 0}, {"three", 0, 3, 0}};
	Layout rsrcs = recs;
	rsrcs.attributes = PDB_ATTR_RESDB;
	const std::string app = "pdb_LoadAppBlock: Out of memory.\n"
				"Can't read AppInfo block for \"test\".\n";
	const std::string sort = "pdb_LoadSortBlock: Out of memory.\n"
				 "Can't read sort block for \"test\".\n";
	const std::string rec_index = "pdb_LoadRecIndex: Out of memory.\n"
				      "Can't read record index for \"test\".\n";
	const std::string records = "pdb_LoadRecords: Out of memory.\n"
				    "Can't read records for \"test\".\n";
	const std::string rsrc_index =
	    "Can't read resource index for \"test\".\n";
	const std::string resources = "pdb_LoadResources: Out of memory.\n"
				      "Can't read resources for \"test\".\n";
	// Allocations in order: the pdb, three entries, the two blocks, the
	// data of the two entries that have some.
	const std::vector<std::string> rec_msgs = {
	    "", rec_index, rec_index, rec_index, app, sort, records, records};
	const std::vector<std::string> rsrc_msgs = {
	    "",	 rsrc_index, rsrc_index, rsrc_index,
	    app, sort,	     resources,	 resources};
	for (const Layout &l : {recs, rsrcs}) {
		const std::vector<std::string> &want =
		    l.resources() ? rsrc_msgs : rec_msgs;
		std::string file = pdbfile::build(l);
		pdb_FailAllocation(0);
		struct pdb *db = read_back(file);
		ASSERT_NE(db, nullptr);
		EXPECT_EQ(pdb_AllocationCount(), want.size());
		free_pdb(db);
		for (unsigned long n = 1; n <= want.size(); n++) {
			struct pdb *got = db;
			std::string err =
			    failing_alloc(n, [&] { got = read_back(file); });
			EXPECT_EQ(got, nullptr) << n;
			EXPECT_EQ(err, want[n - 1]) << n;
		}
	}
}

}  // namespace
