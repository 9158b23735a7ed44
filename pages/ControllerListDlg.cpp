#include "pages/ControllerListDlg.h"

namespace korvo {

namespace {

DeviceListTraits ControllerTraits()
{
    DeviceListTraits t;
    t.kind = PageKind::Controller;
    t.templateId = IDD_CONTROLLER_LIST;
    t.labelId = IDC_CONTROLLER_LABEL;
    t.refreshId = IDC_CONTROLLER_REFRESH;
    t.ipAssignId = IDC_CONTROLLER_IP_ASSIGN;
    t.applyId = IDC_CONTROLLER_APPLY;
    t.labelTextId = 10053;
    t.nameTitleId = 10046;
    t.countPane = 1;
    t.getListMessage = UWM_GET_CONTROLLERS;
    t.storeListMessage = UWM_STORE_CONTROLLERS;
    t.getRecordMessage = UWM_GET_CONTROLLER;
    t.csvHeader = "Controller Name,MAC Address,IP Address,Subnet Mask,Gateway address,Version";
    t.refuseReadOnlyOnApply = true;
    return t;
}

}  // namespace

// The Camera page, created first, has selected the UI language already.
CControllerListDlg::CControllerListDlg(platform::MessageTarget* mainWindow, QWidget* parent)
    : CDeviceListDlg(ControllerTraits(), mainWindow, parent)
{
}

}  // namespace korvo
