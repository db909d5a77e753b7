#include "main/MainState.h"

#include "platform/IniFile.h"

TMainState::TMainState() = default;
TMainState::~TMainState() = default;
