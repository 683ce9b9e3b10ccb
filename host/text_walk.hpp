// How drawn text walks its UTF-8 bytes: the bitmap fonts hold characters 32 to
// 126, so runs of those are drawn as they are and every other character or
// stray byte shows as one "?". Platform-free.
#pragma once

#include <cstddef>
#include <string_view>

namespace orvi {

inline bool is_drawable_byte(unsigned char byte) { return byte >= 32 && byte <= 126; }

// Bytes taken by the non-drawable sequence starting at `at`: a whole
// well-formed character, else 1.
std::size_t undrawable_sequence_length(std::string_view text, std::size_t at);

// Calls on_run(run) for each maximal run of drawable bytes and on_unknown()
// once per other character or stray byte, in text order.
template <typename OnRun, typename OnUnknown>
void walk_drawn_text(std::string_view text, OnRun&& on_run, OnUnknown&& on_unknown) {
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = at;
    while (end < text.size() && is_drawable_byte(static_cast<unsigned char>(text[end]))) ++end;
    if (end > at) {
      on_run(text.substr(at, end - at));
      at = end;
      continue;
    }
    on_unknown();
    at += undrawable_sequence_length(text, at);
  }
}

}  // namespace orvi
