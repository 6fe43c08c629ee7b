// SPDX-License-Identifier: MIT
// A C++ program of a library user, built by the install test through
// find_package(wexlar): the same output as consumer.c.
#include <fcntl.h>
#include <unistd.h>
#include <wexlar/mag.h>
#include <wexlar/pdb.h>

#include <cstdio>

int main(int argc, char **argv)
{
	int fd = argc == 2 ? open(argv[1], O_RDONLY) : -1;
	struct pdb *db = fd >= 0 ? pdb_Read(fd) : nullptr;
	if (db == nullptr)
		return 1;
	close(fd);
	trkrec trk{};
	int points = 0;
	for (pdb_record *r = db->rec_index.rec; r != nullptr; r = r->next)
		points += parsemagdata(reinterpret_cast<const char *>(r->data),
				       r->data_len, &trk);
	std::printf("%u records, %d points, last %.6f %.6f\n", db->numrecs,
		    points, -trk.y, trk.x);
	free_pdb(db);
	return 0;
}
