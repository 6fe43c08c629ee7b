/* The database model: construction, release and the record list. */
#include "pdb.h"

#include <stdlib.h>
#include <string.h>

#include "alloc.h"

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
