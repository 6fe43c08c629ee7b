/* SPDX-License-Identifier: MIT */
#include "frontend.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

static const udword WEXLAR_CREATOR = PALM_FOURCC('W', 'x', 'l', '1');
static const udword TRACK_LOG_TYPE = PALM_FOURCC('D', 'A', 'T', 'A');

/* A resource database is no track log, whatever its codes say: the
 * writers walk a record list. */
static bool is_track_log(const struct pdb *db)
{
	return db->creator == WEXLAR_CREATOR && db->type == TRACK_LOG_TYPE &&
	       !IS_RSRC_DB(db);
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

int finish_output(struct replace_file *out, int written)
{
	int status = written == 0 ? 0 : 1;
	if (status == 0 && replace_sync(out) < 0) {
		perror("fsync");
		status = 1;
	}
	if (close(out->fd) < 0) {
		perror("close");
		status = 1;
	}
	if (status == 0 && replace_commit(out) < 0) {
		perror("rename");
		status = 1;
	}
	if (status != 0)
		replace_abort(out);
	return status;
}

int export_track_log(const char *inpath, const char *outpath,
		     _parsewexlarffile writer)
{
	struct stat input;
	struct pdb *db = load_track_log(inpath, &input);
	if (db == NULL)
		return 1;
	struct replace_file out;
	int fd = create_output(&out, outpath, &input);
	int status = fd < 0 ? 1 : finish_output(&out, writer(db, fd));
	free_pdb(db);
	return status;
}
