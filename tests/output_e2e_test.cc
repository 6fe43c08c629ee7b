// SPDX-License-Identifier: MIT
// How all four programs put their outputs in place: whole or not at all.
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "pdbfile.h"
#include "run.h"

using pdbfile::read_file;
using pdbfile::write_file;

namespace {

const std::string TRKEXPORT = TRKEXPORT_PATH;
const std::string MSEXPORT = MSEXPORT_PATH;
const std::string GPSIMPORT = GPSIMPORT_PATH;
const std::string LINEDUMP = LINEDUMP_PATH;
const std::string FAILINJECT = FAILINJECT_PATH;

const std::string LINE =
    "$PMGNTRK,4807.038,N,01131.000,E,495,M,170540.25,A,,290605*7E\n";
const std::string EARLIER = "earlier output\n";

class Output : public testing::Test {
      protected:
	run::TempDir dir;

	// A log near the largest that gpsimport takes, so that every output
	// is larger than the file-size limit below.
	void SetUp() override
	{
		std::string text;
		for (int i = 0; i < 900; i++)
			text += LINE;
		write_file(dir / "in.txt", text);
		ASSERT_EQ(run::program({GPSIMPORT, "in.txt", "in.pdb"},
				       dir.path())
			      .status,
			  0);
	}

	// Names in the directory other than the inputs.
	std::vector<std::string> others() const
	{
		std::vector<std::string> names;
		DIR *d = opendir(dir.path().c_str());
		while (struct dirent *e = readdir(d)) {
			std::string n = e->d_name;
			if (n != "." && n != ".." && n != "in.txt" &&
			    n != "in.pdb")
				names.push_back(n);
		}
		closedir(d);
		return names;
	}

	static std::vector<std::string> failing(const std::string &call)
	{
		const char *asan = getenv("ASAN_OPTIONS");
		return {"LD_PRELOAD=" + FAILINJECT, "WEXLAR_FAIL=" + call,
			"ASAN_OPTIONS=" + std::string(asan ? asan : "") +
			    ":verify_asan_link_order=0"};
	}
};

TEST_F(Output, FailedRunKeepsTheEarlierOutput)
{
	struct Case {
		std::vector<std::string> args;
		std::string fail;  // injected failure; empty: a file-size limit
		std::string out, err;
	};
	const std::string io = ": Input/output error\n";
	const std::vector<Case> cases = {
	    {{TRKEXPORT, "track", "in.pdb", "out"}, "", "",
	     "write: File too large\n"},
	    {{MSEXPORT, "in.pdb", "out", "x"}, "", "", "write: File too large\n"},
	    {{GPSIMPORT, "in.txt", "out"}, "", "", "out: File too large\n"},
	    {{LINEDUMP, "in.pdb", "out"}, "", "", "out: File too large\n"},
	    // the MapSend point count, written last at its place
	    {{TRKEXPORT, "mapsend", "in.pdb", "out"}, "write=4", "",
	     "write" + io},
	    {{TRKEXPORT, "csv", "in.pdb", "out"}, "fsync", "", "fsync" + io},
	    {{MSEXPORT, "in.pdb", "out"}, "rename", "", "rename" + io},
	    {{GPSIMPORT, "in.txt", "out"}, "fsync", "", "out" + io},
	    {{LINEDUMP, "in.pdb", "out"}, "rename", "", "out" + io},
	    // the reader's return to where its reads ended
	    {{TRKEXPORT, "csv", "in.pdb", "out"},
	     "lseek=" + std::to_string(read_file(dir / "in.pdb").size()),
	     "Could not read pdbfile.\n", "pdb_Read: lseek" + io},
	};
	for (const Case &c : cases) {
		SCOPED_TRACE(c.args[0] + " " + c.args[1] + " " + c.fail);
		write_file(dir / "out", EARLIER);
		run::Result r =
		    c.fail.empty()
			? run::program(c.args, dir.path(), "", 8192)
			: run::program(c.args, dir.path(), "", -1,
				       failing(c.fail));
		EXPECT_EQ(r.status, 1);
		EXPECT_EQ(r.out, c.out);
		EXPECT_EQ(r.err, c.err);
		EXPECT_EQ(read_file(dir / "out"), EARLIER);
		EXPECT_EQ(others(), std::vector<std::string>{"out"});
	}
}

TEST_F(Output, ReplacedOutputKeepsModeAndLinks)
{
	ASSERT_EQ(run::program({TRKEXPORT, "csv", "in.pdb", "plain"},
			       dir.path())
		      .status,
		  0);
	const std::string csv = read_file(dir / "plain");
	struct Case {
		std::string link_to;  // the output is a link to this, if set
		bool exists;
		mode_t mode;  // of the file before and after
	};
	for (Case c : {Case{"", true, 0644}, Case{"", true, 0640},
		       Case{"target", true, 0604}, Case{"target", false, 0600}}) {
		SCOPED_TRACE(c.link_to + " " + std::to_string(c.mode));
		unlink((dir / "out").c_str());
		unlink((dir / "target").c_str());
		if (!c.link_to.empty()) {
			ASSERT_EQ(symlink(c.link_to.c_str(),
					  (dir / "out").c_str()),
				  0);
		}
		std::string file = dir / (c.link_to == "target" ? "target" : "out");
		if (c.exists) {
			write_file(file, EARLIER);
			chmod(file.c_str(), c.mode);
		}
		// The earlier file, too short to be a database, is not even opened
		// (a longer one is read to tell): a watcher sees nothing.
		int watch = inotify_init1(IN_NONBLOCK);
		ASSERT_GE(watch, 0);
		if (c.exists) {
			ASSERT_GE(inotify_add_watch(watch, file.c_str(), IN_OPEN),
				  0);
		}
		mode_t old = umask(022);
		run::Result r = run::program({TRKEXPORT, "csv", "in.pdb", "out"},
					     dir.path());
		umask(old);
		struct inotify_event event;  // an open has no name after it
		while (read(watch, &event, sizeof event) > 0)
			EXPECT_FALSE(event.mask & IN_OPEN);
		close(watch);
		EXPECT_EQ(r.status, 0);
		EXPECT_EQ(read_file(file), csv);
		struct stat st;
		ASSERT_EQ(lstat((dir / "out").c_str(), &st), 0);
		EXPECT_EQ(S_ISLNK(st.st_mode), !c.link_to.empty());
		ASSERT_EQ(stat(file.c_str(), &st), 0);
		EXPECT_EQ(st.st_mode & 0777, c.mode);
	}

	// New files from the two text tools: 0666 less the umask.
	for (const std::vector<std::string> &args :
	     {std::vector<std::string>{GPSIMPORT, "in.txt", "new"},
	      std::vector<std::string>{LINEDUMP, "in.pdb", "new"}}) {
		unlink((dir / "new").c_str());
		mode_t old = umask(022);
		EXPECT_EQ(run::program(args, dir.path()).status, 0);
		umask(old);
		struct stat st;
		ASSERT_EQ(stat((dir / "new").c_str(), &st), 0);
		EXPECT_EQ(st.st_mode & 0777, 0644u);
	}
}

}  // namespace
