// Replacing a file only by complete content. Truncating the target first and then writing into
// it would lose the old content on any failed write, and the old file may well be the input
// being read. So the content goes into a temporary file beside the target, is flushed to disk
// and closed, and only then renamed over it; on failure the temporary file is removed.
//
// Portable C over the standard file operations: both the patch applier and setup-pack use it.
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

struct replace_File;

// Starts replacing path (a symbolic link: the file it finally names). A regular file or a new
// name gets a temporary file beside it; devices, pipes and the like, which hold no content to
// lose and must not turn into files, are opened now and written at commit. Returns null, with
// errno set, when nothing can be written there.
replace_File* replace_begin(const char* path);

// The new content so far, open for reading and writing (seek before switching between them).
FILE* replace_stream(replace_File* file);

// Appends size bytes at the stream's position. Returns 0 or 1.
int replace_write(replace_File* file, const void* data, size_t size);

// Overwrites size bytes at offset and leaves the position at the end of the content. Returns 0
// or 1.
int replace_writeAt(replace_File* file, uint64_t offset, const void* data, size_t size);

// Moves the stream to offset from the start (64-bit on every build). Returns 0 or 1.
int replace_seek(FILE* stream, uint64_t offset);

// Puts the content in place (flushed to disk first) and frees file. Returns 0, or 1 with errno
// set and the target as it was.
int replace_commit(replace_File* file);

// Drops the content, removes the temporary file and frees file; the target stays as it was.
void replace_abandon(replace_File* file);
