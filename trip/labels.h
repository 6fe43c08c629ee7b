/* SPDX-License-Identifier: MIT */
/*
 * Texts set on a drawing where they fit: each text's box worked out from
 * its width in the page's font (drawing.h), the places offered for it
 * tried in turn, and the boxes taken (texts and markers) kept in a grid
 * of cells, so that a new box is checked against its neighbours only.
 * Every box is in view box units, y down.
 */
#ifndef TRIP_LABELS_H
#define TRIP_LABELS_H

#include <stddef.h>

#include <string>
#include <vector>

#include "drawing.h"

struct label_box {
	double x0, y0, x1, y1;
};

/* How a text stands on its anchor: starting, centred or ending there. */
enum label_anchoring { ANCHOR_START, ANCHOR_MIDDLE, ANCHOR_END };

/* A place for a text: its anchor on the baseline. */
struct label {
	double x, y;
	enum label_anchoring anchoring;
};

/* The box that a text of width w at a font size of px takes at l, with
 * LABEL_PAD around it, so that two texts whose boxes do not overlap never
 * touch. */
#define LABEL_PAD 1.0
struct label_box label_box_of(const struct label &l, double w, double px);

/* The boxes taken on a drawing. */
class label_space {
      public:
	/* An empty drawing of width by height units, whose texts keep
	 * edge_gap units from its edges.  Throws std::bad_alloc. */
	label_space(double width, double height, double edge_gap);

	/* Whether b lies inside the drawing, clear of every box taken. */
	bool free(const struct label_box &b) const;

	/* Takes b (a text or a marker; it may reach past the edges).
	 * Throws std::bad_alloc. */
	void take(const struct label_box &b);

	/* Takes the box of the first of the places at where a text of width
	 * w at a font size of px is free, and sets *chosen to that place:
	 * true; false, taking nothing, where none is.  Throws
	 * std::bad_alloc. */
	bool place(const std::vector<struct label> &at, double w, double px,
		   struct label *chosen);

	/* Whether a text of width w at a font size of px is free at any of
	 * the places at; takes nothing.  A wider text fits nowhere that this
	 * one does not, so a crowded map rejects a label at this cost. */
	bool fits(const std::vector<struct label> &at, double w,
		  double px) const;

      private:
	double width_, height_, edge_gap_;
	size_t cols_, rows_;
	std::vector<std::vector<size_t>> cells_;
	std::vector<struct label_box> boxes_;

	void cells(const struct label_box &b, size_t *c0, size_t *c1,
		   size_t *r0, size_t *r1) const;
};

/* Appends to *pg a text element of class cls at l, holding the UTF-8
 * text (escaped). */
void put_label(struct page *pg, const char *cls, const struct label &l,
	       const std::string &utf8);

/* The Windows-1252 text as it is, where it is at most widest units wide
 * at a font size of px; else its longest beginning that is, with an
 * ellipsis, without spaces before it. */
std::string label_fitted(const std::string &cp1252, double widest, double px);

#endif
