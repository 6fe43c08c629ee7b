/* SPDX-License-Identifier: MIT */
#include "pdbfile.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace pdbfile {

void put_be16(std::string &s, size_t pos, uint16_t v)
{
	s[pos] = (char)(v >> 8);
	s[pos + 1] = (char)v;
}

void put_be32(std::string &s, size_t pos, uint32_t v)
{
	for (int i = 0; i < 4; i++)
		s[pos + i] = (char)(v >> (24 - 8 * i));
}

uint16_t be16(const std::string &s, size_t pos)
{
	return (uint16_t)((uint8_t)s[pos] << 8 | (uint8_t)s[pos + 1]);
}

uint32_t be32(const std::string &s, size_t pos)
{
	return (uint32_t)be16(s, pos) << 16 | be16(s, pos + 2);
}

size_t entry_pos(const Layout &l, size_t i)
{
	return 78 + i * (l.resources() ? 10 : 8);
}

std::string build(const Layout &l)
{
	size_t entsize = l.resources() ? 10 : 8;
	uint32_t off = (uint32_t)(80 + entsize * l.entries.size());
	std::string s(off, '\0');
	std::string name = l.name.substr(0, 32);
	s.replace(0, name.size(), name);
	put_be16(s, 32, l.attributes);
	put_be16(s, 34, l.version);
	put_be32(s, 36, l.ctime);
	put_be32(s, 40, l.mtime);
	put_be32(s, 44, l.baktime);
	put_be32(s, 48, l.modnum);
	if (l.has_appinfo) {
		put_be32(s, 52, off);
		off += (uint32_t)l.appinfo.size();
	}
	if (l.has_sortinfo) {
		put_be32(s, 56, off);
		off += (uint32_t)l.sortinfo.size();
	}
	put_be32(s, 60, l.type);
	put_be32(s, 64, l.creator);
	put_be32(s, 68, l.seed);
	put_be32(s, 72, l.next_reclist);
	put_be16(s, 76, (uint16_t)l.entries.size());
	for (size_t i = 0; i < l.entries.size(); i++) {
		const Entry &e = l.entries[i];
		size_t p = entry_pos(l, i);
		if (l.resources()) {
			put_be32(s, p, e.type);
			put_be16(s, p + 4, (uint16_t)e.id);
			put_be32(s, p + 6, off);
		} else {
			put_be32(s, p, off);
			s[p + 4] = (char)e.attr;
			s[p + 5] = (char)(e.id >> 16);
			s[p + 6] = (char)(e.id >> 8);
			s[p + 7] = (char)e.id;
		}
		off += (uint32_t)e.data.size();
	}
	if (l.has_appinfo)
		s += l.appinfo;
	if (l.has_sortinfo)
		s += l.sortinfo;
	for (const Entry &e : l.entries)
		s += e.data;
	return s;
}

std::string track_log(const std::vector<std::string> &records,
		      uint32_t creator, uint32_t type)
{
	Layout l;
	l.creator = creator;
	l.type = type;
	uint32_t id = 1;
	for (const std::string &r : records)
		l.entries.push_back({r, 0, id++, 0});
	return build(l);
}

int fd_with(const std::string &bytes)
{
	FILE *f = tmpfile();
	if (f == nullptr)
		throw std::runtime_error("tmpfile");
	if (!bytes.empty() && fwrite(bytes.data(), bytes.size(), 1, f) != 1)
		throw std::runtime_error("fwrite");
	fflush(f);
	int fd = dup(fileno(f));
	fclose(f);
	lseek(fd, 0, SEEK_SET);
	return fd;
}

std::string read_file(const std::string &path)
{
	std::ifstream in(path, std::ios::binary);
	std::ostringstream ss;
	ss << in.rdbuf();
	return ss.str();
}

std::vector<std::string> dir_names(const std::string &path)
{
	std::vector<std::string> found;
	DIR *d = opendir(path.c_str());
	while (d != NULL) {
		struct dirent *e = readdir(d);
		if (e == NULL)
			break;
		std::string n = e->d_name;
		if (n != "." && n != "..")
			found.push_back(n);
	}
	if (d != NULL)
		closedir(d);
	std::sort(found.begin(), found.end());
	return found;
}

std::string read_fd(int fd)
{
	std::string out;
	char buf[65536];
	lseek(fd, 0, SEEK_SET);
	for (;;) {
		ssize_t n = read(fd, buf, sizeof buf);
		if (n <= 0)
			break;
		out.append(buf, (size_t)n);
	}
	return out;
}

void write_file(const std::string &path, const std::string &bytes)
{
	std::ofstream out(path, std::ios::binary | std::ios::trunc);
	out << bytes;
}

}  // namespace pdbfile
