// Number parsing with the C library's atof/atoi results (leading white space,
// one optional sign, the longest numeric prefix, else 0) but without the
// locale: the editor runs with the user's locale set, and a document's
// "0.5" must not read as 0 where the decimal mark is a comma.
#pragma once

#include <string>
#include <string_view>

namespace kinovela {

double ParseAtof(std::string_view text);
// Saturates like strtol to the 64-bit range and keeps the low 32 bits, as
// atoi does on this platform.
int ParseAtoi(std::string_view text);

// Appends `v` exactly as C printf("%f") prints it: six decimals, "." as the
// decimal mark, "-0.000000" for negative zero, "nan", "-nan", "inf".
void AppendFixed6(std::string& out, double v);

// The same through snprintf, for comparison in tests and benchmarks.
void AppendFixed6Snprintf(std::string& out, double v);

}  // namespace kinovela
