// How large a 32-bit setup executable may safely be. The whole image is mapped in one piece
// when the program starts, and on 32-bit Windows it must fit into the 2 GiB of a process below
// the system's libraries (ntdll sits near 1.9 GiB), with room left beside it for the other
// libraries and the decoder's memory (about 70 MiB). Past 1.5 GiB that room is no longer
// sure. On 64-bit Windows the 32-bit stub is large-address-aware, and the decoder's memory
// finds room above 2 GiB.
#include "output.h"

std::string pack_addressSpaceWarning(bool pe32plus, uint64_t imageSize)
{
    if (pe32plus || imageSize <= kPack32BitSafeImage) {
        return "";
    }
    return "the 32-bit setup executable is " + std::to_string(imageSize)
        + " bytes; 32-bit "
          "Windows may not find room for an image above "
        + std::to_string(kPack32BitSafeImage)
        + " bytes. If the product needs no 32-bit Windows, pack the 64-bit stub, "
          "setup-stub-x64.exe";
}
