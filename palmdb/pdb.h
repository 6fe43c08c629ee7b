/* SPDX-License-Identifier: MIT */
/*
 * Palm database model, reader and writer.
 *
 * A struct pdb is one database in memory.  It owns its AppInfo block, its
 * sort block and every entry on its list, and each entry owns its data; all
 * of it comes from the C heap and free_pdb() releases it.  An entry made by
 * a constructor or a copy belongs to the caller until it is appended or
 * inserted.
 *
 * Operations returning int give 0 on success and -1 on failure; operations
 * returning a pointer give null on failure.  A failing operation reports its
 * own message first, on standard error unless pdb_SetMessageSink() chose
 * otherwise.  The library keeps static staging buffers, one trace level and
 * one message sink, so one database is read or written at a time.
 */
#ifndef PALMDB_PDB_H
#define PALMDB_PDB_H

#include <stdio.h>
#include <sys/types.h>

#include "palm.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Sizes of the fixed structures of a database file. */
#define PDB_HEADER_SIZE 72
#define PDB_NAME_SIZE 32
#define PDB_RECLIST_HEADER_SIZE 6
#define PDB_RECORD_ENTRY_SIZE 8
#define PDB_RESOURCE_ENTRY_SIZE 10
#define PDB_INDEX_START (PDB_HEADER_SIZE + PDB_RECLIST_HEADER_SIZE)
#define PDB_INDEX_GAP 2 /* the two zero bytes behind the index */

/* Database attribute bits. */
#define PDB_ATTR_RESDB 0x0001
#define PDB_ATTR_RO 0x0002
#define PDB_ATTR_APPINFODIRTY 0x0004
#define PDB_ATTR_BACKUP 0x0008
#define PDB_ATTR_OKNEWER 0x0010
#define PDB_ATTR_RESET 0x0020
#define PDB_ATTR_NOCOPY 0x0040
#define PDB_ATTR_STREAM 0x0080
#define PDB_ATTR_OPEN 0x8000

/* Record attribute byte: with this bit set, bit 0x08 is a flag as well and
 * the category is 0. */
#define PDB_REC_ATTR_WIDE_FLAGS 0x20

/* Precision with which a database name is printed (it need not end in NUL). */
#define PDB_NAME_PRINT 32

/* True when db holds resources rather than records. */
#define IS_RSRC_DB(db) (((db)->attributes & PDB_ATTR_RESDB) != 0)

struct pdb_record {
	struct pdb_record *next; /* null at the tail */
	localID offset;		 /* where the data lay in the file read */
	ubyte flags;		 /* upper part of the attribute byte */
	ubyte category;		 /* 0 to 15 in a file */
	udword id;		 /* unique ID; a file keeps the low 24 bits */
	uword data_len;		 /* exact length of data */
	ubyte *data;		 /* null when data_len is 0 */
};

struct pdb_resource {
	struct pdb_resource *next;
	udword type; /* four-character code */
	uword id;
	localID offset;
	uword data_len;
	ubyte *data; /* null when data_len is 0 */
};

struct pdb {
	dword file_size; /* length of the file read; ignored by the writer */
	char name[PDB_NAME_SIZE]; /* NUL-padded, not always NUL-terminated */
	uword attributes;
	uword version;
	udword ctime; /* Palm time stamps: seconds since 1904-01-01 */
	udword mtime;
	udword baktime;
	udword modnum;
	localID appinfo_offset;	 /* as read; the writer recomputes it */
	localID sortinfo_offset; /* as read; the writer recomputes it */
	udword type;
	udword creator;
	udword uniqueIDseed;
	localID next_reclistID; /* as read; written as 0 */
	uword numrecs;		/* number of entries on the list */
	dword appinfo_len;
	void *appinfo; /* null when there is no AppInfo block */
	dword sortinfo_len;
	void *sortinfo; /* null when there is no sort block */
	union {
		struct pdb_record *rec;	   /* live in a record database */
		struct pdb_resource *rsrc; /* live in a resource database */
	} rec_index;
};

/* Trace level of the whole library, 0 at start: each trace line prints only
 * above its threshold. */
extern int pdb_trace;

/*
 * Receives one message of the library: text is a NUL-terminated line (a
 * warning may hold two), ending in a newline, that lives only during the
 * call.  context is what was given with the sink.
 */
typedef void (*pdb_message_sink)(void *context, const char *text);

/*
 * Chooses where the library's messages go from now on: every failure and
 * warning that its functions report (the texts named in this header and
 * the system's error texts) is handed to sink, one message per call, in
 * the order they arise.  A sink must not call the library.  A null sink
 * gives the default, standard error, with each text printed as it is
 * (context is then not kept).  The trace that pdb_trace turns on goes to
 * standard error whatever the sink.
 */
void pdb_SetMessageSink(pdb_message_sink sink, void *context);

/* Attribute byte of a record index entry from flags and category, and back.
 * Bits 0x07 of flags never reach the byte; the category keeps 4 bits. */
ubyte merge_attributes(ubyte flags, ubyte category);
void split_attributes(ubyte attributes, ubyte *flags, ubyte *category);

/* A new, zeroed database (an empty record database), or null without a
 * message when memory is exhausted. */
struct pdb *new_pdb(void);

/* Releases db with its blocks, its entries and their data.  db may be null. */
void free_pdb(struct pdb *db);

/* Release one entry and its data.  The entry must be on no list. */
void pdb_FreeRecord(struct pdb_record *rec);
void pdb_FreeResource(struct pdb_resource *rsrc);

/* The record after rec (rec->next), or null at the tail.  db is not read. */
struct pdb_record *pdb_NextRecord(const struct pdb *db,
				  const struct pdb_record *rec);

/*
 * Append one entry at the tail and add 1 to numrecs; newrec->next is set to
 * null.  Returns 0, or -1 without a message when the database is of the
 * other kind, in which case the entry stays the caller's.  The list is walked
 * from the head.
 */
int pdb_AppendRecord(struct pdb *db, struct pdb_record *newrec);
int pdb_AppendResource(struct pdb *db, struct pdb_resource *newrsrc);

/*
 * Loads the whole database from fd (open for reading, seekable, at the
 * start of the database).  Returns a new pdb that the caller owns, or null
 * after its messages (to the sink, see pdb_SetMessageSink); nothing of a
 * failed load survives.  The descriptor is never closed.
 */
struct pdb *pdb_Read(int fd);

/* Reads and decodes the 72-byte header into db.  0, or -1 after a report
 * under "pdb_LoadHeader: read". */
int pdb_LoadHeader(int fd, struct pdb *db);

/* Bytes from fd's current position to the end of the file, or -1 when the
 * position cannot be determined.  The position is left where it was. */
off_t get_file_length(int fd);

/* The steps of pdb_Read after the header, each expecting the ones before it
 * to have run.  0, or -1 on failure. */
int pdb_LoadRecListHeader(int fd, struct pdb *db);
int pdb_LoadRecIndex(int fd, struct pdb *db);
int pdb_LoadRsrcIndex(int fd, struct pdb *db);
int pdb_LoadAppBlock(int fd, struct pdb *db);
int pdb_LoadSortBlock(int fd, struct pdb *db);
int pdb_LoadRecords(int fd, struct pdb *db);
int pdb_LoadResources(int fd, struct pdb *db);

/*
 * Writes db to fd (open for writing, at the start of an empty file) with no
 * gaps: every offset is computed from the model, OPEN is stored cleared,
 * the link to a further record list as 0 and each record ID in 24 bits.
 * numrecs must equal the length of the list.  A record of length 0 gets a
 * warning and is written.  Returns 0, or -1 after "pdb_Write: ..." and the
 * system's error on the first piece that was not written whole; nothing
 * written is undone.  The descriptor is never closed: it is the caller's.
 */
int pdb_Write(const struct pdb *db, int fd);

/* The first record whose id equals id in all 32 bits, or null. */
struct pdb_record *pdb_FindRecordByID(const struct pdb *db, udword id);

/* The record at 0-based position index, or null if the list is shorter. */
struct pdb_record *pdb_FindRecordByIndex(const struct pdb *db, uword index);

/*
 * Unlinks and releases the first record whose id equals id and lowers
 * numrecs.  Returns 0, also when no record matches, or -1 without a message
 * for a resource database.
 */
int pdb_DeleteRecordByID(struct pdb *db, udword id);

/*
 * Links the new entry after prev, or at the head when prev is null, and
 * adds 1 to numrecs; db then owns it.  prev must be an entry of db.  Always
 * returns 0.  The database kind is not checked.
 */
int pdb_InsertRecord(struct pdb *db, struct pdb_record *prev,
		     struct pdb_record *newrec);
int pdb_InsertResource(struct pdb *db, struct pdb_resource *prev,
		       struct pdb_resource *newrsrc);

/*
 * A new entry on no list, owned by the caller, with a copy of len bytes of
 * data (not read when len is 0; data is then null).  Fields are kept as
 * given; masking happens only in a file.  Null after the message
 * "...: Out of memory." or "...: can't allocate data.".
 */
struct pdb_record *new_Record(ubyte flags, ubyte category, udword id,
			      uword len, const ubyte *data);
struct pdb_resource *new_Resource(udword type, uword id, uword len,
				  const ubyte *data);

/*
 * A copy of one entry on no list, owned by the caller, with its own data
 * (null for length 0) and the source's offset.  db gives only the name in
 * the messages.  Null after the message "...: Out of memory." or
 * "...: can't allocate record data for ..." (resource data).
 */
struct pdb_record *pdb_CopyRecord(const struct pdb *db,
				  const struct pdb_record *rec);
struct pdb_resource *pdb_CopyResource(const struct pdb *db,
				      const struct pdb_resource *rsrc);

#ifdef __cplusplus
}
#endif

#endif
