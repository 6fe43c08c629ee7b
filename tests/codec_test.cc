// SPDX-License-Identifier: MIT
// Big-endian codec, record attribute byte, hex dump and the list model.
#include <gtest/gtest.h>

#include <string>

#include "pdb.h"
#include "util.h"

namespace {

TEST(Codec, PeekReadsBigEndian)
{
	const ubyte w[] = {0x01, 0x00};
	const ubyte d[] = {0x00, 0x00, 0x01, 0x00};
	const ubyte ff[] = {0xff, 0xff, 0xff, 0xff};
	EXPECT_EQ(peek_uword(w), 256);
	EXPECT_EQ(peek_udword(d), 256u);
	EXPECT_EQ(peek_udword(ff), 4294967295u);
	EXPECT_EQ(peek_ubyte(ff), 0xff);
}

TEST(Codec, GetAdvancesCursorFieldAfterField)
{
	const ubyte buf[] = {0x7f, 0x12, 0x34, 0xde, 0xad, 0xbe, 0xef};
	const ubyte *p = buf;
	EXPECT_EQ(get_ubyte(&p), 0x7f);
	EXPECT_EQ(get_uword(&p), 0x1234);
	EXPECT_EQ(get_udword(&p), 0xdeadbeefu);
	EXPECT_EQ(p, buf + sizeof buf);
}

TEST(Codec, PutStoresBigEndianAndAdvances)
{
	ubyte buf[7] = {};
	ubyte *p = buf;
	put_udword(&p, 256);
	EXPECT_EQ(p, buf + 4);
	put_uword(&p, 256);
	put_ubyte(&p, 0xab);
	const ubyte want[] = {0, 0, 1, 0, 1, 0, 0xab};
	EXPECT_EQ(std::string((char *)buf, 7), std::string((char *)want, 7));
}

struct AttrCase {
	ubyte attr, flags, category;
};

TEST(Attributes, SplitFollowsTheWideFlagRule)
{
	const AttrCase cases[] = {
	    {0x45, 0x40, 5}, {0x6A, 0x68, 0}, {0x2F, 0x28, 0}, {0x00, 0, 0}};
	for (const AttrCase &c : cases) {
		ubyte f = 0xEE, cat = 0xEE;
		split_attributes(c.attr, &f, &cat);
		EXPECT_EQ(f, c.flags) << std::hex << (int)c.attr;
		EXPECT_EQ(cat, c.category) << std::hex << (int)c.attr;
	}
}

TEST(Attributes, MergeMasksFlagsAndCategory)
{
	EXPECT_EQ(merge_attributes(0x40, 5), 0x45);
	EXPECT_EQ(merge_attributes(0x68, 5), 0x68);
	EXPECT_EQ(merge_attributes(0x4F, 0x15), 0x45);
}

TEST(Attributes, SplitTracesAboveFive)
{
	ubyte f, c;
	pdb_trace = 6;
	testing::internal::CaptureStderr();
	split_attributes(0x45, &f, &c);
	pdb_trace = 5;
	split_attributes(0x45, &f, &c);
	pdb_trace = 0;
	EXPECT_EQ(testing::internal::GetCapturedStderr(),
		  "split 0x45 into 0x40, 0x05\n");
}

std::string dump(const std::string &bytes, const char *prefix = "<REC")
{
	FILE *f = tmpfile();
	debug_dump(f, prefix, (const ubyte *)bytes.data(),
		   (udword)bytes.size());
	std::string out(4096, '\0');
	rewind(f);
	out.resize(fread(&out[0], 1, out.size(), f));
	fclose(f);
	return out;
}

TEST(DebugDump, ShortLineKeepsColumns)
{
	EXPECT_EQ(dump("AB"), "<REC 41 42 " + std::string(42, ' ') +
				  "  | AB\n");
	EXPECT_EQ(dump(""), "");
}

TEST(DebugDump, SeventeenBytesMakeTwoLines)
{
	std::string bytes = "0123456789abcdef\x7f";
	std::string want =
	    "NEW 30 31 32 33 34 35 36 37 38 39 61 62 63 64 65 66   | "
	    "0123456789abcdef\n"
	    "NEW 7f " + std::string(45, ' ') + "  | .\n";
	EXPECT_EQ(dump(bytes, "NEW"), want);
}

TEST(DebugDump, OnlyPrintableAsciiShowsItself)
{
	std::string out = dump(std::string("\x20\x7f\x80\x1f~", 5));
	EXPECT_EQ(out.substr(out.find("| ")), "|  ...~\n");
}

struct pdb_record *record(udword id)
{
	struct pdb_record *r = (struct pdb_record *)calloc(1, sizeof *r);
	r->id = id;
	return r;
}

TEST(Model, NewPdbIsAnEmptyRecordDatabase)
{
	struct pdb *db = new_pdb();
	ASSERT_NE(db, nullptr);
	EXPECT_EQ(db->numrecs, 0);
	EXPECT_EQ(db->rec_index.rec, nullptr);
	EXPECT_EQ(db->appinfo, nullptr);
	struct pdb_resource *rs =
	    (struct pdb_resource *)calloc(1, sizeof *rs);
	EXPECT_EQ(pdb_AppendResource(db, rs), -1);
	EXPECT_EQ(db->numrecs, 0);
	db->attributes |= PDB_ATTR_RESDB;
	EXPECT_EQ(pdb_AppendResource(db, rs), 0);
	EXPECT_EQ(db->rec_index.rsrc, rs);
	struct pdb_record *r = record(1);
	EXPECT_EQ(pdb_AppendRecord(db, r), -1);
	pdb_FreeRecord(r);
	free_pdb(db);
}

TEST(Model, AppendKeepsOrderAndCountsOneEntryOnly)
{
	struct pdb *db = new_pdb();
	struct pdb_record *a = record(1), *b = record(2), *c = record(3);
	struct pdb_record *stray = record(9);
	c->next = stray;  // appending c appends c alone
	for (struct pdb_record *r : {a, b, c})
		ASSERT_EQ(pdb_AppendRecord(db, r), 0);
	EXPECT_EQ(db->numrecs, 3);
	struct pdb_record *r = db->rec_index.rec;
	for (udword id = 1; id <= 3; id++) {
		ASSERT_NE(r, nullptr);
		EXPECT_EQ(r->id, id);
		r = pdb_NextRecord(db, r);
	}
	EXPECT_EQ(r, nullptr);
	pdb_FreeRecord(stray);
	free_pdb(db);
}

TEST(Model, FreePdbTraces)
{
	pdb_trace = 8;
	testing::internal::CaptureStderr();
	free_pdb(nullptr);
	struct pdb *db = new_pdb();
	free_pdb(db);
	pdb_trace = 0;
	std::string err = testing::internal::GetCapturedStderr();
	char want[128];
	snprintf(want, sizeof want,
		 "Inside free_pdb(%p)\nInside free_pdb(%p)\nFreeing record "
		 "list\n",
		 (void *)nullptr, (void *)db);
	EXPECT_EQ(err, want);
}

}  // namespace
