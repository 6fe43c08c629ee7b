// SPDX-License-Identifier: MIT
// Loading and exporting a track log of 1k, 8k and 65535 records (the most a
// database holds), in process and as whole program runs, beside GPSBabel
// converting the same points from Magellan text to GPX; a folder of 1000
// logs exported in one run and in a run for each (GPX 1.1, and pages with
// their atlas); and importing GPX documents of as many track points,
// beside GPSBabel turning them into Magellan text.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <stdio.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "mag.h"
#include "pdb.h"

namespace {

const char *const TRKEXPORT = TRKEXPORT_PATH;
const char *const GPXIMPORT = GPXIMPORT_PATH;
const char *const TRKINFO = TRKINFO_PATH;

// How a log's points are split into tracks: all in one; each a track of
// its own name; alternating between two names (each a track, too).
enum Split { ONE_TRACK, OWN_NAMES, TWO_NAMES };

// The name of the n-th point's track.
std::string track_of(int n, Split split)
{
	return split == ONE_TRACK   ? ""
	       : split == OWN_NAMES ? "T" + std::to_string(n)
				    : (n % 2 ? "B" : "A");
}

// The n-th position report of a long walk: a point every 2.5 seconds, of
// the track named track.
std::string report(int n, const std::string &track = "")
{
	double lat = 47.4 + n * 1e-5, lon = 10.98 + n * 1.3e-5;
	long t = 6 * 3600L * 100 + n * 250L;  // hundredths from midnight
	int day = 14 + (int)(t / 8640000);
	t %= 8640000;
	char body[128], line[160];
	snprintf(body, sizeof body,
		 "PMGNTRK,%02d%07.4f,N,%03d%07.4f,E,%05d,M,%02ld%02ld%02ld.%02ld,"
		 "A,%s,%02d0826",
		 (int)lat, (lat - (int)lat) * 60, (int)lon,
		 (lon - (int)lon) * 60, 900 + n % 1200, t / 360000,
		 t / 6000 % 60, t / 100 % 60, t % 100, track.c_str(), day);
	unsigned sum = 0;
	for (const char *p = body; *p; p++)
		sum ^= (unsigned char)*p;
	snprintf(line, sizeof line, "$%s*%02X", body, sum);
	return line;
}

struct Files {
	std::string pdb, text;
};

// The log as the handheld writes it (text and NUL per record) and the
// same reports as a text file, made once per size and split.
const Files &files(int n, Split split = ONE_TRACK)
{
	static std::map<std::pair<int, Split>, Files> made;
	auto it = made.find({n, split});
	if (it != made.end())
		return it->second;
	std::string base = "/tmp/wexlar-bench-" + std::to_string(n) +
			   (split == ONE_TRACK ? "" : "-" + std::to_string(split));
	Files f{base + ".pdb", base + ".txt"};
	struct pdb *db = new_pdb();
	snprintf(db->name, sizeof db->name, "Bench %d", n);
	db->type = PALM_FOURCC('D', 'A', 'T', 'A');
	db->creator = PALM_FOURCC('W', 'x', 'l', '1');
	FILE *text = fopen(f.text.c_str(), "w");
	std::vector<struct pdb_record *> recs;
	struct pdb_record **tail = &db->rec_index.rec;
	for (int i = 0; i < n; i++) {
		std::string r = report(i, track_of(i, split));
		fprintf(text, "%s\n", r.c_str());
		*tail = new_Record(0x40, 0, (udword)i + 1, (uword)(r.size() + 1),
				   (const ubyte *)r.c_str());
		tail = &(*tail)->next;
		db->numrecs++;
	}
	fclose(text);
	int fd = open(f.pdb.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
	if (pdb_Write(db, fd) != 0)
		abort();
	close(fd);
	free_pdb(db);
	return made[{n, split}] = f;
}

// A GPX 1.1 document of n track points of that walk, about 100 bytes a
// point, as a phone app writes one; made once per size.
const std::string &gpx_doc(int n)
{
	static std::map<int, std::string> made;
	auto it = made.find(n);
	if (it != made.end())
		return it->second;
	std::string path = "/tmp/wexlar-bench-" + std::to_string(n) + ".gpx";
	FILE *out = fopen(path.c_str(), "w");
	fprintf(out, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<gpx "
		     "version=\"1.1\" creator=\"bench\" "
		     "xmlns=\"http://www.topografix.com/GPX/1/1\">\n<trk>"
		     "<name>Bench</name><trkseg>\n");
	for (int i = 0; i < n; i++) {
		long t = 6 * 3600L + i * 5L / 2;
		fprintf(out,
			"<trkpt lat=\"%.7f\" lon=\"%.7f\"><ele>%.1f</ele>"
			"<time>2026-08-%02ldT%02ld:%02ld:%02ldZ</time></trkpt>\n",
			47.4 + i * 1e-5, 10.98 + i * 1.3e-5, 900 + i % 1200 * 0.7,
			14 + t / 86400, t / 3600 % 24, t / 60 % 60, t % 60);
	}
	fprintf(out, "</trkseg></trk>\n</gpx>\n");
	fclose(out);
	return made[n] = path;
}

struct pdb *load(const std::string &path)
{
	int fd = open(path.c_str(), O_RDONLY);
	struct pdb *db = pdb_Read(fd);
	close(fd);
	return db;
}

void BM_Load(benchmark::State &state)
{
	const Files &f = files((int)state.range(0));
	for (auto _ : state) {
		struct pdb *db = load(f.pdb);
		benchmark::DoNotOptimize(db);
		free_pdb(db);
	}
	state.SetItemsProcessed(state.iterations() * state.range(0));
}

template <_parsewexlarffile writer>
void BM_Export(benchmark::State &state)
{
	struct pdb *db = load(files((int)state.range(0)).pdb);
	int devnull = open("/dev/null", O_WRONLY);
	for (auto _ : state)
		if (writer(db, devnull) != 0)
			state.SkipWithError("write failed");
	close(devnull);
	free_pdb(db);
	state.SetItemsProcessed(state.iterations() * state.range(0));
}

// Runs a command to completion; returns its wall time and keeps the
// child's peak resident memory.
double run_timed(const std::vector<std::string> &args, long *peak_kib)
{
	auto start = std::chrono::steady_clock::now();
	pid_t pid = fork();
	if (pid == 0) {
		int null = open("/dev/null", O_WRONLY);
		dup2(null, 1);
		dup2(null, 2);
		std::vector<char *> argv;
		for (const std::string &a : args)
			argv.push_back(const_cast<char *>(a.c_str()));
		argv.push_back(nullptr);
		execvp(argv[0], argv.data());
		_exit(127);
	}
	int status;
	struct rusage ru;
	wait4(pid, &status, 0, &ru);
	auto end = std::chrono::steady_clock::now();
	*peak_kib = ru.ru_maxrss;
	if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
		return -1;
	return std::chrono::duration<double>(end - start).count();
}

void run_program(benchmark::State &state, const std::vector<std::string> &args)
{
	long peak = 0;
	for (auto _ : state) {
		double secs = run_timed(args, &peak);
		if (secs < 0) {
			state.SkipWithError((args[0] + " failed").c_str());
			break;
		}
		state.SetIterationTime(secs);
	}
	state.counters["peak_MiB"] = (double)peak / 1024;
	state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_TrkexportGpx(benchmark::State &state)
{
	const Files &f = files((int)state.range(0));
	run_program(state, {TRKEXPORT, "track", f.pdb, "/tmp/wexlar-bench.gpx"});
}

void BM_TrkexportGpx11(benchmark::State &state)
{
	const Files &f = files((int)state.range(0));
	run_program(state, {TRKEXPORT, "gpx", f.pdb, "/tmp/wexlar-bench11.gpx"});
}

void BM_TrkexportCsv(benchmark::State &state)
{
	const Files &f = files((int)state.range(0));
	run_program(state, {TRKEXPORT, "csv", f.pdb, "/tmp/wexlar-bench.csv"});
}

void BM_TrkexportMapSend(benchmark::State &state)
{
	const Files &f = files((int)state.range(0));
	run_program(state, {TRKEXPORT, "mapsend", f.pdb, "/tmp/wexlar-bench.ms"});
}

// The page of the same log, beside trkexport gpx (at most 3 times its
// time, and at most 4 MB at 65535 records).
void BM_TrkexportHtml(benchmark::State &state)
{
	const Files &f = files((int)state.range(0));
	run_program(state, {TRKEXPORT, "html", f.pdb, "/tmp/wexlar-bench.html"});
	struct stat st;
	if (stat("/tmp/wexlar-bench.html", &st) == 0)
		state.counters["page_MiB"] = (double)st.st_size / (1 << 20);
}

// The page and the GPX 1.1 export of 65535 points split into one-point
// tracks (at most 3 times that export's time, at most 4,000,000 bytes).
void BM_TrkexportHtmlSplit(benchmark::State &state)
{
	const Files &f = files(65535, (Split)state.range(0));
	run_program(state, {TRKEXPORT, "html", f.pdb, "/tmp/wexlar-bench.html"});
	state.SetItemsProcessed(state.iterations() * 65535);
	struct stat st;
	if (stat("/tmp/wexlar-bench.html", &st) == 0)
		state.counters["page_MiB"] = (double)st.st_size / (1 << 20);
}

void BM_TrkexportGpx11Split(benchmark::State &state)
{
	const Files &f = files(65535, (Split)state.range(0));
	run_program(state, {TRKEXPORT, "gpx", f.pdb, "/tmp/wexlar-bench11.gpx"});
	state.SetItemsProcessed(state.iterations() * 65535);
}

// The trip's numbers of the same log, beside trkexport track (at most 3
// times its time and 16 MiB at 65535 records).
void BM_Trkinfo(benchmark::State &state)
{
	const Files &f = files((int)state.range(0));
	run_program(state, {TRKINFO, f.pdb});
}

// Points of each log of the folder below.
const int FOLDER_LOG_POINTS = 300;
const std::string FOLDER_OUT = "/tmp/wexlar-bench-folder-out";

// n logs of 300 points, as a backup folder holds them, and an empty
// directory for their exports; made once per n.
const std::vector<std::string> &folder_logs(int n)
{
	static std::map<int, std::vector<std::string>> made;
	auto it = made.find(n);
	if (it != made.end())
		return it->second;
	std::string dir = "/tmp/wexlar-bench-folder-" + std::to_string(n);
	mkdir(dir.c_str(), 0700);
	mkdir(FOLDER_OUT.c_str(), 0700);
	FILE *in = fopen(files(FOLDER_LOG_POINTS).pdb.c_str(), "rb");
	std::string bytes;
	char buf[65536];
	for (size_t got; (got = fread(buf, 1, sizeof buf, in)) > 0;)
		bytes.append(buf, got);
	fclose(in);
	std::vector<std::string> logs;
	for (int i = 0; i < n; i++) {
		logs.push_back(dir + "/log" + std::to_string(i) + ".pdb");
		FILE *out = fopen(logs.back().c_str(), "wb");
		fwrite(bytes.data(), 1, bytes.size(), out);
		fclose(out);
	}
	return made[n] = logs;
}

// The whole folder in one run of trkexport FORMAT -t (at most half the
// time of a run for each log, and at most 32 MiB); with html, the pages
// and their atlas, index.html.
void folder_in_one_run(benchmark::State &state, const char *format)
{
	std::vector<std::string> args = {TRKEXPORT, format, "-t", FOLDER_OUT};
	const std::vector<std::string> &logs = folder_logs((int)state.range(0));
	args.insert(args.end(), logs.begin(), logs.end());
	run_program(state, args);
}

// The same folder in a run of trkexport FORMAT for each log, as a shell
// loop does it; the peak is that of the largest run.
void folder_in_single_runs(benchmark::State &state, const char *format,
			   const char *ext)
{
	const std::vector<std::string> &logs = folder_logs((int)state.range(0));
	long peak = 0;
	for (auto _ : state) {
		double total = 0;
		for (size_t i = 0; i < logs.size(); i++) {
			long run_peak;
			std::string out =
			    FOLDER_OUT + "/log" + std::to_string(i) + ext;
			double secs =
			    run_timed({TRKEXPORT, format, logs[i], out}, &run_peak);
			if (secs < 0) {
				state.SkipWithError("trkexport failed");
				return;
			}
			total += secs;
			peak = std::max(peak, run_peak);
		}
		state.SetIterationTime(total);
	}
	state.counters["peak_MiB"] = (double)peak / 1024;
	state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_TrkexportFolder(benchmark::State &state)
{
	folder_in_one_run(state, "gpx");
}

void BM_TrkexportFolderSingleRuns(benchmark::State &state)
{
	folder_in_single_runs(state, "gpx", ".gpx");
}

void BM_TrkexportFolderHtml(benchmark::State &state)
{
	folder_in_one_run(state, "html");
	struct stat st;
	if (stat((FOLDER_OUT + "/index.html").c_str(), &st) == 0)
		state.counters["atlas_MiB"] = (double)st.st_size / (1 << 20);
}

void BM_TrkexportFolderHtmlSingleRuns(benchmark::State &state)
{
	folder_in_single_runs(state, "html", ".html");
}

void BM_GpsbabelGpx(benchmark::State &state)
{
	const Files &f = files((int)state.range(0));
	run_program(state, {"gpsbabel", "-t", "-i", "magellan", "-f", f.text,
			    "-o", "gpx", "-F", "/tmp/wexlar-bench-babel.gpx"});
}

void BM_Gpximport(benchmark::State &state)
{
	run_program(state, {GPXIMPORT, gpx_doc((int)state.range(0)),
			    "/tmp/wexlar-bench-import.pdb"});
}

// A GPX document of n waypoints all named "Same", each at a place of its
// own, which gpximport renames Same2, Same3, ...; made once per size.
const std::string &same_named_doc(int n)
{
	static std::map<int, std::string> made;
	auto it = made.find(n);
	if (it != made.end())
		return it->second;
	std::string path = "/tmp/wexlar-bench-same-" + std::to_string(n) +
			   ".gpx";
	FILE *out = fopen(path.c_str(), "w");
	fprintf(out, "<gpx version=\"1.1\" "
		     "xmlns=\"http://www.topografix.com/GPX/1/1\">\n");
	for (int i = 0; i < n; i++)
		fprintf(out, "<wpt lat=\"47\" lon=\"%.4f\"><name>Same</name>"
			     "</wpt>\n", i * 0.002);
	fprintf(out, "</gpx>\n");
	fclose(out);
	return made[n] = path;
}

void BM_GpximportSameNames(benchmark::State &state)
{
	run_program(state, {GPXIMPORT, same_named_doc((int)state.range(0)),
			    "/tmp/wexlar-bench-same.pdb"});
}

// n MiB of empty routes, which give a database of no records: the peak
// memory must not grow with the input.
void BM_GpximportEmptyRoutes(benchmark::State &state)
{
	std::string path = "/tmp/wexlar-bench-empty-routes.gpx";
	FILE *out = fopen(path.c_str(), "w");
	fputs("<gpx>", out);
	std::string mib;
	for (int i = 0; i < (1 << 20) / 6; i++)
		mib += "<rte/>";
	for (int i = 0; i < state.range(0); i++)
		fputs(mib.c_str(), out);
	fputs("</gpx>\n", out);
	fclose(out);
	run_program(state, {GPXIMPORT, path, "/tmp/wexlar-bench-empty.pdb"});
}

void BM_GpsbabelFromGpx(benchmark::State &state)
{
	run_program(state, {"gpsbabel", "-t", "-i", "gpx", "-f",
			    gpx_doc((int)state.range(0)), "-o", "magellan",
			    "-F", "/tmp/wexlar-bench-babel.txt"});
}

#define SIZES Arg(1024)->Arg(8192)->Arg(65535)
BENCHMARK(BM_Load)->SIZES->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Export<parsewexlarfilegpx>)->SIZES->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Export<parsewexlarfilegpx11>)->SIZES->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Export<parsewexlarfilecsv>)->SIZES->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Export<parsewexlarfileimapsend>)
    ->SIZES->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TrkexportGpx)->SIZES->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TrkexportGpx11)->SIZES->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TrkexportCsv)->SIZES->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TrkexportMapSend)
    ->SIZES->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TrkexportHtml)->SIZES->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TrkexportHtmlSplit)->Arg(OWN_NAMES)->Arg(TWO_NAMES)
    ->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TrkexportGpx11Split)->Arg(OWN_NAMES)->Arg(TWO_NAMES)
    ->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Trkinfo)->SIZES->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TrkexportFolder)->Arg(1000)->Iterations(3)->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TrkexportFolderSingleRuns)->Arg(1000)->Iterations(3)
    ->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TrkexportFolderHtml)->Arg(1000)->Iterations(3)->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TrkexportFolderHtmlSingleRuns)->Arg(1000)->Iterations(3)
    ->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GpsbabelGpx)->SIZES->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Gpximport)->SIZES->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GpximportSameNames)->SIZES->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GpximportEmptyRoutes)->Arg(200)->Iterations(1)->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GpsbabelFromGpx)
    ->SIZES->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
