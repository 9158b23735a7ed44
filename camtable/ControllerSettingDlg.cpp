#include "camtable/ControllerSettingDlg.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTreeWidget>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>

#include "app/StringTable.h"
#include "files/DiagLog.h"
#include "mainwindow/MessageArgs.h"
#include "protocol/Frames.h"

namespace korvo {

namespace {

constexpr const char* kUnit = "ControllerSettingDlg";

std::string FormatAddress(const Address4& a)
{
    char text[32];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", a[0], a[1], a[2], a[3]);
    return text;
}

Address4 ParseAddress(const std::string& text)
{
    Address4 a{};
    if (text.empty()) {
        return a;
    }
    int p[4] = {0, 0, 0, 0};
    std::sscanf(text.c_str(), "%d.%d.%d.%d", &p[0], &p[1], &p[2], &p[3]);
    for (int i = 0; i < 4; ++i) {
        a[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(p[i] & 0xFF);
    }
    return a;
}

QString Latin1(const std::string& text)
{
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

CControllerSettingDlg::CControllerSettingDlg(platform::MessageTarget* mainWindow, QWidget* parent)
    : CBaseListDialog(IDD_CONTROLLER_SETTING, mainWindow, parent)
{
    const auto text = [](int id) { return QString::fromUtf8(LoadText(id)); };
    const auto named = [](QWidget* w, int id) {
        w->setObjectName(QString::number(id));
        return w;
    };
    m_controllerLabel = new QLabel(text(10012), this);
    named(m_controllerLabel, IDC_TABLE_CONTROLLER_LABEL);
    m_controller = new QComboBox(this);
    named(m_controller, IDC_TABLE_CONTROLLER);
    m_macLabel = new QLabel(text(10042), this);
    named(m_macLabel, IDC_TABLE_MAC_LABEL);
    m_mac = new QLineEdit(this);
    m_mac->setReadOnly(true);
    named(m_mac, IDC_TABLE_MAC);

    m_filter = new QGroupBox(text(10058), this);
    named(m_filter, IDC_TABLE_FILTER);
    m_unused = new QRadioButton(text(10059), m_filter);
    named(m_unused, IDC_TABLE_UNUSED);
    m_byName = new QRadioButton(text(10041), m_filter);
    named(m_byName, IDC_TABLE_NAME);
    m_nameFilter = new QLineEdit(m_filter);
    named(m_nameFilter, IDC_TABLE_NAME_FILTER);
    m_byIp = new QRadioButton(text(10043), m_filter);
    named(m_byIp, IDC_TABLE_IP);
    m_ipStart = new QLineEdit(QStringLiteral("192.168.0.101"), m_filter);
    named(m_ipStart, IDC_TABLE_IP_START);
    m_dash = new QLabel(QStringLiteral("-"), m_filter);
    named(m_dash, IDC_TABLE_IP_DASH);
    m_ipEnd = new QLineEdit(QStringLiteral("213"), m_filter);
    named(m_ipEnd, IDC_TABLE_IP_END);
    m_unused->setChecked(true);

    m_refresh = MakeButton(IDC_TABLE_REFRESH, 10027);
    m_autoAssign = MakeButton(IDC_TABLE_AUTO_ASSIGN, 10029);
    m_copy = MakeButton(IDC_TABLE_COPY, 10030);
    m_clear = MakeButton(IDC_TABLE_CLEAR, 10031);
    m_apply = MakeButton(IDC_TABLE_APPLY, 10032);

    connect(m_refresh, &QPushButton::clicked, this, [this] { Refresh(); });
    connect(m_autoAssign, &QPushButton::clicked, this, [this] { AutoAssign(); });
    connect(m_copy, &QPushButton::clicked, this, [this] { Copy(); });
    connect(m_clear, &QPushButton::clicked, this, [this] { Clear(); });
    connect(m_apply, &QPushButton::clicked, this, [this] { Apply(); });
    connect(m_controller, &QComboBox::currentIndexChanged, this, &CControllerSettingDlg::OnControllerChanged);
    for (QRadioButton* radio : {m_unused, m_byName, m_byIp}) {
        connect(radio, &QRadioButton::clicked, this, &CControllerSettingDlg::OnFilterModeChanged);
    }
    connect(m_ipEnd, &QLineEdit::editingFinished, this, &CControllerSettingDlg::CheckLastOctet);
    OnFilterModeChanged();

    FinishInitialisation();
    RebuildGrid(GridMode::Empty);
}

void CControllerSettingDlg::InitGridColumns()
{
    QTreeWidget* grid = Grid();
    grid->setColumnCount(kColumnCount);
    grid->setHeaderLabels({QString(), QString::fromUtf8(LoadText(10047)), QString::fromUtf8(LoadText(10048)),
                           QString::fromUtf8(LoadText(10042)), QString::fromUtf8(LoadText(10043)),
                           QString::fromUtf8(LoadText(10045))});
    const int widths[] = {25, 95, 110, 130, 110};
    for (int column = 0; column < kColMessage; ++column) {
        grid->setColumnWidth(column, widths[column]);
    }
    grid->setColumnWidth(kColMessage, std::max(50, grid->viewport()->width() - 488));
}

void CControllerSettingDlg::LayoutControls()
{
    const int w = width();
    const int h = height();
    m_controllerLabel->setGeometry(20, 10, 80, 20);
    m_controller->setGeometry(20, 32, 200, 22);
    m_macLabel->setGeometry(240, 10, 100, 20);
    m_mac->setGeometry(240, 32, 140, 22);
    m_filter->setGeometry(400, 0, 485, 120);
    m_unused->setGeometry(10, 20, 120, 20);
    m_byName->setGeometry(140, 20, 120, 20);
    m_byIp->setGeometry(280, 20, 150, 20);
    m_nameFilter->setGeometry(140, 50, 120, 22);
    m_ipStart->setGeometry(280, 50, 110, 22);
    m_dash->setGeometry(395, 50, 10, 22);
    m_ipEnd->setGeometry(410, 50, 40, 22);
    Grid()->setGeometry(20, 140, std::max(0, w - 40), std::max(0, h - 190));
    QPushButton* buttons[] = {m_refresh, m_autoAssign, m_copy, m_clear, m_apply};
    for (int i = 0; i < 5; ++i) {
        buttons[i]->setGeometry(w - 500 + 100 * i, h - 30, 80, 20);
    }
}

// ---- controllers ----

void CControllerSettingDlg::SetControllerChoices(const std::vector<DeviceRecord>& controllers)
{
    const QSignalBlocker blocker(m_controller);
    m_controller->clear();
    m_controllers.clear();
    for (const DeviceRecord& record : controllers) {
        if (m_controllers.size() >= static_cast<std::size_t>(kTableControllers)) {
            break;
        }
        m_controllers.push_back(record);
        m_controller->addItem(Latin1(record.name + " (" + FormatAddress(record.ip) + ")"),
                              static_cast<int>(m_controllers.size() - 1));
    }
    if (!m_controllers.empty()) {
        m_controller->setCurrentIndex(0);
        m_controller->setFocus();
    }
}

void CControllerSettingDlg::ClearControllerChoices()
{
    const QSignalBlocker blocker(m_controller);
    m_controller->clear();
    m_controllers.clear();
}

int CControllerSettingDlg::SelectedControllerIndex() const
{
    DeviceRecord record;
    return SelectedController(record) ? record.index : -1;
}

bool CControllerSettingDlg::SelectedController(DeviceRecord& record) const
{
    const int position = m_controller->currentIndex();
    if (position < 0 || static_cast<std::size_t>(position) >= m_controllers.size()) {
        return false;
    }
    record = m_controllers[static_cast<std::size_t>(position)];
    return true;
}

QStringList CControllerSettingDlg::ControllerChoiceTexts() const
{
    QStringList texts;
    for (int i = 0; i < m_controller->count(); ++i) {
        texts.push_back(m_controller->itemText(i));
    }
    return texts;
}

void CControllerSettingDlg::SetMacField(const std::string& mac)
{
    m_mac->setText(Latin1(mac));
}

std::string CControllerSettingDlg::MacField() const
{
    return m_mac->text().toLatin1().toStdString();
}

void CControllerSettingDlg::OnControllerChanged(int comboIndex)
{
    if (comboIndex < 0 || static_cast<std::size_t>(comboIndex) >= m_controllers.size()) {
        return;
    }
    const std::string chosenMac = m_controllers[static_cast<std::size_t>(comboIndex)].mac;
    const std::string shownMac = MacField();
    if (IsSameMacAddress(chosenMac, shownMac) == kJudgeSameMacAddress) {
        return;
    }
    if (UpdatesPending() && !AskOkCancel(10121)) {
        const QSignalBlocker blocker(m_controller);
        for (std::size_t i = 0; i < m_controllers.size(); ++i) {
            if (IsSameMacAddress(m_controllers[i].mac, shownMac) == kJudgeSameMacAddress) {
                m_controller->setCurrentIndex(static_cast<int>(i));
                break;
            }
        }
        return;
    }
    SetMacField(chosenMac);
    RefreshWithoutQuestion();
}

// ---- filter ----

CControllerSettingDlg::FilterMode CControllerSettingDlg::Filter() const
{
    if (m_byName->isChecked()) {
        return FilterMode::Name;
    }
    if (m_byIp->isChecked()) {
        return FilterMode::IpAddress;
    }
    return FilterMode::Unused;
}

void CControllerSettingDlg::EnableFilterFields(bool enabled)
{
    const FilterMode mode = Filter();
    m_nameFilter->setEnabled(enabled && mode == FilterMode::Name);
    m_ipStart->setEnabled(enabled && mode == FilterMode::IpAddress);
    m_ipEnd->setEnabled(enabled && mode == FilterMode::IpAddress);
}

void CControllerSettingDlg::OnFilterModeChanged()
{
    EnableFilterFields(true);
}

void CControllerSettingDlg::CheckLastOctet()
{
    const std::string text = m_ipEnd->text().toLatin1().toStdString();
    bool valid = !text.empty() && text.size() <= 3 &&
                 std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (valid) {
        const int value = std::stoi(text);
        valid = value >= 1 && value <= 254;
    }
    if (!valid) {
        m_ipEnd->setText(QStringLiteral("1"));
    }
}

// ---- grid ----

std::string CControllerSettingDlg::GroupText(int tableIndex) const
{
    char text[32];
    std::snprintf(text, sizeof text, "Group%d-%d", tableIndex / m_groupSize + 1, tableIndex % m_groupSize + 1);
    return text;
}

void CControllerSettingDlg::SetTableShape(const std::string& model)
{
    const std::string full = "CONTROLLER";
    const bool layout112 = model.size() <= full.size() && full.compare(0, model.size(), model) == 0;
    m_tableSize = layout112 ? 112 : 100;
    m_groupSize = layout112 ? 7 : 10;
}

void CControllerSettingDlg::ShowEntry(int row, const CameraTableEntry& entry)
{
    const bool hasMac = !entry.mac.empty();
    SetCellText(row, kColGroup, GroupText(entry.tableIndex));
    SetCellText(row, kColName, hasMac ? entry.name : std::string());
    SetCellText(row, kColMac, entry.mac);
    SetCellText(row, kColIp, hasMac ? FormatAddress(entry.ip) : std::string());
    SetUiCellText(row, kColMessage, GetStatusText(row));
    RecolourRow(row);
}

bool CControllerSettingDlg::RebuildGrid(GridMode mode)
{
    bool clearedAny = false;
    switch (mode) {
    case GridMode::Empty:
        ClearRows();
        for (int k = 0; k < m_tableSize; ++k) {
            AppendRow(k, {GroupText(k), {}, {}, {}, {}});
        }
        RecountChecks();
        break;
    case GridMode::Stored: {
        std::vector<CameraTableEntry> table;
        SendToMain(UWM_GET_CAMTABLE, ToWParam(&table), SelectedControllerIndex());
        if (table.empty()) {
            break;
        }
        std::vector<bool> checks(static_cast<std::size_t>(RowCount()));
        for (int row = 0; row < RowCount(); ++row) {
            checks[static_cast<std::size_t>(row)] = IsRowChecked(row);
        }
        ClearRows();
        for (int k = 0; k < m_tableSize; ++k) {
            AppendRow(k, {GroupText(k), {}, {}, {}, {}});
            if (static_cast<std::size_t>(k) < checks.size() && checks[static_cast<std::size_t>(k)]) {
                SetRowCheckedSilently(k, true);
            }
        }
        for (int k = 0; k < m_tableSize && static_cast<std::size_t>(k) < table.size(); ++k) {
            CameraTableEntry entry = table[static_cast<std::size_t>(k)];
            entry.tableIndex = k;
            ShowEntry(k, entry);
        }
        RecountChecks();
        break;
    }
    case GridMode::ClearChecked:
        for (int row = 0; row < RowCount(); ++row) {
            if (!IsRowChecked(row)) {
                continue;
            }
            SetCellText(row, kColGroup, GroupText(ItemDataOfRow(row)));
            for (int column = kColName; column <= kColMessage; ++column) {
                SetCellText(row, column, {});
            }
            RecolourRow(row);
            clearedAny = true;
        }
        break;
    }
    Grid()->viewport()->update();
    return clearedAny;
}

int CControllerSettingDlg::CountCheckedWithMac()
{
    RecountChecks();
    return CheckedWithAddressCount();
}

void CControllerSettingDlg::OrderCameras(std::vector<DeviceRecord>& cameras, bool byIp) const
{
    if (cameras.size() > static_cast<std::size_t>(m_tableSize)) {
        cameras.resize(static_cast<std::size_t>(m_tableSize));
    }
    if (byIp) {
        std::stable_sort(cameras.begin(), cameras.end(),
                         [](const DeviceRecord& a, const DeviceRecord& b) { return a.ip < b.ip; });
    } else {
        std::stable_sort(cameras.begin(), cameras.end(), [](const DeviceRecord& a, const DeviceRecord& b) {
            return std::strcmp(a.name.c_str(), b.name.c_str()) < 0;
        });
        std::erase_if(cameras, [](const DeviceRecord& r) { return r.name.empty(); });
    }
}

// ---- messages ----

platform::LResult CControllerSettingDlg::HandlePageMessage(unsigned message, platform::WParam wParam,
                                                           platform::LParam, bool& handled)
{
    handled = true;
    switch (message) {
    case UWM_CMD_AUTO_ASSIGN:
        AutoAssign();
        return 0;
    case UWM_CMD_COPY:
        Copy();
        return 0;
    case UWM_CMD_CLEAR:
        Clear();
        return 0;
    case UWM_ACK:
    case UWM_WAIT_RESPONSE:
        ForwardToWait(0);
        return 0;
    case UWM_NAK:
        ForwardToWait(1);
        return 0;
    case UWM_REBUILD_TABLE_GRID:
        RebuildGrid(wParam == 1 ? GridMode::Empty : GridMode::Stored);
        return 0;
    case UWM_CAN_CLEAR: {
        auto* answer = FromWParam<std::int32_t>(wParam);
        const int count = CountCheckedWithMac();
        if (answer != nullptr) {
            *answer = count > 0 ? 1 : 0;
        }
        return 0;
    }
    default:
        handled = false;
        return 0;
    }
}

void CControllerSettingDlg::ForwardToWait(platform::WParam failure)
{
    if (platform::MessageTarget* wait = OpenWait()) {
        wait->Send(UWM_WAIT_RESPONSE, failure, 0);
    }
}

// ---- operations ----

void CControllerSettingDlg::Refresh()
{
    if (UpdatesPending() && !AskOkCancel(10121)) {
        return;
    }
    RefreshWithoutQuestion();
}

void CControllerSettingDlg::RefreshWithoutQuestion()
{
    SendToMain(UWM_CLEAR_CAMTABLE_BUFFERS, 0, 0);
    SetStatusText(2, "");
    DeviceRecord controller;
    if (!SelectedController(controller)) {
        return;
    }
    m_targetIndex = controller.index;
    SetTableShape(controller.model);

    std::vector<std::string> frames;
    for (int page = 1; page <= kCameraTablePages; ++page) {
        frames.push_back(BuildCameraTableInquiry(page));
    }
    const bool failed = RunWait(10106, UWM_SEND_CAMTABLE_INQUIRY, 1, Timings().tableInquiryResponse,
                                Timings().tableInquiryWait, frames);
    int outcome = 0;
    if (failed) {
        RebuildGrid(GridMode::Empty);
        UncheckAll();
        ReportPageState(PageState::LoadFailed);
        outcome = 10127;
    } else {
        RebuildGrid(GridMode::Stored);
        UncheckAll();
        if (controller.writable == 1) {
            ReportPageState(PageState::Loaded);
            outcome = 10126;
        } else {
            ReportPageState(PageState::LoadedReadOnly);
            outcome = 10108;
        }
    }
    ReportPageState(PageState::Settled);
    SetStatusText(2, LoadText(outcome));
    ClearSelection();
}

void CControllerSettingDlg::Apply()
{
    SetStatusText(2, "");
    DeviceRecord controller;
    if (!SelectedController(controller)) {
        return;
    }
    std::vector<CameraTableSettingRow> rows;
    for (int k = 0; k < m_tableSize; ++k) {
        for (int row = 0; row < m_tableSize && row < RowCount(); ++row) {
            if (ItemDataOfRow(row) != k) {
                continue;
            }
            if (IsRowChecked(row)) {
                rows.push_back({k, CellText(row, kColMac), CellText(row, kColIp), CellText(row, kColName)});
            }
            break;
        }
    }
    if (rows.empty()) {
        ClearSelection();
        return;
    }
    const std::vector<std::string> frames = BuildCameraTableSettings(controller.mac, rows);
    if (!frames.empty()) {
        const bool failed = RunWait(10124, UWM_SEND_CAMTABLE_SETTING, 3, Timings().tableSettingResponse,
                                    Timings().tableSettingWait, frames);
        int outcome = 10140;
        if (!failed) {
            WriteRowsBack(false);
            outcome = 10139;
            ReportPageState(PageState::Settled);
            UncheckAll();
        }
        SetStatusText(2, LoadText(outcome));
    }
    ClearSelection();
}

void CControllerSettingDlg::WriteRowsBack(bool resetStatus)
{
    const int slot = SelectedControllerIndex();
    std::vector<CameraTableEntry> table;
    SendToMain(UWM_GET_CAMTABLE, ToWParam(&table), slot);
    if (table.empty()) {
        return;
    }
    for (int row = 0; row < m_tableSize && row < RowCount(); ++row) {
        if (!IsRowChecked(row)) {
            continue;
        }
        const int k = ItemDataOfRow(row);
        if (k < 0 || static_cast<std::size_t>(k) >= table.size()) {
            continue;
        }
        CameraTableEntry& entry = table[static_cast<std::size_t>(k)];
        entry.name = CellText(row, kColName).substr(0, kNameMax);
        entry.mac = CellText(row, kColMac);
        entry.ip = ParseAddress(CellText(row, kColIp));
        if (resetStatus) {
            entry.state = 0;
        }
    }
    SendToMain(UWM_STORE_CAMTABLE, ToWParam(&table), slot);
    for (int row = 0; row < RowCount(); ++row) {
        SetUiCellText(row, kColMessage, GetStatusText(row));
        RecolourRow(row);
    }
}

void CControllerSettingDlg::Clear()
{
    SetStatusText(2, "");
    std::array<std::uint8_t, kCameraTableRows> flags{};
    for (int row = 0; row < m_tableSize && row < RowCount(); ++row) {
        flags[static_cast<std::size_t>(row)] = IsRowChecked(row) ? 1 : 0;
    }
    SendToMain(UWM_CLEAR_CAMTABLE_ROWS, static_cast<platform::WParam>(SelectedControllerIndex()),
               ToLParam(flags.data()));
    const bool clearedAny = RebuildGrid(GridMode::ClearChecked);
    RecountChecks();
    if (clearedAny) {
        ReportPageState(PageState::Edited);
    }
}

void CControllerSettingDlg::AutoAssign()
{
    // Automatic camera assignment is not part of this build yet.
    WriteDiagnostic(KORVO_WHERE(kUnit, CRLog::kSymptom), "%s", "Auto assign is not available in this build.");
}

void CControllerSettingDlg::Copy()
{
    // Table information copy is not part of this build yet.
    WriteDiagnostic(KORVO_WHERE(kUnit, CRLog::kSymptom), "%s", "Copy is not available in this build.");
}

}  // namespace korvo
