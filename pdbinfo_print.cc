// SPDX-License-Identifier: MIT
#include <stdint.h>
#include <string.h>

#include "calendar.h"
#include "mag.h"
#include "pdbinfo.h"
#include "pointtext.h"
#include "quote.h"
#include "util.h"

static const udword WEXLAR_CREATOR = PALM_FOURCC('W', 'x', 'l', '1');
static const udword TRACK_LOG_TYPE = PALM_FOURCC('D', 'A', 'T', 'A');

/* Indentation of the hex dump lines under their item. */
static const char DUMP_PREFIX[] = "   ";

static const struct {
	uword bit;
	const char *name;
} DB_ATTRIBUTES[] = {
    {PDB_ATTR_RESDB, "RESDB"},	 {PDB_ATTR_RO, "RO"},
    {PDB_ATTR_APPINFODIRTY, "APPINFODIRTY"},
    {PDB_ATTR_BACKUP, "BACKUP"}, {PDB_ATTR_OKNEWER, "OKNEWER"},
    {PDB_ATTR_RESET, "RESET"},	 {PDB_ATTR_NOCOPY, "NOCOPY"},
    {PDB_ATTR_STREAM, "STREAM"}, {PDB_ATTR_OPEN, "OPEN"},
};

/* Record flags, the upper part of the attribute byte; ARCHIVE only where
 * the wide flags leave no category. */
static const struct {
	ubyte bit;
	const char *name;
} RECORD_FLAGS[] = {
    {0x80, "DELETE"}, {0x40, "DIRTY"}, {0x20, "BUSY"},
    {0x10, "SECRET"}, {0x08, "ARCHIVE"},
};

static void put_fourcc(FILE *out, const char *label, udword code)
{
	char text[4] = {(char)(code >> 24), (char)(code >> 16),
			(char)(code >> 8), (char)code};
	fprintf(out, "%s", label);
	wexlar_put_quoted(out, text, sizeof text);
}

/* Palm time stamps below this were counted from 1970 by their makers:
 * from 1904 they would be dates before 1972, before any Palm device. */
static const udword UNIX_STAMP_LIMIT = 0x80000000u;

/* A Palm time stamp as a UTC date, or "never" for 0.  A stamp below
 * UNIX_STAMP_LIMIT is read as seconds since 1970, and says so. */
static void put_palm_time(FILE *out, const char *label, udword stamp)
{
	fprintf(out, "%s: ", label);
	if (stamp == 0) {
		fputs("never\n", out);
		return;
	}
	bool unix_stamp = stamp < UNIX_STAMP_LIMIT;
	int64_t secs = (int64_t)stamp -
		       (unix_stamp ? 0 : (int64_t)PALM_EPOCH_OFFSET);
	int64_t days = (secs >= 0 ? secs : secs - 86399) / 86400;
	int64_t in_day = secs - days * 86400;
	struct civil_date d = civil_from_days(days);
	fprintf(out, "%04lld-%02u-%02uT%02lld:%02lld:%02lldZ%s\n",
		(long long)d.year, d.month, d.day, (long long)(in_day / 3600),
		(long long)(in_day / 60 % 60), (long long)(in_day % 60),
		unix_stamp ? " (counted from 1970)" : "");
}

/* The standard category block at the start of an AppInfo block: a 16-bit
 * word of renamed categories, then 16 names of 16 bytes, then their IDs. */
enum {
	CATEGORIES = 16,
	CATEGORY_NAME_SIZE = 16,
	CATEGORY_NAMES_AT = 2,
	CATEGORY_BLOCK_MIN = CATEGORY_NAMES_AT +
			     CATEGORIES * CATEGORY_NAME_SIZE + CATEGORIES,
};

/* The category names of db, each a NUL-terminated string, or null when
 * its AppInfo block does not hold the standard category block: at least
 * CATEGORY_BLOCK_MIN bytes, each name ended by a NUL within its 16 bytes
 * with no control byte before it. */
static const char *category_names(const struct pdb *db)
{
	if (IS_RSRC_DB(db) || db->appinfo == NULL ||
	    db->appinfo_len < CATEGORY_BLOCK_MIN)
		return NULL;
	const char *names = (const char *)db->appinfo + CATEGORY_NAMES_AT;
	for (int i = 0; i < CATEGORIES; i++) {
		const unsigned char *n =
		    (const unsigned char *)names + i * CATEGORY_NAME_SIZE;
		int k = 0;
		while (k < CATEGORY_NAME_SIZE && n[k] >= 0x20 && n[k] != 0x7F)
			k++;
		if (k == CATEGORY_NAME_SIZE || n[k] != '\0')
			return NULL;
	}
	return names;
}

static void put_categories(FILE *out, const char *names)
{
	for (int i = 0; i < CATEGORIES; i++) {
		const char *name = names + i * CATEGORY_NAME_SIZE;
		if (*name == '\0')
			continue;
		fprintf(out, "category %d: ", i);
		wexlar_put_quoted(out, name, strlen(name));
		fputc('\n', out);
	}
}

static void put_db_attributes(FILE *out, uword attributes)
{
	fprintf(out, "attributes: 0x%04x", attributes);
	for (const auto &a : DB_ATTRIBUTES)
		if (attributes & a.bit)
			fprintf(out, " %s", a.name);
	fputc('\n', out);
}

static void put_block(FILE *out, const char *label, const void *data,
		      dword len, bool hex)
{
	fprintf(out, "%s: %ld bytes\n", label, (long)len);
	if (hex && data != NULL && len > 0)
		debug_dump(out, DUMP_PREFIX, (const ubyte *)data, (udword)len);
}

static void put_record(FILE *out, unsigned index, const struct pdb_record *r,
		       const char *categories, bool hex)
{
	fprintf(out, "record %u: offset %lu, size %u, flags", index,
		(unsigned long)r->offset, r->data_len);
	bool any = false;
	for (const auto &f : RECORD_FLAGS)
		if (r->flags & f.bit) {
			fprintf(out, " %s", f.name);
			any = true;
		}
	fprintf(out, "%s, category %u", any ? "" : " none", r->category);
	const char *name = categories != NULL && r->category < CATEGORIES
			       ? categories + r->category * CATEGORY_NAME_SIZE
			       : "";
	if (*name != '\0') {
		fputc(' ', out);
		wexlar_put_quoted(out, name, strlen(name));
	}
	fprintf(out, ", unique ID %lu\n", (unsigned long)r->id);
	if (hex)
		debug_dump(out, DUMP_PREFIX, r->data, r->data_len);
}

static void put_resource(FILE *out, unsigned index,
			 const struct pdb_resource *r, bool hex)
{
	fprintf(out, "resource %u: ", index);
	put_fourcc(out, "type ", r->type);
	fprintf(out, ", ID %u, offset %lu, size %u\n", r->id,
		(unsigned long)r->offset, r->data_len);
	if (hex)
		debug_dump(out, DUMP_PREFIX, r->data, r->data_len);
}

/* The points of a track log, decoded as the exporters decode them. */
static void put_track_points(FILE *out, const struct pdb *db)
{
	struct trkrec trk = {};
	char first[TIME_TEXT_SIZE], last[TIME_TEXT_SIZE];
	unsigned long points = 0;
	for (const struct pdb_record *r = db->rec_index.rec; r != NULL;
	     r = r->next) {
		if (!parsemagdata((const char *)r->data, r->data_len, &trk))
			continue;
		wexlar_format_time(&trk, points == 0 ? first : last);
		points++;
	}
	fprintf(out, "track points: %lu", points);
	if (points > 0)
		fprintf(out, ", first %s, last %s", first,
			points > 1 ? last : first);
	fputc('\n', out);
}

void pdbinfo_print(FILE *out, const char *path, const struct pdb *db,
		   bool hex)
{
	fputs("file: ", out);
	wexlar_put_quoted(out, path, strlen(path));
	fputs("\nname: ", out);
	wexlar_put_quoted(out, db->name, strnlen(db->name, PDB_NAME_SIZE));
	fputc('\n', out);
	put_db_attributes(out, db->attributes);
	fprintf(out, "version: %u\n", db->version);
	put_palm_time(out, "created", db->ctime);
	put_palm_time(out, "modified", db->mtime);
	put_palm_time(out, "backed up", db->baktime);
	fprintf(out, "modification number: %lu\n", (unsigned long)db->modnum);
	put_fourcc(out, "type: ", db->type);
	put_fourcc(out, "\ncreator: ", db->creator);
	fprintf(out, "\nunique ID seed: %lu\n",
		(unsigned long)db->uniqueIDseed);
	bool rsrc = IS_RSRC_DB(db);
	fprintf(out, "%s: %u\n", rsrc ? "resources" : "records", db->numrecs);
	put_block(out, "AppInfo block", db->appinfo, db->appinfo_len, hex);
	const char *categories = category_names(db);
	if (categories != NULL)
		put_categories(out, categories);
	put_block(out, "sort block", db->sortinfo, db->sortinfo_len, hex);
	unsigned index = 0;
	if (rsrc) {
		for (const struct pdb_resource *r = db->rec_index.rsrc;
		     r != NULL; r = r->next)
			put_resource(out, index++, r, hex);
		return;
	}
	for (const struct pdb_record *r = db->rec_index.rec; r != NULL;
	     r = r->next)
		put_record(out, index++, r, categories, hex);
	if (db->creator == WEXLAR_CREATOR && db->type == TRACK_LOG_TYPE)
		put_track_points(out, db);
}
