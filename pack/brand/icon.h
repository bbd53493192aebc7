// Icons: read from an .ico file or from an image's icon group, and put into a stub's resources.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "pe.h"
#include "text.h"

constexpr uint16_t kPackRtIcon = 3, kPackRtGroupIcon = 14;

struct pack_IconImage {
    uint8_t width = 0, height = 0, colors = 0;
    uint16_t planes = 0, bitCount = 0;
    pack_Bytes data;  // a BITMAPINFOHEADER and its bits, or a PNG
};

// An .ico file, or a PE image whose first icon group is taken. Returns "" or a one-line error.
std::string pack_readIcon(const pack_Bytes& file, std::vector<pack_IconImage>* images);

// The first icon group of a resource list, with the images it names.
std::string pack_iconFromResources(const std::vector<pack_Resource>& resources,
                                   std::vector<pack_IconImage>* images);

// Replaces the first icon group of resources (and the images it names) with images, keeping
// the group's name and language; adds one named 1 when there was none.
void pack_replaceIcon(std::vector<pack_Resource>* resources,
                      const std::vector<pack_IconImage>& images);
