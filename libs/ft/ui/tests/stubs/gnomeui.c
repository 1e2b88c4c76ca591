/* A stand-in GNOME UI library: the icon name of a MIME type is
   "gnome-mime-" and the type with its slash turned into a dash, a fresh
   string to be freed with the GLib allocator's g_free (malloc). */
#include <stdlib.h>
#include <string.h>

char* gnome_icon_lookup(void* theme, void* factory, const char* uri, const char* custom,
                        void* info, const char* mime, int flags, int* result) {
  (void)theme; (void)factory; (void)uri; (void)custom; (void)info; (void)flags;
  if (result)
    *result = 0;
  if (!mime)
    return NULL;
  const char* prefix = "gnome-mime-";
  char* s = malloc(strlen(prefix) + strlen(mime) + 1);
  strcpy(s, prefix);
  strcat(s, mime);
  for (char* p = s; *p; p++)
    if (*p == '/')
      *p = '-';
  return s;
}
