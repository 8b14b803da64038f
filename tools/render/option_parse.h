// tools/render/option_parse.h - the pieces both of the renderer's command lines share.
//
// Owns: reading one number or one WxH size from an option's value (the whole value, or
// it is refused), taking an option's value from argv, the fault message in the
// renderer's own form, and making an output directory.
// Called by: tools/render/options.cpp (the show's options), tools/render/preview.cpp
// (--preview), tools/render/main.cpp.
#pragma once

#include <cstdarg>
#include <string>

// A finite number that is the whole of `text` ("12.5", "1e3"); false for "", "12s",
// "nan", "inf" or a value out of double's range. `value` is untouched on false.
bool ParseNumber(const char* text, double* value);

// "WxH" with two decimal integers and nothing after ("1024x768"); the numbers are not
// range-checked here.
bool ParseSize(const char* text, int* width, int* height);

// Writes "vellumar2-render: MESSAGE\n" and then `after` (a hint or a usage text) to
// standard error. Returns false, so that a check can read `ok || OptionFault(...)`.
bool OptionFault(const char* after, const char* format, ...) __attribute__((format(printf, 2, 3)));
bool OptionFaultList(const char* after, const char* format, va_list args);

// The value of option argv[*i]: advances *i past it. Null, with "OPTION needs a value"
// and then `after` written as OptionFault does, when the option is the last argument.
const char* OptionValue(int argc, char** argv, int* i, const char* after);

// Creates `dir` when missing. False, with the reason on standard error, when it cannot
// be created or is there but not a directory.
bool MakeOutputDirectory(const std::string& dir);
