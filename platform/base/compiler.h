// Silencing a compiler warning around the few lines where it is a known false report.
//
// gcc 12 follows inlined standard-library code (string concatenation and assignment, vector insertion) and
// at -O2 and above reports copies in it as overlapping or out of bounds when they are not. The tree builds
// with those warnings on; a line where one is wrongly reported is wrapped like this, with the reason above:
//
//     QSM_GCC_FALSE_REPORT_BEGIN("-Wrestrict")
//     return "#" + std::to_string(n);
//     QSM_GCC_FALSE_REPORT_END
//
// Other compilers see nothing.
#pragma once

#if defined(__GNUC__) && !defined(__clang__)
#define QSM_PRAGMA(x) _Pragma(#x)
#define QSM_GCC_FALSE_REPORT_BEGIN(warning) \
    QSM_PRAGMA(GCC diagnostic push) QSM_PRAGMA(GCC diagnostic ignored warning)
#define QSM_GCC_FALSE_REPORT_END QSM_PRAGMA(GCC diagnostic pop)
#else
#define QSM_GCC_FALSE_REPORT_BEGIN(warning)
#define QSM_GCC_FALSE_REPORT_END
#endif
