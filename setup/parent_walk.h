// The parent lookup over a source of process entries: the system's snapshot in the product,
// a fixed list in the tests. A source offers
//   typedef ... Entry;           with th32ProcessID, th32ParentProcessID and char szExeFile[]
//   bool first(Entry*), bool next(Entry*)   false when the walk has ended or failed
//   DWORD lastError()            the reason for the last false
#pragma once

#include "setup.h"

#include <string.h>

// Reads entries from the current one on until one has the process id; the current entry must
// have been read. Returns 0 when found, else the reason the walk stopped.
template<class Source>
DWORD setup_walkToProcess(Source& source, typename Source::Entry* entry, DWORD id, bool* found)
{
    *found = false;
    for (;;) {
        if (entry->th32ProcessID == id) {
            *found = true;
            return 0;
        }
        if (!source.next(entry)) {
            return source.lastError();
        }
    }
}

// Finds the own entry and stores the parent's id; 0 also when the list simply ended.
template<class Source>
DWORD setup_findParentId(Source& source, DWORD ownId, DWORD* parentId, DWORD* id)
{
    typename Source::Entry entry;
    *id = 0;
    if (!source.first(&entry)) {
        DWORD code = source.lastError();
        if (code != 0) {
            SETUP_RECORD(code);
        }
        return code;
    }
    if (parentId != nullptr) {
        *parentId = 0;
    }
    bool found;
    DWORD code = setup_walkToProcess(source, &entry, ownId, &found);
    if (found) {
        *id = entry.th32ParentProcessID;
        if (parentId != nullptr) {
            *parentId = *id;
        }
    } else if (code != 0) {
        // Most often ERROR_NO_MORE_FILES: the own process is not in the list.
        SETUP_RECORD(code);
    }
    return code;
}

// Copies the executable name of process id into *name (heap, the caller frees it).
template<class Source>
DWORD setup_findProcessName(Source& source, DWORD id, char** name)
{
    typename Source::Entry entry;
    bool found = false;
    DWORD code =
        source.first(&entry) ? setup_walkToProcess(source, &entry, id, &found) : source.lastError();
    if (!found) {
        // The parent has left the list since its id was read: ERROR_NO_MORE_FILES.
        if (code != 0) {
            SETUP_RECORD(code);
        }
        return code;
    }
    entry.szExeFile[sizeof entry.szExeFile - 1] = '\0';
    *name = _strdup(entry.szExeFile);
    if (*name == nullptr) {
        SETUP_RECORD(ERROR_OUTOFMEMORY);
        return ERROR_OUTOFMEMORY;
    }
    return 0;
}

// The parent of process ownId: its id into *parentId and, when both outs are given and a
// parent was found, its executable name into *parentName. The name needs a second walk, made
// only on request.
template<class Source>
DWORD setup_lookUpParent(Source& source, DWORD ownId, DWORD* parentId, char** parentName)
{
    DWORD id;
    DWORD code = setup_findParentId(source, ownId, parentId, &id);
    if (code != 0 || parentName == nullptr || parentId == nullptr || id == 0) {
        return code;
    }
    return setup_findProcessName(source, id, parentName);
}
