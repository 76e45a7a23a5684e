/* A stand-in for the host's RPM library, built in several variants that
 * export different sets of functions. It holds three packages, logs every
 * call it gets, and flags arguments the real library would not accept. */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define EXPORT __attribute__((visibility("default")))

static char call_log[65536];
static int header_refs;

static void note(const char* text) {
  size_t used = strlen(call_log);
  snprintf(call_log + used, sizeof call_log - used, "%s ", text);
}

static void note_tag(const char* what, int32_t tag) {
  char text[64];
  snprintf(text, sizeof text, "%s:%d", what, (int)tag);
  note(text);
}

EXPORT const char* fake_rpm_log(void) { return call_log; }
EXPORT int fake_rpm_header_refs(void) { return header_refs; }
EXPORT void fake_rpm_reset(void) {
  call_log[0] = '\0';
  header_refs = 0;
}

struct package {
  const char* name;
  const char* version;
  const char* vendor;
  const char* source_rpm;
  const char* url;
  const char* group;
  const char* packager;
  int has_install_time;
  int32_t install_time;
};

#ifdef FAKE_EMPTY
static const struct package packages[1];
enum { package_count = 0 };
#else
static const struct package packages[] = {
    {"alpha", "1.0", "Acme & Sons <dev>", "alpha-1.0-1.src.rpm", "http://example.com/?a=\"1\"",
     "System/Base", "Pat", 1, 1700000000},
    {"beta", "2.5", NULL, NULL, NULL, NULL, NULL, 0, 0},
    {"gamma", "0.1", "Vendor", NULL, NULL, "Apps/Text", NULL, 1, 0},
};
enum { package_count = 3 };
#endif

struct header {
  int index;
  int refs;
};
static struct header headers[3];

struct iterator {
  int next;
};

struct tag_data {
  const char* text;
  uint64_t number;
};

static const char* text_of(const struct package* p, int32_t tag) {
  switch (tag) {
    case 1000: return p->name;
    case 1001: return p->version;
    case 1011: return p->vendor;
    case 1015: return p->packager;
    case 1016: return p->group;
    case 1020: return p->url;
    case 1044: return p->source_rpm;
  }
  return NULL;
}

EXPORT int rpmReadConfigFiles(const char* file, const char* target) {
  note(file || target ? "BAD:config" : "config");
  return 0;
}

static void* new_iterator(int32_t tag, const void* key, size_t key_length) {
  if (tag != 0 || key || key_length != 0) note("BAD:iterator-args");
  return calloc(1, sizeof(struct iterator));
}

#if defined(FAKE_TS) || defined(FAKE_DB)
EXPORT void* rpmdbNextIterator(void* it) {
  struct iterator* iter = it;
  if (!iter) return NULL;
  note("next");
  if (iter->next < 0 || iter->next >= package_count) return NULL;
  headers[iter->next].index = iter->next;
  return &headers[iter->next++];
}

EXPORT void* rpmdbFreeIterator(void* it) {
  note("freeIter");
  free(it);
  return NULL;
}
#endif

#ifdef FAKE_TS
static int sets;
EXPORT void* rpmtsCreate(void) {
  note("tsCreate");
  ++sets;
  return &sets;
}
EXPORT void* rpmtsInitIterator(void* ts, int32_t tag, const void* key, size_t key_length) {
  note(ts == &sets ? "tsInit" : "BAD:tsInit");
  return new_iterator(tag, key, key_length);
}
EXPORT void* rpmtsFree(void* ts) {
  note(ts == &sets ? "tsFree" : "BAD:tsFree");
  --sets;
  return NULL;
}
EXPORT void* headerLink(void* h) {
  note("link");
  ++header_refs;
  ++((struct header*)h)->refs;
  return h;
}
EXPORT void* headerFree(void* h) {
  note("free");
  --header_refs;
  --((struct header*)h)->refs;
  return NULL;
}

EXPORT void* rpmtdNew(void) {
  note("tdNew");
  return calloc(1, sizeof(struct tag_data));
}
EXPORT void* rpmtdFree(void* td) {
  note("tdFree");
  free(td);
  return NULL;
}
EXPORT void rpmtdReset(void* td) {
  memset(td, 0, sizeof(struct tag_data));
}
#endif

#ifdef FAKE_HEADERGET
EXPORT int headerGet(void* h, int32_t tag, void* td, uint32_t flags) {
  const struct package* p = &packages[((struct header*)h)->index];
  struct tag_data* data = td;
  note_tag("get", tag);
  if (flags != 2) note("BAD:get-flags");
  if (data->text || data->number) note("BAD:get-not-reset");
  if (tag == 1008) {
    if (!p->has_install_time) return 0;
    data->number = (uint64_t)(uint32_t)p->install_time;
    return 1;
  }
  data->text = text_of(p, tag);
  return data->text != NULL;
}
EXPORT const char* rpmtdGetString(void* td) { return ((struct tag_data*)td)->text; }
EXPORT uint64_t rpmtdGetNumber(void* td) { return ((struct tag_data*)td)->number; }
#endif

#ifdef FAKE_GETENTRY
/* The group comes back as an array of strings, as some versions hand out. */
static const char* group_array[2];

EXPORT int headerGetEntry(void* h, int32_t tag, int32_t* type, const void** value, int32_t* count) {
  const struct package* p = &packages[((struct header*)h)->index];
  note_tag("getEntry", tag);
  if (tag == 1008) {
    if (!p->has_install_time) return 0;
    *type = 4;
    *value = &p->install_time;
    *count = 1;
    return 1;
  }
  const char* text = text_of(p, tag);
  if (!text) return 0;
  if (tag == 1016) {
    group_array[0] = text;
    group_array[1] = "other";
    *type = 8;
    *value = group_array;
    *count = 2;
    return 1;
  }
  *type = 6;
  *value = text;
  *count = 1;
  return 1;
}
EXPORT void* headerFreeTag(void* h, const void* value, int32_t type) {
  (void)h;
  (void)value;
  note_tag("freeTag", type);
  return NULL;
}
#endif

#ifdef FAKE_DB
static int database;
EXPORT int rpmdbOpen(const char* root, void** db, int mode, int permissions) {
  if (!root || root[0] != '\0' || mode != 0 || permissions != 0644) note("BAD:dbOpen");
  note("dbOpen");
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
EXPORT int rpmdbClose(void* db) {
  note(db == &database ? "dbClose" : "BAD:dbClose");
  return 0;
}
#endif
