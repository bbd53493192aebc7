// A file's SHA-256 through GLib's checksums (GLib comes with libmsi).
#include "winget_command.h"

#include <errno.h>
#include <glib.h>
#include <stdio.h>
#include <string.h>

#include <memory>

std::string pack_sha256File(const char* path, std::string* hex)
{
    std::unique_ptr<FILE, int (*)(FILE*)> in(fopen(path, "rb"), fclose);
    if (!in) {
        return strerror(errno);
    }
    std::unique_ptr<GChecksum, void (*)(GChecksum*)> sum(g_checksum_new(G_CHECKSUM_SHA256),
                                                         g_checksum_free);
    unsigned char piece[1 << 16];
    size_t got = 0;
    while ((got = fread(piece, 1, sizeof piece, in.get())) > 0) {
        g_checksum_update(sum.get(), piece, static_cast<gssize>(got));
    }
    if (ferror(in.get())) {
        return "read error";
    }
    hex->assign(g_checksum_get_string(sum.get()));
    for (char& c : *hex) {
        c = static_cast<char>(c >= 'a' && c <= 'f' ? c - 32 : c);
    }
    return "";
}
