/* SPDX-License-Identifier: MIT */
#include "gpxread.h"

#include <errno.h>
#include <expat.h>
#include <stdio.h>
#include <string.h>
#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <new>

#include "cp1252.h"

namespace {

const char GPX10_NAMESPACE[] = "http://www.topografix.com/GPX/1/0";
const char GPX11_NAMESPACE[] = "http://www.topografix.com/GPX/1/1";
/* Between namespace and local name in the names expat reports. */
const char NS_SEPARATOR = '|';

/* Bytes read at a time. */
enum { CHUNK = 256 * 1024 };

/* Bytes of the longest message of the reader's own. */
enum { ERROR_ROOM = 256 };

/* What an element is to the reader; OTHER for everything it skips. */
enum kind {
	OTHER, GPX, WPT, RTE, RTEPT, TRK, TRKSEG, TRKPT,
	NAME, CMT, DESC, ELE, TIME, FIX,
};

/* Elements are told apart down to this depth: a track point's elevation
 * is the deepest that matters (gpx, trk, trkseg, trkpt, ele). */
enum { DEPTH_KNOWN = 8 };

struct reader {
	XML_Parser parser;
	const struct gpx_handler *h;
	void *ctx;
	struct gpx_error *error;
	bool stopped;	      /* by a handler or as no GPX document */
	std::string ns;	      /* the root's namespace */
	unsigned long depth;  /* elements open */
	kind open[DEPTH_KNOWN];
	struct gpx_point point;
	bool segment_opened;  /* no trkpt yet in the trkseg last opened */
	std::string route_name, track_name;
	std::string *text;    /* where character data goes, or null */
};

/* The kind of a child called local of an element of kind parent. */
kind kind_of(kind parent, const char *local)
{
	static const struct {
		kind parent;
		const char *local;
		kind child;
	} CHILDREN[] = {
	    {GPX, "wpt", WPT},	    {GPX, "rte", RTE},
	    {GPX, "trk", TRK},	    {RTE, "name", NAME},
	    {RTE, "rtept", RTEPT},  {TRK, "name", NAME},
	    {TRK, "trkseg", TRKSEG}, {TRKSEG, "trkpt", TRKPT},
	};
	static const struct {
		const char *local;
		kind child;
	} POINT_TEXTS[] = {
	    {"name", NAME}, {"cmt", CMT},   {"desc", DESC},
	    {"ele", ELE},   {"time", TIME}, {"fix", FIX},
	};
	for (const auto &c : CHILDREN)
		if (c.parent == parent && strcmp(c.local, local) == 0)
			return c.child;
	if (parent == WPT || parent == RTEPT || parent == TRKPT)
		for (const auto &t : POINT_TEXTS)
			if (strcmp(t.local, local) == 0)
				return t.child;
	return OTHER;
}

/* Stops the parser with the error message at the current position. */
void stop(struct reader *r, const char *message)
{
	r->error->line = XML_GetCurrentLineNumber(r->parser);
	r->error->column = XML_GetCurrentColumnNumber(r->parser) + 1;
	r->error->message = message;
	r->stopped = true;
	XML_StopParser(r->parser, XML_FALSE);
}

/* The local part of an expat name "namespace|local" (or "local"); *ns_len
 * gets the length of the namespace before it.  Most names are in the
 * root's namespace ns, which is looked for first. */
const char *local_name(const char *name, const std::string &ns,
		       size_t *ns_len)
{
	if (!ns.empty() && strncmp(name, ns.data(), ns.size()) == 0 &&
	    name[ns.size()] == NS_SEPARATOR &&
	    strchr(name + ns.size() + 1, NS_SEPARATOR) == NULL) {
		*ns_len = ns.size();
		return name + ns.size() + 1;
	}
	const char *sep = strrchr(name, NS_SEPARATOR);
	*ns_len = sep != NULL ? (size_t)(sep - name) : 0;
	return sep != NULL ? sep + 1 : name;
}

bool is_namespace(const char *name, size_t len, const std::string &ns)
{
	return len == ns.size() && memcmp(name, ns.data(), len) == 0;
}

/* The value of the attribute called name (in no namespace), or "". */
const char *attribute(const XML_Char **atts, const char *name)
{
	for (size_t i = 0; atts[i] != NULL; i += 2)
		if (strcmp(atts[i], name) == 0)
			return atts[i + 1];
	return "";
}

void start_point(struct reader *r, const XML_Char **atts, bool track_point)
{
	struct gpx_point &p = r->point;
	p.starts_segment = track_point && r->segment_opened;
	if (track_point)
		r->segment_opened = false;
	p.lat = attribute(atts, "lat");
	p.lon = attribute(atts, "lon");
	p.lat.resize(std::min(p.lat.size(), (size_t)GPX_TEXT_KEPT));
	p.lon.resize(std::min(p.lon.size(), (size_t)GPX_TEXT_KEPT));
	p.ele.clear();
	p.time.clear();
	p.fix.clear();
	p.name.clear();
	p.cmt.clear();
	p.desc.clear();
	p.line = XML_GetCurrentLineNumber(r->parser);
	p.column = XML_GetCurrentColumnNumber(r->parser) + 1;
}

/* The string that the text of an element of kind k within parent fills. */
std::string *text_of(struct reader *r, kind parent, kind k)
{
	struct gpx_point &p = r->point;
	switch (k) {
	case NAME:
		return parent == RTE ? &r->route_name
		       : parent == TRK ? &r->track_name
				       : &p.name;
	case CMT: return &p.cmt;
	case DESC: return &p.desc;
	case ELE: return &p.ele;
	case TIME: return &p.time;
	case FIX: return &p.fix;
	default: return NULL;
	}
}

/* Stops the parser as out of memory, at the current position. */
void out_of_memory(struct reader *r)
{
	stop(r, strerror(ENOMEM));
}

void start_element(struct reader *r, const XML_Char *name,
		   const XML_Char **atts)
{
	size_t ns_len;
	const char *local = local_name(name, r->ns, &ns_len);
	kind k = OTHER;
	r->text = NULL; /* text within a child is not the parent's own */
	if (r->depth == 0) {
		r->ns.assign(name, ns_len);
		if (strcmp(local, "gpx") != 0 ||
		    !(ns_len == 0 || r->ns == GPX10_NAMESPACE ||
		      r->ns == GPX11_NAMESPACE)) {
			stop(r, "not a GPX document");
			return;
		}
		k = GPX;
	} else if (r->depth <= DEPTH_KNOWN &&
		   is_namespace(name, ns_len, r->ns)) {
		kind parent = r->open[r->depth - 1];
		k = kind_of(parent, local);
		if (k == WPT || k == RTEPT || k == TRKPT)
			start_point(r, atts, k == TRKPT);
		else if (k == TRKSEG)
			r->segment_opened = true;
		else if (k == RTE)
			r->route_name.clear();
		else if (k == TRK)
			r->track_name.clear();
		r->text = text_of(r, parent, k);
		if (r->text != NULL)
			r->text->clear();
	}
	if (r->depth < DEPTH_KNOWN)
		r->open[r->depth] = k;
	r->depth++;
}

/* The handlers that expat calls let no exception through its C frames. */
void XMLCALL on_start(void *data, const XML_Char *name, const XML_Char **atts)
{
	struct reader *r = (struct reader *)data;
	try {
		start_element(r, name, atts);
	} catch (const std::bad_alloc &) {
		out_of_memory(r);
	}
}

/* Hands what ended to the handler. */
int hand_over(struct reader *r, kind k)
{
	const struct gpx_handler *h = r->h;
	switch (k) {
	case WPT: return h->waypoint(r->ctx, &r->point);
	case RTEPT: return h->route_point(r->ctx, &r->point);
	case TRKPT: return h->track_point(r->ctx, &r->point);
	case RTE: return h->route_end(r->ctx, r->route_name);
	case TRK: return h->track_end(r->ctx, r->track_name);
	default: return 0;
	}
}

void XMLCALL on_end(void *data, const XML_Char *)
{
	struct reader *r = (struct reader *)data;
	r->depth--;
	kind k = r->depth < DEPTH_KNOWN ? r->open[r->depth] : OTHER;
	bool track_name = k == NAME && r->depth > 0 &&
			  r->open[r->depth - 1] == TRK;
	r->text = NULL;
	int status;
	try {
		status = track_name ? r->h->track_name(r->ctx, r->track_name)
				    : hand_over(r, k);
	} catch (const std::bad_alloc &) {
		out_of_memory(r);
		return;
	}
	if (status < 0) {
		r->stopped = true;
		XML_StopParser(r->parser, XML_FALSE);
	}
}

void XMLCALL on_text(void *data, const XML_Char *s, int len)
{
	struct reader *r = (struct reader *)data;
	if (r->text == NULL)
		return;
	size_t room = GPX_TEXT_KEPT - std::min(r->text->size(),
					       (size_t)GPX_TEXT_KEPT);
	try {
		r->text->append(s, std::min((size_t)len, room));
	} catch (const std::bad_alloc &) {
		out_of_memory(r);
	}
}

/* External entities, the DTD's external subset among them, are never
 * loaded. */
int XMLCALL refuse_external(XML_Parser, const XML_Char *, const XML_Char *,
			    const XML_Char *, const XML_Char *)
{
	return XML_STATUS_ERROR;
}

/* A reference to an entity whose declaration was not read (it follows a
 * parameter entity that was not, or it was declared nowhere) would lose
 * its text without a word. */
void XMLCALL refuse_skipped(void *data, const XML_Char *name, int is_parameter)
{
	struct reader *r = (struct reader *)data;
	enum { SHOWN = 40 };
	char message[128];
	snprintf(message, sizeof message,
		 "entity %c%.*s%s; is not expanded: its declaration is not read",
		 is_parameter ? '%' : '&', (int)SHOWN, name,
		 strlen(name) > SHOWN ? "..." : "");
	stop(r, message);
}

/* Windows-1252, which expat does not know, as its table of bytes; the
 * bytes the code page leaves undefined are errors. */
int XMLCALL windows_1252(void *, const XML_Char *name, XML_Encoding *info)
{
	if (strcasecmp(name, "windows-1252") != 0 &&
	    strcasecmp(name, "cp1252") != 0)
		return XML_STATUS_ERROR;
	for (int b = 0; b < 256; b++) {
		unsigned cp = cp1252_to_unicode((unsigned char)b);
		info->map[b] = cp == 0 && b != 0 ? -1 : (int)cp;
	}
	info->data = NULL;
	info->convert = NULL;
	info->release = NULL;
	return XML_STATUS_OK;
}

/* Reads up to len bytes, again after an interruption. */
ssize_t read_some(int fd, void *buf, size_t len)
{
	ssize_t n;
	do
		n = read(fd, buf, len);
	while (n < 0 && errno == EINTR);
	return n;
}

int parse(struct reader *r, int fd)
{
	for (;;) {
		void *buf = XML_GetBuffer(r->parser, CHUNK);
		if (buf == NULL) {
			r->error->message = strerror(ENOMEM);
			return -1;
		}
		ssize_t n = read_some(fd, buf, CHUNK);
		if (n < 0) {
			r->error->message = strerror(errno);
			return -1;
		}
		if (XML_ParseBuffer(r->parser, (int)n, n == 0) !=
		    XML_STATUS_OK) {
			if (!r->stopped) {
				r->error->line =
				    XML_GetCurrentLineNumber(r->parser);
				r->error->column =
				    XML_GetCurrentColumnNumber(r->parser) + 1;
				r->error->message = XML_ErrorString(
				    XML_GetErrorCode(r->parser));
			}
			return -1;
		}
		if (n == 0)
			return 0;
	}
}

}  // namespace

int gpx_read(int fd, const struct gpx_handler *h, void *ctx,
	     struct gpx_error *error)
{
	*error = gpx_error{0, 0, ""};
	/* Room for the reader's messages, so that none needs memory. */
	error->message.reserve(ERROR_ROOM);
	XML_Parser parser = XML_ParserCreateNS(NULL, NS_SEPARATOR);
	if (parser == NULL) {
		error->message = strerror(ENOMEM);
		return -1;
	}
	struct reader r = {};
	r.parser = parser;
	r.h = h;
	r.ctx = ctx;
	r.error = error;
	XML_SetUserData(parser, &r);
	XML_SetElementHandler(parser, on_start, on_end);
	XML_SetCharacterDataHandler(parser, on_text);
	/* Parameter entities are read so that the entities they declare are
	 * known; the external ones are refused as all are. */
	XML_SetParamEntityParsing(parser, XML_PARAM_ENTITY_PARSING_ALWAYS);
	XML_SetExternalEntityRefHandler(parser, refuse_external);
	XML_SetSkippedEntityHandler(parser, refuse_skipped);
	XML_SetUnknownEncodingHandler(parser, windows_1252, NULL);
	int status = parse(&r, fd);
	XML_ParserFree(parser);
	return status;
}
