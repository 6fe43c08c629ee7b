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

/* A Palm time stamp as a UTC date, or "never" for 0. */
static void put_palm_time(FILE *out, const char *label, udword stamp)
{
	fprintf(out, "%s: ", label);
	if (stamp == 0) {
		fputs("never\n", out);
		return;
	}
	int64_t secs = (int64_t)stamp - (int64_t)PALM_EPOCH_OFFSET;
	int64_t days = (secs >= 0 ? secs : secs - 86399) / 86400;
	int64_t in_day = secs - days * 86400;
	struct civil_date d = civil_from_days(days);
	fprintf(out, "%04lld-%02u-%02uT%02lld:%02lld:%02lldZ\n",
		(long long)d.year, d.month, d.day, (long long)(in_day / 3600),
		(long long)(in_day / 60 % 60), (long long)(in_day % 60));
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
		       bool hex)
{
	fprintf(out, "record %u: offset %lu, size %u, flags", index,
		(unsigned long)r->offset, r->data_len);
	bool any = false;
	for (const auto &f : RECORD_FLAGS)
		if (r->flags & f.bit) {
			fprintf(out, " %s", f.name);
			any = true;
		}
	fprintf(out, "%s, category %u, unique ID %lu\n", any ? "" : " none",
		r->category, (unsigned long)r->id);
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
		put_record(out, index++, r, hex);
	if (db->creator == WEXLAR_CREATOR && db->type == TRACK_LOG_TYPE)
		put_track_points(out, db);
}
