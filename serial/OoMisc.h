#pragma once
// TEMPORARY: stand-in until the result-code header lands on main; deleted at the merge.
constexpr int ecOK = 0;
constexpr int ecBadHandle = 1001;
constexpr int ecBadArgument = 1002;
constexpr int ecBadId = 2001;
constexpr int ecCommNotOpen = 2007;
constexpr int ecAlreadyOpen = 2008;
constexpr int ecOutputBufferTooSmall = 3006;
constexpr int ecBufferIsEmpty = 3007;
constexpr int ecTracingNotEnabled = 3008;
constexpr int ecLoggingNotEnabled = 3009;
