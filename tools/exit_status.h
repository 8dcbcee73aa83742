// flvaudio's exit statuses: one per kind of failure, so scripts can tell a
// missing file from a file that is not FLV. Listed in --help and README.md.
#ifndef FLVAUDIO_EXIT_STATUS_H
#define FLVAUDIO_EXIT_STATUS_H

enum ExitStatus : int {
    STATUS_OK = 0,
    STATUS_WRITE_FAILED = 1, // the output could not be written
    STATUS_USAGE = 2,        // the command line is wrong
    STATUS_NO_FILE = 3,      // the input does not exist or cannot be opened
    STATUS_FOLDER = 4,       // the input is a folder
    STATUS_NOT_FLV = 5,      // the input is not an FLV file
    STATUS_NO_AUDIO = 6,     // the FLV file has no audio to extract
    STATUS_NOT_ADTS = 7,     // --adts, but the audio cannot be framed as ADTS
    STATUS_ADDON = 8,        // the add-on did not load, or failed on the file
};

#endif
