/* SPDX-License-Identifier: MIT */
/*
 * The database reader: loads a whole Palm database file from a descriptor.
 *
 * Blocks need not lie exactly where the format puts them: before each block
 * the reader seeks to the block's stored offset, warning only when that
 * means going back.  Short reads, failed seeks and failed allocations fail
 * the whole load.  Nothing is allocated that the rest of the file cannot
 * fill, so a hostile header costs no memory.
 */
#include <errno.h>
#include <limits.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#include "alloc.h"
#include "pdb.h"
#include "report.h"
#include "fileio.h"
#include "util.h"

/* Largest span one record or resource can hold (data_len is a uword). */
static const int64_t MAX_ENTRY_LEN = 0xFFFF;

/* Staging buffers of the fixed structures, one each for the program. */
static ubyte header_buf[PDB_HEADER_SIZE];
static ubyte reclist_buf[PDB_RECLIST_HEADER_SIZE];
static ubyte recentry_buf[PDB_RECORD_ENTRY_SIZE];
static ubyte rsrcentry_buf[PDB_RESOURCE_ENTRY_SIZE];

#define NAME_ARG(db) PDB_NAME_PRINT, (db)->name

/*
 * The loaders read through a read-ahead cache with a position of its own,
 * filled by pread, which leaves the descriptor alone: a log of 65535
 * records then costs a few dozen system calls instead of three a record.
 * Each loader attaches at the descriptor's position and, when it returns,
 * puts the descriptor where its reads ended, as plain reads would have.
 * Within one pdb_Read the steps share one attachment, so that a small file
 * is read once and the descriptor is put in its place once, at the end.  A
 * descriptor that cannot seek is read directly.
 */
enum { CACHE_SIZE = 64 * 1024 };

static struct {
	int fd;
	bool seekable;
	bool keep;	 /* within one pdb_Read: the cache stays valid */
	off_t pos;	 /* where the next read starts */
	off_t cache_off; /* file offset of cache[0] */
	size_t cache_len;
	ubyte cache[CACHE_SIZE];
} src;

/* Starts reading at fd's position; a descriptor that cannot seek (a pipe)
 * is read directly.  0, or -1 when the position cannot be had. */
static int src_attach(int fd)
{
	if (src.keep && fd == src.fd)
		return 0;
	src.cache_len = 0;
	src.fd = fd;
	src.pos = lseek(fd, 0, SEEK_CUR);
	src.seekable = src.pos >= 0;
	return src.seekable || errno == ESPIPE ? 0 : -1;
}

/* Puts the descriptor where the reads ended.  0, or -1 when it cannot. */
static int src_detach(void)
{
	if (src.keep)
		return 0;
	return src.seekable && lseek(src.fd, src.pos, SEEK_SET) < 0 ? -1 : 0;
}

/* Reads len bytes at the position: len, fewer at the end of the file, or
 * -1 on a read error (errno set). */
static ssize_t src_read(void *buf, size_t len)
{
	if (!src.seekable)
		return wexlar_read_full(src.fd, buf, len);
	size_t done = 0;
	while (done < len) {
		off_t end = src.cache_off + (off_t)src.cache_len;
		if (src.pos >= src.cache_off && src.pos < end) {
			size_t at = (size_t)(src.pos - src.cache_off);
			size_t n = len - done < src.cache_len - at
				       ? len - done
				       : src.cache_len - at;
			memcpy((ubyte *)buf + done, src.cache + at, n);
			done += n;
			src.pos += (off_t)n;
			continue;
		}
		if (len - done >= CACHE_SIZE) {
			ssize_t n = wexlar_pread_full(src.fd, (ubyte *)buf + done,
					       len - done, src.pos);
			if (n < 0)
				return -1;
			done += (size_t)n;
			src.pos += n;
			break;
		}
		ssize_t n = wexlar_pread_full(src.fd, src.cache, CACHE_SIZE, src.pos);
		if (n < 0)
			return -1;
		src.cache_off = src.pos;
		src.cache_len = (size_t)n;
		if (n == 0)
			break;
	}
	return (ssize_t)done;
}

static off_t src_tell(void)
{
	return src.seekable ? src.pos : lseek(src.fd, 0, SEEK_CUR);
}

static int src_seek(off_t offset)
{
	if (lseek(src.fd, offset, SEEK_SET) < 0)
		return -1;
	src.pos = offset;
	return 0;
}

/* "tag: lseek: system text" on standard error; returns -1. */
static int report_lseek(const char *tag)
{
	wexlar_report("%s: lseek: %s\n", tag, strerror(errno));
	return -1;
}

/*
 * Runs one loader attached to fd.  A failed positioning of the descriptor
 * fails the step, reported as "tag: lseek" with the system's text: a later
 * step would otherwise read from the wrong place.
 */
static int attached(int (*load)(struct pdb *), const char *tag, int fd,
		    struct pdb *db)
{
	if (src_attach(fd) < 0)
		return report_lseek(tag);
	int result = load(db);
	if (src_detach() < 0)
		return report_lseek(tag);
	return result;
}

off_t get_file_length(int fd)
{
	off_t here = lseek(fd, 0, SEEK_CUR);
	if (here < 0)
		return -1;
	off_t end = lseek(fd, 0, SEEK_END);
	if (lseek(fd, here, SEEK_SET) < 0 || end < 0)
		return -1;
	return end - here;
}

/*
 * Prints one Palm time stamp as its number and local time.  A stamp before
 * 1970 is shown as the date before 1970 that it is (time_t is signed here);
 * one the C library cannot format gets a placeholder instead of the text.
 */
static void trace_time(const char *label, udword stamp)
{
	long long secs = (long long)stamp - (long long)PALM_EPOCH_OFFSET;
	time_t t = (time_t)secs;
	/* A 32-bit time_t ends in 2038: no text rather than a wrong one. */
	const char *text = (long long)t == secs ? ctime(&t) : NULL;
	fprintf(stderr, "\t%s: %lu %s", label, (unsigned long)stamp,
		text != NULL ? text : "(unrepresentable time)\n");
}

static void trace_fourcc(const char *label, udword code)
{
	fprintf(stderr, "\t%s: '%c%c%c%c' (0x%08lx)\n", label,
		(char)(code >> 24), (char)(code >> 16), (char)(code >> 8),
		(char)code, (unsigned long)code);
}

static void trace_header(const struct pdb *db)
{
	static const struct {
		uword bit;
		const char *name;
	} attr_names[] = {
		{PDB_ATTR_RESDB, " RESDB"},	{PDB_ATTR_RO, " RO"},
		{PDB_ATTR_APPINFODIRTY, " APPINFODIRTY"},
		{PDB_ATTR_BACKUP, " BACKUP"},	{PDB_ATTR_OKNEWER, " OKNEWER"},
		{PDB_ATTR_RESET, " RESET"},	{PDB_ATTR_NOCOPY, " NOCOPY"},
		{PDB_ATTR_STREAM, " STREAM"},	{PDB_ATTR_OPEN, " OPEN"},
	};

	fprintf(stderr, "\tname: \"%.*s\"\n", NAME_ARG(db));
	fprintf(stderr, "\tattributes: 0x%04x", db->attributes);
	for (const auto &a : attr_names)
		if (db->attributes & a.bit)
			fputs(a.name, stderr);
	fputc('\n', stderr);
	fprintf(stderr, "\tversion: %u\n", db->version);
	trace_time("ctime", db->ctime);
	trace_time("mtime", db->mtime);
	trace_time("baktime", db->baktime);
	fprintf(stderr, "\tmodnum: %ld\n", (long)db->modnum);
	fprintf(stderr, "\tappinfo_offset: 0x%08lx\n",
		(unsigned long)db->appinfo_offset);
	fprintf(stderr, "\tsortinfo_offset: 0x%08lx\n",
		(unsigned long)db->sortinfo_offset);
	trace_fourcc("type", db->type);
	trace_fourcc("creator", db->creator);
	fprintf(stderr, "\tuniqueIDseed: %ld\n", (long)db->uniqueIDseed);
}

static int load_header(struct pdb *db)
{
	ssize_t got = src_read(header_buf, sizeof header_buf);
	if (got != (ssize_t)sizeof header_buf) {
		wexlar_report_short_read("pdb_LoadHeader: read", got);
		return -1;
	}
	memcpy(db->name, header_buf, PDB_NAME_SIZE);
	const ubyte *p = header_buf + PDB_NAME_SIZE;
	db->attributes = get_uword(&p);
	db->version = get_uword(&p);
	db->ctime = get_udword(&p);
	db->mtime = get_udword(&p);
	db->baktime = get_udword(&p);
	db->modnum = get_udword(&p);
	db->appinfo_offset = get_udword(&p);
	db->sortinfo_offset = get_udword(&p);
	db->type = get_udword(&p);
	db->creator = get_udword(&p);
	db->uniqueIDseed = get_udword(&p);
	if (pdb_trace > 4)
		trace_header(db);
	return 0;
}

static int load_reclist_header(struct pdb *db)
{
	ssize_t got = src_read(reclist_buf, sizeof reclist_buf);
	if (got != (ssize_t)sizeof reclist_buf) {
		wexlar_report_short_read("pdb_LoadRecListHeader: read2", got);
		return -1;
	}
	const ubyte *p = reclist_buf;
	db->next_reclistID = get_udword(&p);
	db->numrecs = get_uword(&p);
	if (pdb_trace > 5) {
		fprintf(stderr, "\tnextID: %ld\n", (long)db->next_reclistID);
		fprintf(stderr, "\tlen: %u\n", db->numrecs);
	}
	return 0;
}

/*
 * The index loaders link each entry behind the last one themselves, so that
 * loading stays linear; numrecs keeps the count of the record list header
 * throughout, as pdb_AppendRecord followed by resetting it would leave it.
 */
static int load_rec_index(struct pdb *db)
{
	struct pdb_record **tail = &db->rec_index.rec;
	*tail = NULL;
	for (int i = 0; i < db->numrecs; i++) {
		struct pdb_record *rec =
		    (struct pdb_record *)pdb_malloc(sizeof *rec);
		if (rec == NULL) {
			wexlar_report("%s: Out of memory.\n",
				"pdb_LoadRecIndex");
			return -1;
		}
		memset(rec, 0, sizeof *rec);
		ssize_t got = src_read(recentry_buf, sizeof recentry_buf);
		if (got != (ssize_t)sizeof recentry_buf) {
			wexlar_report(
				"%s: error reading record index entry for "
				"\"%.*s\" (%d bytes): %d.\n",
				"LoadRecIndex", NAME_ARG(db),
				(int)sizeof recentry_buf, (int)got);
			wexlar_report_short_read("read", got);
			pdb_FreeRecord(rec);
			return -1;
		}
		const ubyte *p = recentry_buf;
		rec->offset = get_udword(&p);
		split_attributes(get_ubyte(&p), &rec->flags, &rec->category);
		rec->id = (udword)p[0] << 16 | (udword)p[1] << 8 | p[2];
		if (pdb_trace > 5)
			fprintf(stderr,
				"\tRecord %d: offset 0x%08lx, flags 0x%02x,  "
				"category 0x%02x, ID 0x%08lx\n",
				i, (unsigned long)rec->offset, rec->flags,
				rec->category, (unsigned long)rec->id);
		*tail = rec;
		tail = &rec->next;
	}
	return 0;
}

static int load_rsrc_index(struct pdb *db)
{
	struct pdb_resource **tail = &db->rec_index.rsrc;
	*tail = NULL;
	for (int i = 0; i < db->numrecs; i++) {
		struct pdb_resource *rsrc =
		    (struct pdb_resource *)pdb_malloc(sizeof *rsrc);
		if (rsrc == NULL)
			return -1;
		memset(rsrc, 0, sizeof *rsrc);
		ssize_t got = src_read(rsrcentry_buf, sizeof rsrcentry_buf);
		if (got != (ssize_t)sizeof rsrcentry_buf) {
			pdb_FreeResource(rsrc);
			return -1;
		}
		const ubyte *p = rsrcentry_buf;
		rsrc->type = get_udword(&p);
		rsrc->id = get_uword(&p);
		rsrc->offset = get_udword(&p);
		if (pdb_trace > 5)
			fprintf(stderr,
				"\tResource %d: type '%c%c%c%c' (0x%08lx), "
				"id %u, offset 0x%08lx\n",
				i, (char)(rsrc->type >> 24),
				(char)(rsrc->type >> 16),
				(char)(rsrc->type >> 8), (char)rsrc->type,
				(unsigned long)rsrc->type, rsrc->id,
				(unsigned long)rsrc->offset);
		*tail = rsrc;
		tail = &rsrc->next;
	}
	return 0;
}

/*
 * Moves fd to expected.  A block that starts before the current position
 * (one that overlaps what was read before it) gets a warning that names it
 * by what ("AppInfo block", "record 3", ...); a gap is skipped silently.
 * Returns 0, or -1 when the seek fails (the caller reports it).
 */
static int position_at(const struct pdb *db, localID expected,
		       const char *what)
{
	off_t here = src_tell();
	if (here == (off_t)expected)
		return 0;
	if (here > (off_t)expected)
		wexlar_report(
			"Warning: %s in \"%.*s\" isn't where I thought it "
			"would be.\nExpected 0x%lx, but we're at 0x%lx.\n",
			what, NAME_ARG(db), (unsigned long)expected,
			(unsigned long)here);
	return src_seek((off_t)expected);
}

/* True when len bytes from offset lie within the file being read. */
static bool fits_in_file(const struct pdb *db, localID offset, int64_t len)
{
	return (int64_t)offset + len <= (int64_t)db->file_size;
}

/* Offset of the first entry's data; numrecs must not be 0. */
static localID first_entry_offset(const struct pdb *db)
{
	return IS_RSRC_DB(db) ? db->rec_index.rsrc->offset
			      : db->rec_index.rec->offset;
}

struct block {
	const char *func;     /* name in the messages */
	const char *what;     /* name in the warning */
	const char *notfound; /* message for a failed seek */
	const char *readtag;  /* tag of a short read */
	const char *dumptag;  /* prefix of the trace dump */
};

/* Loads the AppInfo or sort block of len bytes at offset into *buf. */
static int load_block(struct pdb *db, const struct block *b,
		      localID offset, int64_t len, dword *len_out, void **buf)
{
	*len_out = 0;
	*buf = NULL;
	if (len == 0)
		return 0;
	if (len < 0) {
		/* An end before the start: no buffer can be had for that. */
		wexlar_report("%s: Out of memory.\n", b->func);
		return -1;
	}
	if (position_at(db, offset, b->what) < 0) {
		wexlar_report(b->notfound, NAME_ARG(db));
		return -1;
	}
	if (!fits_in_file(db, offset, len)) {
		wexlar_report_short_read(b->readtag, 0);
		return -1;
	}
	*buf = pdb_malloc((size_t)len);
	if (*buf == NULL) {
		wexlar_report("%s: Out of memory.\n", b->func);
		return -1;
	}
	*len_out = (dword)len;
	ssize_t got = src_read(*buf, (size_t)len);
	if (got != len) {
		wexlar_report_short_read(b->readtag, got);
		return -1;
	}
	if (pdb_trace > 5)
		debug_dump(stderr, b->dumptag, (const ubyte *)*buf,
			   (udword)len);
	return 0;
}

static int load_app_block(struct pdb *db)
{
	static const struct block app = {
	    "pdb_LoadAppBlock", "AppInfo block",
	    "Can't find the AppInfo block in \"%.*s\"!\n",
	    "pdb_LoadAppBlock: read", "<APP"};
	if (db->appinfo_offset == 0) {
		db->appinfo_len = 0;
		db->appinfo = NULL;
		return 0;
	}
	int64_t end = db->sortinfo_offset != 0 ? db->sortinfo_offset
		      : db->numrecs != 0	 ? first_entry_offset(db)
						 : db->file_size;
	return load_block(db, &app, db->appinfo_offset,
			  end - (int64_t)db->appinfo_offset, &db->appinfo_len,
			  &db->appinfo);
}

static int load_sort_block(struct pdb *db)
{
	static const struct block sort = {
	    "pdb_LoadSortBlock", "sort block",
	    "Can't find the sort block in \"%.*s\"!\n",
	    "pdb_LoadSortBlock: read", "<SORT"};
	if (db->sortinfo_offset == 0) {
		db->sortinfo_len = 0;
		db->sortinfo = NULL;
		return 0;
	}
	int64_t end = db->numrecs != 0 ? first_entry_offset(db)
				       : db->file_size;
	return load_block(db, &sort, db->sortinfo_offset,
			  end - (int64_t)db->sortinfo_offset,
			  &db->sortinfo_len, &db->sortinfo);
}

/* Texts of one kind of entry, records or resources. */
struct entry_kind {
	const char *noun;      /* "record" or "resource" */
	const char *func;      /* loader name in the messages */
	const char *readtag;   /* tag of a short read */
	const char *dumptag;   /* prefix of the trace dump */
};

/*
 * Loads the data of entry i, which lies at offset and ends at end.  A span
 * that is negative or more than a uword holds fails: the model cannot keep
 * it without losing or inventing bytes.
 */
static int load_entry(const struct pdb *db, const struct entry_kind *k,
		      int i, localID offset, int64_t end, uword *len_out,
		      ubyte **data)
{
	char what[32];
	snprintf(what, sizeof what, "%s %d", k->noun, i);
	if (position_at(db, offset, what) < 0) {
		wexlar_report("Can't find %s %d in \"%.*s\".\n", k->noun, i,
			NAME_ARG(db));
		return -1;
	}
	int64_t span = end - (int64_t)offset;
	if (span < 0 || span > MAX_ENTRY_LEN) {
		wexlar_report("Can't read %s %d in \"%.*s\".\n", k->noun, i,
			NAME_ARG(db));
		return -1;
	}
	if (span == 0)
		return 0;
	if (!fits_in_file(db, offset, span)) {
		wexlar_report("Can't read %s %d in \"%.*s\".\n", k->noun, i,
			NAME_ARG(db));
		wexlar_report_short_read(k->readtag, 0);
		return -1;
	}
	*data = (ubyte *)pdb_malloc((size_t)span);
	if (*data == NULL) {
		wexlar_report("%s: Out of memory.\n", k->func);
		return -1;
	}
	*len_out = (uword)span;
	ssize_t got = src_read(*data, (size_t)span);
	if (got != span) {
		wexlar_report("Can't read %s %d in \"%.*s\".\n", k->noun, i,
			NAME_ARG(db));
		wexlar_report_short_read(k->readtag, got);
		return -1;
	}
	if (pdb_trace > 5) {
		fprintf(stderr, "Contents of %s %d:\n", k->noun, i);
		debug_dump(stderr, k->dumptag, *data, *len_out);
	}
	return 0;
}

static int load_records(struct pdb *db)
{
	static const struct entry_kind kind = {"record", "pdb_LoadRecords",
					       "pdb_LoadRecords: read", "<REC"};
	struct pdb_record *rec = db->rec_index.rec;
	for (int i = 0; i < db->numrecs; i++, rec = rec->next) {
		if (rec == NULL) {
			wexlar_report(
				"Hey! I can't find the %dth record in "
				"\"%.*s\"!\n",
				i, NAME_ARG(db));
			return -1;
		}
		if (pdb_trace > 4)
			fprintf(stderr, "Reading record %d (id 0x%08lx)\n", i,
				(unsigned long)rec->id);
		int64_t end = rec->next != NULL ? rec->next->offset
						: db->file_size;
		if (load_entry(db, &kind, i, rec->offset, end,
			       &rec->data_len, &rec->data) < 0)
			return -1;
	}
	return 0;
}

static int load_resources(struct pdb *db)
{
	static const struct entry_kind kind = {
	    "resource", "pdb_LoadResources", "pdb_LoadResources: read",
	    "<RSRC"};
	struct pdb_resource *rsrc = db->rec_index.rsrc;
	for (int i = 0; i < db->numrecs; i++, rsrc = rsrc->next) {
		if (rsrc == NULL) {
			wexlar_report(
				"Hey! I can't find the %dth resource in "
				"\"%.*s\"!\n",
				i, NAME_ARG(db));
			return -1;
		}
		if (pdb_trace > 4)
			fprintf(stderr, "Reading resource %d (type '%c%c%c%c')\n",
				i, (char)(rsrc->type >> 24),
				(char)(rsrc->type >> 16),
				(char)(rsrc->type >> 8), (char)rsrc->type);
		int64_t end = rsrc->next != NULL ? rsrc->next->offset
						 : db->file_size;
		if (load_entry(db, &kind, i, rsrc->offset, end,
			       &rsrc->data_len, &rsrc->data) < 0)
			return -1;
	}
	return 0;
}

/* The loaders as the library offers them: each on its own descriptor. */
int pdb_LoadHeader(int fd, struct pdb *db)
{
	return attached(load_header, "pdb_LoadHeader", fd, db);
}

int pdb_LoadRecListHeader(int fd, struct pdb *db)
{
	return attached(load_reclist_header, "pdb_LoadRecListHeader", fd, db);
}

int pdb_LoadRecIndex(int fd, struct pdb *db)
{
	return attached(load_rec_index, "pdb_LoadRecIndex", fd, db);
}

int pdb_LoadRsrcIndex(int fd, struct pdb *db)
{
	return attached(load_rsrc_index, "pdb_LoadRsrcIndex", fd, db);
}

int pdb_LoadAppBlock(int fd, struct pdb *db)
{
	return attached(load_app_block, "pdb_LoadAppBlock", fd, db);
}

int pdb_LoadSortBlock(int fd, struct pdb *db)
{
	return attached(load_sort_block, "pdb_LoadSortBlock", fd, db);
}

int pdb_LoadRecords(int fd, struct pdb *db)
{
	return attached(load_records, "pdb_LoadRecords", fd, db);
}

int pdb_LoadResources(int fd, struct pdb *db)
{
	return attached(load_resources, "pdb_LoadResources", fd, db);
}

/* Runs one loading step; on failure prints fail_fmt (with the name when it
 * has a %.*s) and returns -1. */
static int step(int (*load)(int, struct pdb *), int fd, struct pdb *db,
		const char *fail_fmt)
{
	if (load(fd, db) == 0)
		return 0;
	wexlar_report(fail_fmt, NAME_ARG(db));
	return -1;
}

/* The loading steps of pdb_Read after the file's length, in order.
 * Returns db, or null after freeing it and the reports. */
static struct pdb *read_steps(int fd, struct pdb *db)
{
	if (pdb_LoadHeader(fd, db) < 0) {
		wexlar_report("Can't load header.\n");
		free_pdb(db);
		return NULL;
	}
	bool rsrc = IS_RSRC_DB(db);
	if (step(pdb_LoadRecListHeader, fd, db,
		 "Can't load record list header for \"%.*s\".\n") < 0 ||
	    (rsrc ? step(pdb_LoadRsrcIndex, fd, db,
			 "Can't read resource index for \"%.*s\".\n")
		  : step(pdb_LoadRecIndex, fd, db,
			 "Can't read record index for \"%.*s\".\n")) < 0 ||
	    step(pdb_LoadAppBlock, fd, db,
		 "Can't read AppInfo block for \"%.*s\".\n") < 0 ||
	    step(pdb_LoadSortBlock, fd, db,
		 "Can't read sort block for \"%.*s\".\n") < 0 ||
	    (rsrc ? step(pdb_LoadResources, fd, db,
			 "Can't read resources for \"%.*s\".\n")
		  : step(pdb_LoadRecords, fd, db,
			 "Can't read records for \"%.*s\".\n")) < 0) {
		free_pdb(db);
		return NULL;
	}
	return db;
}

struct pdb *pdb_Read(int fd)
{
	struct pdb *db = new_pdb();
	if (db == NULL)
		return NULL;
	off_t length = get_file_length(fd);
	if (length == -1) {
		wexlar_report("File isn't seekable.\n");
		free_pdb(db);
		return NULL;
	}
	if (length > INT32_MAX) {
		wexlar_report(
			"File is too large for a Palm database (%lld bytes, "
			"at most %ld).\n",
			(long long)length, (long)INT32_MAX);
		free_pdb(db);
		return NULL;
	}
	db->file_size = (dword)length;

	if (src_attach(fd) < 0) {
		report_lseek("pdb_Read");
		free_pdb(db);
		return NULL;
	}
	src.keep = true;
	db = read_steps(fd, db);
	src.keep = false;
	if (src_detach() < 0) {
		report_lseek("pdb_Read");
		free_pdb(db);
		return NULL;
	}
	return db;
}
