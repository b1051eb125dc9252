// Icons: .ico files and the icon resources of an image.  An .ico file is
// a directory of images (BMP without file header, or PNG); in an image
// every picture is an icon resource and one group-icon resource lists
// them with their resource numbers.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "tools/pack/Resources.h"

struct IconImage {
    uint8_t width = 0;  // 0 stands for 256
    uint8_t height = 0;
    uint8_t colourCount = 0;
    uint8_t reserved = 0;
    uint16_t planes = 0;
    uint16_t bitCount = 0;
    std::vector<uint8_t> data;
};

struct IconSet {
    std::vector<IconImage> images;
};
bool operator==(const IconImage& a, const IconImage& b);
bool operator==(const IconSet& a, const IconSet& b);

// Reads an .ico file.  Every image must lie inside the file and be a PNG
// or a BMP with an info header; together they hold at most the file's
// bytes.  Planes and bit count that the file leaves
// 0 are taken from the image, since Windows picks icons by them.
bool parseIconFile(const std::vector<uint8_t>& file, IconSet& out, std::string& error);
// The .ico file of the set: the directory, then the images in order.
std::vector<uint8_t> formatIconFile(const IconSet& icon);

// Replaces every icon and group icon of the resources with the set: icon
// resources 1 to N and group 1, in US English.
void setIconResources(std::vector<Resource>& resources, const IconSet& icon);
// The first icon group of the resources (the one Explorer shows) with its
// images; false when there is none or an image it lists is missing.
bool firstIconGroup(const std::vector<Resource>& resources, IconSet& out);
