// The link control's entry points as linked into a test program, so the
// application runs in-process against the in-memory line.
#pragma once

#include "link/control/fenwire_loader.h"

namespace testsupport {

inline fenwire::FenwireApi linkedFenwireApi() {
    fenwire::FenwireApi api;
#define TESTSUPPORT_LINK_API(member, symbol) api.member = &::symbol;
    FENWIRE_API_FUNCTIONS(TESTSUPPORT_LINK_API)
#undef TESTSUPPORT_LINK_API
    return api;
}

}  // namespace testsupport
