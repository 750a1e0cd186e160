// Writing a drawn cairo image surface as PNG, JPEG or GIF for the skin
// generator. PNG keeps the surface's alpha when it has one; JPEG and GIF are
// opaque (GIF with a palette of at most 256 colours made from the picture).
// The same surface always gives the same bytes. False with the reason when
// the file cannot be written.
#pragma once

#include <string>

#include <cairo.h>

namespace skin {

bool WritePng(cairo_surface_t* surface, const std::string& path, std::string* error);
bool WriteJpeg(cairo_surface_t* surface, const std::string& path, int quality, std::string* error);
bool WriteGif(cairo_surface_t* surface, const std::string& path, std::string* error);

}  // namespace skin
