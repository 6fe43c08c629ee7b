// SPDX-License-Identifier: MIT
// Runs the built programs for the end-to-end tests.
#ifndef TESTS_RUN_H
#define TESTS_RUN_H

#include <string>
#include <vector>

namespace run {

struct Result {
	int status;  // exit status, or 128 + signal
	std::string out, err;
};

// Runs argv[0] with argv in directory cwd (when not empty), feeding input
// on standard input and collecting standard output and standard error
// through pipes.  With fsize_limit >= 0 the program may write no file
// beyond that many bytes (as on a full disk; SIGXFSZ is ignored).  env
// holds NAME=VALUE settings added to the program's environment.
Result program(const std::vector<std::string> &argv,
	       const std::string &cwd = "", const std::string &input = "",
	       long fsize_limit = -1, const std::vector<std::string> &env = {});

// A fresh directory that is removed with everything in it at the end.
class TempDir {
      public:
	TempDir();
	~TempDir();
	const std::string &path() const { return path_; }
	std::string operator/(const std::string &name) const
	{
		return path_ + "/" + name;
	}

      private:
	std::string path_;
};

bool exists(const std::string &path);

// A regular file that this process cannot open for reading: one of mode
// 000 in dir, or for root, who opens those, a write-only attribute under
// /sys.  Empty when there is none.
std::string unreadable_file(const TempDir &dir);

}  // namespace run

#endif
