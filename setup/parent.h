// The parent process: the updater's name rule (parent_rules.cpp, portable), its lookup,
// termination and the parent wait (parent.cpp, Windows; the walk itself in parent_walk.h).
#pragma once

#include "setup.h"

// ---- Parent process control (parent_rules.cpp portable; parent.cpp Windows) ---------------

// True when name ends in "up2date.exe", compared byte for byte. Portable.
int setup_isUpdaterName(const char* name);

DWORD setup_getParentProcess(DWORD* parentId, char** parentName);
void setup_terminateUpdaterParent();
void setup_waitForParent();
// The steps above after the lookup, for the parent's id: a process of that id created after
// this one is a stranger that received the id, and is neither ended nor waited for.
void setup_terminateParentProcess(DWORD id);
void setup_waitForParentProcess(DWORD id);
