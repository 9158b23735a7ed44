// The application icon (resource 131): a camera lens on a blue tile, drawn
// at the usual icon sizes.
#pragma once

#include <QIcon>

namespace korvo {

inline constexpr int IDR_MAINFRAME = 131;

// The icon, built once per process (UI thread).
const QIcon& AppIcon();

}  // namespace korvo
