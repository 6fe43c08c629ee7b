/* SPDX-License-Identifier: MIT */
#include "places.h"

#include <stdlib.h>
#include <string.h>

#include <algorithm>

int wexlar_compare_text(struct magtext a, struct magtext b)
{
	int c = memcmp(a.text, b.text, a.len < b.len ? a.len : b.len);
	if (c != 0)
		return c;
	return a.len < b.len ? -1 : a.len > b.len;
}

/* Room for one more item of size bytes in the array *items of *room,
 * len in use: false when out of memory. */
static bool grow(void **items, size_t *room, size_t len, size_t size)
{
	if (len < *room)
		return true;
	size_t more = *room < 64 ? 64 : *room * 2;
	void *bigger = realloc(*items, more * size);
	if (bigger == NULL)
		return false;
	*items = bigger;
	*room = more;
	return true;
}

static bool add_waypoint(struct wexlar_places *p, const struct magwpt *w)
{
	if (!grow((void **)&p->waypoints, &p->waypoints_room, p->nwaypoints,
		  sizeof *w) ||
	    !grow((void **)&p->by_name, &p->by_name_room, p->nwaypoints,
		  sizeof(size_t)))
		return false;
	p->waypoints[p->nwaypoints] = *w;
	p->by_name[p->nwaypoints] = p->nwaypoints;
	p->nwaypoints++;
	return true;
}

static bool add_line(struct wexlar_places *p, const struct magrte *line,
		     size_t record)
{
	if (!grow((void **)&p->lines, &p->lines_room, p->nlines,
		  sizeof *p->lines))
		return false;
	p->lines[p->nlines++] = wexlar_route_line{*line, record};
	return true;
}

int wexlar_collect_places(const struct pdb *db, struct wexlar_places *places,
			  FILE *report)
{
	size_t record = 0;
	for (const struct pdb_record *r = db->rec_index.rec; r != NULL;
	     r = r->next, record++) {
		const char *data = (const char *)r->data;
		struct magwpt w;
		struct magrte line;
		int got = parsemagwaypoint(data, r->data_len, &w);
		if (got > 0 && !add_waypoint(places, &w))
			return -1;
		if (got != 0) {
			if (got < 0 && report != NULL)
				fprintf(report,
					"record %zu: waypoint cannot be read; "
					"left out\n",
					record);
			continue;
		}
		got = parsemagroute(data, r->data_len, &line);
		if (got > 0 && !add_line(places, &line, record))
			return -1;
		if (got < 0 && report != NULL)
			fprintf(report,
				"record %zu: route line cannot be read; left "
				"out\n",
				record);
	}
	const struct magwpt *w = places->waypoints;
	std::sort(places->by_name, places->by_name + places->nwaypoints,
		  [w](size_t a, size_t b) {
			  int c = wexlar_compare_text(w[a].name, w[b].name);
			  return c != 0 ? c < 0 : a < b;
		  });
	return 0;
}

void wexlar_free_places(struct wexlar_places *places)
{
	free(places->waypoints);
	free(places->by_name);
	free(places->lines);
	memset(places, 0, sizeof *places);
}

const struct magwpt *wexlar_find_waypoint(const struct wexlar_places *places,
					  struct magtext name)
{
	const size_t *begin = places->by_name, *end = begin + places->nwaypoints;
	const struct magwpt *w = places->waypoints;
	const size_t *at = std::lower_bound(
	    begin, end, name, [w](size_t i, struct magtext n) {
		    return wexlar_compare_text(w[i].name, n) < 0;
	    });
	return at != end && wexlar_compare_text(w[*at].name, name) == 0
		   ? &w[*at]
		   : NULL;
}

void wexlar_sort_routes(struct wexlar_places *places)
{
	std::sort(places->lines, places->lines + places->nlines,
		  [](const wexlar_route_line &a, const wexlar_route_line &b) {
			  if (a.line.number != b.line.number)
				  return a.line.number < b.line.number;
			  if (a.line.index != b.line.index)
				  return a.line.index < b.line.index;
			  return a.record < b.record;
		  });
}

size_t wexlar_route_end(const struct wexlar_places *places, size_t first)
{
	size_t end = first;
	while (end < places->nlines &&
	       places->lines[end].line.number == places->lines[first].line.number)
		end++;
	return end;
}

struct magtext wexlar_route_name(const struct wexlar_places *places,
				 size_t first, size_t end)
{
	for (size_t i = first; i < end; i++)
		if (places->lines[i].line.name.len > 0)
			return places->lines[i].line.name;
	return magtext{NULL, 0};
}

int wexlar_track_starts(struct wexlar_tracks *t, struct magtext point_name,
			struct magtext db_name, struct magtext *name)
{
	bool after_nameless = t->after_nameless;
	t->after_nameless = point_name.len == 0;
	if (point_name.len > 0 &&
	    (!t->named || wexlar_compare_text(point_name, t->current) != 0)) {
		t->open = t->named = 1;
		t->current = *name = point_name;
		return WEXLAR_TRACK_STARTS;
	}
	/* Only a name that comes back after empty ones marks a segment: logs
	 * that name every point, or none, keep one segment a track. */
	if (point_name.len > 0)
		return after_nameless ? WEXLAR_SEGMENT_STARTS : 0;
	if (t->open)
		return 0;
	t->open = 1;
	*name = db_name;
	return WEXLAR_TRACK_STARTS;
}

int wexlar_next_track_point(struct wexlar_track_walk *w, int *starts,
			    struct magtext *name)
{
	struct magtext db_name = {w->db->name,
				  strnlen(w->db->name, PDB_NAME_SIZE)};
	while (!w->done) {
		w->record = w->record == NULL ? w->db->rec_index.rec
					      : w->record->next;
		if (w->record == NULL) {
			w->done = 1;
			break;
		}
		if (!parsemagtrackpoint((const char *)w->record->data,
					w->record->data_len, &w->trk,
					&w->info))
			continue;
		*starts = wexlar_track_starts(&w->tracks, w->info.name,
					      db_name, name);
		return 1;
	}
	return 0;
}
