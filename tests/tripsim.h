// SPDX-License-Identifier: MIT
// Track logs for the tests of a trip's numbers.
#ifndef TESTS_TRIPSIM_H
#define TESTS_TRIPSIM_H

#include <stdint.h>

#include <string>
#include <vector>

#include "pdb.h"

// A log named "log" whose records hold the texts, each with "\n" and a NUL
// added, ids from 1.  The caller frees it with free_pdb().
struct pdb *tripsim_log(const std::vector<std::string> &texts);

// The "$PMGNTRK" text of a point lat_e4 and lon_e4 ten-thousandths of a
// minute north and east (south and west when negative), with the other
// fields as given (when: hhmmss.cc, date: ddmmyy).
std::string tripsim_sentence(int64_t lat_e4, int64_t lon_e4,
			     const std::string &alt, const char *unit,
			     const std::string &when, const char *fix,
			     const std::string &track, const std::string &date);

#endif
