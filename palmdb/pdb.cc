/* SPDX-License-Identifier: MIT */
/* The database model: construction, release and the record list. */
#include "pdb.h"
#include "report.h"

#include <stdlib.h>
#include <string.h>

#include "alloc.h"
#include "util.h"

int pdb_trace = 0;

void split_attributes(ubyte attributes, ubyte *flags, ubyte *category)
{
	if (attributes & PDB_REC_ATTR_WIDE_FLAGS) {
		*flags = attributes & 0xF8;
		*category = 0;
	} else {
		*flags = attributes & 0xF0;
		*category = attributes & 0x0F;
	}
	if (pdb_trace > 5)
		fprintf(stderr, "split 0x%02x into 0x%02x, 0x%02x\n",
			attributes, *flags, *category);
}

ubyte merge_attributes(ubyte flags, ubyte category)
{
	if (flags & PDB_REC_ATTR_WIDE_FLAGS)
		return flags & 0xF8;
	return (ubyte)((flags & 0xF0) | (category & 0x0F));
}

struct pdb *new_pdb(void)
{
	struct pdb *db = (struct pdb *)pdb_malloc(sizeof *db);
	if (db != NULL)
		memset(db, 0, sizeof *db);
	return db;
}

void pdb_FreeRecord(struct pdb_record *rec)
{
	free(rec->data);
	free(rec);
}

void pdb_FreeResource(struct pdb_resource *rsrc)
{
	free(rsrc->data);
	free(rsrc);
}

void free_pdb(struct pdb *db)
{
	if (pdb_trace > 6)
		fprintf(stderr, "Inside free_pdb(%p)\n", (void *)db);
	if (db == NULL)
		return;
	if (IS_RSRC_DB(db)) {
		if (pdb_trace > 7)
			fprintf(stderr, "Freeing resource list\n");
		struct pdb_resource *rsrc = db->rec_index.rsrc;
		while (rsrc != NULL) {
			struct pdb_resource *next = rsrc->next;
			pdb_FreeResource(rsrc);
			rsrc = next;
		}
	} else {
		if (pdb_trace > 7)
			fprintf(stderr, "Freeing record list\n");
		struct pdb_record *rec = db->rec_index.rec;
		while (rec != NULL) {
			struct pdb_record *next = rec->next;
			pdb_FreeRecord(rec);
			rec = next;
		}
	}
	free(db->sortinfo);
	free(db->appinfo);
	free(db);
}

struct pdb_record *pdb_NextRecord(const struct pdb *db,
				  const struct pdb_record *rec)
{
	(void)db;
	return rec->next;
}

int pdb_AppendRecord(struct pdb *db, struct pdb_record *newrec)
{
	if (IS_RSRC_DB(db))
		return -1;
	struct pdb_record **link = &db->rec_index.rec;
	while (*link != NULL)
		link = &(*link)->next;
	*link = newrec;
	newrec->next = NULL;
	db->numrecs++;
	return 0;
}

int pdb_AppendResource(struct pdb *db, struct pdb_resource *newrsrc)
{
	if (!IS_RSRC_DB(db))
		return -1;
	struct pdb_resource **link = &db->rec_index.rsrc;
	while (*link != NULL)
		link = &(*link)->next;
	*link = newrsrc;
	newrsrc->next = NULL;
	db->numrecs++;
	return 0;
}

/* Editing operations on single entries. */

struct pdb_record *pdb_FindRecordByID(const struct pdb *db, udword id)
{
	for (struct pdb_record *r = db->rec_index.rec; r != NULL; r = r->next)
		if (r->id == id)
			return r;
	return NULL;
}

struct pdb_record *pdb_FindRecordByIndex(const struct pdb *db, uword index)
{
	struct pdb_record *r = db->rec_index.rec;
	for (; index > 0; index--) {
		if (r == NULL)
			return NULL;
		r = r->next;
	}
	return r;
}

int pdb_DeleteRecordByID(struct pdb *db, udword id)
{
	if (IS_RSRC_DB(db))
		return -1;
	for (struct pdb_record **link = &db->rec_index.rec; *link != NULL;
	     link = &(*link)->next) {
		struct pdb_record *r = *link;
		if (r->id == id) {
			*link = r->next;
			pdb_FreeRecord(r);
			db->numrecs--;
			return 0;
		}
	}
	return 0;
}

int pdb_InsertRecord(struct pdb *db, struct pdb_record *prev,
		     struct pdb_record *newrec)
{
	struct pdb_record **link = prev != NULL ? &prev->next
						: &db->rec_index.rec;
	newrec->next = *link;
	*link = newrec;
	db->numrecs++;
	return 0;
}

int pdb_InsertResource(struct pdb *db, struct pdb_resource *prev,
		       struct pdb_resource *newrsrc)
{
	struct pdb_resource **link = prev != NULL ? &prev->next
						  : &db->rec_index.rsrc;
	newrsrc->next = *link;
	*link = newrsrc;
	db->numrecs++;
	return 0;
}

/* A copy of len bytes of data in a new buffer, or null for len 0 and on
 * failure (*failed tells which). */
static ubyte *copy_data(const ubyte *data, uword len, bool *failed)
{
	*failed = false;
	if (len == 0)
		return NULL;
	ubyte *copy = (ubyte *)pdb_malloc(len);
	if (copy == NULL)
		*failed = true;
	else
		memcpy(copy, data, len);
	return copy;
}

struct pdb_record *new_Record(ubyte flags, ubyte category, udword id,
			      uword len, const ubyte *data)
{
	if (pdb_trace > 5) {
		fprintf(stderr, "new_Record: Creating new record:\n");
		fprintf(stderr, "\tflags == 0x%02x\n", flags);
		fprintf(stderr, "\tcategory == 0x%02x\n", category);
		fprintf(stderr, "\tid == 0x%08lx\n", (unsigned long)id);
		fprintf(stderr, "\tlen == %d\n", len);
		debug_dump(stderr, "NEW", data, len);
	}
	struct pdb_record *rec = (struct pdb_record *)pdb_malloc(sizeof *rec);
	if (rec == NULL) {
		wexlar_report("%s: Out of memory.\n", "new_Record");
		return NULL;
	}
	memset(rec, 0, sizeof *rec);
	rec->flags = flags;
	rec->category = category;
	rec->id = id;
	bool failed;
	rec->data = copy_data(data, len, &failed);
	if (failed) {
		wexlar_report("%s: can't allocate data.\n", "new_Record");
		free(rec);
		return NULL;
	}
	rec->data_len = len;
	return rec;
}

struct pdb_resource *new_Resource(udword type, uword id, uword len,
				  const ubyte *data)
{
	if (pdb_trace > 5) {
		fprintf(stderr, "new_Resource: Creating new resource:\n");
		fprintf(stderr, "\ttype == 0x%08lx (%c%c%c%c)\n",
			(unsigned long)type, (char)(type >> 24),
			(char)(type >> 16), (char)(type >> 8), (char)type);
		fprintf(stderr, "\tid == 0x%04x\n", id);
		fprintf(stderr, "\tlen == %d\n", len);
		debug_dump(stderr, "NEW", data, len);
	}
	struct pdb_resource *rsrc =
	    (struct pdb_resource *)pdb_malloc(sizeof *rsrc);
	if (rsrc == NULL) {
		wexlar_report("%s: Out of memory.\n", "new_Resource");
		return NULL;
	}
	memset(rsrc, 0, sizeof *rsrc);
	rsrc->type = type;
	rsrc->id = id;
	bool failed;
	rsrc->data = copy_data(data, len, &failed);
	if (failed) {
		wexlar_report("%s: can't allocate data.\n", "new_Resource");
		free(rsrc);
		return NULL;
	}
	rsrc->data_len = len;
	return rsrc;
}

struct pdb_record *pdb_CopyRecord(const struct pdb *db,
				  const struct pdb_record *rec)
{
	struct pdb_record *copy = (struct pdb_record *)pdb_malloc(sizeof *copy);
	if (copy == NULL) {
		wexlar_report("%s: Out of memory.\n", "pdb_CopyRecord");
		return NULL;
	}
	memset(copy, 0, sizeof *copy);
	copy->offset = rec->offset;
	copy->flags = rec->flags;
	copy->category = rec->category;
	copy->id = rec->id;
	bool failed;
	copy->data = copy_data(rec->data, rec->data_len, &failed);
	if (failed) {
		wexlar_report(
			"%s: can't allocate record data for \"%.*s\".\n",
			"pdb_CopyRecord", PDB_NAME_PRINT, db->name);
		free(copy);
		return NULL;
	}
	copy->data_len = rec->data_len;
	return copy;
}

struct pdb_resource *pdb_CopyResource(const struct pdb *db,
				      const struct pdb_resource *rsrc)
{
	struct pdb_resource *copy =
	    (struct pdb_resource *)pdb_malloc(sizeof *copy);
	if (copy == NULL) {
		wexlar_report("%s: Out of memory.\n", "pdb_CopyResource");
		return NULL;
	}
	memset(copy, 0, sizeof *copy);
	copy->type = rsrc->type;
	copy->id = rsrc->id;
	copy->offset = rsrc->offset;
	bool failed;
	copy->data = copy_data(rsrc->data, rsrc->data_len, &failed);
	if (failed) {
		wexlar_report(
			"%s: can't allocate resource data for \"%.*s\".\n",
			"pdb_CopyResource", PDB_NAME_PRINT, db->name);
		free(copy);
		return NULL;
	}
	copy->data_len = rsrc->data_len;
	return copy;
}
