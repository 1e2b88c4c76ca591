/* A stand-in GSS-API library for the single sign-on tests. It offers the
 * nine functions the module binds, and every input token is a script of what
 * the accept step answers, as "key=value" items separated by ";":
 *
 *   major=HEX   major status of the step (default 0, complete)
 *   minor=HEX   minor status
 *   out=TEXT    output token; "#<step>" is appended, counting the steps of
 *               the context, so tests see the context carried on
 *   outlen=N    output token of N bytes "x" instead (decimal)
 *   name=TEXT   the client's name (display_name gives it back); "%00" in it
 *               stands for a NUL byte
 *   deleg=1     a delegated credential comes back
 *   dnmajor=HEX major status of display_name
 *
 * gss_display_status gives "gss-XXXX" for a major and "mech-XXXX" for a
 * minor status, and fails for the status 0xbad. standin_live_objects() counts
 * what was handed out and not yet released. Built without
 * gss_display_status when STANDIN_WITHOUT_DISPLAY_STATUS is defined. */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

typedef uint32_t OM_uint32;
typedef struct {
  size_t length;
  void* value;
} gss_buffer_desc;
typedef struct {
  int steps;
} standin_context;
typedef struct {
  char text[512];
  size_t length;
} standin_name;

static int live;

int standin_live_objects(void) {
  return live;
}

static void set_buffer_n(gss_buffer_desc* buf, const char* text, size_t length) {
  buf->length = length;
  buf->value = malloc(length + 1);
  memcpy(buf->value, text, length);
  ((char*)buf->value)[length] = '\0';
  live++;
}

static void set_buffer(gss_buffer_desc* buf, const char* text) {
  set_buffer_n(buf, text, strlen(text));
}

/* The value of key in the script, copied into out; 0 when absent. */
static int script_value(const gss_buffer_desc* token, const char* key, char* out, size_t size) {
  char script[1024];
  size_t n = token && token->value ? token->length : 0;
  if (n >= sizeof(script))
    n = sizeof(script) - 1;
  if (n)
    memcpy(script, token->value, n);
  script[n] = '\0';
  size_t klen = strlen(key);
  for (char* item = script; item && *item;) {
    char* next = strchr(item, ';');
    if (next)
      *next++ = '\0';
    if (strncmp(item, key, klen) == 0 && item[klen] == '=') {
      snprintf(out, size, "%s", item + klen + 1);
      return 1;
    }
    item = next;
  }
  return 0;
}

static OM_uint32 script_hex(const gss_buffer_desc* token, const char* key) {
  char value[32];
  return script_value(token, key, value, sizeof(value)) ? (OM_uint32)strtoul(value, NULL, 16) : 0;
}

OM_uint32 gss_release_cred(OM_uint32* minor, void** cred) {
  *minor = 0;
  if (cred && *cred) {
    free(*cred);
    *cred = NULL;
    live--;
  }
  return 0;
}

OM_uint32 gss_release_buffer(OM_uint32* minor, gss_buffer_desc* buf) {
  *minor = 0;
  if (buf && buf->value) {
    free(buf->value);
    buf->value = NULL;
    buf->length = 0;
    live--;
  }
  return 0;
}

/* Called by the accept step directly, not through gss_import_name: a GSS-API
 * library loaded earlier into the global scope would take that call. */
static void import_name(const gss_buffer_desc* text, void** name) {
  standin_name* n = calloc(1, sizeof(*n));
  n->length = text->length < sizeof(n->text) ? text->length : sizeof(n->text) - 1;
  memcpy(n->text, text->value, n->length);
  *name = n;
  live++;
}

OM_uint32 gss_import_name(OM_uint32* minor, gss_buffer_desc* text, void* type, void** name) {
  (void)type;
  *minor = 0;
  import_name(text, name);
  return 0;
}

static OM_uint32 display_major = 0;

OM_uint32 gss_display_name(OM_uint32* minor, void* name, gss_buffer_desc* out, void** type) {
  *minor = 0;
  if (type)
    *type = NULL;
  if (display_major)
    return display_major;
  if (!name)
    return 0x00020000u; /* bad name */
  set_buffer_n(out, ((standin_name*)name)->text, ((standin_name*)name)->length);
  return 0;
}

OM_uint32 gss_release_name(OM_uint32* minor, void** name) {
  *minor = 0;
  if (name && *name) {
    free(*name);
    *name = NULL;
    live--;
  }
  return 0;
}

OM_uint32 gss_init_sec_context(void) {
  return 0x00100000u; /* not offered: the server only accepts */
}

OM_uint32 gss_accept_sec_context(OM_uint32* minor, void** context, void* cred,
                                 gss_buffer_desc* input, void* bindings, void** src_name,
                                 void** mech, gss_buffer_desc* output, OM_uint32* flags,
                                 OM_uint32* time, void** delegated) {
  (void)cred;
  (void)bindings;
  char value[512];
  if (!*context) {
    *context = calloc(1, sizeof(standin_context));
    live++;
  }
  standin_context* c = *context;
  c->steps++;
  *minor = script_hex(input, "minor");
  OM_uint32 major = script_hex(input, "major");
  display_major = script_hex(input, "dnmajor");
  if (mech)
    *mech = NULL;
  if (flags)
    *flags = 0;
  if (time)
    *time = 0;
  output->length = 0;
  output->value = NULL;
  if (script_value(input, "out", value, sizeof(value))) {
    char text[600];
    snprintf(text, sizeof(text), "%s#%d", value, c->steps);
    set_buffer(output, text);
  }
  if (script_value(input, "outlen", value, sizeof(value))) {
    size_t n = strtoul(value, NULL, 10);
    char* text = malloc(n ? n : 1);
    memset(text, 'x', n);
    set_buffer_n(output, text, n);
    free(text);
  }
  if (src_name && script_value(input, "name", value, sizeof(value))) {
    size_t n = 0;
    for (const char* c = value; *c; n++)
      if (strncmp(c, "%00", 3) == 0) {
        value[n] = '\0';
        c += 3;
      } else {
        value[n] = *c++;
      }
    import_name(&(gss_buffer_desc){n, value}, src_name);
  }
  if (delegated && script_value(input, "deleg", value, sizeof(value))) {
    *delegated = malloc(1);
    live++;
  }
  return major;
}

OM_uint32 gss_delete_sec_context(OM_uint32* minor, void** context, gss_buffer_desc* token) {
  (void)token;
  *minor = 0;
  if (context && *context) {
    free(*context);
    *context = NULL;
    live--;
  }
  return 0;
}

#ifndef STANDIN_WITHOUT_DISPLAY_STATUS
OM_uint32 gss_display_status(OM_uint32* minor, OM_uint32 status, int type, void* mech,
                             OM_uint32* more, gss_buffer_desc* out) {
  (void)mech;
  *minor = 0;
  *more = 0;
  if (status == 0xbad)
    return 0x00050000u; /* bad status */
  char text[32];
  snprintf(text, sizeof(text), "%s-%x", type == 1 ? "gss" : "mech", status);
  set_buffer(out, text);
  return 0;
}
#endif
