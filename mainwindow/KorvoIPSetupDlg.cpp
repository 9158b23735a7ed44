#include "mainwindow/KorvoIPSetupDlg.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTabBar>
#include <QTreeWidget>

#include <algorithm>
#include <cstdio>

#include "app/AboutDlg.h"
#include "app/AppIcon.h"
#include "app/KorvoIPSetup.h"
#include "app/StringTable.h"
#include "camtable/ControllerSettingDlg.h"
#include "files/DiagLog.h"
#include "mainwindow/MessageArgs.h"
#include "model/DataCommon.h"
#include "pages/CameraListDlg.h"
#include "pages/ControllerListDlg.h"
#include "platform/qt/DialogService.h"
#include "platform/qt/QtMessageTransport.h"
#include "protocol/Frames.h"
#include "protocol/Simulation.h"
#include "protocol/UdpClient.h"

namespace korvo {

namespace {

constexpr const char* kUnit = "KorvoIPSetupDlg";
constexpr std::size_t kShownCameras = 112;
constexpr std::size_t kShownControllers = 5;

std::string Format(const char* format, int value)
{
    char text[256];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string FormatAddress(const Address4& a)
{
    char text[32];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", a[0], a[1], a[2], a[3]);
    return text;
}

Address4 AddressFromText(const std::string& text)
{
    Address4 a{};
    if (text.empty()) {
        return a;
    }
    unsigned p[4] = {0, 0, 0, 0};
    if (std::sscanf(text.c_str(), "%u.%u.%u.%u", &p[0], &p[1], &p[2], &p[3]) == 4) {
        for (int i = 0; i < 4; ++i) {
            a[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(p[i] & 0xFF);
        }
    }
    return a;
}

bool IsController(const std::string& model)
{
    return model == "CONTROLLER" || model == "ST-HUB80";
}

bool IsExemptFromConflict(DeviceStatus state)
{
    return state == 6 || state == 7 || state == 8;
}

bool KeepsOwnState(DeviceStatus state)
{
    return state == 1 || state == 2 || state == 6 || state == 7 || state == 8;
}

QString Text(int id)
{
    return QString::fromUtf8(LoadText(id));
}

}  // namespace

CKorvoIPSetupDlg::CKorvoIPSetupDlg(QWidget* parent)
    : QDialog(parent), m_receiver(std::make_unique<platform::QtMessageReceiver>(this))
{
    setObjectName(QString::number(IDD_KORVOIPSETUP_DIALOG));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                   Qt::WindowCloseButtonHint);
    setSizeGripEnabled(true);

    m_menuBar = new QMenuBar(this);
    m_tab = new QTabBar(this);
    m_tab->setObjectName(QString::number(IDC_TAB));
    m_tab->setExpanding(false);

    // Window creation: the pages in the order Camera, Controller, Camera
    // Table (the Camera page selects the UI language), then the status bar.
    m_cameraPage = new CCameraListDlg(Target(), this);
    m_controllerPage = new CControllerListDlg(Target(), this);
    m_tablePage = new CControllerSettingDlg(Target(), this);
    m_cameraPage->hide();
    m_controllerPage->hide();
    m_tablePage->hide();

    m_statusBar = new QStatusBar(this);
    m_statusBar->setSizeGripEnabled(false);
    for (std::size_t i = 0; i < m_panes.size(); ++i) {
        m_panes[i] = new QLabel(m_statusBar);
        m_panes[i]->setObjectName(QStringLiteral("pane%1").arg(i));
        m_statusBar->addWidget(m_panes[i]);
    }

    m_store = std::make_unique<CDataCommon>();
    m_udp = std::make_unique<CUdpClient>(Target(), m_store.get(), &m_replyQueueLock);
    m_simulation = std::make_unique<CSimulationResponder>(&m_udp->Analysis());

    connect(m_tab, &QTabBar::currentChanged, this, &CKorvoIPSetupDlg::OnTabChanged);
}

CKorvoIPSetupDlg::~CKorvoIPSetupDlg()
{
    // No more messages: posts are dropped, a receive thread waiting in a
    // send is released.
    m_receiver->Close();
    m_activePage = nullptr;
    delete m_tablePage;
    delete m_controllerPage;
    delete m_cameraPage;
    m_tablePage = nullptr;
    m_controllerPage = nullptr;
    m_cameraPage = nullptr;
    if (m_udp) {
        m_udp->StopReceiving();
    }
    m_simulation.reset();
    m_udp.reset();
    m_store.reset();
}

platform::MessageTarget* CKorvoIPSetupDlg::Target() const
{
    return m_receiver.get();
}

int CKorvoIPSetupDlg::ActivePageIndex() const
{
    if (m_activePage == m_cameraPage) {
        return 0;
    }
    if (m_activePage == m_controllerPage) {
        return 1;
    }
    if (m_activePage == m_tablePage) {
        return 2;
    }
    return -1;
}

// ---- initialisation ----

bool CKorvoIPSetupDlg::Initialize()
{
    if (m_initialized) {
        return true;
    }
    m_initialized = true;

    // UI language and menu.
    const UiLanguage language = LanguageFromSetting(CKorvoIPSetupApp::Instance().Language());
    SetUiLanguage(language);
    BuildMenu(language);

    // Icon.
    setWindowIcon(AppIcon());

    // Socket and receive thread.
    m_udp->Open();
    m_udp->StartReceiving();

    // The computer's own address.
    m_store->SetHostAddress(AddressFromText(m_udp->HostAddress()));

    SetTitle();

    // Tabs.
    {
        const QSignalBlocker blocker(m_tab);
        m_tab->addTab(Text(10011));
        m_tab->addTab(Text(10012));
        m_tab->addTab(Text(10013));
        m_tab->setCurrentIndex(0);
    }
    m_cameraPage->show();
    m_controllerPage->hide();
    m_tablePage->hide();
    m_activePage = m_cameraPage;
    ApplyPageState(static_cast<int>(PageState::Reset));
    SetStatusText(0, "0");
    SetStatusText(1, "0");
    SetStatusText(2, "");

    // Placement.
    setMinimumSize(m_windowWidth, m_windowHeight);
    resize(m_windowWidth, m_windowHeight);
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().topLeft());
    } else {
        move(0, 0);
    }
    m_layoutSuspended = false;
    LayoutWindow();

    ReadSettings();
    StartupInquiry();
    return true;
}

void CKorvoIPSetupDlg::SetTitle()
{
    char address[32];
    std::snprintf(address, sizeof address, "%.15s", m_udp->HostAddress().c_str());
    setWindowTitle(Text(10001) + QStringLiteral(" (") + QString::fromLatin1(address) + QStringLiteral(")"));
}

void CKorvoIPSetupDlg::ReadSettings()
{
    CKorvoIPSetupApp& app = CKorvoIPSetupApp::Instance();
    m_timings.networkSettingResponse = app.GetProfileInt("NetworkInq", "ResponsTime", 5000);
    m_timings.tableInquiryResponse = app.GetProfileInt("CameraTableInq", "ResponsTime", 2000);
    m_timings.tableInquiryWait = app.GetProfileInt("CameraTableInq", "WaitTime", 0);
    m_timings.tableSettingResponse = app.GetProfileInt("CameraTableSet", "ResponsTime", 10000);
    m_timings.tableSettingWait = app.GetProfileInt("CameraTableSet", "WaitTime", 5000);
    m_udp->SetSimulationFlag(app.GetProfileInt("DebugUdp", "DebugUdpFlg", 0) == 1 ? 1 : 0);
    for (CBaseListDialog* page : {static_cast<CBaseListDialog*>(m_cameraPage),
                                  static_cast<CBaseListDialog*>(m_controllerPage),
                                  static_cast<CBaseListDialog*>(m_tablePage)}) {
        page->SetWaitTimings(m_timings);
    }
}

// ---- menu ----

void CKorvoIPSetupDlg::BuildMenu(UiLanguage language)
{
    m_menuBar->clear();
    for (const MenuPopup& popup : MenuFor(language).popups) {
        QMenu* menu = m_menuBar->addMenu(QString::fromUtf8(popup.text));
        for (const MenuItem& item : popup.items) {
            if (item.kind == MenuItemKind::Separator) {
                menu->addSeparator();
                continue;
            }
            QAction* action = menu->addAction(QString::fromUtf8(item.text));
            action->setData(item.commandId);
            const int id = item.commandId;
            connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
        }
        connect(menu, &QMenu::aboutToShow, this, [this, menu] { UpdatePopup(menu); });
    }
}

void CKorvoIPSetupDlg::UpdatePopup(QMenu* menu)
{
    for (QAction* action : menu->actions()) {
        if (action->isSeparator()) {
            continue;
        }
        const int flag = MenuFlagForCommand(action->data().toInt());
        action->setEnabled(flag < 0 || m_menuFlags[static_cast<std::size_t>(flag)]);
    }
}

QList<QMenu*> CKorvoIPSetupDlg::Popups() const
{
    QList<QMenu*> menus;
    for (QAction* action : m_menuBar->actions()) {
        if (action->menu() != nullptr) {
            menus.push_back(action->menu());
        }
    }
    return menus;
}

QAction* CKorvoIPSetupDlg::ActionFor(int commandId) const
{
    for (QMenu* menu : Popups()) {
        for (QAction* action : menu->actions()) {
            if (!action->isSeparator() && action->data().toInt() == commandId) {
                return action;
            }
        }
    }
    return nullptr;
}

void CKorvoIPSetupDlg::OnCommand(int commandId)
{
    const bool routed = commandId == ID_EDIT_REFRESH || commandId == ID_EDIT_IP_ASSIGN ||
                        commandId == ID_EDIT_AUTO_ASSIGN || commandId == ID_EDIT_COPY || commandId == ID_EDIT_CLEAR ||
                        commandId == ID_EDIT_APPLY;
    if (routed && m_activePage == nullptr) {
        return;  // not initialised yet
    }
    switch (commandId) {
    case ID_FILE_IMPORT:
    case ID_FILE_EXPORT:
        // CSV import and export are not part of this build yet.
        WriteDiagnostic(KORVO_WHERE(kUnit, CRLog::kSymptom), "%s",
                        commandId == ID_FILE_IMPORT ? "Import is not available in this build."
                                                    : "Export is not available in this build.");
        return;
    case ID_APP_EXIT:
        close();
        return;
    case ID_EDIT_REFRESH:
        m_activePage->Target()->Post(UWM_CMD_REFRESH, 0, 0);
        return;
    case ID_EDIT_IP_ASSIGN:
        m_activePage->Target()->Post(UWM_CMD_IP_ASSIGN, 0, 0);
        return;
    case ID_EDIT_AUTO_ASSIGN:
        m_activePage->Target()->Post(UWM_CMD_AUTO_ASSIGN, 0, 0);
        return;
    case ID_EDIT_COPY:
        m_activePage->Target()->Post(UWM_CMD_COPY, 0, 0);
        return;
    case ID_EDIT_CLEAR:
        m_activePage->Target()->Post(UWM_CMD_CLEAR, 0, 0);
        return;
    case ID_EDIT_APPLY:
        m_activePage->Target()->Post(UWM_CMD_APPLY, 0, 0);
        return;
    case ID_LANGUAGE_ENGLISH:
        CKorvoIPSetupApp::Instance().OnLanguageEnglish(this);
        return;
    case ID_LANGUAGE_CHINESE:
        CKorvoIPSetupApp::Instance().OnLanguageChinese(this);
        return;
    case ID_HELP_ABOUT:
        ShowAbout();
        return;
    default:
        return;
    }
}

void CKorvoIPSetupDlg::OnSysCommand(int commandId)
{
    if ((commandId & 0xFFF0) == IDM_ABOUTBOX) {
        ShowAbout();
    }
}

void CKorvoIPSetupDlg::ShowAbout()
{
    CAboutDlg about(this);
    platform::Dialogs().ExecDialog(about);
}

// ---- layout, keys, closing ----

void CKorvoIPSetupDlg::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    LayoutWindow();
}

void CKorvoIPSetupDlg::LayoutWindow()
{
    const int menuHeight = m_menuBar->sizeHint().height();
    m_menuBar->setGeometry(0, 0, width(), menuHeight);
    // The client area lies below the menu bar.
    const int clientWidth = width();
    const int clientHeight = height() - menuHeight;
    const int statusHeight = m_statusBar->sizeHint().height();
    m_statusBar->setGeometry(0, height() - statusHeight, clientWidth, statusHeight);
    m_panes[0]->setFixedWidth(200);
    m_panes[1]->setFixedWidth(200);
    m_panes[2]->setFixedWidth(std::max(0, clientWidth - 20 - 400));
    if (!m_layoutSuspended) {
        m_tab->setGeometry(10, menuHeight + 10, std::max(0, clientWidth - 20), m_tab->sizeHint().height());
        // Each page covers the client area less 20 pixels left and right and
        // 40 at the top and bottom, and lays itself out from there.
        const QRect pageRect(20, menuHeight + 40, std::max(0, clientWidth - 40), std::max(0, clientHeight - 80));
        for (QWidget* page : {static_cast<QWidget*>(m_cameraPage), static_cast<QWidget*>(m_controllerPage),
                              static_cast<QWidget*>(m_tablePage)}) {
            page->setGeometry(pageRect);
        }
    }
}

QLabel* CKorvoIPSetupDlg::StatusPane(int pane) const
{
    return (pane >= 0 && pane < 3) ? m_panes[static_cast<std::size_t>(pane)] : nullptr;
}

QString CKorvoIPSetupDlg::StatusText(int pane) const
{
    QLabel* label = StatusPane(pane);
    return label != nullptr ? label->text() : QString();
}

void CKorvoIPSetupDlg::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        event->accept();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

void CKorvoIPSetupDlg::reject() {}

bool CKorvoIPSetupDlg::ConfirmClose()
{
    const bool pending = m_cameraPage->UpdatesPending() || m_controllerPage->UpdatesPending() ||
                         m_tablePage->UpdatesPending();
    if (!pending) {
        return true;
    }
    return platform::Dialogs().MessageBox(this, Text(10120), platform::MsgBoxButtons::OkCancel,
                                          platform::MsgBoxIcon::Exclamation) == platform::MsgBoxResult::Ok;
}

void CKorvoIPSetupDlg::closeEvent(QCloseEvent* event)
{
    if (!ConfirmClose()) {
        event->ignore();
        return;
    }
    event->accept();
    QDialog::done(QDialog::Rejected);
}

// ---- status bar ----

void CKorvoIPSetupDlg::SetStatusText(int pane, const std::string& text)
{
    char buffer[512];
    switch (pane) {
    case 0:
    case 1:
        std::snprintf(buffer, sizeof buffer, "%s:%.3s", LoadText(pane == 0 ? 10011 : 10012).c_str(), text.c_str());
        m_panes[static_cast<std::size_t>(pane)]->setText(QString::fromUtf8(buffer));
        return;
    case 2:
        m_panes[2]->setText(QString::fromUtf8(text));
        return;
    default:
        WriteDiagnostic(KORVO_WHERE(kUnit, CRLog::kSymptom), "[StatsBar]string error.");
        m_panes[2]->setText(QString());
        return;
    }
}

// ---- tabs ----

void CKorvoIPSetupDlg::ShowPage(CBaseListDialog* page)
{
    for (CBaseListDialog* other : {static_cast<CBaseListDialog*>(m_cameraPage),
                                   static_cast<CBaseListDialog*>(m_controllerPage),
                                   static_cast<CBaseListDialog*>(m_tablePage)}) {
        if (other != page) {
            other->hide();
        }
    }
    page->show();
    m_activePage = page;
}

bool CKorvoIPSetupDlg::AskChangeList()
{
    return platform::Dialogs().MessageBox(this, Text(10123), platform::MsgBoxButtons::OkCancel,
                                          platform::MsgBoxIcon::Exclamation) == platform::MsgBoxResult::Ok;
}

void CKorvoIPSetupDlg::SelectTabSilently(int index)
{
    const QSignalBlocker blocker(m_tab);
    m_tab->setCurrentIndex(index);
}

void CKorvoIPSetupDlg::OnTabChanged(int index)
{
    if (index == 0 || index == 1) {
        SwitchToListPage(index);
    } else if (index == 2) {
        SwitchToTablePage();
    }
}

void CKorvoIPSetupDlg::SwitchToListPage(int index)
{
    CDeviceListDlg* target = index == 0 ? static_cast<CDeviceListDlg*>(m_cameraPage)
                                        : static_cast<CDeviceListDlg*>(m_controllerPage);
    CDeviceListDlg* other = index == 0 ? static_cast<CDeviceListDlg*>(m_controllerPage)
                                       : static_cast<CDeviceListDlg*>(m_cameraPage);
    const int otherTab = index == 0 ? 1 : 0;
    if (other->UpdatesPending()) {
        if (!AskChangeList()) {
            SelectTabSilently(otherTab);
            return;
        }
        other->SetUpdatesPending(false);
    } else if (m_tablePage->UpdatesPending()) {
        if (!AskChangeList()) {
            SelectTabSilently(2);
            return;
        }
        m_tablePage->SetUpdatesPending(false);
        ApplyPageState(static_cast<int>(PageState::Settled));
    }
    if (m_activePage != target) {
        ShowPage(target);
        ApplyPageState(static_cast<int>(PageState::Reset));
        target->Refresh();
        target->setFocus();
    }
}

void CKorvoIPSetupDlg::SwitchToTablePage()
{
    if (m_cameraPage->UpdatesPending()) {
        if (!AskChangeList()) {
            SelectTabSilently(0);
            return;
        }
        m_cameraPage->SetUpdatesPending(false);
        m_cameraPage->Refresh();
    } else if (m_controllerPage->UpdatesPending()) {
        if (!AskChangeList()) {
            SelectTabSilently(1);
            return;
        }
        m_controllerPage->SetUpdatesPending(false);
        m_controllerPage->Refresh();
    }
    if (m_activePage != m_tablePage) {
        ShowPage(m_tablePage);
        if (m_store->ControllerCount() == 0) {
            m_tablePage->Target()->Send(UWM_REBUILD_TABLE_GRID, 1, 0);
            ApplyPageState(static_cast<int>(PageState::Reset));
            SetStatusText(2, LoadText(10136));
        } else {
            ApplyPageState(static_cast<int>(PageState::Loaded));
            if (m_controllerChoiceStale) {
                m_controllerChoiceStale = false;
                std::vector<DeviceRecord> controllers;
                m_store->CopyControllers(controllers);
                if (controllers.size() > kShownControllers) {
                    controllers.resize(kShownControllers);
                }
                m_tablePage->SetMacField(controllers.front().mac);
                m_tablePage->SetControllerChoices(controllers);
                m_tablePage->Refresh();
            }
        }
    }
    m_tablePage->setFocus();
}

// ---- page states ----

void CKorvoIPSetupDlg::ApplyPageState(int code)
{
    if (m_activePage == nullptr) {
        return;
    }
    if (m_activePage == m_tablePage) {
        ApplyTablePageState(code);
    } else {
        ApplyListPageState(code);
    }
}

void CKorvoIPSetupDlg::ApplyListPageState(int code)
{
    auto* page = static_cast<CDeviceListDlg*>(m_activePage);
    switch (static_cast<PageState>(code)) {
    case PageState::Reset:
        page->ApplyButton()->setEnabled(false);
        page->IpAssignButton()->setEnabled(false);
        for (MenuFlag flag : {kFlagExport, kFlagRefresh, kFlagEnglish, kFlagChinese, kFlagAbout}) {
            SetMenuFlag(flag, true);
        }
        for (MenuFlag flag : {kFlagImport, kFlagIpAssign, kFlagAutoAssign, kFlagCopy, kFlagClear, kFlagApply}) {
            SetMenuFlag(flag, false);
        }
        return;
    case PageState::CheckChanged:
        page->IpAssignButton()->setEnabled(page->AnyChecked());
        SetMenuFlag(kFlagIpAssign, page->AnyChecked());
        return;
    case PageState::Settled:
        page->ApplyButton()->setEnabled(false);
        page->SetUpdatesPending(false);
        SetMenuFlag(kFlagApply, false);
        return;
    case PageState::Edited:
        page->ApplyButton()->setEnabled(true);
        page->SetUpdatesPending(true);
        SetMenuFlag(kFlagApply, true);
        return;
    default:
        return;  // Loaded, LoadedReadOnly, LoadFailed and unknown codes
    }
}

void CKorvoIPSetupDlg::ApplyTablePageState(int code)
{
    CControllerSettingDlg* page = m_tablePage;
    const auto control = [page](int id) { return page->Control(id); };
    const auto enable = [&control](std::initializer_list<int> ids, bool on) {
        for (int id : ids) {
            if (QWidget* w = control(id)) {
                w->setEnabled(on);
            }
        }
    };
    const bool camerasExist = m_store->CameraCount() > 0;
    const bool rowChecked = page->AnyChecked();
    const auto canClear = [page] {
        std::int32_t answer = 0;
        page->Target()->Send(UWM_CAN_CLEAR, ToWParam(&answer), 0);
        return answer != 0;
    };
    const auto loadedFlags = [&] {
        SetMenuFlag(kFlagAutoAssign, camerasExist && rowChecked);
        SetMenuFlag(kFlagCopy, rowChecked);
        SetMenuFlag(kFlagClear, rowChecked && page->CheckedWithAddressCount() > 0);
    };
    const auto loadedControls = [&] {
        enable({IDC_TABLE_AUTO_ASSIGN}, camerasExist && rowChecked);
        enable({IDC_TABLE_COPY}, rowChecked);
        enable({IDC_TABLE_CLEAR}, canClear());
    };

    switch (static_cast<PageState>(code)) {
    case PageState::Reset:
        if (QWidget* label = control(IDC_TABLE_CONTROLLER_LABEL)) {
            label->setFocus();
        }
        page->ClearControllerChoices();
        enable({IDC_TABLE_CONTROLLER}, false);
        page->SetMacField("");
        enable({IDC_TABLE_REFRESH, IDC_TABLE_AUTO_ASSIGN, IDC_TABLE_COPY, IDC_TABLE_CLEAR, IDC_TABLE_APPLY, IDC_GRID,
                IDC_TABLE_UNUSED, IDC_TABLE_NAME, IDC_TABLE_IP},
               false);
        page->EnableFilterFields(false);
        SetStatusText(2, "");
        for (MenuFlag flag : {kFlagRefresh, kFlagImport, kFlagExport, kFlagAutoAssign, kFlagCopy, kFlagClear,
                              kFlagApply}) {
            SetMenuFlag(flag, false);
        }
        break;
    case PageState::Loaded:
        enable({IDC_TABLE_CONTROLLER, IDC_TABLE_REFRESH, IDC_GRID, IDC_TABLE_UNUSED, IDC_TABLE_NAME, IDC_TABLE_IP},
               true);
        loadedControls();
        enable({IDC_TABLE_APPLY}, false);
        page->EnableFilterFields(true);
        SetStatusText(2, "");
        SetMenuFlag(kFlagImport, true);
        SetMenuFlag(kFlagExport, true);
        SetMenuFlag(kFlagRefresh, true);
        loadedFlags();
        SetMenuFlag(kFlagApply, false);
        break;
    case PageState::CheckChanged:
        loadedControls();
        loadedFlags();
        break;
    case PageState::Settled:
        enable({IDC_TABLE_CLEAR}, canClear());
        enable({IDC_TABLE_APPLY}, false);
        page->SetUpdatesPending(false);
        SetMenuFlag(kFlagApply, false);
        break;
    case PageState::Edited:
        enable({IDC_TABLE_CLEAR}, canClear());
        enable({IDC_TABLE_APPLY}, true);
        page->SetUpdatesPending(true);
        SetMenuFlag(kFlagApply, true);
        break;
    case PageState::LoadedReadOnly:
    case PageState::LoadFailed:
        if (QWidget* choice = control(IDC_TABLE_CONTROLLER)) {
            choice->setFocus();
        }
        enable({IDC_TABLE_CONTROLLER, IDC_TABLE_REFRESH, IDC_GRID}, true);
        enable({IDC_TABLE_AUTO_ASSIGN, IDC_TABLE_COPY, IDC_TABLE_CLEAR, IDC_TABLE_APPLY, IDC_TABLE_UNUSED,
                IDC_TABLE_NAME, IDC_TABLE_IP},
               false);
        page->EnableFilterFields(false);
        SetMenuFlag(kFlagExport, static_cast<PageState>(code) == PageState::LoadedReadOnly);
        SetMenuFlag(kFlagRefresh, true);
        for (MenuFlag flag : {kFlagImport, kFlagAutoAssign, kFlagCopy, kFlagClear, kFlagApply}) {
            SetMenuFlag(flag, false);
        }
        break;
    default:
        return;  // unknown code: nothing changes
    }
    SetMenuFlag(kFlagEnglish, true);
    SetMenuFlag(kFlagChinese, true);
    SetMenuFlag(kFlagAbout, true);
    SetMenuFlag(kFlagIpAssign, false);
}

// ---- messages ----

platform::LResult CKorvoIPSetupDlg::HandleMessage(unsigned message, platform::WParam wParam, platform::LParam lParam)
{
    switch (message) {
    // Notifications of the UDP client and its receive thread.
    case UWM_NETWORK_INFO:
        MergeReplies();
        return 0;
    case UWM_CAMTABLE_REPLY:
        HandleTableReply(static_cast<int>(wParam));
        return 0;
    case UWM_ACK:
    case UWM_NAK:
        HandleAnswer(message, FromWParam<const DeviceDirectoryEntry>(wParam), FromLParam<const std::string>(lParam));
        return 0;
    case UWM_GET_REPLY_QUEUE: {
        auto* out = FromWParam<std::vector<DeviceRecord>>(wParam);
        if (out != nullptr) {
            std::lock_guard<platform::SemaphoreLock> guard(m_replyQueueLock);
            m_store->CopyReplyQueue(*out);
        }
        return 0;
    }
    case UWM_SIMULATE_NETWORK_REPLIES:
        m_simulation->SimulateNetworkReplies();
        return 0;
    case UWM_SIMULATE_CAMTABLE_REPLY:
        m_simulation->SimulateCameraTablePage(m_tablePage->TargetControllerIndex());
        return 0;

    // Send requests of the response wait.
    case UWM_SEND_NETWORK_INQUIRY:
        if (const auto* frame = FromWParam<const std::string>(wParam)) {
            PageInquiry(*frame);
        }
        return 0;
    case UWM_SEND_NETWORK_SETTING:
        if (const auto* frame = FromWParam<const std::string>(wParam)) {
            m_pendingSettingKind = 1;
            m_udp->SendNetworkSetting(*frame);
        }
        return 0;
    case UWM_SEND_CAMTABLE_INQUIRY:
        if (const auto* frame = FromWParam<const std::string>(wParam)) {
            SendTableInquiry(*frame);
        }
        return 0;
    case UWM_SEND_CAMTABLE_SETTING:
        if (const auto* frame = FromWParam<const std::string>(wParam)) {
            m_pendingSettingKind = 2;
            m_udp->SendCameraTableSetting(*frame);
        }
        return 0;

    // Requests of the pages.
    case UWM_CLEAR_CAMTABLE_BUFFERS:
        m_udp->ClearReceptionTables();
        return 0;
    case UWM_STORE_CAMERAS:
    case UWM_STORE_CONTROLLERS:
        if (const auto* records = FromWParam<const std::vector<DeviceRecord>>(wParam)) {
            StoreRecords(*records, message == UWM_STORE_CAMERAS);
        }
        return 0;
    case UWM_STORE_CAMTABLE:
        if (const auto* entries = FromWParam<const std::vector<CameraTableEntry>>(wParam)) {
            std::vector<CameraTableEntry> table(entries->begin(),
                                                entries->begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(
                                                                       entries->size(), kCameraTableRows)));
            table.resize(kCameraTableRows);
            m_store->StoreCameraTable(table, static_cast<int>(lParam));
        }
        return 0;
    case UWM_GET_CAMERAS:
        if (auto* out = FromWParam<std::vector<DeviceRecord>>(wParam)) {
            m_store->CopyCameras(*out);
        }
        return 0;
    case UWM_GET_CONTROLLERS:
        if (auto* out = FromWParam<std::vector<DeviceRecord>>(wParam)) {
            m_store->CopyControllers(*out);
        }
        return 0;
    case UWM_GET_CAMERA_CHOICES:
        if (auto* out = FromLParam<std::vector<CameraChoiceItem>>(lParam)) {
            GetCameraChoices(static_cast<int>(wParam), *out);
        }
        return 0;
    case UWM_GET_CAMTABLE:
        if (auto* out = FromWParam<std::vector<CameraTableEntry>>(wParam)) {
            m_store->CopyCameraTable(static_cast<int>(lParam), *out);
        }
        return 0;
    case UWM_GET_CAMERA:
    case UWM_GET_CONTROLLER:
        if (auto* out = FromLParam<DeviceRecord>(lParam)) {
            DeviceRecord found;
            const bool cameras = message == UWM_GET_CAMERA;
            const int index = static_cast<int>(wParam);
            if (cameras ? m_store->FindCamera(index, found) : m_store->FindController(index, found)) {
                *out = found;
            } else {
                WriteDiagnostic(KORVO_WHERE(kUnit, CRLog::kSymptom), "%s",
                                cameras ? "Camera no is not found" : "Controller no is not found");
            }
        }
        return 0;
    case UWM_GET_CAMERAS_IN_RANGE:
        if (const auto* range = FromWParam<const CameraAddressRange>(wParam)) {
            if (auto* out = FromLParam<std::vector<DeviceRecord>>(lParam)) {
                GetCamerasInRange(*range, *out);
            }
        }
        return 0;
    case UWM_GET_ROW_STATUS: {
        const platform::LResult status = GetRowStatus(static_cast<int>(wParam));
        if (auto* out = FromLParam<std::int32_t>(lParam); out != nullptr && status != 0) {
            *out = static_cast<std::int32_t>(status);
        }
        return status;
    }
    case UWM_GET_USED_ADDRESSES:
        if (auto* out = FromWParam<std::vector<std::string>>(wParam)) {
            if (lParam == 0) {
                m_store->UsedControllerAddresses(*out);
            } else {
                m_store->UsedCameraAddresses(*out);
            }
        }
        return 0;
    case UWM_CLEAR_CAMTABLE_ROWS:
        ClearTableRows(static_cast<int>(wParam), FromLParam<const std::uint8_t>(lParam));
        return 0;
    case UWM_SET_STATUS_TEXT: {
        const auto* text = FromLParam<const std::string>(lParam);
        SetStatusText(static_cast<int>(wParam), text != nullptr ? *text : std::string());
        return 0;
    }
    case UWM_PAGE_STATE:
        ApplyPageState(static_cast<int>(wParam));
        return 0;
    case UWM_CHECK_ADDRESS_CONFLICTS:
        if (const auto* records = FromWParam<const std::vector<DeviceRecord>>(wParam)) {
            auto* results = FromLParam<std::int32_t>(lParam);
            const std::size_t count = std::min(records->size(), kShownCameras);
            for (std::size_t i = 0; i < count; ++i) {
                const int result = CheckAddressConflict((*records)[i]);
                if (results != nullptr) {
                    results[i] = result;
                }
            }
        }
        return 0;
    case UWM_STORE_CAMTABLE_ENTRY:
        if (const auto* entry = FromWParam<const CameraTableEntry>(wParam)) {
            const int slot = static_cast<int>(lParam);
            if (slot >= 0 && slot < kTableControllers && entry->tableIndex >= 0 &&
                entry->tableIndex < kCameraTableRows) {
                std::vector<CameraTableEntry> table;
                m_store->CopyCameraTable(slot, table);
                if (table.size() == static_cast<std::size_t>(kCameraTableRows)) {
                    table[static_cast<std::size_t>(entry->tableIndex)] = *entry;
                    m_store->StoreCameraTable(table, slot);
                }
            }
        }
        return 0;
    case UWM_STORE_ROW_STATUS:
        if (const auto* record = FromWParam<const DeviceRecord>(wParam)) {
            if (m_activePage == m_cameraPage) {
                m_store->UpdateCamera(*record, 2);
            } else if (m_activePage == m_controllerPage) {
                m_store->UpdateController(*record, 2);
            }
        }
        return 0;
    case UWM_CAN_EDIT_CELL: {
        const platform::LResult editable =
            CanEditCell(static_cast<int>((wParam >> 16) & 0xFFFF), static_cast<int>(wParam & 0xFFFF));
        if (auto* out = FromLParam<std::int32_t>(lParam)) {
            *out = static_cast<std::int32_t>(editable);
        }
        return editable;
    }
    default:
        return 0;
    }
}

// ---- cycles ----

void CKorvoIPSetupDlg::StartupInquiry()
{
    const std::string frame = BuildNetworkInquiry();
    m_controllerChoiceStale = true;
    m_store->ClearCameras();
    m_store->ClearControllers();
    {
        std::lock_guard<platform::SemaphoreLock> guard(m_replyQueueLock);
        m_store->ClearReplyQueue();
        m_store->FilterDirectory(0);
    }
    m_udp->SendNetworkInquiry(frame);
}

void CKorvoIPSetupDlg::PageInquiry(const std::string& frame)
{
    if (m_activePage == m_cameraPage) {
        m_acceptAllKinds = false;
        m_controllerChoiceStale = true;
        m_store->ClearCameras();
        std::lock_guard<platform::SemaphoreLock> guard(m_replyQueueLock);
        m_store->ClearReplyQueue();
        m_store->FilterDirectory(1);
    } else if (m_activePage == m_controllerPage) {
        m_acceptAllKinds = false;
        m_controllerChoiceStale = true;
        m_store->ClearControllers();
        std::lock_guard<platform::SemaphoreLock> guard(m_replyQueueLock);
        m_store->ClearReplyQueue();
        m_store->FilterDirectory(0);
    } else {
        return;
    }
    m_udp->SendNetworkInquiry(frame);
}

void CKorvoIPSetupDlg::MergeReplies()
{
    std::vector<DeviceRecord> queue;
    {
        std::lock_guard<platform::SemaphoreLock> guard(m_replyQueueLock);
        m_store->CopyReplyQueue(queue);
    }
    for (const DeviceRecord& reply : queue) {
        if (reply.pending == 0) {
            continue;
        }
        const bool camera = reply.model == "IPCARD";
        const bool controller = IsController(reply.model);
        CDeviceListDlg* page = nullptr;
        if (camera) {
            page = m_cameraPage;
        } else if (controller) {
            page = m_controllerPage;
        }
        if (page != nullptr && (m_activePage == page || m_acceptAllKinds)) {
            const bool known = camera ? m_store->HasCamera(reply) : m_store->HasController(reply);
            const std::size_t before = camera ? m_store->CameraCount() : m_store->ControllerCount();
            if (!known && before <= kDeviceListMax - 1) {
                if (camera) {
                    m_store->AppendCamera(reply);
                } else {
                    m_store->AppendController(reply);
                }
                const std::size_t n = before + 1;
                const std::size_t shown = camera ? kShownCameras : kShownControllers;
                if (n <= shown) {
                    const auto find = [&](DeviceRecord& out) {
                        return camera ? m_store->FindCamera(static_cast<int>(n - 1), out)
                                      : m_store->FindController(static_cast<int>(n - 1), out);
                    };
                    DeviceRecord added;
                    find(added);
                    CheckAddressConflict(added);
                    find(added);  // with the state the check gave it
                    if (m_activePage == page) {
                        page->Target()->Send(UWM_NETWORK_INFO, ToWParam(&added), 0);
                    }
                    std::lock_guard<platform::SemaphoreLock> guard(m_replyQueueLock);
                    m_store->AddToDirectory(added);
                } else if (m_activePage == page) {
                    SetStatusText(2, Format(LoadText(camera ? 10102 : 10103).c_str(), static_cast<int>(n)));
                }
            }
        }
        std::lock_guard<platform::SemaphoreLock> guard(m_replyQueueLock);
        m_store->ClearPendingFlag(reply.index);
    }
    SetStatusText(0, std::to_string(m_store->CameraCount()));
    SetStatusText(1, std::to_string(m_store->ControllerCount()));
}

int CKorvoIPSetupDlg::CheckAddressConflict(DeviceRecord record)
{
    const bool cameraActive = m_activePage == m_cameraPage;
    const bool controllerActive = m_activePage == m_controllerPage;
    if ((!cameraActive && !controllerActive) || IsExemptFromConflict(record.state)) {
        return 0;
    }
    const bool recordIsCamera = record.model == "IPCARD";
    const bool recordIsController = IsController(record.model);
    bool conflict = false;

    std::vector<DeviceRecord> cameras;
    m_store->CopyCameras(cameras);
    for (DeviceRecord& other : cameras) {
        if (recordIsCamera && other.index == record.index) {
            continue;
        }
        if (IsSameIpAddress(other.ip, record.ip) != kJudgeSameIpAddress) {
            continue;
        }
        conflict = true;
        if (!KeepsOwnState(other.state)) {
            other.state = 1;
            m_store->UpdateCamera(other, 2);
            if (cameraActive) {
                m_cameraPage->Target()->Send(UWM_NETWORK_INFO, ToWParam(&other), 2);
            }
        }
    }
    std::vector<DeviceRecord> controllers;
    m_store->CopyControllers(controllers);
    for (DeviceRecord& other : controllers) {
        if (recordIsController && other.index == record.index) {
            continue;
        }
        if (IsSameIpAddress(other.ip, record.ip) != kJudgeSameIpAddress) {
            continue;
        }
        conflict = true;
        if (!KeepsOwnState(other.state)) {
            other.state = 1;
            m_store->UpdateController(other, 2);
            if (controllerActive) {
                m_controllerPage->Target()->Send(UWM_NETWORK_INFO, ToWParam(&other), 2);
            }
        }
    }
    if (IsSameIpAddress(record.ip, m_store->HostAddress()) == kJudgeSameIpAddress) {
        conflict = true;
    }
    if (!conflict) {
        return 0;
    }
    record.state = 1;
    if (recordIsCamera) {
        m_store->UpdateCamera(record, 0);
    } else {
        m_store->UpdateController(record, 0);
    }
    return 2;
}

void CKorvoIPSetupDlg::HandleAnswer(unsigned message, const DeviceDirectoryEntry* entry, const std::string* text)
{
    if (entry == nullptr || m_activePage == nullptr) {
        return;
    }
    const std::string answer = text != nullptr ? *text : std::string();
    const bool ack = message == UWM_ACK;
    const int index = entry->index;
    const bool isCamera = entry->model == "IPCARD";
    const bool isController = IsController(entry->model);

    if (m_pendingSettingKind == 1) {
        if (isCamera) {
            m_store->SetCameraMessage(index, answer);
        } else {
            m_store->SetControllerMessage(index, answer);
        }
        DeviceRecord record;
        // Only the record of the answering device's own kind is marked.
        if (m_activePage == m_cameraPage && isCamera && m_store->FindCamera(index, record)) {
            record.state = ack ? 4 : 5;
            m_store->UpdateCamera(record, 2);
        }
        if (m_activePage == m_controllerPage) {
            if (isController && m_store->FindController(index, record)) {
                record.state = ack ? 4 : 5;
                m_store->UpdateController(record, 2);
            }
            if (!ack) {
                WriteDiagnostic(KORVO_WHERE(kUnit, CRLog::kFailure), "Detail message:%.1024s", answer.c_str());
            }
            m_controllerPage->Target()->Post(message, static_cast<platform::WParam>(index), 0);
        }
    } else if (m_pendingSettingKind == 2) {
        if (isController) {
            m_store->SetCameraTableMessage(index, answer);
        }
        m_activePage->Target()->Post(message, static_cast<platform::WParam>(index), 0);
    }
    if (ack) {
        m_activePage->Target()->Send(UWM_ACK, static_cast<platform::WParam>(index), ToLParam(&answer));
    }
}

void CKorvoIPSetupDlg::SendTableInquiry(const std::string& frame)
{
    const int target = m_tablePage->TargetControllerIndex();
    if (target >= 0 && target < kTableControllers) {
        m_store->ClearCameraTable(target);
    }
    m_udp->SendCameraTableInquiry(frame);
}

void CKorvoIPSetupDlg::HandleTableReply(int slot)
{
    if (m_activePage == nullptr || slot != m_tablePage->TargetControllerIndex()) {
        return;
    }
    const ReceptionTable* reception = m_udp->GetReceptionTable(slot);
    if (reception == nullptr) {
        return;
    }
    const ReceptionTable copy = *reception;
    const bool complete =
        std::all_of(copy.rows.begin(), copy.rows.end(), [](const CameraTableEntry& row) { return row.flag == 1; });
    if (complete) {
        m_store->StoreCameraTable(copy.rows, slot);
        ReevaluateTable(slot);
    }
    m_activePage->Target()->Send(UWM_WAIT_RESPONSE, 0, 0);
}

void CKorvoIPSetupDlg::ReevaluateTable(int slot)
{
    std::vector<CameraTableEntry> table;
    m_store->CopyCameraTable(slot, table);
    if (table.empty()) {
        return;
    }
    std::vector<DeviceRecord> cameras;
    m_store->CopyCameras(cameras);
    if (cameras.size() > kShownCameras) {
        cameras.resize(kShownCameras);
    }
    for (CameraTableEntry& entry : table) {
        if (entry.mac.empty()) {
            continue;
        }
        const bool known = std::any_of(cameras.begin(), cameras.end(), [&](const DeviceRecord& camera) {
            return IsSameMacAddress(camera.mac, entry.mac) == kJudgeSameMacAddress &&
                   IsSameIpAddress(camera.ip, entry.ip) == kJudgeSameIpAddress;
        });
        entry.state = known ? 0 : 3;
    }
    m_store->StoreCameraTable(table, slot);
}

// ---- data requests ----

void CKorvoIPSetupDlg::StoreRecords(const std::vector<DeviceRecord>& records, bool cameras)
{
    const std::size_t count = cameras ? m_store->CameraCount() : m_store->ControllerCount();
    for (const DeviceRecord& record : records) {
        if (record.index < 0 || static_cast<std::size_t>(record.index) >= count) {
            continue;
        }
        if (cameras) {
            m_store->UpdateCamera(record, 0);
        } else {
            m_store->UpdateController(record, 0);
        }
    }
}

platform::LResult CKorvoIPSetupDlg::GetRowStatus(int row)
{
    if (m_activePage == m_tablePage) {
        if (m_store->ControllerCount() == 0) {
            return 0;
        }
        DeviceRecord controller;
        const int slot = m_tablePage->SelectedControllerIndex();
        if (slot < 0 || !m_store->FindController(slot, controller) || m_store->CameraTableRowCount(slot) == 0) {
            return 12;
        }
        if (controller.writable != 1) {
            return 11;
        }
        const int tableIndex = m_tablePage->ItemDataOfRow(row);
        return tableIndex < 0 ? 0 : m_store->CameraTableRowState(slot, tableIndex);
    }
    const bool cameras = m_activePage == m_cameraPage;
    if (m_activePage == nullptr || (cameras ? m_store->CameraCount() : m_store->ControllerCount()) == 0) {
        return 0;
    }
    const int index = m_activePage->ItemDataOfRow(row);
    DeviceRecord record;
    if (index < 0 || !(cameras ? m_store->FindCamera(index, record) : m_store->FindController(index, record))) {
        return 0;
    }
    if (record.writable != 1) {
        return 2;
    }
    return record.state;
}

platform::LResult CKorvoIPSetupDlg::CanEditCell(int column, int row)
{
    if (m_activePage == m_tablePage || m_activePage == nullptr) {
        return 1;
    }
    if (column == 4 || column == 5) {
        return SupportsNetworkSettings(m_activePage->CellText(row, 6)) != 0 ? 1 : 0;
    }
    return 1;
}

void CKorvoIPSetupDlg::GetCameraChoices(int column, std::vector<CameraChoiceItem>& out)
{
    out.clear();
    std::vector<DeviceRecord> cameras;
    m_store->CopyCameras(cameras);
    m_tablePage->OrderCameras(cameras, column == 4);
    for (const DeviceRecord& camera : cameras) {
        std::string text;
        if (column == 2) {
            text = camera.name;
        } else if (column == 3) {
            text = camera.mac;
        } else {
            text = FormatAddress(camera.ip);
        }
        if (text.empty()) {
            continue;
        }
        out.push_back({camera.index + 1, text.substr(0, 17), camera.mac.substr(0, 17)});
    }
}

void CKorvoIPSetupDlg::GetCamerasInRange(const CameraAddressRange& range, std::vector<DeviceRecord>& out)
{
    out.clear();
    const std::uint8_t first[3] = {static_cast<std::uint8_t>(range.start >> 24),
                                   static_cast<std::uint8_t>(range.start >> 16),
                                   static_cast<std::uint8_t>(range.start >> 8)};
    const unsigned low = range.start & 0xFF;
    std::vector<DeviceRecord> cameras;
    m_store->CopyCameras(cameras);
    for (const DeviceRecord& camera : cameras) {
        if (camera.ip[0] == first[0] && camera.ip[1] == first[1] && camera.ip[2] == first[2] && camera.ip[3] >= low &&
            camera.ip[3] <= range.endOctet) {
            out.push_back(camera);
        }
    }
}

void CKorvoIPSetupDlg::ClearTableRows(int slot, const std::uint8_t* flags)
{
    if (flags == nullptr || slot < 0 || slot >= kTableControllers) {
        return;
    }
    std::vector<CameraTableEntry> table;
    m_store->CopyCameraTable(slot, table);
    if (table.empty()) {
        return;
    }
    for (int row = 0; row < kCameraTableRows; ++row) {
        if (flags[row] == 0) {
            continue;
        }
        const int k = m_tablePage->ItemDataOfRow(row);
        if (k < 0 || static_cast<std::size_t>(k) >= table.size()) {
            continue;
        }
        CameraTableEntry& entry = table[static_cast<std::size_t>(k)];
        entry.name.clear();
        entry.mac.clear();
        entry.ip = {};
        entry.mask = {};
        entry.state = 0;
    }
    m_store->StoreCameraTable(table, slot);
}

}  // namespace korvo
