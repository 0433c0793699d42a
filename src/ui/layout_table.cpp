#include "ui/layout_table.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>

#include "model/control_ranges.h"

namespace brevane {
namespace {

constexpr rgb black = 0x000000;
constexpr rgb red = 0xFF0000;
constexpr rgb scope_green = 0x00C000;
constexpr rgb pale_grey = 0xC0C0C0;

constexpr control_row row(control_kind kind, std::string_view name, std::string_view container,
                          std::string_view caption, int left, int top, int width, int height,
                          int tab) {
  return {.kind = kind,
          .name = name,
          .container = container,
          .caption = caption,
          .left = left,
          .top = top,
          .width = width,
          .height = height,
          .tab_index = tab,
          .value = 0,
          .range_min = 0,
          .range_max = 0,
          .visible = true,
          .fill = black,
          .style = text_style::dialog};
}

constexpr control_row frame(std::string_view name, std::string_view container, int left, int top,
                            int width, int height, int tab, bool visible = true) {
  auto r = row(control_kind::frame, name, container, {}, left, top, width, height, tab);
  r.visible = visible;
  return r;
}

constexpr control_row check(std::string_view name, std::string_view caption, int left, int top,
                            int width, int height, int tab, bool ticked) {
  auto r = row(control_kind::check_box, name, "Frame5", caption, left, top, width, height, tab);
  r.value = ticked ? 1 : 0;
  return r;
}

constexpr control_row option(std::string_view name, std::string_view caption, int left, int top,
                             int width, int height, int tab, bool selected) {
  auto r = row(control_kind::option_button, name, "Frame1", caption, left, top, width, height, tab);
  r.value = selected ? 1 : 0;
  return r;
}

constexpr control_row label(std::string_view name, std::string_view container,
                            std::string_view caption, int left, int top, int width, int height,
                            int tab, text_style style = text_style::dialog) {
  auto r = row(control_kind::label, name, container, caption, left, top, width, height, tab);
  r.style = style;
  return r;
}

constexpr control_row text(std::string_view name, std::string_view container,
                           std::string_view start, int left, int top, int width, int height,
                           int tab) {
  return row(control_kind::text_box, name, container, start, left, top, width, height, tab);
}

constexpr control_row scroll(std::string_view name, std::string_view container, int left, int top,
                             int width, int height, int tab, control_range range) {
  auto r = row(control_kind::scroll_bar, name, container, {}, left, top, width, height, tab);
  r.range_min = range.low;
  r.range_max = range.high;
  r.value = range.start;
  return r;
}

constexpr control_row button(std::string_view name, std::string_view container,
                             std::string_view caption, int left, int top, int width, int height,
                             int tab) {
  return row(control_kind::command_button, name, container, caption, left, top, width, height, tab);
}

constexpr control_row picture(std::string_view name, std::string_view container, int left, int top,
                              int width, int height, int tab, rgb background) {
  auto r = row(control_kind::picture_box, name, container, {}, left, top, width, height, tab);
  r.fill = background;
  return r;
}

constexpr control_row shape(std::string_view name, std::string_view container, int left, int top,
                            int width, int height, rgb fill) {
  auto r = row(control_kind::shape, name, container, {}, left, top, width, height, -1);
  r.fill = fill;
  return r;
}

// clang-format off
constexpr std::array controls{
  // Panels of the client area. Frame5 lies above Frame1 where they overlap.
  frame("Frame1", "", 120, 1680, 1335, 2775, 0),
  frame("Frame5", "", 120, 0, 1335, 1695, 23),
  frame("Frame6", "", 1560, 0, 2655, 2295, 30),
  frame("Frame7", "", 1560, 2280, 4815, 2175, 45),
  frame("Frame3", "", 4320, 0, 2055, 2295, 7),
  frame("view(0)", "", 6480, 0, 5295, 4455, 12),
  frame("view(1)", "", 6480, 0, 5295, 4455, 14, false),
  frame("view(2)", "", 6480, 0, 5295, 4455, 16, false),

  // Sweep options.
  check("repeat", "Repeat", 120, 240, 1095, 195, 27, true),
  check("estop", "Stop", 120, 480, 1095, 195, 26, false),
  check("sonicoff", "Sonic Off", 120, 720, 1095, 195, 25, false),
  check("tempoff", "Temp Off", 120, 960, 1095, 195, 24, false),
  check("xoff", "X Off", 120, 1200, 1095, 195, 28, false),
  check("zoff", "Z Off", 120, 1440, 1095, 195, 29, false),

  // Step sizes 1, 2, 3, 5, 10, 20.
  option("Option1(0)", "Step 1", 240, 240, 855, 255, 1, start_step_index == 0),
  option("Option1(1)", "Step 2", 240, 600, 855, 255, 2, start_step_index == 1),
  option("Option1(2)", "Step 3", 240, 840, 855, 495, 3, start_step_index == 2),
  option("Option1(3)", "Step 5", 240, 1320, 855, 255, 4, start_step_index == 3),
  option("Option1(4)", "Step 10", 240, 1680, 855, 255, 5, start_step_index == 4),
  option("Option1(5)", "Step 20", 240, 2040, 855, 255, 6, start_step_index == 5),

  // Scan limits.
  label("Label2", "Frame6", "X Min", 240, 240, 495, 255, 34),
  text("xmind", "Frame6", "100", 840, 240, 375, 285, 33),
  label("Label3", "Frame6", "X Max", 1560, 240, 495, 255, 37),
  text("xmaxd", "Frame6", "255", 2160, 240, 375, 285, 36),
  scroll("xmin", "Frame6", 120, 600, 1095, 255, 32, xmin_range),
  scroll("xmax", "Frame6", 1440, 600, 1095, 255, 35, xmax_range),
  label("Label4", "Frame6", "Z Min", 240, 960, 615, 255, 40),
  text("zmind", "Frame6", "140", 840, 960, 375, 285, 39),
  label("Label5", "Frame6", "Z Max", 1560, 960, 615, 255, 43),
  text("zmaxd", "Frame6", "200", 2160, 960, 375, 285, 42),
  scroll("zmin", "Frame6", 120, 1320, 1095, 255, 38, zmin_range),
  scroll("zmax", "Frame6", 1440, 1320, 1095, 255, 41, zmax_range),
  button("Command26", "Frame6", "Sweep", 120, 1800, 2295, 375, 31),

  // Readings.
  label("Label1", "Frame7", "Thermal Gain =", 2520, 240, 1215, 255, 58),
  text("gaind", "Frame7", "10", 3840, 240, 495, 285, 47),
  scroll("gain", "Frame7", 2400, 600, 1935, 255, 46, gain_range),
  text("mintd", "Frame7", "", 120, 960, 735, 285, 55),
  button("Command8", "Frame7", "R", 960, 960, 255, 255, 53),
  text("maxtd", "Frame7", "", 1320, 960, 735, 285, 54),
  button("readt", "Frame7", "Temp", 2160, 960, 855, 255, 49),
  text("Text16", "Frame7", "", 3120, 960, 1215, 285, 56),
  text("dmind", "Frame7", "", 120, 1440, 735, 285, 50),
  button("Command9", "Frame7", "R", 960, 1440, 255, 255, 52),
  text("dmaxd", "Frame7", "", 1320, 1440, 735, 285, 51),
  button("Command10", "Frame7", "Distance", 2160, 1440, 855, 255, 48),
  // Two lines of text (inches, then feet) need two line heights; the panel is free below it.
  text("Text7", "Frame7", "", 3120, 1440, 1215, 450, 57),

  // Positioning: the jog cross, with Home above the four jog buttons.
  button("arrow(0)", "Frame3", "^", 720, 120, 615, 735, 8),
  button("arrow(3)", "Frame3", "<", 120, 600, 615, 735, 11),
  button("arrow(1)", "Frame3", ">", 1320, 600, 615, 735, 9),
  button("arrow(2)", "Frame3", "v", 720, 1080, 615, 735, 10),
  button("Command1", "Frame3", "Home", 720, 600, 615, 735, 22),
  button("Command11", "Frame3", "Static Read", 120, 1800, 1815, 375, 44),

  // Scope view.
  frame("Frame4(0)", "view(0)", 120, 240, 4935, 4095, 13),
  picture("SCOPE", "Frame4(0)", 0, 0, 4935, 4095, 18, scope_green),

  // Image view; the pictures lie above the labels that touch them.
  frame("Frame4(2)", "view(2)", 360, 360, 4575, 3855, 17),
  label("Label6", "Frame4(2)", "Thermal Image Map", 1080, 1440, 2655, 495, 61,
        text_style::heading),
  label("Label7", "Frame4(2)", "Sonic Image Map", 1080, 3000, 2295, 375, 62,
        text_style::heading),
  picture("Picture1", "Frame4(2)", 1080, 360, 2295, 1095, 59, pale_grey),
  picture("Picture2", "Frame4(2)", 1080, 1920, 2295, 1095, 60, pale_grey),

  // Bar view: three columns, each a red bar above a black background.
  frame("Frame4(1)", "view(1)", 360, 360, 4575, 3855, 15),
  frame("Frame2(0)", "Frame4(1)", 1680, 720, 375, 2055, 21),
  frame("Frame2(1)", "Frame4(1)", 2160, 600, 375, 2175, 20),
  frame("Frame2(2)", "Frame4(1)", 2640, 600, 375, 2175, 19),
  shape("Shape1(0)", "Frame2(0)", -120, -720, 495, 3975, black),
  shape("dist1(0)", "Frame2(0)", 0, 3240, 375, 5535, red),
  shape("Shape1(1)", "Frame2(1)", -120, 120, 495, 3975, black),
  shape("dist1(1)", "Frame2(1)", 0, 3240, 375, 5535, red),
  shape("Shape1(2)", "Frame2(2)", 0, 120, 375, 3975, black),
  shape("dist1(2)", "Frame2(2)", 0, 3240, 375, 5655, red),
};

// The items the program added sit beside the laid-out ones. "Help" stays an item of the bar
// that opens the help page; About Brevane is in the Maps window's Help menu.
constexpr std::array menus{
  menu_row{"Filemnu", "", "File", true, false, 'F'},
  menu_row{"open_scan", "Filemnu", "Open Scan\u2026", true, false, 'O'},
  menu_row{"resume_sweep", "Filemnu", "Resume Sweep\u2026", true, false, 'R'},
  menu_row{"open_plan", "Filemnu", "Open Plan\u2026", true, false, 'P'},
  menu_row{"save_plan", "Filemnu", "Save Plan\u2026", true, false, 'S'},
  menu_row{"open_data_folder", "Filemnu", "Open Data Folder", true, false, 'D'},
  menu_row{"exout", "Filemnu", "Exit", true, false, 'x'},
  menu_row{"viewm", "", "View", true, false, 'V'},
  menu_row{"scopev", "viewm", "Scope", false, false, 'S'},
  menu_row{"histogramv", "viewm", "Historgram", true, false, 'H'},
  menu_row{"Imagev", "viewm", "Image", true, false, 'I'},
  menu_row{"mapsv", "viewm", "Maps", true, false, 'M'},
  menu_row{"datam", "", "Data", true, false, 'D'},
  menu_row{"ldl", "datam", "Log Data", true, true, 'L'},
  menu_row{"lil", "datam", "Log Images", true, true, 'I'},
  menu_row{"Vd", "datam", "View Data", true, false, 'V'},
  menu_row{"upload_list", "datam", "Upload List", true, false, 'U'},
  menu_row{"hlp", "", "Help", true, false, 'H'},
};
// clang-format on

// Widgets take coordinates well inside this; anything beyond is off its column anyway.
constexpr int max_bar_pixels = 100000;

}  // namespace

std::span<const control_row> layout_controls() {
  return controls;
}

const control_row* find_control(std::string_view name) {
  auto it = std::find_if(controls.begin(), controls.end(),
                         [name](const control_row& r) { return r.name == name; });
  return it == controls.end() ? nullptr : &*it;
}

std::span<const menu_row> layout_menus() {
  return menus;
}

bool opens_menu(std::string_view name) {
  return std::any_of(menus.begin(), menus.end(),
                     [name](const menu_row& m) { return m.parent == name; });
}

std::string with_mnemonic(std::string_view caption, char key) {
  std::string marked;
  for (char c : caption) marked += c == '&' ? std::string("&&") : std::string(1, c);
  std::size_t at = marked.find(key);
  if (at == std::string::npos) {
    const auto lower = [](char c) {
      return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    };
    at =
        std::find_if(marked.begin(), marked.end(), [&](char c) { return lower(c) == lower(key); }) -
        marked.begin();
  }
  if (key != 0 && at < marked.size()) marked.insert(at, 1, '&');
  return marked;
}

int twips_to_pixels(double twips) {
  return static_cast<int>(std::lround(twips / twips_per_pixel));
}

pixel_rect pixel_geometry(const control_row& r) {
  return {twips_to_pixels(r.left), twips_to_pixels(r.top), twips_to_pixels(r.width),
          twips_to_pixels(r.height)};
}

pixel_size client_pixels() {
  return {twips_to_pixels(client_width_twips), twips_to_pixels(client_height_twips)};
}

pixel_size drawable_pixels(const control_row& picture_row) {
  const auto g = pixel_geometry(picture_row);
  return {std::max(0, g.width - 2 * picture_border_pixels),
          std::max(0, g.height - 2 * picture_border_pixels)};
}

int widened_to_fit(int width, int wanted, int room) {
  return std::max(width, std::min(wanted, room));
}

int fitting_font_px(int largest, int smallest, int room, const std::function<int(int)>& width_at) {
  for (int px = largest; px > smallest; --px)
    if (width_at(px) <= room) return px;
  return smallest;
}

std::optional<int> bar_top_pixels(double twips) {
  if (std::isnan(twips)) return std::nullopt;
  const double limit = static_cast<double>(max_bar_pixels) * twips_per_pixel;
  return twips_to_pixels(std::clamp(twips, -limit, limit));
}

std::optional<int> array_index(std::string_view array, std::string_view name) {
  if (name.size() < array.size() + 3 || name.substr(0, array.size()) != array) return std::nullopt;
  auto inner = name.substr(array.size());
  if (inner.front() != '(' || inner.back() != ')') return std::nullopt;
  inner = inner.substr(1, inner.size() - 2);
  int index = 0;
  auto [end, ec] = std::from_chars(inner.data(), inner.data() + inner.size(), index);
  if (ec != std::errc{} || end != inner.data() + inner.size() || index < 0) return std::nullopt;
  return index;
}

}  // namespace brevane
