#pragma once
// SQL functions of our own on the module's SQLite sessions.
#include "toolkit/Export.h"

struct sqlite3;

// Replaces SQLite's sum() of one argument on this session by an exact one.
// SQLite adds REAL amounts as floating point, so a few hundred thousand of them
// come to a sum cents away from the amounts' own (…024.9982 for …024.96). This
// sum adds each amount as the decimal it shows, as the grid does (TDecimalSum):
// NULL for no value, an integer when every value is one (SQLite's "integer
// overflow" past its range), otherwise the exact sum: a REAL whose shortest
// text is that sum, and past a double's digits the sum as decimal text, which
// SQL arithmetic over it reads as a number. Non-numeric text counts as 0, as in
// SQLite's own sum(); past the exact range (about 10^20) the floating-point
// sum, as SQLite gives it. False when SQLite refused the function.
TOOLKIT_EXPORT bool RegisterExactSum(sqlite3* Session);
