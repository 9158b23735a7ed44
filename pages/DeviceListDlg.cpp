#include "pages/DeviceListDlg.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>

#include <cstdio>

#include "app/StringTable.h"
#include "files/DiagLog.h"
#include "mainwindow/MessageArgs.h"

namespace korvo {

namespace {

std::string FormatAddress(const Address4& a)
{
    char text[32];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", a[0], a[1], a[2], a[3]);
    return text;
}

Address4 ParseAddress(const std::string& text)
{
    int p[4] = {0, 0, 0, 0};
    std::sscanf(text.c_str(), "%d.%d.%d.%d", &p[0], &p[1], &p[2], &p[3]);
    Address4 a{};
    for (int i = 0; i < 4; ++i) {
        a[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(p[i] & 0xFF);
    }
    return a;
}

constexpr std::size_t kShownRecords = 112;

}  // namespace

CDeviceListDlg::CDeviceListDlg(const DeviceListTraits& traits, platform::MessageTarget* mainWindow, QWidget* parent)
    : CBaseListDialog(traits.templateId, mainWindow, parent), m_traits(traits)
{
    m_label = new QLabel(QString::fromUtf8(LoadText(traits.labelTextId)), this);
    m_label->setObjectName(QString::number(traits.labelId));
    m_refresh = MakeButton(traits.refreshId, 10027);
    m_ipAssign = MakeButton(traits.ipAssignId, 10028);
    m_apply = MakeButton(traits.applyId, 10032);
    connect(m_refresh, &QPushButton::clicked, this, [this] { Refresh(); });
    connect(m_ipAssign, &QPushButton::clicked, this, [this] { AutoIpSetup(); });
    connect(m_apply, &QPushButton::clicked, this, [this] { Apply(); });
    connect(Grid(), &QTreeWidget::itemDoubleClicked, this, &CDeviceListDlg::OnDoubleClicked);
    FinishInitialisation();
}

void CDeviceListDlg::InitGridColumns()
{
    QTreeWidget* grid = Grid();
    grid->setColumnCount(kColumnCount);
    grid->setHeaderLabels({QString(), QString::fromUtf8(LoadText(m_traits.nameTitleId)),
                           QString::fromUtf8(LoadText(10042)), QString::fromUtf8(LoadText(10043)),
                           QString::fromUtf8(LoadText(10044)), QString::fromUtf8(LoadText(10049)),
                           QString::fromUtf8(LoadText(10050)), QString::fromUtf8(LoadText(10045))});
    const int widths[] = {25, 110, 130, 110, 110, 110, 50};
    for (int column = 0; column < kColMessage; ++column) {
        grid->setColumnWidth(column, widths[column]);
    }
    grid->setColumnWidth(kColMessage, std::max(50, grid->viewport()->width() - 663));
}

void CDeviceListDlg::LayoutControls()
{
    const int w = width();
    const int h = height();
    m_label->setGeometry(20, 10, 80, 20);
    m_refresh->setGeometry(w - 300, h - 30, 80, 20);
    m_ipAssign->setGeometry(w - 200, h - 30, 80, 20);
    m_apply->setGeometry(w - 100, h - 30, 80, 20);
    Grid()->setGeometry(20, 30, std::max(0, w - 40), std::max(0, h - 80));
}

platform::LResult CDeviceListDlg::HandlePageMessage(unsigned message, platform::WParam wParam, platform::LParam lParam,
                                                    bool& handled)
{
    handled = true;
    switch (message) {
    case UWM_CMD_IP_ASSIGN:
        AutoIpSetup();
        return 0;
    case UWM_NETWORK_INFO: {
        const auto* record = FromWParam<const DeviceRecord>(wParam);
        if (record != nullptr && !isHidden()) {
            ShowDevice(*record, static_cast<int>(lParam));
        }
        return 0;
    }
    case UWM_ACK:
    case UWM_NAK: {
        // The answer is recorded by the main window; the page only looks
        // the device up.
        DeviceRecord record;
        SendToMain(m_traits.getRecordMessage, wParam, ToLParam(&record));
        return 0;
    }
    case UWM_EXPORT_LINES: {
        auto* lines = FromWParam<std::vector<std::string>>(wParam);
        if (lines != nullptr) {
            *lines = ExportLines();
        }
        return 0;
    }
    default:
        handled = false;
        return 0;
    }
}

std::vector<std::string> CDeviceListDlg::RowTexts(const DeviceRecord& record) const
{
    return {record.name, record.mac, FormatAddress(record.ip), FormatAddress(record.mask),
            FormatAddress(record.gateway), record.version};
}

void CDeviceListDlg::ShowDevice(const DeviceRecord& record, int mode)
{
    int row = -1;
    if (mode == 0) {
        AppendRow(record.index, RowTexts(record));
        row = RowCount() - 1;
    } else if (mode == 1 || mode == 2) {
        row = RowOfItemData(record.index);
        if (row < 0) {
            return;
        }
        if (mode == 1) {
            const std::vector<std::string> texts = RowTexts(record);
            for (std::size_t i = 0; i < texts.size(); ++i) {
                SetCellText(row, static_cast<int>(i) + 1, texts[i]);
            }
        }
    } else {
        return;
    }
    SetUiCellText(row, kColMessage, GetStatusText(row));
    RecolourRow(row);
}

void CDeviceListDlg::OnDoubleClicked(QTreeWidgetItem* item, int column)
{
    if (column != kColName && column != kColIp && column != kColMask && column != kColGateway) {
        return;
    }
    const int row = Grid()->indexOfTopLevelItem(item);
    const int status = GetRowStatus(row);
    if (status == 2 || status == 11 || status == 12) {
        return;  // the device takes no settings
    }
    std::int32_t editable = 0;
    SendToMain(UWM_CAN_EDIT_CELL, (static_cast<platform::WParam>(column) << 16) | static_cast<platform::WParam>(row),
               ToLParam(&editable));
    if (editable != 0) {
        item->setFlags(item->flags() | Qt::ItemIsEditable);
        Grid()->editItem(item, column);
    }
}

void CDeviceListDlg::OnCellEdited(int row, int column)
{
    if (column != kColName && column != kColIp && column != kColMask && column != kColGateway) {
        return;
    }
    SetRowChecked(row, true);
    if (!m_apply->isEnabled()) {
        ReportPageState(PageState::Edited);
    }
}

void CDeviceListDlg::Refresh()
{
    if (UpdatesPending() && !AskOkCancel(10121)) {
        return;
    }
    const bool wasChecked = AnyChecked();
    ClearRows();
    if (wasChecked) {
        ReportPageState(PageState::CheckChanged);
    }
    SetStatusText(m_traits.countPane, "0");
    SetStatusText(2, "");
    UncheckAll();
    const std::vector<std::string> frames{BuildInquiryRequest()};
    RunWait(10106, UWM_SEND_NETWORK_INQUIRY, 0, 1000, 0, frames);
    ReportPageState(PageState::Settled);
    ClearSelection();
}

int CDeviceListDlg::ValidateRow(int row, DeviceRecord& record) const
{
    const int nameResult = CheckName(CellText(row, kColName));
    if (nameResult != kJudgeValid) {
        record.state = nameResult == kJudgeNameReserved ? 7 : 6;
        return 1;
    }
    const std::string ip = CellText(row, kColIp);
    if (CheckIpAddress(ip) != kJudgeValid) {
        record.state = 8;
        return 1;
    }
    const std::string mask = CellText(row, kColMask);
    if (CheckSubnetMask(mask) != kJudgeValid) {
        record.state = 9;
        return 1;
    }
    if (CheckHostPart(ip, mask) != kJudgeValid) {
        record.state = 8;
        return 1;
    }
    if (CheckGateway(CellText(row, kColGateway)) != kJudgeValid) {
        record.state = 10;
        return 1;
    }
    record.state = 0;
    return 0;
}

void CDeviceListDlg::Apply()
{
    SetStatusText(2, "");
    std::vector<DeviceRecord> copy;
    SendToMain(m_traits.getListMessage, ToWParam(&copy), 0);
    std::array<std::int32_t, kShownRecords> results{};
    const auto inCopy = [&copy](int index) { return index >= 0 && static_cast<std::size_t>(index) < copy.size(); };
    const auto inResults = [](int index) { return index >= 0 && static_cast<std::size_t>(index) < kShownRecords; };

    // Check the ticked rows.
    for (int row = 0; row < RowCount(); ++row) {
        const int index = ItemDataOfRow(row);
        if (IsRowChecked(row) && inCopy(index) && inResults(index)) {
            results[static_cast<std::size_t>(index)] = ValidateRow(row, copy[static_cast<std::size_t>(index)]);
        }
    }
    // Take the edits of the valid rows over.
    int validRows = 0;
    for (int row = 0; row < RowCount(); ++row) {
        if (!IsRowChecked(row)) {
            continue;
        }
        const int index = ItemDataOfRow(row);
        const bool failed = inResults(index) && results[static_cast<std::size_t>(index)] != 0;
        if (failed || (m_traits.refuseReadOnlyOnApply && GetRowStatus(row) == 2)) {
            SetRowChecked(row, false);
            continue;
        }
        if (inCopy(index)) {
            DeviceRecord& record = copy[static_cast<std::size_t>(index)];
            record.ip = ParseAddress(CellText(row, kColIp));
            record.mask = ParseAddress(CellText(row, kColMask));
            record.gateway = ParseAddress(CellText(row, kColGateway));
            record.name = CellText(row, kColName).substr(0, kNameMax);
            ++validRows;
        }
    }
    SendToMain(m_traits.storeListMessage, ToWParam(&copy), 0);
    SendToMain(UWM_CHECK_ADDRESS_CONFLICTS, ToWParam(&copy), ToLParam(results.data()));

    bool conflictTicked = false;
    for (int row = 0; row < RowCount(); ++row) {
        const int index = ItemDataOfRow(row);
        if (IsRowChecked(row) && inResults(index) && results[static_cast<std::size_t>(index)] == 2) {
            conflictTicked = true;
        }
    }
    if (conflictTicked) {
        ShowWarning(10122);
    }
    for (int row = 0; row < RowCount(); ++row) {
        const int index = ItemDataOfRow(row);
        if (inResults(index) && results[static_cast<std::size_t>(index)] > 0 && IsRowChecked(row)) {
            SetRowChecked(row, false);
        }
        DeviceRecord shown;
        shown.index = index;
        ShowDevice(shown, 2);
    }
    if (validRows == 0) {
        return;  // nothing to send; the rows keep their selection
    }

    std::vector<std::string> frames;
    for (int row = 0; row < RowCount(); ++row) {
        const int index = ItemDataOfRow(row);
        if (IsRowChecked(row) && !(inResults(index) && results[static_cast<std::size_t>(index)] != 0)) {
            frames.push_back(BuildSetRequest(row));
        }
    }
    if (!frames.empty()) {
        RunWait(10107, UWM_SEND_NETWORK_SETTING, 2, Timings().networkSettingResponse, 0, frames);

        SendToMain(m_traits.getListMessage, ToWParam(&copy), 0);
        bool everyAnswered = true;
        for (int row = 0; row < RowCount(); ++row) {
            const int index = ItemDataOfRow(row);
            if (!IsRowChecked(row) || !inCopy(index)) {
                continue;
            }
            DeviceRecord& record = copy[static_cast<std::size_t>(index)];
            if (record.state == 4) {
                SetRowChecked(row, false);
            } else if (record.state != 5) {
                record.state = 5;
                everyAnswered = false;
            }
        }
        SendToMain(m_traits.storeListMessage, ToWParam(&copy), 0);
        if (everyAnswered) {
            ReportPageState(PageState::Settled);
        }
        SendToMain(m_traits.getListMessage, ToWParam(&copy), 0);
        for (const DeviceRecord& record : copy) {
            ShowDevice(record, 1);
        }
    }
    ClearSelection();
}

void CDeviceListDlg::AutoIpSetup()
{
    // The range dialog and the assignment are not part of this build yet.
    WriteDiagnostic(KORVO_WHERE("DeviceListDlg", CRLog::kSymptom), "%s",
                    "IP assign is not available in this build.");
}

std::vector<std::string> CDeviceListDlg::ExportLines() const
{
    std::vector<std::string> lines;
    lines.push_back(std::string(m_traits.csvHeader) + "\n");
    for (int row = 0; row < RowCount(); ++row) {
        std::string line;
        for (int column = kColName; column <= kColVersion; ++column) {
            if (column != kColName) {
                line += ',';
            }
            line += CellText(row, column);
        }
        lines.push_back(line + "\n");
    }
    return lines;
}

}  // namespace korvo
