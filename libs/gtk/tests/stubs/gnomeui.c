/* A stand-in GNOME UI library: the icon name is a fresh string naming the MIME
   type it was given, to be freed with the GLib allocator's g_free (malloc). */
#include <stdlib.h>
#include <string.h>

char* gnome_icon_lookup(void* theme, void* factory, const char* uri, const char* custom,
                        void* info, const char* mime, int flags, int* result) {
  (void)theme; (void)factory; (void)uri; (void)custom; (void)info; (void)flags;
  if (result)
    *result = 0;
  const char* prefix = "stub-icon:";
  size_t n = strlen(prefix) + (mime ? strlen(mime) : 0) + 1;
  char* s = malloc(n);
  strcpy(s, prefix);
  if (mime)
    strcat(s, mime);
  return s;
}
