#pragma once
// Help > About Brevane: what the program is, its version, the versions of Qt and hidapi it
// runs with, and its licence.

#include <QString>

namespace brevane {

// Rich text for the About box.
QString about_text();

}  // namespace brevane
