/* The GPX and CSV writers: one item per decodable record, in file order. */
#include <stdio.h>
#include <string.h>
#include <time.h>

#include "mag.h"
#include "outbuf.h"

/* The project's site, named in the creator attribute of every document. */
#define WEXLAR_HOME "https://wexlar.example.org/"

#define XSI_NAMESPACE "http://www.w3.org/2001/XMLSchema-instance"
#define GPX_NAMESPACE "http://www.topografix.com/GPX/1/0"
#define GPX_SCHEMA "http://www.topografix.com/GPX/1/0/gpx.xsd"

static const char GPX_HEADER[] =
    "<?xml version=\"1.0\"?>\n"
    "<gpx version=\"1.0\" creator=\"Wexlar trkexport exporter - " WEXLAR_HOME
    "\" xmlns:xsi=\"" XSI_NAMESPACE "\" xmlns=\"" GPX_NAMESPACE
    "\" xsi:schemaLocation=\"" GPX_NAMESPACE " " GPX_SCHEMA "\">\n"
    "<trk>\n<trkseg>\n";
static const char GPX_FOOTER[] = "</trkseg></trk></gpx>\n";

static const char GPX_POINT[] = "<trkpt lat=\"%f\" lon=\"%f\">\n"
				"\t<ele>%f</ele>\n"
				"\t<time>%s.%02dZ</time>\n"
				"</trkpt>\n";
static const char CSV_POINT[] = "%f,%f,%f,%s.%02dZ\n";

int format_point(enum point_style style, const struct trkrec *trk, char *buf)
{
	/* The 32 bits are unsigned seconds: every date from 2000 to 2099
	 * that a report can give lies within them. */
	time_t t = (time_t)(uint32_t)trk->time;
	struct tm tm;
	char when[64] = "";
	if (gmtime_r(&t, &tm) != NULL)
		strftime(when, sizeof when, "%Y-%m-%dT%H:%M:%S", &tm);
	int n = snprintf(buf, POINT_TEXT_SIZE,
			 style == POINT_GPX ? GPX_POINT : CSV_POINT, -trk->y,
			 trk->x, (double)trk->altitude, when, trk->centisecs);
	if (n < 0)
		return 0;
	return n < POINT_TEXT_SIZE ? n : POINT_TEXT_SIZE - 1;
}

/* Writes one item for every record that decodes. */
static int put_points(struct outbuf *ob, const struct pdb *db,
		      enum point_style style)
{
	struct trkrec trk;
	memset(&trk, 0, sizeof trk);
	char item[POINT_TEXT_SIZE];
	for (const struct pdb_record *r = db->rec_index.rec; r != NULL;
	     r = r->next) {
		if (!parsemagdata((const char *)r->data, r->data_len, &trk))
			continue;
		int n = format_point(style, &trk, item);
		if (out_put(ob, item, (size_t)n) < 0)
			return -1;
	}
	return 0;
}

int parsewexlarfilegpx(struct pdb *db, int fd)
{
	static struct outbuf ob;
	out_init(&ob, fd);
	if (out_put(&ob, GPX_HEADER, strlen(GPX_HEADER)) < 0 ||
	    put_points(&ob, db, POINT_GPX) < 0 ||
	    out_put(&ob, GPX_FOOTER, strlen(GPX_FOOTER)) < 0)
		return -1;
	return out_flush(&ob);
}

int parsewexlarfilecsv(struct pdb *db, int fd)
{
	static struct outbuf ob;
	out_init(&ob, fd);
	if (put_points(&ob, db, POINT_CSV) < 0)
		return -1;
	return out_flush(&ob);
}
