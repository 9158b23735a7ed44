// The Controller tab page (template 1200): the discovered network
// controllers, otherwise as the Camera page.
#pragma once

#include "pages/DeviceListDlg.h"

namespace korvo {

inline constexpr int IDD_CONTROLLER_LIST = 1200;
inline constexpr int IDC_CONTROLLER_LABEL = 1201;
inline constexpr int IDC_CONTROLLER_REFRESH = 1202;
inline constexpr int IDC_CONTROLLER_IP_ASSIGN = 1203;
inline constexpr int IDC_CONTROLLER_APPLY = 1204;

class CControllerListDlg : public CDeviceListDlg {
    Q_OBJECT

public:
    CControllerListDlg(platform::MessageTarget* mainWindow, QWidget* parent);
};

}  // namespace korvo
