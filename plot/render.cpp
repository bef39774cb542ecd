// SPDX-License-Identifier: BSD-3-Clause
#include "plot/render.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstring>
#include <strings.h>

#include "driver/display.h"
#include "driver/files.h"
#include "driver/run.h"
#include "driver/status.h"

#if TAMSEL_HAVE_RSVG
#include <cairo-pdf.h>
#include <cairo.h>
#include <librsvg/rsvg.h>
#endif

namespace tamsel {

bool picture_format(const char* path, PictureFormat& format) {
  const char* dot = std::strrchr(path, '.');
  if (dot == nullptr || std::strchr(dot, '/') != nullptr) return false;
  if (strcasecmp(dot, ".svg") == 0) format = PictureFormat::kSvg;
  else if (strcasecmp(dot, ".png") == 0) format = PictureFormat::kPng;
  else if (strcasecmp(dot, ".pdf") == 0) format = PictureFormat::kPdf;
  else return false;
  return true;
}

#if TAMSEL_HAVE_RSVG

bool renders_pictures() { return true; }

namespace {

// The longest side, in pixels, of an image cairo makes.
constexpr double kLargestSide = 32767;

cairo_status_t collect(void* closure, const unsigned char* data, unsigned int length) {
  static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

// Draws the document on `surface` at `scale` units of it to a pixel of the
// SVG; false with `why` set when librsvg or cairo fails.
bool draw(RsvgHandle* handle, cairo_surface_t* surface, double scale, double width,
          double height, std::string& why) {
  cairo_t* cr = cairo_create(surface);
  cairo_scale(cr, scale, scale);
  const RsvgRectangle viewport{0.0, 0.0, width, height};
  GError* error = nullptr;
  const bool drawn = rsvg_handle_render_document(handle, cr, &viewport, &error) != 0;
  if (!drawn) why = error != nullptr ? error->message : "librsvg cannot draw it";
  if (error != nullptr) g_error_free(error);
  if (drawn && cairo_status(cr) != CAIRO_STATUS_SUCCESS)
    why = cairo_status_to_string(cairo_status(cr));
  const bool ok = drawn && cairo_status(cr) == CAIRO_STATUS_SUCCESS;
  cairo_destroy(cr);
  return ok;
}

} // namespace

std::string picture_bytes(const std::string& svg, PictureFormat format, double dpi,
                          const char* shown_path) {
  if (format == PictureFormat::kSvg) return svg;
  GError* error = nullptr;
  RsvgHandle* handle = rsvg_handle_new_from_data(reinterpret_cast<const guint8*>(svg.data()),
                                                 svg.size(), &error);
  if (handle == nullptr) {
    const std::string why = error != nullptr ? error->message : "librsvg cannot read it";
    if (error != nullptr) g_error_free(error);
    stopf(kInputStatus, "tamsel-plot: %s: cannot draw the picture: %s", shown_path, why.c_str());
  }
  double width = 0.0, height = 0.0;
  rsvg_handle_get_intrinsic_size_in_pixels(handle, &width, &height);
  std::string bytes, why;
  bool ok = false;
  if (format == PictureFormat::kPng) {
    const double scale = dpi / 96.0;
    const double columns = std::ceil(width * scale - 1e-6), rows = std::ceil(height * scale - 1e-6);
    if (!(columns <= kLargestSide && rows <= kLargestSide)) {
      g_object_unref(handle);
      stopf(kInputStatus,
            "tamsel-plot: %s: cannot draw the picture: at %g dpi it would be %.0f by %.0f "
            "pixels, and a PNG is drawn at most %.0f pixels a side; ask for fewer dpi",
            shown_path, dpi, columns, rows, kLargestSide);
    }
    cairo_surface_t* surface =
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, int(columns), int(rows));
    ok = draw(handle, surface, scale, width, height, why);
    if (ok) {
      const cairo_status_t status = cairo_surface_write_to_png_stream(surface, collect, &bytes);
      ok = status == CAIRO_STATUS_SUCCESS;
      if (!ok) why = cairo_status_to_string(status);
    }
    cairo_surface_destroy(surface);
  } else {
    // PDF measures in points, 72 to the inch; the SVG's pixels are 96.
    cairo_surface_t* surface =
        cairo_pdf_surface_create_for_stream(collect, &bytes, width * 0.75, height * 0.75);
    ok = draw(handle, surface, 0.75, width, height, why);
    cairo_surface_finish(surface);
    if (ok && cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
      ok = false;
      why = cairo_status_to_string(cairo_surface_status(surface));
    }
    cairo_surface_destroy(surface);
  }
  g_object_unref(handle);
  if (!ok)
    stopf(kInputStatus, "tamsel-plot: %s: cannot draw the picture: %s", shown_path, why.c_str());
  return bytes;
}

#else

bool renders_pictures() { return false; }

std::string picture_bytes(const std::string& svg, PictureFormat format, double,
                          const char* shown_path) {
  if (format == PictureFormat::kSvg) return svg;
  stopf(kInputStatus,
        "tamsel-plot: %s: cannot write %s: this tamsel-plot was built without librsvg and "
        "cairo, which draw PNG and PDF files (Debian: apt-get install librsvg2-dev, then build "
        "it again); write an SVG file instead",
        shown_path, format == PictureFormat::kPng ? "PNG" : "PDF");
}

#endif

void write_document(int dir, const char* path, const std::string& document) {
  // The name as the console shows it: -o may give any bytes.
  std::string shown(std::strlen(path) + 1, '\0');
  shown.resize(show_bytes(path, shown.size() - 1, shown.data()));
  if (uid_t owner = 0; foreign_link(dir, path, owner)) {
    char how[384];
    describe_foreign_link(owner, how, sizeof how);
    stopf(kInputStatus, "tamsel-plot: %s: cannot write the file: it %s", shown.c_str(), how);
  }
  if (const char* input = input_file_at(dir, path))
    stopf(kInputStatus, "tamsel-plot: %s: cannot write the file: it is the input file %s",
          shown.c_str(), input);
  const int fd = open_output(dir, path, false);
  if (fd < 0 && errno != ENOENT)
    stopf(kInputStatus, "tamsel-plot: %s: cannot create the file: %s", shown.c_str(),
          open_error(dir, path, errno));
  const OutputFailure failure = replace_output(dir, path, fd, document.data(), document.size());
  if (failure.error != 0) {
    char reason[PATH_MAX + 128];
    describe_output_failure(dir, path, failure, reason, sizeof reason);
    stopf(kInputStatus, "tamsel-plot: %s: cannot write the file: %s", shown.c_str(), reason);
  }
}

} // namespace tamsel
