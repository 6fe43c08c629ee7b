// SPDX-License-Identifier: MIT
#include "tripsim.h"

#include <stdio.h>

namespace {

std::string degrees_minutes(int64_t e4, int width)
{
	int64_t a = e4 < 0 ? -e4 : e4;
	char text[40];
	snprintf(text, sizeof text, "%0*lld%02lld.%04lld", width,
		 (long long)(a / 600000), (long long)(a / 10000 % 60),
		 (long long)(a % 10000));
	return text;
}

}  // namespace

struct pdb *tripsim_log(const std::vector<std::string> &texts)
{
	struct pdb *db = new_pdb();
	snprintf(db->name, sizeof db->name, "log");
	udword id = 1;
	for (const std::string &t : texts) {
		std::string data = t + "\n";
		pdb_AppendRecord(db, new_Record(0, 0, id++,
						(uword)(data.size() + 1),
						(const ubyte *)data.c_str()));
	}
	return db;
}

std::string tripsim_sentence(int64_t lat_e4, int64_t lon_e4,
			     const std::string &alt, const char *unit,
			     const std::string &when, const char *fix,
			     const std::string &track, const std::string &date)
{
	return "$PMGNTRK," + degrees_minutes(lat_e4, 2) + "," +
	       (lat_e4 < 0 ? "S," : "N,") + degrees_minutes(lon_e4, 3) + "," +
	       (lon_e4 < 0 ? "W," : "E,") + alt + "," + unit + "," + when +
	       "," + fix + "," + track + "," + date + "*00";
}
