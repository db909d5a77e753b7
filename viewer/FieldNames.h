#pragma once
// A parameter as kstune's window names it: the hint of its field ("Настройка уровня девиации"),
// its grid cell by column and band ("УНЧ Вкл., 140-146 МГц"), or "не показывается" for the hidden
// five. The hints are read from the window's own layout, built into the viewer, so the two never
// name a parameter differently.
#include "table/ParamList.h"

#include <QString>

namespace viewer {

QString FieldName(const params::ParamInfo &parameter);

} // namespace viewer
