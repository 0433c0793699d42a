#pragma once
// What ImageJ and Fiji read from a TIFF beyond the baseline tags: the description that makes
// the pages one hyperstack with a calibration, and the IJMetadata tags that carry the
// channels' names, their display ranges and a free text ("Image > Show Info").

#include <tiffio.h>

#include <cstdint>
#include <string>
#include <vector>

namespace brevane::imagej {

// The first page's description: `channels` pages as channels of one hyperstack, each pixel
// pixel_width by pixel_height in `unit`, with the origin (in pixels) that puts column 0 at
// x0 and, Y counted upwards, row 0 at z_top.
struct calibration {
  int channels = 1;
  std::string unit;
  double pixel_width = 1, pixel_height = 1;
  double x0 = 0, z_top = 0;
};
std::string description(const calibration& c);

// The IJMetadata block: the info text, one label per channel and each channel's low and high.
struct metadata {
  std::string info;
  std::vector<std::string> labels;
  std::vector<double> ranges;
};

// Makes libtiff know the two IJMetadata tags; once per process, before the first TIFFOpen.
void register_tags();

// Sets both IJMetadata tags on the directory being written. False when libtiff refused.
bool set_tags(TIFF* tif, const metadata& m);

// The tags' bytes as ImageJ lays them out in a little-endian file: the byte counts (header
// first) and the data. Apart for its test.
struct encoded {
  std::vector<std::uint32_t> counts;
  std::vector<unsigned char> data;
};
encoded encode(const metadata& m);

}  // namespace brevane::imagej
