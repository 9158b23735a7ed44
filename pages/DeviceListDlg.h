// The device list page shared by the Camera page and the Controller page:
// one grid row per device record of the main window's camera or controller
// list, Refresh (network inquiry), Apply (network setting of the ticked rows)
// and the lines of the list's CSV file.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "pages/BaseListDialog.h"

class QLabel;
class QPushButton;
class QTreeWidgetItem;

namespace korvo {

// What distinguishes the two list pages.
struct DeviceListTraits {
    PageKind kind = PageKind::Camera;
    int templateId = 0;
    int labelId = 0;      // control ids
    int refreshId = 0;
    int ipAssignId = 0;
    int applyId = 0;
    int labelTextId = 0;  // string ids
    int nameTitleId = 0;
    int countPane = 0;    // status pane of the device count
    unsigned getListMessage = 0;
    unsigned storeListMessage = 0;
    unsigned getRecordMessage = 0;
    const char* csvHeader = "";
    bool refuseReadOnlyOnApply = false;  // rows with status 2 are not sent
};

class CDeviceListDlg : public CBaseListDialog {
    Q_OBJECT

public:
    // Grid columns.
    enum Column { kColCheck = 0, kColName, kColMac, kColIp, kColMask, kColGateway, kColVersion, kColMessage, kColumnCount };

    PageKind Kind() const override { return m_traits.kind; }
    const DeviceListTraits& Traits() const { return m_traits; }

    void Refresh() override;
    void Apply() override;
    // IP assign (Auto IP Setup).
    void AutoIpSetup();

    // Fills grid rows from a record: mode 0 appends a row, 1 rewrites the
    // record's row, 2 renews its Message cell.
    void ShowDevice(const DeviceRecord& record, int mode);
    // The lines of the list's CSV file (each ending in a line feed).
    std::vector<std::string> ExportLines() const;

    QPushButton* RefreshButton() const { return m_refresh; }
    QPushButton* IpAssignButton() const { return m_ipAssign; }
    QPushButton* ApplyButton() const { return m_apply; }

protected:
    CDeviceListDlg(const DeviceListTraits& traits, platform::MessageTarget* mainWindow, QWidget* parent);

    void InitGridColumns() override;
    void LayoutControls() override;
    platform::LResult HandlePageMessage(unsigned message, platform::WParam wParam, platform::LParam lParam,
                                        bool& handled) override;
    void OnCellEdited(int row, int column) override;

    // Checks a ticked row's cells; sets the record's state (0 or 6 to 10).
    // 0 when every rule passes, else 1.
    int ValidateRow(int row, DeviceRecord& record) const;

private:
    void OnDoubleClicked(QTreeWidgetItem* item, int column);
    std::vector<std::string> RowTexts(const DeviceRecord& record) const;

    DeviceListTraits m_traits;
    QLabel* m_label = nullptr;
    QPushButton* m_refresh = nullptr;
    QPushButton* m_ipAssign = nullptr;
    QPushButton* m_apply = nullptr;
};

}  // namespace korvo
