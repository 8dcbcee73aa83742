/* What a command-line program (flvaudio) needs of the operating system
   beyond the add-on's own layer: its arguments and its own location, what
   kind of thing a path names, whether a stream is a terminal, and output
   files that appear whole or not at all (create beside the target, rename
   over it, remove it if the program is interrupted meanwhile).

   Every path is UTF-8. One file per operating system implements this
   (program_posix.cpp, program_win32.cpp); the add-on never links it. */
#ifndef TIMB_FLV_PLATFORM_PROGRAM_H
#define TIMB_FLV_PLATFORM_PROGRAM_H

#include <stdio.h>

#include <string>
#include <vector>

enum OsPathKind {
    OS_PATH_MISSING, /* nothing by that name */
    OS_PATH_DIRECTORY,
    OS_PATH_FILE,    /* a regular file */
    OS_PATH_DEVICE,  /* a device, pipe or socket: written in place, never replaced */
    OS_PATH_UNKNOWN, /* the name cannot be looked at (no permission, bad name) */
};

/* The program's arguments in UTF-8, argv[0] included. */
std::vector<std::string> OsProgramArguments(int argc, char **argv);

/* The full path of the running program's file; `argv0` is the fallback
   where the system cannot tell. */
std::string OsProgramPath(const char *argv0);

/* The folder part of a path ("" when it has none) and its last component. */
std::string OsDirectoryOf(const std::string &path);
std::string OsFileNameOf(const std::string &path);

/* Joins a folder and a name with the system's separator. */
std::string OsJoinPath(const std::string &directory, const std::string &name);

OsPathKind OsQueryPath(const char *path);

/* 1 when `stream` is an interactive terminal. */
int OsIsTerminal(FILE *stream);

/* Switches an already open stream (standard output) to untranslated bytes. */
void OsSetBinaryMode(FILE *stream);

/* Creates a file that must not exist yet, for writing bytes. Null when it
   exists already or cannot be created; the reason is then in errno. */
FILE *OsCreateNewFile(const char *path);

/* Opens an existing device or pipe for writing bytes. Null on failure, with
   the reason in errno. */
FILE *OsOpenDeviceForWriting(const char *path);

/* Renames `from` to `to`, replacing a file already called `to`. 1 on
   success; 0 with the reason in errno. */
int OsReplaceFile(const char *from, const char *to);

/* 1 when the file is gone afterwards. */
int OsRemoveFile(const char *path);

/* While set, an interrupt or termination request removes `path` before the
   program ends as the request asks. Null disarms it. One path at a time. */
void OsRemoveOnInterrupt(const char *path);

#endif
