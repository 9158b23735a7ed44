// The main window: owner of the three tab pages, the UDP client, the data
// store, the status bar and the menu. It routes the menu commands to the
// page shown, keeps the menu and the page's controls in step with the page
// states, answers the pages' data requests, and drives the inquiry and apply
// cycles: merging of network replies, conflict checks, answers to setting
// requests, camera table replies.
//
// All of its work runs on the user-interface thread. The receive thread and
// the response wait's worker reach it only through its message target.
//
// This platform offers no window system menu, so the About box is reached
// through Help > About; the system command 16 is still understood
// (OnSysCommand) for completeness.
#pragma once

#include <QDialog>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "app/MenuTexts.h"
#include "mainwindow/Messages.h"
#include "model/DeviceRecord.h"
#include "pages/BaseListDialog.h"
#include "platform/MessageTransport.h"
#include "platform/Sync.h"
#include "validation/Judge.h"

class QLabel;
class QMenu;
class QMenuBar;
class QStatusBar;
class QTabBar;

namespace platform {
class QtMessageReceiver;
}

namespace korvo {

class CCameraListDlg;
class CControllerListDlg;
class CControllerSettingDlg;
class CDataCommon;
class CSimulationResponder;
class CUdpClient;

inline constexpr int IDD_KORVOIPSETUP_DIALOG = 1000;
inline constexpr int IDC_TAB = 1905;
inline constexpr int kWindowWidth = 1024;
inline constexpr int kWindowHeight = 720;

class CKorvoIPSetupDlg : public QDialog, public CJudge, public platform::MessageHandler {
    Q_OBJECT

public:
    explicit CKorvoIPSetupDlg(QWidget* parent = nullptr);
    // Pages first, then the receive thread and the UDP client, then the
    // data store.
    ~CKorvoIPSetupDlg() override;

    // The initialisation steps: UI language and menu, socket and receive
    // thread, host address, title, tabs and status panes, placement, timing
    // and simulation settings, start-up inquiry. Call once before exec().
    bool Initialize();

    // This window's address for application messages.
    platform::MessageTarget* Target() const;
    platform::LResult HandleMessage(unsigned message, platform::WParam wParam, platform::LParam lParam) override;

    // Menu command (menu item ids, 57665 Exit included).
    void OnCommand(int commandId);
    // System command: 16 (lowest four bits ignored) opens the About box.
    void OnSysCommand(int commandId);

    // Status pane 0 "<Camera>:%.3s", 1 "<Controller>:%.3s", 2 the text;
    // other panes are logged and empty pane 2.
    void SetStatusText(int pane, const std::string& text);
    // The page state handling for the active page.
    void ApplyPageState(int code);

    // ---- state (also for tests) ----
    CCameraListDlg* CameraPage() const { return m_cameraPage; }
    CControllerListDlg* ControllerPage() const { return m_controllerPage; }
    CControllerSettingDlg* TablePage() const { return m_tablePage; }
    CBaseListDialog* ActivePage() const { return m_activePage; }
    // 0 Camera, 1 Controller, 2 Camera Table.
    int ActivePageIndex() const;
    CUdpClient* UdpClient() const { return m_udp.get(); }
    CDataCommon* DataStore() const { return m_store.get(); }
    platform::SemaphoreLock& ReplyQueueLock() { return m_replyQueueLock; }
    QTabBar* TabBar() const { return m_tab; }
    QMenuBar* MenuBar() const { return m_menuBar; }
    QStatusBar* StatusBar() const { return m_statusBar; }
    QLabel* StatusPane(int pane) const;
    QString StatusText(int pane) const;
    bool IsMenuFlagSet(MenuFlag flag) const { return m_menuFlags[flag]; }
    int PendingSettingKind() const { return m_pendingSettingKind; }
    bool AcceptAllDeviceKinds() const { return m_acceptAllKinds; }
    bool ControllerChoiceStale() const { return m_controllerChoiceStale; }
    const WaitTimings& Timings() const { return m_timings; }
    // The popup menus of the bar and the action of a command id.
    QList<QMenu*> Popups() const;
    QAction* ActionFor(int commandId) const;

    // Runs the address conflict check of one record: 2 when a conflict was
    // found (the record's state is then stored as 1), else 0.
    int CheckAddressConflict(DeviceRecord record);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

public Q_SLOTS:
    // Escape and the dialog's own reject never close the window.
    void reject() override;

private:
    void BuildMenu(UiLanguage language);
    void UpdatePopup(QMenu* menu);
    void SetMenuFlag(MenuFlag flag, bool on) { m_menuFlags[flag] = on; }
    void LayoutWindow();
    void ShowPage(CBaseListDialog* page);
    void OnTabChanged(int index);
    void SwitchToListPage(int index);
    void SwitchToTablePage();
    bool AskChangeList();
    void SelectTabSilently(int index);
    bool ConfirmClose();
    void ShowAbout();
    void SetTitle();

    void ApplyListPageState(int code);
    void ApplyTablePageState(int code);

    // Cycles.
    void StartupInquiry();
    void PageInquiry(const std::string& frame);
    void MergeReplies();
    void HandleAnswer(unsigned message, const DeviceDirectoryEntry* entry, const std::string* text);
    void SendTableInquiry(const std::string& frame);
    void HandleTableReply(int slot);
    void ReevaluateTable(int slot);
    void ReadSettings();

    // Data requests.
    platform::LResult GetRowStatus(int row);
    platform::LResult CanEditCell(int column, int row);
    void GetCameraChoices(int column, std::vector<struct CameraChoiceItem>& out);
    void GetCamerasInRange(const struct CameraAddressRange& range, std::vector<DeviceRecord>& out);
    void StoreRecords(const std::vector<DeviceRecord>& records, bool cameras);
    void ClearTableRows(int slot, const std::uint8_t* flags);

    // Members, in the order of the window's data.
    QStatusBar* m_statusBar = nullptr;
    std::array<QLabel*, 3> m_panes{};
    QTabBar* m_tab = nullptr;
    QMenuBar* m_menuBar = nullptr;
    int m_pendingSettingKind = 0;
    std::array<bool, kMenuFlagCount> m_menuFlags{};
    bool m_layoutSuspended = true;
    CCameraListDlg* m_cameraPage = nullptr;
    CControllerListDlg* m_controllerPage = nullptr;
    CControllerSettingDlg* m_tablePage = nullptr;
    std::unique_ptr<CDataCommon> m_store;
    std::unique_ptr<CUdpClient> m_udp;
    CBaseListDialog* m_activePage = nullptr;
    platform::SemaphoreLock m_replyQueueLock;
    bool m_acceptAllKinds = true;
    bool m_controllerChoiceStale = false;
    int m_windowWidth = kWindowWidth;
    int m_windowHeight = kWindowHeight;
    WaitTimings m_timings;
    std::unique_ptr<CSimulationResponder> m_simulation;
    std::unique_ptr<platform::QtMessageReceiver> m_receiver;
    bool m_initialized = false;
};

}  // namespace korvo
