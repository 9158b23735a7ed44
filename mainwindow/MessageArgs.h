// Arguments of the application messages between the main window and its
// pages. Pointers travel only in sent messages and point into the sender's
// memory for the duration of the call.
//
//   UWM_NETWORK_INFO (main window -> page)  wParam const DeviceRecord*, lParam 0 append / 2 renew Message
//   UWM_ACK / UWM_NAK (main window -> page) wParam device index, lParam 0 or const std::string*
//   UWM_SEND_* (wait -> main window)        wParam const std::string* (one frame)
//   UWM_WAIT_OPENED (wait -> page)          wParam platform::MessageTarget* of the wait
//   UWM_WAIT_RESPONSE                       wParam 0 success / 1 failure
//   UWM_STORE_CAMERAS / _CONTROLLERS        wParam const std::vector<DeviceRecord>*
//   UWM_STORE_CAMTABLE                      wParam const std::vector<CameraTableEntry>*, lParam slot
//   UWM_GET_CAMERAS / _CONTROLLERS          wParam std::vector<DeviceRecord>* to fill
//   UWM_GET_CAMERA_CHOICES                  wParam column 2/3/4, lParam std::vector<CameraChoiceItem>*
//   UWM_GET_CAMTABLE                        wParam std::vector<CameraTableEntry>*, lParam slot
//   UWM_GET_CAMERA / _CONTROLLER            wParam index, lParam DeviceRecord* to fill
//   UWM_GET_CAMERAS_IN_RANGE                wParam const CameraAddressRange*, lParam std::vector<DeviceRecord>*
//   UWM_GET_ROW_STATUS                      wParam row (display order), lParam std::int32_t* preset 0
//   UWM_GET_USED_ADDRESSES                  wParam std::vector<std::string>*, lParam 0 camera page / 1 controller page
//   UWM_CLEAR_CAMTABLE_ROWS                 wParam slot, lParam const std::uint8_t* (112 flags, display order)
//   UWM_SET_STATUS_TEXT                     wParam pane, lParam const std::string* (UTF-8)
//   UWM_PAGE_STATE                          wParam PageState code
//   UWM_CHECK_ADDRESS_CONFLICTS             wParam const std::vector<DeviceRecord>*, lParam std::int32_t[112]
//   UWM_STORE_CAMTABLE_ENTRY                wParam const CameraTableEntry*, lParam slot
//   UWM_STORE_ROW_STATUS                    wParam const DeviceRecord*
//   UWM_CAN_EDIT_CELL                       wParam column << 16 | row, lParam std::int32_t*
//   UWM_REBUILD_TABLE_GRID                  wParam 1 empty / other: from the store
//   UWM_IMPORT_LINES                        wParam const std::vector<std::string>*, lParam ImportResult*
//   UWM_EXPORT_LINES                        wParam std::vector<std::string>* to fill
//   UWM_CAN_CLEAR                           wParam std::int32_t*
#pragma once

#include <cstdint>
#include <string>

#include "platform/MessageTransport.h"

namespace korvo {

template <class T>
platform::WParam ToWParam(T* pointer)
{
    return reinterpret_cast<platform::WParam>(pointer);
}

template <class T>
platform::LParam ToLParam(T* pointer)
{
    return reinterpret_cast<platform::LParam>(pointer);
}

template <class T>
T* FromWParam(platform::WParam value)
{
    return reinterpret_cast<T*>(value);
}

template <class T>
T* FromLParam(platform::LParam value)
{
    return reinterpret_cast<T*>(value);
}

// One entry of a camera choice list: camera list index + 1 (0: the item
// that keeps the cell's current text), the shown text and the camera's MAC
// address (each at most 17 characters).
struct CameraChoiceItem {
    std::int32_t number = 0;
    std::string text;
    std::string mac;
    bool operator==(const CameraChoiceItem&) const = default;
};

// Range of UWM_GET_CAMERAS_IN_RANGE: start address with the first octet in
// the high byte, and the last octet of the end address.
struct CameraAddressRange {
    std::uint32_t start = 0;
    std::uint32_t endOctet = 0;
};

// Outcome of UWM_IMPORT_LINES: 0 or the id of the failure text, and the
// number that text shows.
struct ImportResult {
    int messageId = 0;
    int number = 0;
};

}  // namespace korvo
