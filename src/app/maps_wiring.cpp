#include "app/maps_wiring.h"

#include <QApplication>

#include "app/instrument.h"
#include "app/wiring.h"
#include "scan/state_line.h"
#include "scan/sweep_plan.h"
#include "ui/main_window.h"
#include "ui/maps_window.h"

namespace brevane {

void wire_maps_tools(maps_window& maps, main_window& window, instrument& inst) {
  // Said in both windows: the operator may be looking at either.
  const auto say = [&maps, &window](const std::string& text) {
    window.show_status(text);
    maps.say(QString::fromStdString(text));
  };
  QObject::connect(
      &maps, &maps_window::region_sweep_chosen, &window, [&, say](const region_limits& l) {
        const std::string refused = "Sweep This Region was refused: ";
        // The limits of a running sweep must not change under the operator's feet.
        if (inst.guard.busy())
          return say(refused + "the scan limits cannot change while " + inst.guard.operation() +
                     " runs; end it first (Escape).");
        if (!l.refused.empty())
          return say(refused + l.refused + ", so the scan limits would reach beyond the region. "
                               "Choose a region inside the scroll bars' ranges.");
        sweep_settings s = settings_in_window(window, inst.state, inst.exchange);
        s.xmin = l.xmin;
        s.xmax = l.xmax;
        s.zmin = l.zmin;
        s.zmax = l.zmax;
        if (const std::string why = apply_settings(s, window, inst.exchange); !why.empty())
          return say(refused + why + ".");
        const std::string limits = "X " + std::to_string(l.xmin) + " to " + std::to_string(l.xmax) +
                                   ", Z " + std::to_string(l.zmin) + " to " +
                                   std::to_string(l.zmax);
        say(l.clipped ? "Scan limits set to the region, clipped to the scroll bars' "
                        "ranges: " +
                            limits + ". Sweep starts it."
                      : "Scan limits set to the region: " + limits + ". Sweep starts it.");
      });
  QObject::connect(&maps, &maps_window::move_chosen, &window, [&](int x, int z) {
    // The guard refuses it while an operation runs, and the status bar says so.
    if (!move_head(inst, x, z)) maps.say(QString::fromStdString(window.status()));
  });
  // The state line follows the instrument; its Pause button pauses as F8 does.
  const auto show = [&maps, &inst] {
    const instrument_state& s = inst.settings;
    maps.show_state(QString::fromStdString(state_line(s)), s.sweeping(), s.paused());
  };
  show();
  const int listener = inst.settings.listen(show);
  QObject::connect(&maps, &QObject::destroyed, [&inst, listener] { inst.settings.unlisten(listener); });
  QObject::connect(&maps, &maps_window::pause_clicked, &window, [&] {
    inst.settings.ask_pause("the operator (Pause in the Maps window)");
    toggle_pause(window, inst);
  });
  QObject::connect(&window, &main_window::escape_pressed, &maps, [&] {
    // Escape ends a running operation first and only; otherwise, in the Maps window, it frees
    // the profile or clears the region.
    if (!inst.guard.busy() && QApplication::activeWindow() == &maps) maps.escape();
  });
}

}  // namespace brevane
