// SPDX-License-Identifier: BSD-3-Clause
// The picture in the format its file name asks for: the SVG document as it
// is, or drawn by librsvg through cairo into a PNG or a PDF file, where the
// build found them.
#pragma once

#include <string>

namespace tamsel {

enum class PictureFormat { kSvg, kPng, kPdf };

// The format that the extension of `path` names, ".svg", ".png" or ".pdf"
// in any case; false when it names none of them.
bool picture_format(const char* path, PictureFormat& format);

// Whether this build draws PNG and PDF files.
bool renders_pictures();

// The bytes of the file `path` in `format` for the SVG document `svg`: the
// document itself, a PNG at `dpi` pixels to the inch (96 draws a pixel of
// the SVG as one pixel), or a PDF of the page's size at 96 pixels to the
// inch.  Stops with status 2 and a message naming the file `shown_path`
// (its name as the console shows it) when this build draws no such file,
// or when the drawing fails.
std::string picture_bytes(const std::string& svg, PictureFormat format, double dpi,
                          const char* shown_path);

// Writes `document` as the whole content of the file `path` (relative to
// the directory `dir`, a descriptor or AT_FDCWD), replacing a
// regular file only once it is written in full (driver/files.h).  Stops
// with an input/output error naming the file when it cannot be written in
// full, leaving an old file as it was, when it is reached through a
// symbolic link of another user (foreign_link, driver/files.h), or when it
// is one of the run's input files; nothing is written then.
void write_document(int dir, const char* path, const std::string& document);

} // namespace tamsel
