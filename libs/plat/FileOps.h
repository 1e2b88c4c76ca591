// Failure-reporting wrappers over the POSIX file interfaces: existence tests,
// removal and renaming, private directories created with their parents,
// whole-file locks, truncation and stdio opening. Failures throw
// plat::SystemException or plat::SystemExceptionFmt naming the operation and
// the path; the "Try" variants and isDirectory never throw.
#pragma once

#include "plat/String.h"

#include <cstddef>
#include <cstdio>

namespace plat {

// The path a file is really kept under: while the path names a symbolic link,
// the link's text replaces it (a relative text taken from the link's
// directory). A dangling link gives the path it leads to; a path that is no
// link comes back unchanged. More than 40 links, or another failure, throws
// "fileOpen(<path>)".
String fileResolveLinks(const char* path);

// True when stat succeeds and the path is a directory.
bool isDirectory(const char* path);
// True when the path exists, false when stat fails with ENOENT; other errors
// throw "fileExists(<path>)".
bool fileExists(const char* path);
bool fileTryRemove(const char* path);
// Throws "fileRemove(<path>)".
void fileRemove(const char* path);
bool fileTryRename(const char* oldPath, const char* newPath);
// Throws "rmDir(<path>)".
void rmDir(const char* path);
// fopen, the descriptor close-on-exec; a failure throws "fileOpen(<path>)".
// The caller owns the stream.
FILE* fileOpen(const char* path, const char* mode);
// The length of the stream's file; the position is kept.
long fileSize(FILE* stream);
// Throws "fileTruncate(ftruncate)".
void fileTruncate(FILE* stream, long length);
// A whole-file write lock. False when another process holds a lock; other
// errors throw "fileLock".
bool fileLock(FILE* stream, bool wait);
// Throws "fileUnlock".
void fileUnlock(FILE* stream);
// Puts data in place of the content of a file open for reading and writing,
// where it lies (for a file whose folder refuses a replacement), never leaving
// it empty: the new bytes are written over the old from the start, then the
// file is cut to their length and synced. When a write fails, the bytes it
// overwrote are put back and the file keeps its old length, so it holds its
// old content. Throws "fileRewrite(<path>)" with the failed call's error;
// path only names the file in the message.
void fileRewriteInPlace(int fd, const void* data, size_t length, const char* path);
// Removes every group and other permission bit.
void fileMakePrivate(const char* path);
// Creates a directory, mode 0700 when priv, else 0777 (less the umask).
// Answers false when it already exists as a directory (made private when priv
// and makePrivateIfExists; run by root, a link to a directory is left as it
// is); anything else throws "mkDir(<path>)".
bool mkDir(const char* path, bool priv, bool makePrivateIfExists);
// mkDir, creating missing parents first (private as asked; existing parents
// are left as they are).
bool mkDirWithParents(const char* path, bool priv, bool makePrivateIfExists);

} // namespace plat
