/* A stand-in GNOME VFS library that has only the older name of the MIME type
   function. */
const char* gnome_vfs_mime_type_from_name(const char* name) {
  (void)name;
  return "text/x-stub-from-name";
}
