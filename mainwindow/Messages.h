// Application message catalogue: every private message number with its name.
// One list generates the enum and the name table, so the numbers live in one
// place. Header only and free of Qt, so the core library can use it.
#pragma once

#include <cstdint>

namespace korvo {

constexpr unsigned kWmUser = 0x0400;
constexpr unsigned kWmApp = 0x8000;

// X(name, number)
#define KORVO_MESSAGE_LIST(X)                                   \
    X(UWM_CMD_REFRESH, kWmUser + 100)                           \
    X(UWM_CMD_IP_ASSIGN, kWmUser + 101)                         \
    X(UWM_CMD_AUTO_ASSIGN, kWmUser + 102)                       \
    X(UWM_CMD_COPY, kWmUser + 103)                              \
    X(UWM_CMD_CLEAR, kWmUser + 104)                             \
    X(UWM_CMD_APPLY, kWmUser + 105)                             \
    X(UWM_NETWORK_INFO, kWmUser + 106)                          \
    X(UWM_CAMTABLE_REPLY, kWmUser + 107)                        \
    X(UWM_ACK, kWmUser + 112)                                   \
    X(UWM_NAK, kWmUser + 113)                                   \
    X(UWM_SEND_NETWORK_INQUIRY, kWmUser + 114)                  \
    X(UWM_SEND_NETWORK_SETTING, kWmUser + 115)                  \
    X(UWM_SEND_CAMTABLE_INQUIRY, kWmUser + 116)                 \
    X(UWM_SEND_CAMTABLE_SETTING, kWmUser + 117)                 \
    X(UWM_WAIT_FINISHED, kWmUser + 118)                         \
    X(UWM_WAIT_RESPONSE, kWmUser + 119)                         \
    X(UWM_WAIT_OPENED, kWmUser + 120)                           \
    X(UWM_CLEAR_CAMTABLE_BUFFERS, kWmUser + 122)                \
    X(UWM_STORE_CAMERAS, kWmUser + 124)                         \
    X(UWM_STORE_CONTROLLERS, kWmUser + 125)                     \
    X(UWM_STORE_CAMTABLE, kWmUser + 126)                        \
    X(UWM_GET_REPLY_QUEUE, kWmUser + 127)                       \
    X(UWM_GET_CAMERAS, kWmUser + 128)                           \
    X(UWM_GET_CONTROLLERS, kWmUser + 129)                       \
    X(UWM_GET_CAMERA_CHOICES, kWmUser + 130)                    \
    X(UWM_GET_CAMTABLE, kWmUser + 131)                          \
    X(UWM_GET_CAMERA, kWmUser + 132)                            \
    X(UWM_GET_CONTROLLER, kWmUser + 133)                        \
    X(UWM_GET_CAMERAS_IN_RANGE, kWmUser + 134)                  \
    X(UWM_GET_ROW_STATUS, kWmUser + 135)                        \
    X(UWM_GET_USED_ADDRESSES, kWmUser + 136)                    \
    X(UWM_CLEAR_CAMTABLE_ROWS, kWmUser + 137)                   \
    X(UWM_REBUILD_TABLE_GRID, kWmUser + 140)                    \
    X(UWM_SET_STATUS_TEXT, kWmUser + 141)                       \
    X(UWM_PAGE_STATE, kWmUser + 142)                            \
    X(UWM_CHECK_ADDRESS_CONFLICTS, kWmUser + 143)               \
    X(UWM_IMPORT_LINES, kWmUser + 144)                          \
    X(UWM_EXPORT_LINES, kWmUser + 145)                          \
    X(UWM_STORE_CAMTABLE_ENTRY, kWmUser + 146)                  \
    X(UWM_CAN_CLEAR, kWmUser + 147)                             \
    X(UWM_STORE_ROW_STATUS, kWmUser + 148)                      \
    X(UWM_CAN_EDIT_CELL, kWmUser + 149)                         \
    X(UWM_SIMULATE_NETWORK_REPLIES, kWmUser + 200)              \
    X(UWM_SIMULATE_CAMTABLE_REPLY, kWmUser + 201)               \
    X(UWM_GRID_CAN_EDIT_CELL, kWmUser + 28667)                  \
    X(UWM_GRID_ROW_LOCKED, kWmApp + 1019)                       \
    X(UWM_GRID_FILL_CHOICES, kWmApp + 1020)                     \
    X(UWM_GRID_EDIT_DONE, kWmApp + 1021)                        \
    X(UWM_GRID_CHOICE_MADE, kWmApp + 1022)

enum AppMessage : unsigned {
#define KORVO_MESSAGE_ENUM(name, number) name = (number),
    KORVO_MESSAGE_LIST(KORVO_MESSAGE_ENUM)
#undef KORVO_MESSAGE_ENUM
};

// Name of a message number, or nullptr for a number outside the catalogue.
constexpr const char* MessageName(unsigned number)
{
    switch (number) {
#define KORVO_MESSAGE_NAME(name, number) \
    case (number):                       \
        return #name;
        KORVO_MESSAGE_LIST(KORVO_MESSAGE_NAME)
#undef KORVO_MESSAGE_NAME
    }
    return nullptr;
}

// Codes a page reports with UWM_PAGE_STATE.
enum class PageState : int {
    Reset = 0,
    Loaded = 1,
    CheckChanged = 2,
    Settled = 4,
    Edited = 5,
    LoadedReadOnly = 6,
    LoadFailed = 7,
};

}  // namespace korvo
