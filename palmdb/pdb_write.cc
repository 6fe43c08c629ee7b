/* SPDX-License-Identifier: MIT */
/*
 * The database writer: lays a pdb out as a file with no gaps, every offset
 * computed afresh from the model.
 */
#include <errno.h>
#include <string.h>

#include "pdb.h"
#include "report.h"
#include "fileio.h"
#include "util.h"

/* Staging buffers of the fixed pieces, one each for the program. */
static ubyte header_buf[PDB_HEADER_SIZE];
static ubyte reclist_buf[PDB_RECLIST_HEADER_SIZE];
static ubyte entry_buf[PDB_RESOURCE_ENTRY_SIZE];
static const ubyte zero_bytes[PDB_INDEX_GAP] = {0, 0};

/* The record ID is stored in three bytes. */
static const udword ID_MASK = 0x00FFFFFF;

/*
 * Writes one piece whole.  On failure prints what (a format taking the
 * function name and the database name) and the system's error, and
 * returns -1.
 */
static int put_piece(int fd, const struct pdb *db, const void *buf,
		     size_t len, const char *what)
{
	if (wexlar_write_full(fd, buf, len) == (ssize_t)len)
		return 0;
	wexlar_report(what, "pdb_Write", PDB_NAME_PRINT, db->name);
	wexlar_report_errno("write");
	return -1;
}

/* A block with a negative length cannot be laid out; fail as its write. */
static int check_block(const struct pdb *db, const void *block, dword len,
		       const char *what)
{
	if (block == NULL || len >= 0)
		return 0;
	errno = EINVAL;
	wexlar_report(what, "pdb_Write", PDB_NAME_PRINT, db->name);
	wexlar_report_errno("write");
	return -1;
}

static const char APP_FAIL[] = "%s: Can't write AppInfo block for \"%.*s\".\n";
static const char SORT_FAIL[] = "%s: Can't write sort block for \"%.*s\".\n";

int pdb_Write(const struct pdb *db, int fd)
{
	bool rsrc = IS_RSRC_DB(db);
	if (check_block(db, db->appinfo, db->appinfo_len, APP_FAIL) < 0 ||
	    check_block(db, db->sortinfo, db->sortinfo_len, SORT_FAIL) < 0)
		return -1;

	udword offset = PDB_INDEX_START +
			(udword)db->numrecs * (rsrc ? PDB_RESOURCE_ENTRY_SIZE
						    : PDB_RECORD_ENTRY_SIZE) +
			PDB_INDEX_GAP;

	ubyte *p = header_buf;
	memcpy(p, db->name, PDB_NAME_SIZE);
	p += PDB_NAME_SIZE;
	put_uword(&p, db->attributes & (uword)~PDB_ATTR_OPEN);
	put_uword(&p, db->version);
	put_udword(&p, db->ctime);
	put_udword(&p, db->mtime);
	put_udword(&p, db->baktime);
	put_udword(&p, db->modnum);
	put_udword(&p, db->appinfo != NULL ? offset : 0);
	if (db->appinfo != NULL)
		offset += (udword)db->appinfo_len;
	put_udword(&p, db->sortinfo != NULL ? offset : 0);
	if (db->sortinfo != NULL)
		offset += (udword)db->sortinfo_len;
	put_udword(&p, db->type);
	put_udword(&p, db->creator);
	put_udword(&p, db->uniqueIDseed);
	if (put_piece(fd, db, header_buf, sizeof header_buf,
		      "%s: can't write database header for \"%.*s\".\n") < 0)
		return -1;

	p = reclist_buf;
	put_udword(&p, 0);
	put_uword(&p, db->numrecs);
	if (put_piece(fd, db, reclist_buf, sizeof reclist_buf,
		      "%s: can't write record list header for \"%.*s\".\n") < 0)
		return -1;

	if (rsrc) {
		for (const struct pdb_resource *r = db->rec_index.rsrc; r;
		     r = r->next) {
			p = entry_buf;
			put_udword(&p, r->type);
			put_uword(&p, r->id);
			put_udword(&p, offset);
			if (put_piece(fd, db, entry_buf,
				      PDB_RESOURCE_ENTRY_SIZE,
				      "%s: Can't write resource index entry "
				      "for \"%.*s\".\n") < 0)
				return -1;
			offset += r->data_len;
		}
	} else {
		for (const struct pdb_record *r = db->rec_index.rec; r;
		     r = r->next) {
			if (r->data_len == 0)
				wexlar_report(
					"\"%.*s\" record 0x%08lx has length "
					"0.\n",
					PDB_NAME_PRINT, db->name,
					(unsigned long)r->id);
			p = entry_buf;
			put_udword(&p, offset);
			put_ubyte(&p, merge_attributes(r->flags, r->category));
			udword id = r->id & ID_MASK;
			put_ubyte(&p, (ubyte)(id >> 16));
			put_ubyte(&p, (ubyte)(id >> 8));
			put_ubyte(&p, (ubyte)id);
			if (put_piece(fd, db, entry_buf, PDB_RECORD_ENTRY_SIZE,
				      "%s: Can't write record index entry for "
				      "\"%.*s\".\n") < 0)
				return -1;
			offset += r->data_len;
		}
	}

	if (put_piece(fd, db, zero_bytes, sizeof zero_bytes,
		      "%s: Can't write the two useless NULs to \"%.*s\".\n") < 0)
		return -1;
	if (db->appinfo != NULL &&
	    put_piece(fd, db, db->appinfo, (size_t)db->appinfo_len,
		      APP_FAIL) < 0)
		return -1;
	if (db->sortinfo != NULL &&
	    put_piece(fd, db, db->sortinfo, (size_t)db->sortinfo_len,
		      SORT_FAIL) < 0)
		return -1;

	if (rsrc) {
		for (const struct pdb_resource *r = db->rec_index.rsrc; r;
		     r = r->next)
			if (put_piece(fd, db, r->data, r->data_len,
				      "%s: Can't write resource data for "
				      "\"%.*s\".\n") < 0)
				return -1;
	} else {
		for (const struct pdb_record *r = db->rec_index.rec; r;
		     r = r->next)
			if (put_piece(fd, db, r->data, r->data_len,
				      "%s: Can't write record data for "
				      "\"%.*s\".\n") < 0)
				return -1;
	}
	return 0;
}
