#pragma once
// The Maps window's tools that reach the head and the controls: Sweep This Region sets the
// scan limits through the plan, a double-click moves the head under the one-operation guard,
// and Escape, with no operation running, clears the window's pin or region.

namespace brevane {

struct instrument;
class main_window;
class maps_window;

void wire_maps_tools(maps_window& maps, main_window& window, instrument& inst);

}  // namespace brevane
