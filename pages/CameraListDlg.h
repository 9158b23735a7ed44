// The Camera tab page (template 1100): the discovered camera IP cards.
#pragma once

#include "pages/DeviceListDlg.h"

namespace korvo {

inline constexpr int IDD_CAMERA_LIST = 1100;
inline constexpr int IDC_CAMERA_LABEL = 1101;
inline constexpr int IDC_CAMERA_REFRESH = 1102;
inline constexpr int IDC_CAMERA_IP_ASSIGN = 1103;
inline constexpr int IDC_CAMERA_APPLY = 1104;

class CCameraListDlg : public CDeviceListDlg {
    Q_OBJECT

public:
    // The Camera page is the first window of the program: it selects the UI
    // language from the Language setting before it loads any text.
    CCameraListDlg(platform::MessageTarget* mainWindow, QWidget* parent);
};

}  // namespace korvo
