#pragma once

#include "SignalDecoder.h"

#include <cstdint>
#include <string>
#include <string_view>

// The decoded signals of frames as CSV in UTF-8, one row a signal:
// time_ms,id,message,signal,value,unit,text. Times with three decimals, identifiers in
// hexadecimal (29-bit ones as eight digits and "x"), values in their shortest exact form.
namespace signalcsv {

constexpr std::string_view kHeader = "time_ms,id,message,signal,value,unit,text\n";

// Appends one row per decoded signal.
void appendRows(std::string &out, int64_t timeUs, const DbcMessage &message,
                const DecodedSignal *signalList, int count);

// A field, quoted when it holds a comma, a quote or a line break.
void appendField(std::string &out, std::string_view text);
void appendNumber(std::string &out, double value);

} // namespace signalcsv
