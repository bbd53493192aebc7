// The parent's id may be held by a process that received it after the parent ended. Such a
// process was created after the caller; a suspended copy of this test executable, started
// here, plays it, so the creation order is the test's own and no id needs to be reused.
#include "parent.h"

#include <gtest/gtest.h>

namespace {

constexpr DWORD markCode = 12345;  // recorded before the steps, which must record nothing

DWORD WINAPI waitForId(void* id)
{
    setup_waitForParentProcess(static_cast<DWORD>(reinterpret_cast<DWORD_PTR>(id)));
    return 0;
}

}  // namespace

TEST(ParentIdentity, AProcessCreatedAfterTheCallerIsNeitherWaitedForNorEnded)
{
    wchar_t path[MAX_PATH];
    ASSERT_GT(GetModuleFileNameW(nullptr, path, MAX_PATH), 0u);
    wchar_t line[] = L"later --gtest_list_tests";
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION later = {};
    ASSERT_TRUE(CreateProcessW(path, line, nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                               nullptr, &si, &later));
    setup_recordError(markCode, "mark", 0);

    HANDLE thread = CreateThread(nullptr, 0, waitForId,
                                 reinterpret_cast<void*>(static_cast<DWORD_PTR>(later.dwProcessId)),
                                 0, nullptr);
    ASSERT_NE(thread, nullptr);
    DWORD waited = WaitForSingleObject(thread, 30000);
    if (waited != WAIT_OBJECT_0) {
        TerminateProcess(later.hProcess, 1);  // ends the wait, so that the thread can go
        WaitForSingleObject(thread, INFINITE);
    }
    CloseHandle(thread);
    EXPECT_EQ(waited, WAIT_OBJECT_0) << "waited for a process created after the caller";

    setup_terminateParentProcess(later.dwProcessId);
    EXPECT_EQ(WaitForSingleObject(later.hProcess, 0), static_cast<DWORD>(WAIT_TIMEOUT))
        << "ended a process created after the caller";
    EXPECT_EQ(setup_getErrorCode(), markCode);

    TerminateProcess(later.hProcess, 0);
    WaitForSingleObject(later.hProcess, INFINITE);
    CloseHandle(later.hThread);
    CloseHandle(later.hProcess);
}
