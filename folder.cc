/* SPDX-License-Identifier: MIT */
#include "folder.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "quote.h"

/* The suffixes of a database's file name that its output name drops. */
static const char *const DATABASE_SUFFIXES[] = {".pdb", ".PDB"};

std::string folder_base_name(const char *path)
{
	std::string base = path;
	while (base.size() > 1 && base.back() == '/')
		base.pop_back();
	size_t slash = base.rfind('/');
	if (slash != std::string::npos && base.size() > 1)
		base.erase(0, slash + 1);
	return base;
}

std::string folder_output_base(const char *path, const char *ext)
{
	std::string base = folder_base_name(path);
	for (const char *suffix : DATABASE_SUFFIXES) {
		size_t n = strlen(suffix);
		if (base.size() > n &&
		    base.compare(base.size() - n, n, suffix) == 0) {
			base.resize(base.size() - n);
			break;
		}
	}
	return base + ext;
}

/* The output's base name for path: the hook's reserved name is left to
 * the hook. */
static std::string output_base(const struct export_format *format,
			       const struct folder_hook *hook, const char *path)
{
	std::string base = folder_output_base(path, format->ext);
	if (hook != NULL && hook->reserved != NULL && base == hook->reserved)
		return hook->instead;
	return base;
}

/* dir and a base name joined by one '/'. */
static std::string join(const char *dir, const std::string &base)
{
	std::string path = dir;
	if (path.empty() || path.back() != '/')
		path += '/';
	return path + base;
}

/* "prog: "path": what" on standard error. */
static void tell(const struct export_format *format, const char *path,
		 const char *what)
{
	fprintf(stderr, "%s: %s: %s\n", format->prog,
		quoted_name(path).c_str(), what);
}

/* Refuses a dir that is no directory.  0, or -1 after a line. */
static int check_directory(const struct export_format *format,
			   const char *dir)
{
	struct stat st;
	if (stat(dir, &st) < 0) {
		tell(format, dir, strerror(errno));
		return -1;
	}
	if (!S_ISDIR(st.st_mode)) {
		tell(format, dir, strerror(ENOTDIR));
		return -1;
	}
	return 0;
}

/*
 * Tells of every two files that would go to the same output: a line for
 * each file after the first of its name.  Returns the number of clashes.
 * Only the output names are kept, one string a file.
 */
static size_t count_clashes(const struct export_format *format,
			    const struct folder_hook *hook, const char *dir,
			    char *const *files, size_t count)
{
	std::vector<std::pair<std::string, size_t>> outputs;
	outputs.reserve(count);
	for (size_t i = 0; i < count; i++)
		outputs.emplace_back(output_base(format, hook, files[i]), i);
	/* By name, then in command-line order within a name. */
	std::sort(outputs.begin(), outputs.end());
	size_t clashes = 0;
	size_t first = 0;  /* the first file of the current name */
	for (size_t i = 1; i < outputs.size(); i++) {
		if (outputs[i].first != outputs[first].first) {
			first = i;
			continue;
		}
		fprintf(stderr,
			"%s: %s and %s would both be written to %s; "
			"nothing exported\n",
			format->prog,
			quoted_name(files[outputs[first].second]).c_str(),
			quoted_name(files[outputs[i].second]).c_str(),
			quoted_name(join(dir, outputs[i].first).c_str())
			    .c_str());
		clashes++;
	}
	return clashes;
}

/* The four characters of a code, quoted. */
static std::string quoted_code(udword code)
{
	char text[4] = {(char)(code >> 24), (char)(code >> 16),
			(char)(code >> 8), (char)code};
	char quoted[WEXLAR_QUOTED_SIZE(4)];
	wexlar_quote(quoted, text, sizeof text);
	return quoted;
}

/* What a database that is no track log is, for its line. */
static std::string not_a_track_log(const struct pdb *db)
{
	return std::string("not a Wexlar track log (") +
	       (IS_RSRC_DB(db) ? "resource database, " : "") + "type " +
	       quoted_code(db->type) + ", creator " + quoted_code(db->creator) +
	       "); skipped";
}

/*
 * Loads the track log at path without the library's messages.  Returns
 * it, or null after one line about the file, with *failed set unless the
 * file is a database of another application.  A file that is not a
 * regular one is never opened.
 */
static struct pdb *load_log(const struct export_format *format,
			    const char *path, bool *failed)
{
	*failed = true;
	struct stat st;
	if (stat(path, &st) < 0) {
		tell(format, path, strerror(errno));
		return NULL;
	}
	if (!S_ISREG(st.st_mode)) {
		tell(format, path,
		     S_ISDIR(st.st_mode) ? strerror(EISDIR)
					 : "not a regular file");
		return NULL;
	}
	/* Not blocking: the name may have become a FIFO since. */
	int fd = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
	if (fd < 0) {
		tell(format, path, strerror(errno));
		return NULL;
	}
	struct pdb *db = NULL;
	if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode))
		db = read_quietly(fd);
	close(fd);
	if (db == NULL) {
		tell(format, path, "not a readable Palm database");
		return NULL;
	}
	if (!is_track_log(db)) {
		tell(format, path, not_a_track_log(db).c_str());
		*failed = false;
		free_pdb(db);
		return NULL;
	}
	return db;
}

/*
 * Outputs written and waiting to take their names together: the flushes
 * to stable storage, which cost a single run most of its time, are then
 * shared.  A batch keeps its files open, so it is kept small.
 */
enum { BATCH_SIZE = 32 };

struct written_output {
	struct replace_file out;
	std::string name;  /* the output's name, as the hook had it */
	std::string label; /* "prog: "name"", for the messages */
};

struct batch {
	std::vector<written_output> outputs; /* room for BATCH_SIZE */
	size_t count;
};

/*
 * Flushes the outputs of the batch to stable storage and gives them their
 * names, then empties it.  Returns 0, or -1 when any of them failed,
 * after a line for each (it keeps what its name held, and the hook, when
 * not null, is told).
 */
static int put_in_place(struct batch *b, const struct folder_hook *hook)
{
	std::vector<const struct replace_file *> files;
	for (size_t i = 0; i < b->count; i++)
		files.push_back(&b->outputs[i].out);
	/* Every flush before the first rename, which would make the next
	 * flush wait for it. */
	std::vector<int> flushed;
	for (size_t i = 0; i < b->count; i++)
		flushed.push_back(flush_output(&b->outputs[i].out,
					       b->outputs[i].label.c_str()));
	int result = 0;
	for (size_t i = 0; i < b->count; i++)
		if (close_output(&b->outputs[i].out, flushed[i],
				 b->outputs[i].label.c_str(), false) != 0) {
			result = -1;
			if (hook != NULL && hook->dropped != NULL)
				hook->dropped(hook->context,
					      b->outputs[i].name.c_str());
		}
	replace_sync_directories(files.data(), files.size());
	b->count = 0;
	return result;
}

/* The files of the run's inputs, by device and inode: no output replaces
 * one of them. */
typedef std::vector<std::pair<dev_t, ino_t>> file_ids;

static file_ids ids_of(char *const *files, size_t count)
{
	file_ids ids;
	struct stat st;
	for (size_t i = 0; i < count; i++)
		if (stat(files[i], &st) == 0)
			ids.emplace_back(st.st_dev, st.st_ino);
	std::sort(ids.begin(), ids.end());
	return ids;
}

/* Why output may not be written, or null: it is a Palm database, one of
 * the run's inputs, or no regular file (a FIFO there would wait for a
 * reader). */
static const char *refusal(const char *output, const file_ids &inputs)
{
	struct stat st;
	if (stat(output, &st) < 0)
		return NULL;
	if (std::binary_search(inputs.begin(), inputs.end(),
			       std::make_pair(st.st_dev, st.st_ino)))
		return "is one of the files exported; not replaced";
	if (!S_ISREG(st.st_mode))
		return "not a regular file; not replaced";
	if (is_palm_database(output))
		return "is a Palm database; not replaced";
	return NULL;
}

/* Writes db to fd through the hook's write where it has one, else the
 * format's writer: the writer's result. */
static int write_with(const struct export_format *format,
		      const struct folder_hook *hook, struct pdb *db, int fd)
{
	return hook != NULL && hook->write != NULL
		   ? hook->write(hook->context, db, fd)
		   : format->writer(db, fd);
}

/*
 * Writes db into fd (write_with()) with what it says on standard error
 * gathered, then tells each of its lines after label, so that with many
 * logs every line names its file.  Returns the writer's result.
 */
static int run_writer(const struct export_format *format,
		      const struct folder_hook *hook, struct pdb *db, int fd,
		      const std::string &label)
{
	char *said = NULL;
	size_t size = 0;
	FILE *gathered = open_memstream(&said, &size);
	if (gathered == NULL)
		return write_with(format, hook, db, fd);
	FILE *saved = stderr;
	stderr = gathered;
	int result = write_with(format, hook, db, fd);
	stderr = saved;
	fclose(gathered);
	for (char *line = said; line != NULL && *line != '\0';) {
		char *end = strchr(line, '\n');
		if (end != NULL)
			*end = '\0';
		fprintf(stderr, "%s: %s\n", label.c_str(), line);
		line = end != NULL ? end + 1 : NULL;
	}
	free(said);
	return result;
}

/*
 * Writes db to output as a single run would, into the batch, which must
 * have room; where descriptors run out, the batch is put in place first.
 * Returns 0, or -1 after a line.
 */
static int write_log(const struct export_format *format,
		     const struct folder_hook *hook, struct pdb *db,
		     const char *output, const file_ids &inputs,
		     struct batch *b, int *status)
{
	const char *why = refusal(output, inputs);
	if (why != NULL) {
		tell(format, output, why);
		return -1;
	}
	struct written_output &w = b->outputs[b->count];
	w.name = output;
	w.label = format->prog + (": " + quoted_name(output));
	int fd = replace_open(&w.out, output, 0600);
	if (fd < 0 && errno == EMFILE && b->count > 0) {
		if (put_in_place(b, hook) < 0)
			*status = 1;
		return write_log(format, hook, db, output, inputs, b, status);
	}
	if (fd < 0) {
		tell(format, output, strerror(errno));
		return -1;
	}
	if (run_writer(format, hook, db, w.out.fd, w.label) != 0) {
		tell(format, output, "not written");
		close_output(&w.out, -1, w.label.c_str(), false);
		return -1;
	}
	replace_start_sync(&w.out);
	b->count++;
	return 0;
}

int export_to_folder(const struct export_format *format, const char *dir,
		     char *const *files, size_t count,
		     const struct folder_hook *hook)
{
	if (check_directory(format, dir) < 0 ||
	    count_clashes(format, hook, dir, files, count) > 0)
		return 1;
	struct batch b = {std::vector<written_output>(BATCH_SIZE), 0};
	file_ids inputs = ids_of(files, count);
	int status = 0;
	for (size_t i = 0; i < count; i++) {
		bool failed;
		struct pdb *db = load_log(format, files[i], &failed);
		if (db == NULL) {
			if (failed)
				status = 1;
			continue;
		}
		if (b.count == BATCH_SIZE && put_in_place(&b, hook) < 0)
			status = 1;
		std::string output =
		    join(dir, output_base(format, hook, files[i]));
		if (write_log(format, hook, db, output.c_str(), inputs, &b,
			      &status) < 0)
			status = 1;
		else if (hook != NULL)
			hook->written(hook->context, files[i], output.c_str(),
				      db);
		free_pdb(db);
	}
	if (put_in_place(&b, hook) < 0)
		status = 1;
	if (hook != NULL && hook->finished != NULL &&
	    hook->finished(hook->context, dir) < 0)
		status = 1;
	return status;
}
