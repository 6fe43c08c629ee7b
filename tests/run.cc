/* SPDX-License-Identifier: MIT */
#include "run.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>

namespace run {

Result program(const std::vector<std::string> &argv, const std::string &cwd,
	       const std::string &input, long fsize_limit,
	       const std::vector<std::string> &env)
{
	int in[2], out[2], err[2];
	if (pipe(in) || pipe(out) || pipe(err))
		throw std::runtime_error("pipe");
	pid_t pid = fork();
	if (pid < 0)
		throw std::runtime_error("fork");
	if (pid == 0) {
		dup2(in[0], 0);
		dup2(out[1], 1);
		dup2(err[1], 2);
		for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]})
			close(fd);
		if (!cwd.empty() && chdir(cwd.c_str()) != 0)
			_exit(126);
		std::vector<char *> args;
		for (const std::string &a : argv)
			args.push_back(const_cast<char *>(a.c_str()));
		args.push_back(nullptr);
		signal(SIGPIPE, SIG_DFL);
		for (const std::string &e : env)
			putenv(const_cast<char *>(e.c_str()));
		if (fsize_limit >= 0) {
			struct rlimit lim;
			getrlimit(RLIMIT_FSIZE, &lim);
			lim.rlim_cur = (rlim_t)fsize_limit;
			setrlimit(RLIMIT_FSIZE, &lim);
			signal(SIGXFSZ, SIG_IGN);
		}
		execv(args[0], args.data());
		_exit(127);
	}
	close(in[0]);
	close(out[1]);
	close(err[1]);
	signal(SIGPIPE, SIG_IGN);
	size_t fed = 0;
	if (input.empty()) {
		close(in[1]);
		in[1] = -1;
	}
	Result r{0, "", ""};
	int open_pipes = 2;
	while (open_pipes > 0) {
		struct pollfd fds[3] = {{out[0], POLLIN, 0},
					{err[0], POLLIN, 0},
					{in[1], POLLOUT, 0}};
		if (poll(fds, in[1] >= 0 ? 3 : 2, -1) < 0) {
			if (errno == EINTR)
				continue;
			throw std::runtime_error("poll");
		}
		for (int i = 0; i < 2; i++) {
			if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP)))
				continue;
			char buf[65536];
			ssize_t n = read(fds[i].fd, buf, sizeof buf);
			if (n > 0) {
				(i == 0 ? r.out : r.err).append(buf, (size_t)n);
			} else {
				close(fds[i].fd);
				(i == 0 ? out[0] : err[0]) = -1;
				open_pipes--;
			}
		}
		if (in[1] >= 0 && fds[2].revents) {
			ssize_t n = write(in[1], input.data() + fed,
					  input.size() - fed);
			if (n > 0)
				fed += (size_t)n;
			if (n < 0 || fed == input.size()) {
				close(in[1]);
				in[1] = -1;
			}
		}
	}
	if (in[1] >= 0)
		close(in[1]);
	int status;
	waitpid(pid, &status, 0);
	r.status = WIFEXITED(status) ? WEXITSTATUS(status)
				     : 128 + WTERMSIG(status);
	return r;
}

TempDir::TempDir()
{
	char tmpl[] = "/tmp/wexlar-test-XXXXXX";
	if (mkdtemp(tmpl) == nullptr)
		throw std::runtime_error("mkdtemp");
	path_ = tmpl;
}

TempDir::~TempDir()
{
	std::string cmd = "chmod -R u+rwx '" + path_ + "' 2>/dev/null; rm -rf '" +
			  path_ + "'";
	if (system(cmd.c_str()) != 0)
		fprintf(stderr, "could not remove %s\n", path_.c_str());
}

bool exists(const std::string &path)
{
	struct stat st;
	return lstat(path.c_str(), &st) == 0;
}

}  // namespace run

namespace run {

std::string unreadable_file(const TempDir &dir)
{
	if (geteuid() != 0) {
		std::string path = dir / "unreadable";
		int fd = open(path.c_str(), O_WRONLY | O_CREAT, 0);
		close(fd);
		return path;
	}
	FILE *found = popen("find /sys/devices /sys/class -maxdepth 4 -type f "
			    "-perm 0200 2>/dev/null | head -n 1",
			    "r");
	char line[4096] = "";
	if (found == nullptr)
		return "";
	if (fgets(line, sizeof line, found) == nullptr)
		line[0] = '\0';
	pclose(found);
	std::string path = line;
	if (!path.empty() && path.back() == '\n')
		path.pop_back();
	int fd = path.empty() ? -1 : open(path.c_str(), O_RDONLY);
	if (fd >= 0) {  // readable after all
		close(fd);
		return "";
	}
	return path;
}

}  // namespace run
