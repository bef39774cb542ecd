// SPDX-License-Identifier: BSD-3-Clause
// Reading back the structure of a curves picture in tests.
#pragma once

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace svgcheck {

struct Panel {
  std::string text;            // the panel's markup
  std::vector<int> spec_points, log_points;  // points of each polyline of the two curves
};

inline std::vector<int> polylines(const std::string& panel, const std::string& cls) {
  std::vector<int> counts;
  const std::string open = "<polyline class=\"" + cls + "\" points=\"";
  for (std::size_t at = panel.find(open); at != std::string::npos; at = panel.find(open, at + 1)) {
    std::size_t begin = at + open.size(), end = panel.find('"', begin);
    int points = 0;
    for (std::size_t i = begin; i < end; ++i) points += panel[i] == ',';
    counts.push_back(points);
  }
  return counts;
}

inline std::vector<Panel> panels(const std::string& svg) {
  std::vector<Panel> result;
  const std::string open = "<g class=\"panel\"";
  for (std::size_t at = svg.find(open); at != std::string::npos;) {
    std::size_t next = svg.find(open, at + 1);
    Panel p;
    p.text = svg.substr(at, next == std::string::npos ? std::string::npos : next - at);
    p.spec_points = polylines(p.text, "spec");
    p.log_points = polylines(p.text, "log");
    result.push_back(p);
    at = next;
  }
  return result;
}

inline bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

inline int count(const std::string& text, const std::string& part) {
  int n = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

// Every number of every coordinate and size attribute, "nan" and "inf" read
// as not-a-number and infinity.
inline std::vector<double> coordinates(const std::string& svg) {
  std::vector<double> values;
  for (const char* name : {"x", "y", "x1", "y1", "x2", "y2", "cx", "cy", "r", "width", "height",
                           "points", "d", "transform", "textLength"}) {
    const std::string open = std::string(" ") + name + "=\"";
    for (std::size_t at = svg.find(open); at != std::string::npos; at = svg.find(open, at + 1)) {
      const std::size_t end = svg.find('"', at + open.size());
      const std::string value = svg.substr(at + open.size(), end - at - open.size());
      for (const char* c = value.c_str(); *c != '\0';) {
        char* after;
        const double v = std::strtod(c, &after);
        if (after == c) ++c;
        else values.push_back(v), c = after;
      }
    }
  }
  return values;
}

// Tables and a list of `windows` windows whose coefficients all lie
// between 0.97 and 0.99: the log table is the spec table, sin 40x, plus
// a(x) cos 40x with a from 0.14 to 0.25, over 120 records.
struct Crowded {
  std::string list, spec, log;
};
inline Crowded crowded(int windows) {
  Crowded c;
  char line[96];
  for (int i = 1; i <= 120; ++i) {
    const double x = i / 121.0, a = 0.14 + 0.11 * x;
    std::snprintf(line, sizeof line, "%.6f %.9f\n", x, std::sin(40 * x));
    c.spec += line;
    std::snprintf(line, sizeof line, "%.6f %.9f\n", x, std::sin(40 * x) + a * std::cos(40 * x));
    c.log += line;
  }
  for (int k = 0; k < windows; ++k) {
    const double lo = 0.02 + 0.74 * k / windows;
    std::snprintf(line, sizeof line, "window_%02d\n%.4f %.4f\n", k, lo, lo + 0.2 + 0.01 * (k % 5));
    c.list += line;
  }
  return c;
}

} // namespace svgcheck
