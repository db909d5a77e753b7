#pragma once
// The two coded lines of the report record and the number series they give back.
#include "main/MainState.h"
#include "table/NumberSeries.h"

#include <string>
#include <utility>

// The marker of the row below which the record goes: the whole text of a column-1 cell.
inline constexpr const char *TestEndMarker = "Конец теста";

using params::ValueGroup;

// The record: "K" and the groups of parameters 1..17, then "K" and the groups of 18..34.
std::pair<std::string, std::string> RecordLines(const TParamValues &values);
