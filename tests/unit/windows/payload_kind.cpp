// The payload kind of the test executable. A setup executable gets a constant from its build;
// the tests switch kinds to see each dispatch, so here the same symbol is a writable array
// (this file does not include setup.h, which declares it const for the product code).
#include <string.h>

char g_payloadKind[16] = "msi";

void test_setPayloadKind(const char* kind)
{
    strncpy(g_payloadKind, kind, sizeof g_payloadKind - 1);
    g_payloadKind[sizeof g_payloadKind - 1] = '\0';
}
