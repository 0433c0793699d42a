#include "ui/layout_table.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <limits>
#include <map>
#include <set>
#include <string>

namespace brevane {
namespace {

const control_row& row_of(std::string_view name) {
  const control_row* row = find_control(name);
  EXPECT_NE(row, nullptr) << name;
  static const control_row none{};
  return row ? *row : none;
}

std::ptrdiff_t position_of(std::string_view name) {
  const auto rows = layout_controls();
  for (std::size_t i = 0; i < rows.size(); ++i)
    if (rows[i].name == name) return static_cast<std::ptrdiff_t>(i);
  ADD_FAILURE() << name << " not in the layout";
  return -1;
}

TEST(LayoutTable, NamesAreUniqueAndEveryContainerComesBeforeWhatItHolds) {
  std::set<std::string_view> seen;
  for (const control_row& row : layout_controls()) {
    if (!row.container.empty()) {
      EXPECT_TRUE(seen.count(row.container)) << row.name << " in " << row.container;
    }
    EXPECT_TRUE(seen.insert(row.name).second) << "duplicate " << row.name;
  }
}

TEST(LayoutTable, FocusOrderIsUniqueAndShapesTakeNoPlaceInIt) {
  std::set<int> tabs;
  for (const control_row& row : layout_controls()) {
    if (row.kind == control_kind::shape) {
      EXPECT_EQ(row.tab_index, -1) << row.name;
    } else {
      EXPECT_TRUE(tabs.insert(row.tab_index).second) << row.name << " tab " << row.tab_index;
    }
  }
  EXPECT_EQ(*tabs.begin(), 0);
  EXPECT_EQ(*tabs.rbegin(), 62);
}

TEST(LayoutTable, PanelsAndViewsFitTheClientArea) {
  EXPECT_EQ(client_pixels(), (pixel_size{784, 298}));
  for (const control_row& row : layout_controls()) {
    if (!row.container.empty()) continue;
    EXPECT_GE(row.left, 0) << row.name;
    // The view frames are laid out one pixel wider than the area; their right edge is clipped.
    EXPECT_LE(row.left + row.width, client_width_twips + twips_per_pixel) << row.name;
    EXPECT_LE(row.top + row.height, client_height_twips) << row.name;
  }
}

TEST(LayoutTable, ControlsLandOnTheirPixels) {
  const control_row& sweep = row_of("Command26");
  EXPECT_EQ(sweep.container, "Frame6");
  EXPECT_EQ(sweep.caption, "Sweep");
  EXPECT_EQ(pixel_geometry(sweep), (pixel_rect{8, 120, 153, 25}));
  EXPECT_EQ(pixel_geometry(row_of("view(2)")), (pixel_rect{432, 0, 353, 297}));
  EXPECT_EQ(pixel_geometry(row_of("Option1(2)")), (pixel_rect{16, 56, 57, 33}));
  EXPECT_EQ(pixel_geometry(row_of("Shape1(0)")), (pixel_rect{-8, -48, 33, 265}));
}

TEST(LayoutTable, PicturesDrawInsideTheirBorder) {
  EXPECT_EQ(drawable_pixels(row_of("SCOPE")), (pixel_size{325, 269}));
  EXPECT_EQ(drawable_pixels(row_of("Picture1")), (pixel_size{149, 69}));
  EXPECT_EQ(drawable_pixels(row_of("Picture2")), (pixel_size{149, 69}));
  EXPECT_EQ(row_of("SCOPE").fill, 0x00C000u);
  EXPECT_EQ(row_of("Picture1").fill, 0xC0C0C0u);
}

TEST(LayoutTable, OverlapsStackAsTheOperatorSeesThem) {
  for (const char* jog : {"arrow(0)", "arrow(1)", "arrow(2)", "arrow(3)"})
    EXPECT_LT(position_of(jog), position_of("Command1")) << jog << " must lie under Home";
  EXPECT_LT(position_of("Frame1"), position_of("Frame5"));
  EXPECT_LT(position_of("Label6"), position_of("Picture1"));
  EXPECT_LT(position_of("Label7"), position_of("Picture2"));
  for (int i = 0; i < 3; ++i) {
    const std::string index = "(" + std::to_string(i) + ")";
    EXPECT_LT(position_of("Shape1" + index), position_of("dist1" + index));
  }
}

TEST(LayoutTable, StartsWithOneViewOneStepAndOnlyRepeatTicked) {
  int visible_views = 0;
  for (int i = 0; i < 3; ++i)
    visible_views += row_of("view(" + std::to_string(i) + ")").visible ? 1 : 0;
  EXPECT_EQ(visible_views, 1);
  EXPECT_TRUE(row_of("view(0)").visible);

  for (const control_row& row : layout_controls()) {
    if (row.kind == control_kind::check_box) {
      EXPECT_EQ(row.value, row.name == "repeat" ? 1 : 0) << row.name;
    }
    if (row.kind == control_kind::option_button) {
      EXPECT_EQ(row.value, row.name == "Option1(4)" ? 1 : 0) << row.name;
    }
  }
  EXPECT_EQ(row_of("Option1(4)").caption, "Step 10");
}

TEST(LayoutTable, ValueBoxesStartAtTheirScrollBarValues) {
  const std::pair<const char*, const char*> pairs[] = {{"xmin", "xmind"},
                                                       {"xmax", "xmaxd"},
                                                       {"zmin", "zmind"},
                                                       {"zmax", "zmaxd"},
                                                       {"gain", "gaind"}};
  for (const auto& [bar, box] : pairs) {
    const control_row& b = row_of(bar);
    EXPECT_LE(b.range_min, b.value) << bar;
    EXPECT_LE(b.value, b.range_max) << bar;
    EXPECT_EQ(std::to_string(b.value), row_of(box).caption) << box;
  }
}

TEST(LayoutTable, RedBarsStartBelowTheirColumns) {
  for (int i = 0; i < 3; ++i) {
    const std::string index = "(" + std::to_string(i) + ")";
    EXPECT_GE(row_of("dist1" + index).top, row_of("Frame2" + index).height);
  }
}

TEST(LayoutMenus, TreeKeepsItsCaptionsAndStates) {
  std::vector<std::string> bar;
  for (const menu_row& m : layout_menus()) {
    if (m.parent.empty()) bar.emplace_back(m.caption);
    EXPECT_EQ(m.caption.find('&'), std::string_view::npos) << m.caption;
  }
  EXPECT_EQ(bar, (std::vector<std::string>{"File", "View", "Data", "Help"}));

  const auto items = layout_menus();
  auto item = [&](std::string_view name) {
    for (const menu_row& m : items)
      if (m.name == name) return m;
    ADD_FAILURE() << name;
    return menu_row{};
  };
  EXPECT_EQ(item("histogramv").caption, "Historgram");
  EXPECT_FALSE(item("scopev").enabled);
  EXPECT_TRUE(item("ldl").checkable);
  EXPECT_TRUE(item("lil").checkable);
  EXPECT_FALSE(item("Vd").checkable);
  EXPECT_TRUE(opens_menu("datam"));
  EXPECT_FALSE(opens_menu("hlp"));

  std::vector<std::string> data;
  for (const menu_row& m : items)
    if (m.parent == "datam") data.emplace_back(m.caption);
  EXPECT_EQ(data, (std::vector<std::string>{"Log Data", "Log Images", "View Data", "Upload List"}));
  std::vector<std::string> file;
  for (const menu_row& m : items)
    if (m.parent == "Filemnu") file.emplace_back(m.caption);
  EXPECT_EQ(file, (std::vector<std::string>{"Open Scan\u2026", "Resume Sweep\u2026", "Open Plan\u2026", "Save Plan\u2026",
                                            "Open Data Folder", "Exit"}));
}

TEST(LayoutMenus, EveryItemHasItsOwnKeyInItsMenu) {
  std::map<std::string, std::set<char>> taken;  // per menu, the menu bar's under ""
  for (const menu_row& m : layout_menus()) {
    const std::string marked = with_mnemonic(m.caption, m.key);
    const auto at = marked.find('&');
    ASSERT_NE(at, std::string::npos) << m.name;
    const char key = static_cast<char>(std::tolower(static_cast<unsigned char>(marked[at + 1])));
    EXPECT_TRUE(taken[std::string(m.parent)].insert(key).second) << m.name << " takes " << key;
  }
  const std::pair<std::pair<const char*, char>, const char*> marks[] = {
      {{"Exit", 'x'}, "E&xit"},
      {{"Historgram", 'H'}, "&Historgram"},
      {{"Log Images", 'I'}, "Log &Images"},
      {{"Log Images", 'g'}, "Lo&g Images"},
      {{"Save & Load", 'L'}, "Save && &Load"},
      {{"Exit", 0}, "Exit"},
  };
  for (const auto& [in, marked] : marks) EXPECT_EQ(with_mnemonic(in.first, in.second), marked);
}

TEST(LayoutGeometry, TwipsRoundToTheNearestPixel) {
  EXPECT_EQ(twips_to_pixels(0), 0);
  EXPECT_EQ(twips_to_pixels(7), 0);
  EXPECT_EQ(twips_to_pixels(8), 1);
  EXPECT_EQ(twips_to_pixels(2170), 145);
  EXPECT_EQ(twips_to_pixels(-120), -8);
}

TEST(LayoutGeometry, AFontShrinksUntilItsTextFits) {
  const auto six_per_px = [](int px) { return 6 * px; };
  EXPECT_EQ(fitting_font_px(11, 7, 66, six_per_px), 11);
  EXPECT_EQ(fitting_font_px(11, 7, 65, six_per_px), 10);
  EXPECT_EQ(fitting_font_px(11, 7, 42, six_per_px), 7);
  EXPECT_EQ(fitting_font_px(11, 7, 10, six_per_px), 7) << "never below the smallest";
}

TEST(LayoutGeometry, CaptionsGrowOnlyIntoTheRoomTheyHave) {
  EXPECT_EQ(widened_to_fit(57, 62, 71), 62);
  EXPECT_EQ(widened_to_fit(57, 80, 71), 71);
  EXPECT_EQ(widened_to_fit(57, 40, 71), 57);
  EXPECT_EQ(widened_to_fit(57, 80, 30), 57);
}

TEST(LayoutTable, Text7HasRoomForTwoLinesWithoutCoveringItsNeighbours) {
  const pixel_rect text7 = pixel_geometry(row_of("Text7"));
  EXPECT_GE(text7.height, 2 * 13 + 4);
  EXPECT_LE(text7.y + text7.height, pixel_geometry(row_of("Frame7")).height);
  for (const control_row& row : layout_controls()) {
    if (row.container != "Frame7" || row.name == "Text7") continue;
    const pixel_rect r = pixel_geometry(row);
    const bool apart = r.x + r.width <= text7.x || text7.x + text7.width <= r.x ||
                       r.y + r.height <= text7.y || text7.y + text7.height <= r.y;
    EXPECT_TRUE(apart) << row.name;
  }
}

TEST(LayoutGeometry, BarTopsStayUsableWhateverTheReading) {
  EXPECT_EQ(bar_top_pixels(3240.0), 216);
  EXPECT_EQ(bar_top_pixels(std::numeric_limits<double>::quiet_NaN()), std::nullopt);
  const auto far_up = bar_top_pixels(-std::numeric_limits<double>::infinity());
  const auto far_down = bar_top_pixels(1e30);
  ASSERT_TRUE(far_up && far_down);
  EXPECT_LT(*far_up, -1000);
  EXPECT_GT(*far_down, 1000);
  EXPECT_LT(*far_down, 1 << 20);
}

TEST(LayoutGeometry, ArrayIndexReadsOnlyWellFormedNames) {
  EXPECT_EQ(array_index("arrow", "arrow(2)"), 2);
  EXPECT_EQ(array_index("Option1", "Option1(5)"), 5);
  EXPECT_EQ(array_index("arrow", "arrow"), std::nullopt);
  EXPECT_EQ(array_index("arrow", "arrows(1)"), std::nullopt);
  EXPECT_EQ(array_index("arrow", "arrow(x)"), std::nullopt);
  EXPECT_EQ(array_index("arrow", "arrow(-1)"), std::nullopt);
}

}  // namespace
}  // namespace brevane
