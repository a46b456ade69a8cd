#pragma once

#include <vector>

class wxImage;

// The image as the bytes of an RGB PNG file.  Written here rather than by
// the toolkit, whose Windows build has no libpng: a PNG is a few chunks
// around the zlib stream of its rows.  False for an empty or broken image.
bool EncodePng(const wxImage& image, std::vector<char>& bytes);
