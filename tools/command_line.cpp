#include "tools/command_line.h"

#include <stdio.h>

#include "tools/exit_status.h"

namespace {

const char helpText[] = "Usage:\n"
                        "  flvaudio info [--json] FILE...\n"
                        "  flvaudio extract FILE [-o OUT|-] [--from BYTE] [--adts] [-q]\n"
                        "  flvaudio --help | --version\n"
                        "\n"
                        "Reads the audio track of FLV files through the timb_flv add-on, loaded as a\n"
                        "plugin into the TIMB host the way an application loads it.\n"
                        "\n"
                        "info      For each FILE: the length of the audio byte stream, the records by\n"
                        "          type, the audio format, the duration from the timestamps, the\n"
                        "          largest record and the 20 slots of the position index.\n"
                        "  --json  One JSON object per file per line.\n"
                        "\n"
                        "extract   Writes the audio byte stream (each audio record's payload less its\n"
                        "          first byte, in file order) as the add-on delivers it. MP3 audio\n"
                        "          gives a playable .mp3.\n"
                        "  -o OUT       Write to OUT; '-' is standard output. Default: FILE with the\n"
                        "               extension for its codec (.mp3, .aac, .pcm, ...).\n"
                        "  --from BYTE  Start at byte BYTE of the audio byte stream (the add-on seeks).\n"
                        "               With --adts: from the first audio record starting there or later.\n"
                        "  --adts       AAC only: write ADTS frames that players and ffprobe accept.\n"
                        "  -q           No progress display (shown only when standard error is a terminal).\n"
                        "\n"
                        "Exit status:\n"
                        "  0  success\n"
                        "  1  the output could not be written\n"
                        "  2  usage error\n"
                        "  3  FILE does not exist or cannot be opened\n"
                        "  4  FILE is a folder\n"
                        "  5  FILE is not an FLV file\n"
                        "  6  FILE has no audio (extract)\n"
                        "  7  --adts, but the audio is not AAC or cannot be framed as ADTS\n"
                        "  8  the add-on could not be loaded or failed on FILE\n"
                        "info goes on past a bad FILE and exits with the status of the first one.\n";

int UsageError(const std::string &problem) {
    fprintf(stderr, "flvaudio: %s\nTry 'flvaudio --help'.\n", problem.c_str());
    return STATUS_USAGE;
}

bool ParseByteOffset(const std::string &text, uint32_t *value) {
    if (text.empty() || text.size() > 10)
        return false;
    uint64_t number = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        number = number * 10 + (uint64_t)(c - '0');
    }
    if (number > UINT32_MAX)
        return false;
    *value = (uint32_t)number;
    return true;
}

Command CommandNamed(const std::string &word) {
    if (word == "info")
        return COMMAND_INFO;
    if (word == "extract")
        return COMMAND_EXTRACT;
    if (word == "--help" || word == "-h")
        return COMMAND_HELP;
    if (word == "--version")
        return COMMAND_VERSION;
    return COMMAND_NONE;
}

// Splits "--name=value" into its two halves; other words are left whole.
void SplitAttachedValue(const std::string &word, std::string *name, std::string *value, bool *attached) {
    size_t equals = word.find('=');
    *attached = word.compare(0, 2, "--") == 0 && equals != std::string::npos;
    *name = *attached ? word.substr(0, equals) : word;
    *value = *attached ? word.substr(equals + 1) : std::string();
}

// Takes the value of an option from the word itself or the next argument.
bool TakeValue(const std::vector<std::string> &arguments, size_t *at, bool attached, std::string *value) {
    if (attached)
        return true;
    if (*at + 1 >= arguments.size())
        return false;
    *value = arguments[++*at];
    return true;
}

int ParseOption(const std::vector<std::string> &arguments, size_t *at, Options *options) {
    std::string name, value;
    bool attached = false;
    SplitAttachedValue(arguments[*at], &name, &value, &attached);
    bool extract = options->command == COMMAND_EXTRACT;
    bool takesValue = name == "-o" || name == "--output" || name == "--from";
    if (attached && !takesValue)
        return UsageError("option " + name + " takes no value");
    if (name == "-q" || name == "--quiet") {
        options->quiet = true;
    } else if (name == "--json" && !extract) {
        options->json = true;
    } else if (name == "--adts" && extract) {
        options->adts = true;
    } else if ((name == "-o" || name == "--output") && extract) {
        if (!TakeValue(arguments, at, attached, &value) || value.empty())
            return UsageError(name + " needs a file name, or '-' for standard output");
        options->toStandardOutput = value == "-";
        options->output = value == "-" ? std::string() : value;
    } else if (name == "--from" && extract) {
        if (!TakeValue(arguments, at, attached, &value) || !ParseByteOffset(value, &options->from))
            return UsageError(name + " needs a byte offset, a whole number from 0 to 4294967295");
    } else if (name == "--help" || name == "-h") {
        options->command = COMMAND_HELP;
    } else {
        return UsageError("unknown option " + name + " for " + (extract ? "extract" : "info"));
    }
    return STATUS_OK;
}

int CheckFileCount(const Options *options) {
    if (options->files.empty())
        return UsageError(options->command == COMMAND_EXTRACT ? "extract needs a FILE" : "info needs a FILE");
    if (options->command == COMMAND_EXTRACT && options->files.size() > 1)
        return UsageError("extract takes one FILE");
    return STATUS_OK;
}

} // namespace

int ParseCommandLine(const std::vector<std::string> &arguments, Options *options) {
    *options = Options();
    if (arguments.size() < 2)
        return UsageError("a command is needed: info or extract");
    options->command = CommandNamed(arguments[1]);
    if (options->command == COMMAND_NONE)
        return UsageError("unknown command " + arguments[1]);
    if (options->command == COMMAND_HELP || options->command == COMMAND_VERSION)
        return arguments.size() == 2 ? STATUS_OK : UsageError(arguments[1] + " takes nothing more");
    bool optionsEnded = false;
    for (size_t at = 2; at < arguments.size(); at++) {
        const std::string &word = arguments[at];
        if (!optionsEnded && word == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && word.size() > 1 && word[0] == '-') {
            int status = ParseOption(arguments, &at, options);
            if (status != STATUS_OK)
                return status;
            if (options->command == COMMAND_HELP)
                return STATUS_OK;
        } else {
            options->files.push_back(word);
        }
    }
    return CheckFileCount(options);
}

void PrintHelp(void) { fputs(helpText, stdout); }

void PrintVersion(void) { printf("flvaudio %s, for the timb_flv add-on of the same version\n", FLVAUDIO_VERSION); }
