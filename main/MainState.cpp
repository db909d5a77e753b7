#include "main/MainState.h"

#include "platform/IniFile.h"
#include "platform/office/ExcelApplication.h"
#include "serial/AdPort.h"

TMainState::TMainState() = default;
TMainState::~TMainState() = default;
