// A command-line program's needs on Windows: arguments and paths go through
// UTF-16 (the wide API), so UTF-8 names work whatever the code page.
#include "platform/program.h"

#include <windows.h>

#include <errno.h>
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>
#include <wchar.h>

namespace {

std::wstring Widen(const char *utf8) {
    int units = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, -1, nullptr, 0);
    if (units <= 0)
        return std::wstring();
    std::wstring wide((size_t)units, L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, -1, &wide[0], units);
    wide.resize((size_t)units - 1);
    return wide;
}

std::string Narrow(const wchar_t *wide) {
    int bytes = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0)
        return std::string();
    std::string utf8((size_t)bytes, '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, -1, &utf8[0], bytes, nullptr, nullptr);
    utf8.resize((size_t)bytes - 1);
    return utf8;
}

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

size_t LastSeparator(const std::string &path) { return path.find_last_of("/\\:"); }

// The console handler runs on a thread of its own; the path is written
// before `armed` is raised.
wchar_t pendingRemoval[MAX_PATH * 4];
volatile LONG armed = 0;

BOOL WINAPI RemovePendingOnInterrupt(DWORD) {
    if (armed)
        DeleteFileW(pendingRemoval);
    return FALSE; // the default handler then ends the process
}

// Errors of the wide file API, as the errno values the C library would set.
int ErrnoOf(DWORD error) {
    switch (error) {
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return EEXIST;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return ENOENT;
    case ERROR_ACCESS_DENIED:
        return EACCES;
    case ERROR_DISK_FULL:
        return ENOSPC;
    default:
        return EIO;
    }
}

} // namespace

std::vector<std::string> OsProgramArguments(int argc, char **argv) {
    int count = 0;
    wchar_t **wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr)
        return std::vector<std::string>(argv, argv + argc);
    std::vector<std::string> arguments;
    for (int i = 0; i < count; i++)
        arguments.push_back(Narrow(wide[i]));
    LocalFree(wide);
    return arguments;
}

std::string OsProgramPath(const char *argv0) {
    wchar_t path[MAX_PATH * 4];
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
    if (length > 0 && length < MAX_PATH * 4)
        return Narrow(path);
    return argv0 != nullptr ? argv0 : "";
}

std::string OsDirectoryOf(const std::string &path) {
    size_t separator = LastSeparator(path);
    if (separator == std::string::npos)
        return "";
    if (separator == 0 || path[separator] == ':' || (separator == 2 && path[1] == ':'))
        return path.substr(0, separator + 1);
    return path.substr(0, separator);
}

std::string OsFileNameOf(const std::string &path) {
    size_t separator = LastSeparator(path);
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

std::string OsJoinPath(const std::string &directory, const std::string &name) {
    if (directory.empty())
        return name;
    char last = directory.back();
    return IsSeparator(last) || last == ':' ? directory + name : directory + "\\" + name;
}

namespace {

// Devices such as NUL answer no attributes, or ordinary ones; only their
// handle's type tells them apart from files.
bool IsDevice(const std::wstring &wide) {
    HANDLE handle =
        CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    DWORD type = GetFileType(handle);
    CloseHandle(handle);
    return type == FILE_TYPE_CHAR || type == FILE_TYPE_PIPE;
}

} // namespace

OsPathKind OsQueryPath(const char *path) {
    std::wstring wide = Widen(path);
    if (wide.empty())
        return OS_PATH_UNKNOWN;
    if (IsDevice(wide))
        return OS_PATH_DEVICE;
    DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? OS_PATH_MISSING : OS_PATH_UNKNOWN;
    }
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? OS_PATH_DIRECTORY : OS_PATH_FILE;
}

int OsIsTerminal(FILE *stream) { return _isatty(_fileno(stream)) ? 1 : 0; }

void OsSetBinaryMode(FILE *stream) { _setmode(_fileno(stream), _O_BINARY); }

// Shared for deletion, so an interrupt can remove the file while it is open.
FILE *OsCreateNewFile(const char *path) {
    std::wstring wide = Widen(path);
    HANDLE handle = wide.empty() ? INVALID_HANDLE_VALUE
                                 : CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                               nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        errno = wide.empty() ? ENOENT : ErrnoOf(GetLastError());
        return nullptr;
    }
    int fd = _open_osfhandle((intptr_t)handle, _O_WRONLY | _O_BINARY);
    FILE *file = fd >= 0 ? _fdopen(fd, "wb") : nullptr;
    if (file == nullptr) {
        if (fd >= 0)
            _close(fd);
        else
            CloseHandle(handle);
        DeleteFileW(wide.c_str());
        errno = EIO;
    }
    return file;
}

FILE *OsOpenDeviceForWriting(const char *path) {
    std::wstring wide = Widen(path);
    HANDLE handle = wide.empty() ? INVALID_HANDLE_VALUE
                                 : CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                               OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        errno = wide.empty() ? ENOENT : ErrnoOf(GetLastError());
        return nullptr;
    }
    int fd = _open_osfhandle((intptr_t)handle, _O_WRONLY | _O_BINARY);
    FILE *file = fd >= 0 ? _fdopen(fd, "wb") : nullptr;
    if (file == nullptr) {
        if (fd >= 0)
            _close(fd);
        else
            CloseHandle(handle);
        errno = EIO;
    }
    return file;
}

int OsReplaceFile(const char *from, const char *to) {
    std::wstring wideFrom = Widen(from), wideTo = Widen(to);
    if (wideFrom.empty() || wideTo.empty()) {
        errno = ENOENT;
        return 0;
    }
    if (MoveFileExW(wideFrom.c_str(), wideTo.c_str(), MOVEFILE_REPLACE_EXISTING))
        return 1;
    errno = ErrnoOf(GetLastError());
    return 0;
}

int OsRemoveFile(const char *path) {
    std::wstring wide = Widen(path);
    return !wide.empty() && (DeleteFileW(wide.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND) ? 1 : 0;
}

void OsRemoveOnInterrupt(const char *path) {
    static bool installed = false;
    InterlockedExchange(&armed, 0);
    std::wstring wide = path != nullptr ? Widen(path) : std::wstring();
    if (wide.empty() || wide.size() >= sizeof pendingRemoval / sizeof pendingRemoval[0])
        return;
    if (!installed) {
        SetConsoleCtrlHandler(RemovePendingOnInterrupt, TRUE);
        installed = true;
    }
    wcscpy(pendingRemoval, wide.c_str());
    InterlockedExchange(&armed, 1);
}
