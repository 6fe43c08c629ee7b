// SPDX-License-Identifier: MIT
// What the atlas keeps of each track for its overview map: the points that
// hold the track's shape, its ends and its breaks, within the budgets,
// however many logs come.
#include <gtest/gtest.h>
#include <math.h>

#include <string>
#include <vector>

#include "atlas.h"
#include "page.h"
#include "pdb.h"
#include "tripsim.h"

namespace {

// A point lat_min and lon_min minutes north and east, at second secs of
// the day, of the track named track.
std::string point(double lat_min, double lon_min, long secs,
		  const std::string &track = "")
{
	char when[16];
	snprintf(when, sizeof when, "%02ld%02ld%02ld.00", secs / 3600 % 24,
		 secs / 60 % 60, secs % 60);
	return tripsim_sentence(llround(lat_min * 1e4), llround(lon_min * 1e4),
				"00500", "M", when, "A", track, "140826");
}

// An atlas of the logs of the texts, each added copies times, keeping at
// most points of all tracks.
struct trip_atlas atlas_of(const std::vector<std::vector<std::string>> &logs,
			   size_t copies = 1, size_t most = ATLAS_MAP_POINTS)
{
	struct trip_atlas a;
	a.most = most;
	for (size_t c = 0; c < copies; c++)
		for (const auto &texts : logs) {
			struct pdb *db = tripsim_log(texts);
			struct trip_log log;
			EXPECT_EQ(trip_read_page(db, &log), 0);
			EXPECT_EQ(trip_atlas_add(&a, "dir/log.pdb", "log.html",
						 &log),
				  0);
			free_pdb(db);
		}
	return a;
}

// A zigzag of points from to to, a minute apart, 0.01' east each and
// 0.01' north and south in turn: no point lies on the line through its
// neighbours.
std::vector<std::string> zigzag(int from, int to, const std::string &track = "")
{
	std::vector<std::string> texts;
	for (int i = from; i < to; i++)
		texts.push_back(point(47 * 60 + (i % 2) * 0.01, 600 + i * 0.01,
				      i * 60 % 86400, track));
	return texts;
}

TEST(Atlas, KeepsTheShapeAndTheEnds)
{
	// East 100 steps, then north 100: the corner is all the shape.
	std::vector<std::string> corner;
	for (int i = 0; i <= 200; i++)
		corner.push_back(point(47 * 60 + std::max(0, i - 100) * 0.01,
				       600 + std::min(i, 100) * 0.01, i * 60));
	struct trip_atlas a = atlas_of({corner});
	ASSERT_EQ(a.rows.size(), 1u);
	const auto &p = a.rows[0].points;
	ASSERT_EQ(p.size(), 3u);
	EXPECT_EQ(p[0].rank, 0u);
	EXPECT_EQ(p[1].rank, 2u);
	EXPECT_EQ(p[2].rank, 1u);
	EXPECT_NEAR(p[1].lat * 60, 47 * 60, 1e-9);
	EXPECT_NEAR(p[1].lon * 60, 601, 1e-9);
	EXPECT_EQ(a.rows[0].track.points, 201u);  // the numbers of all

	// A track of more points than the budget keeps that many, its ends
	// among them.
	a = atlas_of({zigzag(0, 1000)});
	const auto &z = a.rows[0].points;
	ASSERT_EQ(z.size(), (size_t)ATLAS_TRACK_POINTS);
	EXPECT_NEAR(z.front().lon * 60, 600, 1e-9);
	EXPECT_NEAR(z.back().lon * 60, 600 + 999 * 0.01, 1e-9);
}

// A break in a track stays a break, however few of its points are kept:
// the point after the ones left out starts the segment.
TEST(Atlas, KeepsTheBreaks)
{
	// A track of two segments: a point that names no track between
	// points that name it starts a segment at the next (point 51).
	std::vector<std::string> two = zigzag(0, 50, "T");
	two.push_back(zigzag(50, 51)[0]);
	for (const std::string &t : zigzag(51, 101, "T"))
		two.push_back(t);
	auto breaks = [](const std::vector<struct atlas_point> &p) {
		std::vector<size_t> at;
		for (size_t i = 0; i < p.size(); i++)
			if (p[i].starts_segment)
				at.push_back(i);
		return at;
	};
	struct trip_atlas a = atlas_of({two});
	ASSERT_EQ(a.rows.size(), 1u);
	ASSERT_EQ(a.rows[0].points.size(), 101u);
	EXPECT_EQ(breaks(a.rows[0].points), std::vector<size_t>{51});

	// So many points that each track keeps its two ends: the last point
	// carries the break.
	a = atlas_of({two}, 3, 5);
	EXPECT_EQ(a.budget, 2u);
	for (const struct atlas_row &r : a.rows) {
		ASSERT_EQ(r.points.size(), 2u);
		EXPECT_EQ(breaks(r.points), std::vector<size_t>{1});
	}
}

// Logs beyond what the map draws: every track keeps fewer points, the
// same for all, the first and last of each among them.
TEST(Atlas, KeepsWithinTheMapsBudget)
{
	// 300 logs of 300 points: 60000 points at 200 a track, 30000 at 100.
	struct trip_atlas a = atlas_of({zigzag(0, 300)}, 300);
	EXPECT_EQ(a.budget, (size_t)ATLAS_TRACK_POINTS / 2);
	EXPECT_EQ(a.points, 300u * ATLAS_TRACK_POINTS / 2);
	for (const struct atlas_row &r : a.rows) {
		ASSERT_EQ(r.points.size(), (size_t)ATLAS_TRACK_POINTS / 2);
		EXPECT_EQ(r.points.front().rank, 0u);
		EXPECT_EQ(r.points.back().rank, 1u);
	}
}

}  // namespace
