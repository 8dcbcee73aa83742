#include "tools/input.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>

#include "flv/stream.h"
#include "platform/program.h"
#include "standin/timb_standin.h"
#include "tools/exit_status.h"
#include "tools/text.h"

namespace {

const uint32_t NO_STREAM_FLAGS = 0;

// Why the core's reader refused the file: it did not open at all, or it is
// not FLV.
int ClassifyUnopenedFile(const std::string &path, const std::u16string &path16) {
    OsFile file = OsOpenFile(path16.c_str());
    if (file == OS_FILE_NONE) {
        ReportBadFile(path, "cannot be opened for reading");
        return STATUS_NO_FILE;
    }
    OsCloseFile(file);
    ReportBadFile(path, "not an FLV file (no \"FLV\" version 1 header)");
    return STATUS_NOT_FLV;
}

int CheckPathKind(const std::string &path) {
    switch (OsQueryPath(path.c_str())) {
    case OS_PATH_MISSING:
        ReportBadFile(path, "no such file");
        return STATUS_NO_FILE;
    case OS_PATH_UNKNOWN:
        ReportBadFile(path, std::string("cannot be looked at: ") + strerror(errno));
        return STATUS_NO_FILE;
    case OS_PATH_DIRECTORY:
        ReportBadFile(path, "is a folder, not an FLV file");
        return STATUS_FOLDER;
    case OS_PATH_DEVICE:
        ReportBadFile(path, "is a device or pipe, not a file");
        return STATUS_NO_FILE;
    default:
        return STATUS_OK;
    }
}

// The core's reader, the same the add-on opens, surveys the file.
int SurveyInput(const std::string &path, FileSurvey *survey) {
    std::u16string path16;
    if (!Utf8ToUtf16(path, &path16)) {
        ReportBadFile(path, "cannot be opened: the name is not valid UTF-8");
        return STATUS_NO_FILE;
    }
    FlvReader *reader = OpenFlvReader(path16.c_str());
    if (reader == nullptr)
        return ClassifyUnopenedFile(path, path16);
    SurveyFile(reader, survey);
    FlvStream owner = {};
    owner.reader = reader;
    ReleaseStreamObjects(&owner);
    return STATUS_OK;
}

int OpenAddOnStream(Input *input) {
    TimbClearErrorCode();
    input->stream = TimbStreamCreateFile(input->path.c_str(), NO_STREAM_FLAGS);
    if (input->stream == 0) {
        ReportBadFile(input->path,
                      "the add-on refused to open it (host error code " + std::to_string(TimbGetErrorCode()) + ")");
        return STATUS_ADDON;
    }
    input->audioBytes = (uint32_t)TimbStreamLength(input->stream);
    return STATUS_OK;
}

} // namespace

void ReportBadFile(const std::string &path, const std::string &reason) {
    fprintf(stderr, "flvaudio: %s: %s\n", path.c_str(), reason.c_str());
}

int LoadAddOn(const char *argv0, AddOn *addOn) {
    addOn->path = OsJoinPath(OsDirectoryOf(OsProgramPath(argv0)), FLVAUDIO_ADDON_FILE);
    addOn->plugin = TimbPluginLoad(addOn->path.c_str());
    if (addOn->plugin == 0) {
        fprintf(stderr, "flvaudio: cannot load the add-on %s\n", addOn->path.c_str());
        return STATUS_ADDON;
    }
    return STATUS_OK;
}

void UnloadAddOn(AddOn *addOn) {
    if (addOn->plugin != 0)
        TimbPluginFree(addOn->plugin);
    addOn->plugin = 0;
}

int OpenInput(const std::string &path, Input *input) {
    input->path = path;
    input->stream = 0;
    input->audioBytes = 0;
    int status = CheckPathKind(path);
    if (status == STATUS_OK)
        status = SurveyInput(path, &input->survey);
    if (status == STATUS_OK)
        status = OpenAddOnStream(input);
    return status;
}

void CloseInput(Input *input) {
    if (input->stream != 0)
        TimbStreamFree(input->stream);
    input->stream = 0;
}
