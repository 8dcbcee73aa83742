// The whole road a user's program takes, as one process for compare.sh: load
// the add-on as a plugin of the stand-in TIMB, create a stream over FILE,
// read its audio byte stream 32 KiB at a time and write it to OUT.
//
//   flv_extract FILE OUT
#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <vector>

#include "standin/timb_standin.h"

namespace {

const uint32_t readSize = 32768;

bool WriteAll(int out, const uint8_t *bytes, size_t count) {
    while (count > 0) {
        ssize_t n = write(out, bytes, count);
        if (n <= 0)
            return false;
        bytes += n;
        count -= (size_t)n;
    }
    return true;
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: flv_extract FILE OUT\n");
        return 2;
    }
    if (TimbPluginLoad(TIMB_FLV_PLUGIN_PATH) == 0) {
        fprintf(stderr, "flv_extract: cannot load %s\n", TIMB_FLV_PLUGIN_PATH);
        return 1;
    }
    HostStream stream = TimbStreamCreateFile(argv[1], 0);
    if (stream == 0) {
        fprintf(stderr, "flv_extract: %s is not an FLV file the add-on takes\n", argv[1]);
        return 1;
    }
    int out = open(argv[2], O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0) {
        perror(argv[2]);
        return 1;
    }
    uint64_t length = TimbStreamLength(stream), delivered = 0;
    std::vector<uint8_t> buffer(readSize);
    while (delivered < length) {
        uint32_t want = length - delivered < readSize ? (uint32_t)(length - delivered) : readSize;
        uint32_t got = TimbStreamRead(stream, buffer.data(), want);
        if (!WriteAll(out, buffer.data(), got)) {
            perror(argv[2]);
            return 1;
        }
        delivered += got;
        if (got < want)
            break;
    }
    TimbStreamFree(stream);
    close(out);
    if (delivered != length) {
        fprintf(stderr, "flv_extract: %s ended after %llu of %llu bytes\n", argv[1], (unsigned long long)delivered,
                (unsigned long long)length);
        return 1;
    }
    return 0;
}
