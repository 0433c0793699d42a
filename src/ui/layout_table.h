#pragma once
// The main window as data: every control with its container, caption, place in twips, focus
// order and starting value, and the menu tree. The window is built by walking these rows, so
// the layout can be checked without creating a single widget.

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace brevane {

inline constexpr int twips_per_pixel = 15;

// The window's client area below the menu bar.
inline constexpr int client_width_twips = 11760;
inline constexpr int client_height_twips = 4470;

// Picture boxes draw inside a sunken border of this many pixels on each side.
inline constexpr int picture_border_pixels = 2;

// One scope unit, in twips.
inline constexpr double scope_unit_w_twips = 15.05;
inline constexpr double scope_unit_h_twips = 12.609375;

enum class control_kind {
  frame,
  check_box,
  option_button,
  label,
  text_box,
  scroll_bar,
  command_button,
  picture_box,
  shape,
};

enum class text_style { dialog, heading };  // heading: bold 12-point sans-serif

// Colour as 0xRRGGBB.
using rgb = std::uint32_t;

struct control_row {
  control_kind kind;
  std::string_view name;       // the layout name, e.g. "Option1(4)"
  std::string_view container;  // empty: the client area
  std::string_view caption;    // caption, or starting text of a text box
  int left;                    // twips from the container's top-left corner
  int top;
  int width;
  int height;
  int tab_index;  // focus order; -1 for shapes, which have none
  int value;      // check box / option button: 1 = ticked; scroll bar: starting value
  int range_min;  // scroll bars only: left-end value
  int range_max;  // scroll bars only: right-end value
  bool visible;   // false only for the views hidden at start
  rgb fill;       // shapes and picture boxes: fill or background colour
  text_style style;
};

// All controls in stacking order, bottom first: a container comes before what it holds, and
// where siblings overlap the later row lies above the earlier one.
std::span<const control_row> layout_controls();

// The row named so, or nullptr.
const control_row* find_control(std::string_view name);

struct menu_row {
  std::string_view name;
  std::string_view parent;  // empty: an item of the menu bar
  std::string_view caption;
  bool enabled;
  bool checkable;
  char key;  // the letter of the caption that Alt (or the open menu) takes; it is underlined
};

// Menu bar items left to right, each followed by its own items top to bottom.
std::span<const menu_row> layout_menus();

// True when some item names this one as its parent, i.e. it opens a menu when chosen.
bool opens_menu(std::string_view name);

// The caption as a menu takes it, with "&" before the first letter key (an upper-case one
// first) and any "&" of the caption doubled; the text shown is the caption as written.
std::string with_mnemonic(std::string_view caption, char key);

// Pure geometry, usable without widgets.

// Twips to whole pixels, rounded to the nearest; halves away from zero.
int twips_to_pixels(double twips);

struct pixel_rect {
  int x;
  int y;
  int width;
  int height;
  friend bool operator==(const pixel_rect&, const pixel_rect&) = default;
};

pixel_rect pixel_geometry(const control_row& row);

struct pixel_size {
  int width;
  int height;
  friend bool operator==(const pixel_size&, const pixel_size&) = default;
};

// The client area in pixels (784 x 298).
pixel_size client_pixels();

// What a picture box can draw on: its size less the sunken border.
pixel_size drawable_pixels(const control_row& picture_row);

// Width of a caption that the current font makes wider than laid out: as wide as the text
// wants, within the room left in its container, never narrower than laid out.
int widened_to_fit(int width, int wanted, int room);

// The largest font pixel size from largest down to smallest at which a text width_at(size)
// pixels wide fits room; smallest when none does. The boxes keep their laid-out sizes, so a
// long reading ("10.04 feet") is shown in a smaller font rather than cut.
int fitting_font_px(int largest, int smallest, int room, const std::function<int(int)>& width_at);

// The pixel top of a bar placed at a top edge given in twips. The readings can put a bar far
// off its column (huge or non-finite distances), so the result is kept within a range that
// widgets accept; nullopt for a value that is not a number.
std::optional<int> bar_top_pixels(double twips);

// Index of "name(i)" when name matches the array, e.g. ("arrow", "arrow(2)") -> 2.
std::optional<int> array_index(std::string_view array, std::string_view name);

}  // namespace brevane
