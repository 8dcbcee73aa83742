// Where extract writes: standard output, or a file that appears only when
// complete. The bytes go to a temporary file beside the target, which is
// renamed over the target on success and removed on failure or interrupt,
// so a failed run never leaves a partial file.
#ifndef FLVAUDIO_OUTPUT_H
#define FLVAUDIO_OUTPUT_H

#include <stddef.h>
#include <stdio.h>

#include <string>

struct Output {
    std::string target;    // empty for standard output
    std::string temporary; // the file being written; empty for standard output
    FILE *file;
    int error; // errno of the first failure; 0 while all is well
};

// 1 when ready for writing; 0 with a message said.
int OpenOutput(const std::string &target, Output *output);

// 1 while every byte so far has been written.
int WriteOutput(Output *output, const void *bytes, size_t count);

// Moves the finished file into place. 1 on success; 0 with a message said,
// and the temporary file removed.
int CommitOutput(Output *output);

// Removes the temporary file; the target is left as it was.
void DiscardOutput(Output *output);

// A progress line on standard error, redrawn at each whole percent.
struct Progress {
    bool shown;
    std::string label;
    uint64_t total;
    int percent; // last drawn
};

void StartProgress(Progress *progress, bool shown, const std::string &label, uint64_t total);
void AdvanceProgress(Progress *progress, uint64_t done);
void EndProgress(Progress *progress);

#endif
