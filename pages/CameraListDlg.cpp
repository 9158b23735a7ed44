#include "pages/CameraListDlg.h"

#include "app/KorvoIPSetup.h"
#include "app/StringTable.h"

namespace korvo {

namespace {

DeviceListTraits CameraTraits()
{
    DeviceListTraits t;
    t.kind = PageKind::Camera;
    t.templateId = IDD_CAMERA_LIST;
    t.labelId = IDC_CAMERA_LABEL;
    t.refreshId = IDC_CAMERA_REFRESH;
    t.ipAssignId = IDC_CAMERA_IP_ASSIGN;
    t.applyId = IDC_CAMERA_APPLY;
    t.labelTextId = 10051;
    t.nameTitleId = 10041;
    t.countPane = 0;
    t.getListMessage = UWM_GET_CAMERAS;
    t.storeListMessage = UWM_STORE_CAMERAS;
    t.getRecordMessage = UWM_GET_CAMERA;
    t.csvHeader = "Camera Name,MAC Address,IP Address,Subnet Mask,Gateway address,Version";
    t.refuseReadOnlyOnApply = false;
    return t;
}

// Runs before the base classes load their texts.
DeviceListTraits WithUiLanguage(DeviceListTraits traits)
{
    SetUiLanguage(LanguageFromSetting(CKorvoIPSetupApp::Instance().Language()));
    return traits;
}

}  // namespace

CCameraListDlg::CCameraListDlg(platform::MessageTarget* mainWindow, QWidget* parent)
    : CDeviceListDlg(WithUiLanguage(CameraTraits()), mainWindow, parent)
{
}

}  // namespace korvo
