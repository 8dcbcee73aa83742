#include "tools/output.h"

#include <errno.h>
#include <stdint.h>
#include <string.h>
#include <time.h>

#include "platform/program.h"

namespace {

const int TEMPORARY_NAME_ATTEMPTS = 100;

// Unpredictable enough that two runs writing the same target do not meet;
// the exclusive create settles any collision.
std::string TemporaryName(const std::string &target, int attempt) {
    static uint32_t sequence = 0;
    uint32_t mix = (uint32_t)time(nullptr) ^ (uint32_t)(uintptr_t)&sequence ^ (uint32_t)clock();
    mix = mix * 2654435761u + ++sequence * 40503u + (uint32_t)attempt;
    char suffix[32];
    snprintf(suffix, sizeof suffix, ".%08x.part", mix);
    return target + suffix;
}

void SayWriteFailure(const Output *output) {
    const std::string &name = output->target.empty() ? std::string("standard output") : output->target;
    fprintf(stderr, "flvaudio: %s: cannot write: %s\n", name.c_str(), strerror(output->error));
}

void RemoveTemporary(Output *output) {
    if (output->temporary.empty())
        return;
    OsRemoveOnInterrupt(nullptr);
    OsRemoveFile(output->temporary.c_str());
    output->temporary.clear();
}

void CloseFile(Output *output) {
    if (output->file == nullptr || output->file == stdout)
        return;
    if (fclose(output->file) != 0 && output->error == 0)
        output->error = errno != 0 ? errno : EIO;
    output->file = nullptr;
}

} // namespace

namespace {

int OpenTemporaryBeside(Output *output) {
    for (int attempt = 0; attempt < TEMPORARY_NAME_ATTEMPTS && output->file == nullptr; attempt++) {
        std::string name = TemporaryName(output->target, attempt);
        output->file = OsCreateNewFile(name.c_str());
        if (output->file != nullptr) {
            output->temporary = name;
            OsRemoveOnInterrupt(name.c_str());
        } else if (errno != EEXIST) {
            break;
        }
    }
    return output->file != nullptr;
}

} // namespace

// A device or pipe (/dev/null, NUL) is written in place: replacing it with a
// file would be wrong, and it holds no partial file to leave behind.
int OpenOutput(const std::string &target, Output *output) {
    output->target = target;
    output->temporary.clear();
    output->file = nullptr;
    output->error = 0;
    if (target.empty()) {
        OsSetBinaryMode(stdout);
        output->file = stdout;
        return 1;
    }
    errno = 0;
    OsPathKind kind = OsQueryPath(target.c_str());
    if (kind == OS_PATH_DIRECTORY)
        errno = EISDIR;
    else if (kind == OS_PATH_DEVICE)
        output->file = OsOpenDeviceForWriting(target.c_str());
    else
        OpenTemporaryBeside(output);
    if (output->file == nullptr) {
        output->error = errno != 0 ? errno : EIO;
        SayWriteFailure(output);
        return 0;
    }
    return 1;
}

int WriteOutput(Output *output, const void *bytes, size_t count) {
    if (output->error != 0)
        return 0;
    if (count > 0 && fwrite(bytes, 1, count, output->file) != count) {
        output->error = errno != 0 ? errno : EIO;
        return 0;
    }
    return 1;
}

int CommitOutput(Output *output) {
    if (output->error == 0 && fflush(output->file) != 0)
        output->error = errno != 0 ? errno : EIO;
    CloseFile(output);
    if (output->error == 0 && !output->temporary.empty() &&
        !OsReplaceFile(output->temporary.c_str(), output->target.c_str()))
        output->error = errno != 0 ? errno : EIO;
    if (output->error != 0) {
        SayWriteFailure(output);
        RemoveTemporary(output);
        return 0;
    }
    OsRemoveOnInterrupt(nullptr);
    output->temporary.clear();
    return 1;
}

void DiscardOutput(Output *output) {
    CloseFile(output);
    RemoveTemporary(output);
}

void StartProgress(Progress *progress, bool shown, const std::string &label, uint64_t total) {
    progress->shown = shown && total > 0;
    progress->label = label;
    progress->total = total;
    progress->percent = -1;
    AdvanceProgress(progress, 0);
}

void AdvanceProgress(Progress *progress, uint64_t done) {
    if (!progress->shown)
        return;
    int percent = (int)(done * 100 / progress->total);
    if (percent == progress->percent)
        return;
    progress->percent = percent;
    fprintf(stderr, "\rflvaudio: %s %3d%%", progress->label.c_str(), percent);
    fflush(stderr);
}

void EndProgress(Progress *progress) {
    if (progress->shown)
        fprintf(stderr, "\n");
    progress->shown = false;
}
