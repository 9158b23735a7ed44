// The Camera Table tab page (template 1300): the camera table of one network
// controller at a time, read from the controller (Refresh), cleared row by
// row (Clear) and written back (Apply). The tables live in the main window's
// data store; the page reads and writes them through application messages.
#pragma once

#include <string>
#include <vector>

#include "pages/BaseListDialog.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace korvo {

inline constexpr int IDD_CONTROLLER_SETTING = 1300;
inline constexpr int IDC_TABLE_CONTROLLER_LABEL = 1301;
inline constexpr int IDC_TABLE_CONTROLLER = 1302;
inline constexpr int IDC_TABLE_MAC_LABEL = 1303;
inline constexpr int IDC_TABLE_MAC = 1304;
inline constexpr int IDC_TABLE_FILTER = 1305;
inline constexpr int IDC_TABLE_UNUSED = 1306;
inline constexpr int IDC_TABLE_NAME_FRAME = 1307;
inline constexpr int IDC_TABLE_NAME = 1308;
inline constexpr int IDC_TABLE_NAME_FILTER = 1309;
inline constexpr int IDC_TABLE_IP_FRAME = 1310;
inline constexpr int IDC_TABLE_IP = 1311;
inline constexpr int IDC_TABLE_IP_START = 1312;
inline constexpr int IDC_TABLE_IP_DASH = 1313;
inline constexpr int IDC_TABLE_IP_END = 1314;
inline constexpr int IDC_TABLE_REFRESH = 1315;
inline constexpr int IDC_TABLE_AUTO_ASSIGN = 1316;
inline constexpr int IDC_TABLE_COPY = 1317;
inline constexpr int IDC_TABLE_CLEAR = 1318;
inline constexpr int IDC_TABLE_APPLY = 1319;

class CControllerSettingDlg : public CBaseListDialog {
    Q_OBJECT

public:
    enum Column { kColCheck = 0, kColGroup, kColName, kColMac, kColIp, kColMessage, kColumnCount };
    enum class FilterMode { Unused, Name, IpAddress };
    enum class GridMode { Empty, Stored, ClearChecked };

    CControllerSettingDlg(platform::MessageTarget* mainWindow, QWidget* parent);

    PageKind Kind() const override { return PageKind::CameraTable; }

    void Refresh() override;
    // Refresh from its second step on (no question).
    void RefreshWithoutQuestion();
    void Apply() override;
    void Clear();
    void AutoAssign();
    void Copy();

    // Controller choice: up to five controller records, shown as
    // "name (a.b.c.d)"; the first is selected. Empty list: no choice.
    void SetControllerChoices(const std::vector<DeviceRecord>& controllers);
    void ClearControllerChoices();
    // Index (in the controller list) of the chosen controller, or -1.
    int SelectedControllerIndex() const;
    // The page's copy of the chosen controller's record; false when none.
    bool SelectedController(DeviceRecord& record) const;
    QStringList ControllerChoiceTexts() const;

    void SetMacField(const std::string& mac);
    std::string MacField() const;

    // Controller whose camera table replies count.
    int TargetControllerIndex() const { return m_targetIndex; }
    int TableSize() const { return m_tableSize; }
    int GroupSize() const { return m_groupSize; }
    FilterMode Filter() const;

    // "Group%d-%d" of a table index in the current layout.
    std::string GroupText(int tableIndex) const;
    // Rebuilds the grid; true when the clear-checked mode cleared a row.
    bool RebuildGrid(GridMode mode);
    // Checked rows with a MAC address (recounted).
    int CountCheckedWithMac();

    // Camera ordering for choice lists: keeps the first table-size records,
    // sorts by IP address (byIp) or by name, drops empty keys.
    void OrderCameras(std::vector<DeviceRecord>& cameras, bool byIp) const;

    // Enables the filter fields for the selected filter mode.
    void EnableFilterFields(bool enabled);

protected:
    void InitGridColumns() override;
    void LayoutControls() override;
    platform::LResult HandlePageMessage(unsigned message, platform::WParam wParam, platform::LParam lParam,
                                        bool& handled) override;

private:
    void OnControllerChanged(int comboIndex);
    void OnFilterModeChanged();
    void CheckLastOctet();
    void ShowEntry(int row, const CameraTableEntry& entry);
    void WriteRowsBack(bool resetStatus);
    void ForwardToWait(platform::WParam failure);
    void SetTableShape(const std::string& model);

    QLabel* m_controllerLabel = nullptr;
    QComboBox* m_controller = nullptr;
    QLabel* m_macLabel = nullptr;
    QLineEdit* m_mac = nullptr;
    QGroupBox* m_filter = nullptr;
    QRadioButton* m_unused = nullptr;
    QRadioButton* m_byName = nullptr;
    QLineEdit* m_nameFilter = nullptr;
    QRadioButton* m_byIp = nullptr;
    QLineEdit* m_ipStart = nullptr;
    QLabel* m_dash = nullptr;
    QLineEdit* m_ipEnd = nullptr;
    QPushButton* m_refresh = nullptr;
    QPushButton* m_autoAssign = nullptr;
    QPushButton* m_copy = nullptr;
    QPushButton* m_clear = nullptr;
    QPushButton* m_apply = nullptr;

    std::vector<DeviceRecord> m_controllers;
    int m_targetIndex = 0;
    int m_tableSize = 100;
    int m_groupSize = 10;
};

}  // namespace korvo
