// The application's own texts for HART engineering-unit codes.
#pragma once

#include <QString>

namespace app {

// The unit's text; empty for a code without one.
QString UnitText(int code);

}  // namespace app
