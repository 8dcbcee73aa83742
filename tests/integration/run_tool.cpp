#include "run_tool.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include "flv_walk.h"

extern char **environ;

namespace run {

namespace {

std::vector<char *> ArgumentVector(const std::string &program, const std::vector<std::string> &arguments) {
    std::vector<char *> argv;
    argv.push_back(const_cast<char *>(program.c_str()));
    for (const std::string &argument : arguments)
        argv.push_back(const_cast<char *>(argument.c_str()));
    argv.push_back(nullptr);
    return argv;
}

int StatusOf(int waited) {
    if (WIFEXITED(waited))
        return WEXITSTATUS(waited);
    return WIFSIGNALED(waited) ? 128 + WTERMSIG(waited) : -1;
}

int WaitFor(pid_t child) {
    int waited = 0;
    while (waitpid(child, &waited, 0) < 0 && errno == EINTR) {
    }
    return StatusOf(waited);
}

std::string TemporaryFile(const std::string &scratch, int *fd) {
    std::string name = scratch + "/.run-XXXXXX";
    *fd = mkstemp(&name[0]);
    return name;
}

// Starts the child with standard error on `errFd` and standard output into
// a file whose name goes to `outName`; 0 when it could not start.
pid_t Start(const std::string &program, const std::vector<std::string> &arguments, const std::string &scratch,
            int errFd, std::string *outName) {
    int outFd = -1;
    *outName = TemporaryFile(scratch, &outFd);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, outFd, 1);
    posix_spawn_file_actions_adddup2(&actions, errFd, 2);
    std::vector<char *> argv = ArgumentVector(program, arguments);
    pid_t child = 0;
    int spawned = posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(outFd);
    return spawned == 0 ? child : 0;
}

std::string TakeFile(const std::string &name) {
    std::string bytes = walk::ReadFile(name);
    unlink(name.c_str());
    return bytes;
}

void ReadAvailable(int master, int timeoutMilliseconds, std::string *shown) {
    char buffer[4096];
    pollfd ready = {master, POLLIN, 0};
    while (poll(&ready, 1, timeoutMilliseconds) > 0 && (ready.revents & POLLIN)) {
        ssize_t got = read(master, buffer, sizeof buffer);
        if (got <= 0)
            return;
        shown->append(buffer, (size_t)got);
    }
}

// Reads what the child shows on the terminal while it runs, so it never
// blocks on a full terminal buffer, and what it wrote last once it exited.
int ReadTerminalUntilExit(pid_t child, int master, std::string *shown) {
    const int POLL_MILLISECONDS = 20;
    int waited = 0;
    for (;;) {
        ReadAvailable(master, POLL_MILLISECONDS, shown);
        pid_t done = waitpid(child, &waited, WNOHANG);
        if (done == child)
            break;
        if (done < 0 && errno != EINTR)
            return -1;
    }
    ReadAvailable(master, 0, shown);
    return StatusOf(waited);
}

std::string FfprobeField(const std::string &output) {
    size_t end = output.find_first_of(",\n");
    return output.substr(0, end);
}

} // namespace

Result Run(const std::string &program, const std::vector<std::string> &arguments, const std::string &scratch) {
    Result result;
    int errFd = -1;
    std::string errName = TemporaryFile(scratch, &errFd);
    std::string outName;
    pid_t child = Start(program, arguments, scratch, errFd, &outName);
    close(errFd);
    result.status = child != 0 ? WaitFor(child) : -1;
    result.out = TakeFile(outName);
    result.err = TakeFile(errName);
    return result;
}

Result RunWithTerminalStderr(const std::string &program, const std::vector<std::string> &arguments,
                             const std::string &scratch) {
    Result result;
    result.status = -1;
    int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
        return result;
    int terminal = open(ptsname(master), O_RDWR | O_NOCTTY);
    std::string outName;
    pid_t child = Start(program, arguments, scratch, terminal, &outName);
    close(terminal);
    if (child != 0)
        result.status = ReadTerminalUntilExit(child, master, &result.err);
    close(master);
    result.out = TakeFile(outName);
    return result;
}

long DecodedAudioFrames(const std::string &path, const std::string &scratch) {
    Result probe = Run(FFPROBE,
                       {"-v", "error", "-select_streams", "a:0", "-count_frames", "-show_entries",
                        "stream=nb_read_frames", "-of", "csv=p=0", path},
                       scratch);
    std::string field = FfprobeField(probe.out);
    if (probe.status != 0 || field.empty())
        return -1;
    return strtol(field.c_str(), nullptr, 10);
}

} // namespace run
