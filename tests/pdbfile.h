// SPDX-License-Identifier: MIT
// Lays out Palm database files byte by byte for the tests, independent of
// the library's writer, so that reader and writer are each checked against
// the format itself.
#ifndef TESTS_PDBFILE_H
#define TESTS_PDBFILE_H

#include <stdint.h>

#include <string>
#include <vector>

namespace pdbfile {

struct Entry {
	std::string data;
	uint8_t attr = 0;   // record attribute byte
	uint32_t id = 0;    // record unique ID (24 bits) or resource ID
	uint32_t type = 0;  // resource type
};

struct Layout {
	std::string name = "test";
	uint16_t attributes = 0;
	uint16_t version = 0;
	uint32_t ctime = 0, mtime = 0, baktime = 0, modnum = 0;
	uint32_t type = 0x44415441;    // DATA
	uint32_t creator = 0x57786c31; // Wxl1
	uint32_t seed = 0;
	uint32_t next_reclist = 0;
	bool has_appinfo = false, has_sortinfo = false;
	std::string appinfo, sortinfo;
	std::vector<Entry> entries;
	bool resources() const { return attributes & 1; }
};

void put_be16(std::string &s, size_t pos, uint16_t v);
void put_be32(std::string &s, size_t pos, uint32_t v);
uint16_t be16(const std::string &s, size_t pos);
uint32_t be32(const std::string &s, size_t pos);

// The file with no gaps: header, list header, index, two zero bytes,
// AppInfo, sort block, data.
std::string build(const Layout &l);

// Byte position of index entry i in a file built from l.
size_t entry_pos(const Layout &l, size_t i);

// A record database whose records hold the given texts.
std::string track_log(const std::vector<std::string> &records,
		      uint32_t creator = 0x57786c31, uint32_t type = 0x44415441);

// Descriptor of an unnamed temporary file holding bytes, positioned at 0.
int fd_with(const std::string &bytes);

// Whole contents of a file, or of a descriptor from its start.
std::string read_file(const std::string &path);

// The names in the directory at path, without "." and "..", sorted.
std::vector<std::string> dir_names(const std::string &path);
std::string read_fd(int fd);
void write_file(const std::string &path, const std::string &bytes);

}  // namespace pdbfile

#endif
