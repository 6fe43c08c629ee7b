/* SPDX-License-Identifier: MIT */
#include "labels.h"

#include <math.h>

#include <algorithm>

#include "ieee_rounding.h"

namespace {

/* The side of the grid's cells (units): about a short text's height. */
const double CELL = 25.0;
/* The ellipsis in Windows-1252. */
const char ELLIPSIS = '\x85';

__attribute__((noinline)) bool overlap(const struct label_box &a,
				       const struct label_box &b)
{
	[[maybe_unused]] ieee_rounding guard;
	return a.x0 < b.x1 && b.x0 < a.x1 && a.y0 < b.y1 && b.y0 < a.y1;
}

/* The cell of v among n (those beyond either end taken as the end's). */
size_t cell_of(double v, size_t n)
{
	if (!(v > 0))
		return 0;
	size_t i = (size_t)std::min(v / CELL, (double)n);
	return std::min(i, n - 1);
}

}  // namespace

__attribute__((noinline)) struct label_box label_box_of(const struct label &l,
							double w, double px)
{
	[[maybe_unused]] ieee_rounding guard;
	double left = l.anchoring == ANCHOR_START    ? l.x
		      : l.anchoring == ANCHOR_MIDDLE ? l.x - w / 2
						     : l.x - w;
	return label_box{left - LABEL_PAD, l.y - text_ascent(px) - LABEL_PAD,
			 left + w + LABEL_PAD,
			 l.y + text_descent(px) + LABEL_PAD};
}

label_space::label_space(double width, double height, double edge_gap)
    : width_(width), height_(height), edge_gap_(edge_gap),
      cols_(std::max<size_t>(1, (size_t)ceil(width / CELL))),
      rows_(std::max<size_t>(1, (size_t)ceil(height / CELL))),
      cells_(cols_ * rows_)
{
}

__attribute__((noinline)) void label_space::cells(const struct label_box &b,
						  size_t *c0, size_t *c1,
						  size_t *r0, size_t *r1) const
{
	[[maybe_unused]] ieee_rounding guard;
	*c0 = cell_of(b.x0, cols_);
	*c1 = cell_of(b.x1, cols_);
	*r0 = cell_of(b.y0, rows_);
	*r1 = cell_of(b.y1, rows_);
}

__attribute__((noinline)) bool
label_space::free(const struct label_box &b) const
{
	[[maybe_unused]] ieee_rounding guard;
	if (!(b.x0 >= edge_gap_ && b.y0 >= edge_gap_ &&
	      b.x1 <= width_ - edge_gap_ && b.y1 <= height_ - edge_gap_))
		return false;
	size_t c0, c1, r0, r1;
	cells(b, &c0, &c1, &r0, &r1);
	for (size_t r = r0; r <= r1; r++)
		for (size_t c = c0; c <= c1; c++)
			for (size_t i : cells_[r * cols_ + c])
				if (overlap(boxes_[i], b))
					return false;
	return true;
}

void label_space::take(const struct label_box &b)
{
	size_t c0, c1, r0, r1;
	cells(b, &c0, &c1, &r0, &r1);
	for (size_t r = r0; r <= r1; r++)
		for (size_t c = c0; c <= c1; c++)
			cells_[r * cols_ + c].push_back(boxes_.size());
	boxes_.push_back(b);
}

bool label_space::place(const std::vector<struct label> &at, double w,
			double px, struct label *chosen)
{
	for (const struct label &l : at) {
		struct label_box b = label_box_of(l, w, px);
		if (free(b)) {
			take(b);
			*chosen = l;
			return true;
		}
	}
	return false;
}

bool label_space::fits(const std::vector<struct label> &at, double w,
		       double px) const
{
	for (const struct label &l : at)
		if (free(label_box_of(l, w, px)))
			return true;
	return false;
}

void put_label(struct page *pg, const char *cls, const struct label &l,
	       const std::string &utf8)
{
	pg->put("<text class=\"");
	pg->put(cls);
	pg->put("\" x=\"");
	pg->tenths(l.x);
	pg->put("\" y=\"");
	pg->tenths(l.y);
	if (l.anchoring != ANCHOR_START)
		pg->put(l.anchoring == ANCHOR_MIDDLE ? "\" text-anchor=\"middle"
						     : "\" text-anchor=\"end");
	pg->put("\">");
	pg->escaped(utf8);
	pg->put("</text>\n");
}

std::string label_fitted(const std::string &cp1252, double widest, double px)
{
	if (text_width(cp1252, px) <= widest)
		return cp1252;
	std::string s = cp1252;
	while (!s.empty() &&
	       (text_width(s + ELLIPSIS, px) > widest || s.back() == ' '))
		s.pop_back();
	return s + ELLIPSIS;
}
