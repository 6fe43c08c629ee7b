/* SPDX-License-Identifier: MIT */
/* The MapSend track writer: a little-endian file of one named track. */
#include <errno.h>
#include <string.h>
#include <unistd.h>

#include "mag.h"
#include "outbuf.h"

static const struct maghead MAPSEND_HEAD = {
    13, {'4', 'D', '5', '3', '3', '3', '3', '6', ' ', 'M', 'S'}, {'3', '6'},
    2};

/* Offset of the name length byte, right behind the header. */
static const off_t NAME_LENGTH_OFFSET = MAG_HEAD_SIZE;

static ubyte *put_le32(ubyte *p, uint32_t v)
{
	for (int i = 0; i < 4; i++)
		*p++ = (ubyte)(v >> (8 * i));
	return p;
}

static ubyte *put_le64(ubyte *p, uint64_t v)
{
	for (int i = 0; i < 8; i++)
		*p++ = (ubyte)(v >> (8 * i));
	return p;
}

static void encode_head(ubyte out[MAG_HEAD_SIZE])
{
	out[0] = MAPSEND_HEAD.length;
	memcpy(out + 1, MAPSEND_HEAD.signature, sizeof MAPSEND_HEAD.signature);
	memcpy(out + 12, MAPSEND_HEAD.version, sizeof MAPSEND_HEAD.version);
	put_le32(out + 14, MAPSEND_HEAD.type);
}

/* The 29-byte point record: the fields of trkrec in order, IEEE 754. */
static void encode_point(const struct trkrec *trk, ubyte out[MAG_POINT_SIZE])
{
	uint64_t x, y;
	uint32_t alt;
	memcpy(&x, &trk->x, sizeof x);
	memcpy(&y, &trk->y, sizeof y);
	memcpy(&alt, &trk->altitude, sizeof alt);
	ubyte *p = put_le64(out, x);
	p = put_le64(p, y);
	p = put_le32(p, alt);
	p = put_le32(p, (uint32_t)trk->time);
	p = put_le32(p, (uint32_t)trk->validity);
	*p = trk->centisecs;
}

/* Number of records that decode to a point. */
static int32_t count_points(const struct pdb *db)
{
	struct trkrec scratch;
	memset(&scratch, 0, sizeof scratch);
	int32_t count = 0;
	for (const struct pdb_record *r = db->rec_index.rec; r; r = r->next)
		count += parsemagdata((const char *)r->data, r->data_len,
				      &scratch);
	return count;
}

int parsewexlarfile(struct pdb *db, int fd, const char *fname)
{
	char name[MAG_NAME_MAX + 1] = "";
	strncat(name, fname, MAG_NAME_MAX);
	ubyte name_len = (ubyte)strlen(name);

	/* A pipe cannot take the count at its place afterwards: count first. */
	bool seekable = lseek(fd, 0, SEEK_CUR) >= 0 || errno != ESPIPE;
	int32_t count = seekable ? 0 : count_points(db);

	ubyte head[MAG_HEAD_SIZE], count_bytes[4];
	encode_head(head);
	put_le32(count_bytes, (uint32_t)count);
	struct outbuf *ob = wexlar_out_open(fd);
	if (wexlar_out_put(ob, head, sizeof head) < 0 ||
	    wexlar_out_put(ob, &name_len, 1) < 0 || wexlar_out_put(ob, name, name_len) < 0 ||
	    wexlar_out_put(ob, count_bytes, sizeof count_bytes) < 0)
		return -1;

	struct trkrec trk;
	memset(&trk, 0, sizeof trk);
	int32_t written = 0;
	for (const struct pdb_record *r = db->rec_index.rec; r; r = r->next) {
		if (!parsemagdata((const char *)r->data, r->data_len, &trk))
			continue;
		ubyte point[MAG_POINT_SIZE];
		encode_point(&trk, point);
		if (wexlar_out_put(ob, point, sizeof point) < 0)
			return -1;
		written++;
	}
	if (wexlar_out_flush(ob) < 0)
		return -1;
	if (!seekable)
		return 0;

	if (lseek(fd, NAME_LENGTH_OFFSET + 1 + name_len, SEEK_SET) < 0) {
		perror("lseek");
		return -1;
	}
	put_le32(count_bytes, (uint32_t)written);
	ob = wexlar_out_open(fd);
	if (wexlar_out_put(ob, count_bytes, sizeof count_bytes) < 0)
		return -1;
	return wexlar_out_flush(ob);
}

int parsewexlarfileimapsend(struct pdb *db, int fd)
{
	return parsewexlarfile(db, fd, "wexlar");
}
