// Parent process control: the lookup over the system's process snapshot, the updater
// termination and the parent wait.
#include "parent.h"
#include "parent_walk.h"

#include <stdlib.h>
#include <tlhelp32.h>

#ifndef _WIN64
static_assert(sizeof(PROCESSENTRY32) == 296, "the ANSI process entry of 32-bit Windows");
#endif

namespace {

// The snapshot as a source of process entries for the walk.
struct SnapshotSource {
    typedef PROCESSENTRY32 Entry;
    HANDLE snapshot;

    bool first(Entry* entry)
    {
        entry->dwSize = sizeof *entry;
        return Process32First(snapshot, entry) != FALSE;
    }
    bool next(Entry* entry) { return Process32Next(snapshot, entry) != FALSE; }
    DWORD lastError() { return GetLastError(); }
};

}  // namespace

DWORD setup_getParentProcess(DWORD* parentId, char** parentName)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        DWORD code = GetLastError();
        SETUP_RECORD(code);
        return code;
    }
    SnapshotSource source = {snapshot};
    DWORD code = setup_lookUpParent(source, GetCurrentProcessId(), parentId, parentName);
    CloseHandle(snapshot);
    return code;
}

// Windows reuses process ids soon after a process ends, and a process entry keeps its
// parent's id after the parent has gone: the process now holding that id may have been
// created after this one, and then it is not the parent. Opens id with access and, where the
// system grants it, the right to read its times; a process created after this one is closed
// again and gives null, with nothing recorded: the parent has ended, and nothing failed. Where
// the times cannot be read the process is taken as the parent, as without the check. A parent
// that cannot be opened (also one that has ended, or none at all: id 0) is recorded.
static HANDLE openParent(DWORD id, DWORD access)
{
    HANDLE process = OpenProcess(access | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
    if (process == nullptr) {
        process = OpenProcess(access, FALSE, id);
        if (process == nullptr) {
            SETUP_RECORD(GetLastError());
        }
        return process;
    }
    FILETIME created, own, unused1, unused2, unused3;
    if (GetProcessTimes(process, &created, &unused1, &unused2, &unused3)
        && GetProcessTimes(GetCurrentProcess(), &own, &unused1, &unused2, &unused3)
        && CompareFileTime(&created, &own) > 0) {
        CloseHandle(process);
        return nullptr;
    }
    return process;
}

void setup_terminateParentProcess(DWORD id)
{
    HANDLE parent = openParent(id, PROCESS_TERMINATE);
    if (parent == nullptr) {
        return;
    }
    if (!TerminateProcess(parent, 0)) {
        SETUP_RECORD(GetLastError());
    }
    CloseHandle(parent);
}

void setup_terminateUpdaterParent()
{
    DWORD id = 0;
    char* name = nullptr;
    if (setup_getParentProcess(&id, &name) != 0 || name == nullptr) {
        return;
    }
    if (setup_isUpdaterName(name)) {
        setup_terminateParentProcess(id);
    }
    free(name);
}

void setup_waitForParentProcess(DWORD id)
{
    HANDLE parent = openParent(id, SYNCHRONIZE);
    if (parent == nullptr) {
        return;
    }
    DWORD result;
    do {
        result = WaitForSingleObject(parent, INFINITE);
    } while (result == WAIT_TIMEOUT);
    if (result == WAIT_FAILED) {
        SETUP_RECORD(GetLastError());
    }
    CloseHandle(parent);
}

// The parent's id is looked up now, not at start: the parent wait runs after the decoding.
void setup_waitForParent()
{
    DWORD id = 0;
    if (setup_getParentProcess(&id, nullptr) != 0) {
        return;
    }
    setup_waitForParentProcess(id);
}
