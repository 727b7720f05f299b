// How many GDI objects the process holds, for leak checks.
#pragma once

namespace vl::test {

// The platform's count where it keeps one; otherwise (Wine reports 0) the
// live entries of the handle table, which Wine answers for by index alone.
long LiveGdiObjects();

}  // namespace vl::test
