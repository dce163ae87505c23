// Wine's sal.h, plus the annotations MSVC's C++ library uses that it lacks.
// Outside code analysis they all expand to nothing, as under MSVC.
#pragma once
#include_next <sal.h>

#ifndef _Analysis_assume_
#define _Analysis_assume_(expr)
#endif
#ifndef _Pre_satisfies_
#define _Pre_satisfies_(cond)
#endif
#ifndef _Post_satisfies_
#define _Post_satisfies_(cond)
#endif
#ifndef _Field_z_
#define _Field_z_
#endif
#ifndef _Guarded_by_
#define _Guarded_by_(lock)
#endif
#ifndef _In_NLS_string_
#define _In_NLS_string_(size)
#endif
#ifndef _Inout_bytecount_
#define _Inout_bytecount_(size)
#endif
