#pragma once
// A model's presets as kstune's options file gives them ([KS43] DEV=83 …), for comparing a
// station's values with what its model starts from. Read only when the file is at hand.
#include "table/ParamList.h"

#include <QString>

#include <array>
#include <optional>

namespace viewer {

// Index 0 holds parameter 1; a parameter the section does not give (or the five hidden ones) is
// empty. Nullopt when the options file is missing or has no preset of the model at all.
using PresetValues = std::array<std::optional<int>, params::ParamCount>;
std::optional<PresetValues> ModelPresets(const QString &model);

} // namespace viewer
