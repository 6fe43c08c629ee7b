/* SPDX-License-Identifier: MIT */
#include "frontend.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "quote.h"

static const udword WEXLAR_CREATOR = PALM_FOURCC('W', 'x', 'l', '1');
static const udword TRACK_LOG_TYPE = PALM_FOURCC('D', 'A', 'T', 'A');

std::string quoted_name(const char *path)
{
	size_t len = strlen(path);
	std::string text(WEXLAR_QUOTED_SIZE(len), '\0');
	text.resize(wexlar_quote(&text[0], path, len));
	return text;
}

/* A resource database is no track log, whatever its codes say: the
 * writers walk a record list. */
bool is_track_log(const struct pdb *db)
{
	return db->creator == WEXLAR_CREATOR && db->type == TRACK_LOG_TYPE &&
	       !IS_RSRC_DB(db);
}

static void ignore_message(void *, const char *) {}

struct pdb *read_quietly(int fd)
{
	pdb_SetMessageSink(ignore_message, NULL);
	struct pdb *db = pdb_Read(fd);
	pdb_SetMessageSink(NULL, NULL);
	return db;
}

/* Where a database's header holds its type and creator codes. */
enum { CODES_AT = 60, CODES_SIZE = 8 };

/* Whether the first bytes of a file are a Palm database's header: a name
 * that ends within its field, and type and creator codes of printable
 * characters, as every application's are.  A damaged database still has
 * one; an export (text, or a MapSend file's numbers) has none. */
static bool palm_header(const unsigned char *head)
{
	if (memchr(head, '\0', PDB_NAME_SIZE) == NULL)
		return false;
	for (size_t i = CODES_AT; i < CODES_AT + CODES_SIZE; i++)
		if (head[i] < 0x20 || head[i] > 0x7E)
			return false;
	return true;
}

bool is_palm_database(const char *path)
{
	struct stat st;
	if (stat(path, &st) < 0 || !S_ISREG(st.st_mode) ||
	    st.st_size < PDB_INDEX_START)
		return false;
	/* Not blocking: the name may have become a FIFO since. */
	int fd = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
	if (fd < 0)
		return true; /* a file that cannot be checked is kept */
	unsigned char head[PDB_INDEX_START];
	bool database = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
			pread(fd, head, sizeof head, 0) == (ssize_t)sizeof head &&
			palm_header(head);
	close(fd);
	return database;
}

struct pdb *load_track_log(const char *path, struct stat *st)
{
	if (stat(path, st) < 0) {
		perror(NULL);
		return NULL;
	}
	if (!S_ISREG(st->st_mode)) {
		fprintf(stderr, "%s: Not a regular file\n", path);
		return NULL;
	}
	int fd = open(path, O_RDONLY);
	if (fd < 0) {
		perror(NULL);
		return NULL;
	}
	struct pdb *db = pdb_Read(fd);
	close(fd);
	if (db == NULL) {
		printf("Could not read pdbfile.\n");
		return NULL;
	}
	if (!is_track_log(db)) {
		printf("Not a Wexlar file.\n");
		free_pdb(db);
		return NULL;
	}
	return db;
}

int create_output(struct replace_file *out, const char *path,
		  const struct stat *input)
{
	struct stat st;
	if (stat(path, &st) == 0 && st.st_dev == input->st_dev &&
	    st.st_ino == input->st_ino) {
		fprintf(stderr, "%s: input and output are the same file\n", path);
		return -1;
	}
	int fd = replace_open(out, path, 0600);
	if (fd < 0)
		perror(NULL);
	return fd;
}

/* "label: call: text of errno", or "call: text" without a label. */
static void report_failed_call(const char *label, const char *call)
{
	if (label == NULL)
		perror(call);
	else
		fprintf(stderr, "%s: %s: %s\n", label, call, strerror(errno));
}

int flush_output(struct replace_file *out, const char *label)
{
	if (replace_sync(out) == 0)
		return 0;
	report_failed_call(label, "fsync");
	return -1;
}

int close_output(struct replace_file *out, int flushed, const char *label,
		 bool sync_directory)
{
	int result = flushed == 0 ? 0 : -1;
	if (close(out->fd) < 0) {
		report_failed_call(label, "close");
		result = -1;
	}
	if (result == 0 && (sync_directory ? replace_commit(out)
					   : replace_rename(out)) < 0) {
		report_failed_call(label, "rename");
		result = -1;
	}
	if (result != 0)
		replace_abort(out);
	return result;
}

int finish_output(struct replace_file *out, int written)
{
	int flushed = written == 0 ? flush_output(out, NULL) : -1;
	return close_output(out, flushed, NULL, true) == 0 ? 0 : 1;
}

/* True when both names exist and are one file. */
static bool same_file(const char *a, const char *b)
{
	struct stat sa, sb;
	return stat(a, &sa) == 0 && stat(b, &sb) == 0 &&
	       sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

int export_track_log(const char *inpath, const char *outpath,
		     const struct export_format *format)
{
	/* The output that is the input itself is told as such below. */
	if (!same_file(inpath, outpath) && is_palm_database(outpath)) {
		fprintf(stderr,
			"%s: %s is a Palm database; not replaced (to export "
			"several logs: trkexport %s -t DIR FILE...)\n",
			format->prog, quoted_name(outpath).c_str(),
			format->word);
		return 1;
	}
	struct stat input;
	struct pdb *db = load_track_log(inpath, &input);
	if (db == NULL)
		return 1;
	struct replace_file out;
	int fd = create_output(&out, outpath, &input);
	int status =
	    fd < 0 ? 1 : finish_output(&out, format->writer(db, fd));
	free_pdb(db);
	return status;
}
