// A stand-in for the host's RPM library, built in variants that export
// different sets of functions. It holds three packages, logs the calls it
// gets and marks with "BAD" the arguments the real library would refuse.
#include <signal.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#define EXPORT __attribute__((visibility("default")))

static char call_log[65536];

static void note_tag(const char* what, int tag) {
  size_t used = strlen(call_log);
  if (tag) snprintf(call_log + used, sizeof call_log - used, "%s:%d ", what, tag);
  else snprintf(call_log + used, sizeof call_log - used, "%s ", what);
}
static void note(const char* what) { note_tag(what, 0); }

EXPORT const char* fake_rpm_log(void) { return call_log; }

// Text tags in the order of package.text; 1008 is the install time.
static const int32_t text_tags[7] = {1000, 1001, 1011, 1015, 1016, 1020, 1044};
struct package { const char* text[7]; int has_install_time; int32_t install_time; };
static const struct package packages[] = {
    {{"alpha", "1.0", "Acme & Sons <dev>", "Pat", "System/Base", "http://example.com/?a=\"1\"",
      "alpha-1.0-1.src.rpm"}, 1, 1700000000},
    {{"beta", "2.5"}, 0, 0},
    {{"gamma", "0.1", "Vendor", NULL, "Apps/Text"}, 1, 0},
};
#ifdef FAKE_EMPTY
enum { package_count = 0 };
#else
enum { package_count = 3 };
#endif

static const char* text_of(const struct package* p, int32_t tag) {
  for (int i = 0; i < 7; ++i)
    if (text_tags[i] == tag) return p->text[i];
  return NULL;
}

struct tag_data { const char* text; uint64_t number; };

// Every scan starts here, so the log starts afresh.
EXPORT int rpmReadConfigFiles(const char* file, const char* target) {
  call_log[0] = '\0';
  note(file || target ? "BAD:config" : "config");
  return 0;
}

// The database directory the build gives; it holds "Packages" unless
// FAKE_NO_DATABASE points it at a directory without one.
EXPORT char* rpmExpand(const char* macro, ...) {
  note(strcmp(macro, "%{_dbpath}") == 0 ? "expand" : "BAD:expand");
  return strdup(FAKE_DBPATH);
}

// The one iterator; a header is a pointer to its package.
static int next_package;
static void* new_iterator(int32_t tag, const void* key, size_t key_length) {
  if (tag != 0 || key || key_length != 0) note("BAD:iterator-args");
  next_package = 0;
  return &next_package;
}
EXPORT void* rpmdbNextIterator(void* it) {
  note(it == &next_package ? "next" : "BAD:next");
#if defined(FAKE_CRASH) || defined(FAKE_HANG)
  // Half-way: a corrupt database that crashes the library, or a lock that
  // is never given up.
  if (next_package == 1) {
#ifdef FAKE_CRASH
    raise(SIGSEGV);
#else
    for (;;) pause();
#endif
  }
#endif
  if (next_package < 0 || next_package >= package_count) return NULL;
  return (void*)&packages[next_package++];
}
EXPORT void* rpmdbFreeIterator(void* it) {
  note(it == &next_package ? "freeIter" : "BAD:freeIter");
  return NULL;
}

#ifdef FAKE_TS
static int set;
EXPORT void* rpmtsCreate(void) { note("tsCreate"); return &set; }
EXPORT void* rpmtsInitIterator(void* ts, int32_t tag, const void* key, size_t key_length) {
  note(ts == &set ? "tsInit" : "BAD:tsInit");
  return new_iterator(tag, key, key_length);
}
EXPORT void* rpmtsFree(void* ts) { note(ts == &set ? "tsFree" : "BAD:tsFree"); return NULL; }
EXPORT void* headerLink(void* h) { note("link"); return h; }
EXPORT void* headerFree(void* h) { note(h ? "free" : "BAD:free"); return NULL; }
EXPORT void* rpmtdNew(void) { note("tdNew"); return calloc(1, sizeof(struct tag_data)); }
EXPORT void* rpmtdFree(void* td) { note("tdFree"); free(td); return NULL; }
EXPORT void rpmtdReset(void* td) { memset(td, 0, sizeof(struct tag_data)); }
#endif

#ifdef FAKE_HEADERGET
EXPORT int headerGet(void* h, int32_t tag, void* td, uint32_t flags) {
  const struct package* p = h;
  struct tag_data* data = td;
  note_tag("get", tag);
  if (flags != 2 || data->text || data->number) note("BAD:get");
  if (tag == 1008) {
    data->number = (uint32_t)p->install_time;
    return p->has_install_time;
  }
  data->text = text_of(p, tag);
  return data->text != NULL;
}
EXPORT const char* rpmtdGetString(void* td) { return ((struct tag_data*)td)->text; }
EXPORT uint64_t rpmtdGetNumber(void* td) { return ((struct tag_data*)td)->number; }
#endif

#ifdef FAKE_GETENTRY
// The group comes back as an array of strings, as some versions hand out.
static const char* group_array[2] = {NULL, "other"};
EXPORT int headerGetEntry(void* h, int32_t tag, int32_t* type, const void** value, int32_t* count) {
  const struct package* p = h;
  const char* text = text_of(p, tag);
  note_tag("getEntry", tag);
  if (tag == 1008 ? !p->has_install_time : !text) return 0;
  if (tag == 1016) group_array[0] = text;
  *type = tag == 1008 ? 4 : tag == 1016 ? 8 : 6;
  *value = tag == 1008 ? (void*)&p->install_time : tag == 1016 ? (void*)group_array : text;
  *count = tag == 1016 ? 2 : 1;
  return 1;
}
EXPORT void* headerFreeTag(void* h, const void* value, int32_t type) {
  (void)value;
  note_tag(h ? "freeTag" : "BAD:freeTag", type);
  return NULL;
}
#endif

#ifdef FAKE_DB
static int database;
EXPORT int rpmdbOpen(const char* root, void** db, int mode, int permissions) {
  note(root && !root[0] && mode == 0 && permissions == 0644 ? "dbOpen" : "BAD:dbOpen");
#ifdef FAKE_DBOPEN_FAILS
  return 1;
#endif
  *db = &database;
  return 0;
}
EXPORT void* rpmdbInitIterator(void* db, int32_t tag, const void* key, size_t key_length) {
  note(db == &database ? "dbInit" : "BAD:dbInit");
  return new_iterator(tag, key, key_length);
}
EXPORT int rpmdbClose(void* db) { note(db == &database ? "dbClose" : "BAD:dbClose"); return 0; }
#endif

