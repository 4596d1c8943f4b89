#pragma once

#include <QIcon>

namespace lorvex {

// The program icon (a level sighting a levelling staff), drawn from
// resources/icons/lorvex.svg at the usual icon sizes.
QIcon ProgramIcon();

}  // namespace lorvex
