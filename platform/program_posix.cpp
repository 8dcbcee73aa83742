// A command-line program's needs on POSIX systems: paths are bytes taken as
// UTF-8, /proc/self/exe names the program, rename(2) replaces atomically.
#include "platform/program.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const int interruptSignals[] = {SIGINT, SIGTERM, SIGHUP};

// Written before `armed` is raised and read only by the handler.
char pendingRemoval[PATH_MAX];
volatile sig_atomic_t armed = 0;

void RemovePendingThenDie(int signal) {
    if (armed)
        unlink(pendingRemoval);
    struct sigaction fallback;
    memset(&fallback, 0, sizeof fallback);
    fallback.sa_handler = SIG_DFL;
    sigaction(signal, &fallback, nullptr);
    raise(signal);
}

void InstallInterruptHandlers(void) {
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    struct sigaction action;
    memset(&action, 0, sizeof action);
    action.sa_handler = RemovePendingThenDie;
    sigemptyset(&action.sa_mask);
    for (int signal : interruptSignals)
        sigaction(signal, &action, nullptr);
}

} // namespace

std::vector<std::string> OsProgramArguments(int argc, char **argv) {
    return std::vector<std::string>(argv, argv + argc);
}

std::string OsProgramPath(const char *argv0) {
    char path[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length > 0)
        return std::string(path, (size_t)length);
    if (argv0 != nullptr && strchr(argv0, '/') != nullptr && realpath(argv0, path) != nullptr)
        return path;
    return argv0 != nullptr ? argv0 : "";
}

std::string OsDirectoryOf(const std::string &path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return "";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string OsFileNameOf(const std::string &path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string OsJoinPath(const std::string &directory, const std::string &name) {
    if (directory.empty())
        return name;
    return directory.back() == '/' ? directory + name : directory + "/" + name;
}

OsPathKind OsQueryPath(const char *path) {
    struct stat status;
    if (stat(path, &status) != 0)
        return errno == ENOENT || errno == ENOTDIR ? OS_PATH_MISSING : OS_PATH_UNKNOWN;
    if (S_ISDIR(status.st_mode))
        return OS_PATH_DIRECTORY;
    return S_ISREG(status.st_mode) ? OS_PATH_FILE : OS_PATH_DEVICE;
}

int OsIsTerminal(FILE *stream) { return isatty(fileno(stream)) ? 1 : 0; }

void OsSetBinaryMode(FILE *) {}

FILE *OsCreateNewFile(const char *path) {
    int fd = open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return nullptr;
    FILE *file = fdopen(fd, "wb");
    if (file == nullptr) {
        int reason = errno;
        close(fd);
        unlink(path);
        errno = reason;
    }
    return file;
}

FILE *OsOpenDeviceForWriting(const char *path) {
    int fd = open(path, O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    FILE *file = fdopen(fd, "wb");
    if (file == nullptr) {
        int reason = errno;
        close(fd);
        errno = reason;
    }
    return file;
}

int OsReplaceFile(const char *from, const char *to) { return rename(from, to) == 0 ? 1 : 0; }

int OsRemoveFile(const char *path) { return unlink(path) == 0 || errno == ENOENT ? 1 : 0; }

void OsRemoveOnInterrupt(const char *path) {
    armed = 0;
    if (path == nullptr || strlen(path) >= sizeof pendingRemoval)
        return;
    InstallInterruptHandlers();
    strcpy(pendingRemoval, path);
    armed = 1;
}
