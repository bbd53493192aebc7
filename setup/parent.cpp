// Parent process control: the lookup over the system's process snapshot, the updater
// termination and the parent wait.
#include "setup.h"
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

void setup_terminateUpdaterParent()
{
    DWORD id = 0;
    char* name = nullptr;
    if (setup_getParentProcess(&id, &name) != 0 || name == nullptr) {
        return;
    }
    if (setup_isUpdaterName(name)) {
        HANDLE parent = OpenProcess(PROCESS_TERMINATE, FALSE, id);
        if (parent == nullptr) {
            SETUP_RECORD(GetLastError());
        } else {
            if (!TerminateProcess(parent, 0)) {
                SETUP_RECORD(GetLastError());
            }
            CloseHandle(parent);
        }
    }
    free(name);
}

// The parent's id is looked up now, not at start: the parent wait runs after the decoding.
void setup_waitForParent()
{
    DWORD id = 0;
    if (setup_getParentProcess(&id, nullptr) != 0) {
        return;
    }
    HANDLE parent = OpenProcess(SYNCHRONIZE, FALSE, id);
    if (parent == nullptr) {
        // Also a parent that has ended already, or none at all (id 0).
        SETUP_RECORD(GetLastError());
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
