// Input-method composition, the placement of its windows, and dropped files.
#include "host/host_runtime.hpp"
#include "host/input_intake.hpp"

#include <imm.h>
#include <shellapi.h>

#include <algorithm>
#include <array>
#include <vector>

namespace orvi {
namespace {

constexpr LONG composition_buffer_bytes = 512;
constexpr UINT max_dropped_path_units = 32767;

// The units of the string at `index` (GCS_RESULTSTR or GCS_COMPSTR), at most 256.
std::vector<std::uint32_t> read_composition_units(HWND handle, DWORD index) {
  std::vector<std::uint32_t> units;
  HIMC context = ImmGetContext(handle);
  if (context == nullptr) return units;
  const LONG bytes = ImmGetCompositionStringW(context, index, nullptr, 0);
  if (bytes > 0) {
    std::array<wchar_t, composition_buffer_bytes / 2> buffer{};
    const LONG wanted = std::min<LONG>(bytes & ~1L, composition_buffer_bytes);
    const LONG read = ImmGetCompositionStringW(context, index, buffer.data(), static_cast<DWORD>(wanted));
    const LONG count = read > 0 ? std::min<LONG>(read, wanted) / 2 : 0;
    units.assign(buffer.begin(), buffer.begin() + count);
  }
  ImmReleaseContext(handle, context);
  return units;
}

// The preedit's own pairing: lone or unfinished surrogates are dropped.
std::string preedit_from_units(const std::vector<std::uint32_t>& units) {
  std::string text;
  for (std::size_t i = 0; i < units.size(); ++i) {
    const std::uint32_t unit = units[i];
    if (unit >= 0xDC00 && unit <= 0xDFFF) continue;
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      if (i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
        append_utf8_code_point(text, 0x10000 + ((unit - 0xD800) << 10) + (units[i + 1] - 0xDC00));
        ++i;
      }
      continue;
    }
    append_utf8_code_point(text, unit);
  }
  return text;
}

}  // namespace

void begin_preedit(canvas_window& window) {
  window.preedit_active = 1;
  window.preedit_text.clear();
  window.preedit_revision += 1;
}

void end_preedit(canvas_window& window) {
  window.preedit_active = 0;
  window.preedit_text.clear();
  window.preedit_revision += 1;
}

bool handle_ime_composition(canvas_window& window, LPARAM second) {
  const bool result = (second & GCS_RESULTSTR) != 0;
  if (!result && (second & GCS_COMPSTR) == 0) return false;
  const std::vector<std::uint32_t> units = read_composition_units(window.window, result ? GCS_RESULTSTR : GCS_COMPSTR);
  if (result) {
    for (std::uint32_t unit : units) handle_char_input(window, unit);
    window.pending_high_surrogate = 0;
    end_preedit(window);
  } else {
    window.preedit_active = 1;
    window.preedit_text = preedit_from_units(units);
    window.preedit_revision += 1;
  }
  place_ime_windows(window);
  return true;
}

void place_ime_windows(canvas_window& window) {
  if (window.window == nullptr || window.caret_x < 0 || window.caret_y < 0 || window.caret_height < 1) return;
  HIMC context = ImmGetContext(window.window);
  if (context == nullptr) return;
  COMPOSITIONFORM composition{};
  composition.dwStyle = CFS_POINT;
  composition.ptCurrentPos = {window.caret_x, window.caret_y};
  ImmSetCompositionWindow(context, &composition);
  CANDIDATEFORM candidate{};
  candidate.dwIndex = 0;
  candidate.dwStyle = CFS_EXCLUDE;
  candidate.ptCurrentPos = {window.caret_x, window.caret_y + window.caret_height};
  candidate.rcArea = {0, 0, 0, 0};
  ImmSetCandidateWindow(context, &candidate);
  ImmReleaseContext(window.window, context);
}

void handle_dropped_files(canvas_window& window, HDROP drop) {
  const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  window.event_args[0] = 0;
  window.event_args[1] = count;
  window.dropped_path.clear();
  if (count == 1) {
    const UINT length = DragQueryFileW(drop, 0, nullptr, 0);
    if (length >= 1 && length <= max_dropped_path_units) {
      std::vector<wchar_t> name(length + 1);
      if (DragQueryFileW(drop, 0, name.data(), length + 1) == length) {
        const int bytes =
            WideCharToMultiByte(CP_UTF8, 0, name.data(), static_cast<int>(length), nullptr, 0, nullptr, nullptr);
        if (bytes > 0) {
          std::string path(static_cast<std::size_t>(bytes), '\0');
          WideCharToMultiByte(CP_UTF8, 0, name.data(), static_cast<int>(length), path.data(), bytes, nullptr, nullptr);
          window.dropped_path = std::move(path);
          window.event_args[0] = 1;
        }
      }
    }
  }
  DragFinish(drop);
  stamp_window_event(window, event_file_dropped);
}

}  // namespace orvi
