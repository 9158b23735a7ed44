// Common base of the three tab pages of the main window: the device grid with
// check boxes, the bookkeeping of checked rows, row colours and Message texts
// by device status, the response wait of the page's exchanges, and the relays
// between the page and the main window.
//
// A page talks to the main window only through application messages sent to
// the main window's target (see mainwindow/MessageArgs.h for the arguments).
// The page receives messages through its own target (Target()).
#pragma once

#include <QColor>
#include <QWidget>

#include <memory>
#include <string>
#include <vector>

#include "mainwindow/Messages.h"
#include "model/DeviceRecord.h"
#include "platform/MessageTransport.h"
#include "validation/Judge.h"

class QTreeWidget;
class QTreeWidgetItem;
class QPushButton;

namespace platform {
class QtMessageReceiver;
}

namespace korvo {

// Control id of the grid on every page.
inline constexpr int IDC_GRID = 1701;

enum class PageKind { Camera = 0, Controller = 1, CameraTable = 2 };

// Response and pause times the main window reads from the settings and hands
// to its pages; the pages pass the matching pair to each response wait.
struct WaitTimings {
    int networkSettingResponse = 0;
    int tableInquiryResponse = 0;
    int tableInquiryWait = 0;
    int tableSettingResponse = 0;
    int tableSettingWait = 0;
};

class CBaseListDialog : public QWidget, public CJudge, public platform::MessageHandler {
    Q_OBJECT

public:
    // Message texts and row colours by device status (codes 0 to 13; any
    // other value counts as 0).
    static std::string StatusText(int status);
    static QColor GetStatusColor(int status);

    CBaseListDialog(int templateId, platform::MessageTarget* mainWindow, QWidget* parent);
    ~CBaseListDialog() override;

    virtual PageKind Kind() const = 0;
    int TemplateId() const { return m_templateId; }

    // This page's address for application messages.
    platform::MessageTarget* Target() const;
    platform::LResult HandleMessage(unsigned message, platform::WParam wParam, platform::LParam lParam) override;

    // The child control with a dialog id (its objectName), or nullptr.
    QWidget* Control(int id) const;
    QTreeWidget* Grid() const { return m_grid; }

    // Set and cleared by the main window with the page states Edited/Settled.
    bool UpdatesPending() const { return m_updatesPending; }
    void SetUpdatesPending(bool pending) { m_updatesPending = pending; }
    bool AnyChecked() const { return m_anyChecked; }
    int CheckedWithAddressCount() const { return m_checkedWithAddress; }
    int CheckAllState() const { return m_checkAllState; }

    int RowCount() const;
    // Item data (record index or table index) of the row at display position
    // row; -1 when there is no such row.
    int ItemDataOfRow(int row) const;
    bool IsRowChecked(int row) const;
    void SetRowChecked(int row, bool checked);
    // Cell text as bytes (device texts are Latin-1 in the grid).
    std::string CellText(int row, int column) const;

    bool RowHasStatus(int row) const;
    // Status of a row as the main window reports it; 0 without a main window,
    // for a row outside the grid, or for a value outside 1 to 13.
    int GetRowStatus(int row) const;
    std::string GetStatusText(int row) const;

    void ToggleCheckAll();
    void UncheckAll();

    // The response wait open for this page, or nullptr.
    platform::MessageTarget* OpenWait() const { return m_wait; }

    void SetWaitTimings(const WaitTimings& timings) { m_timings = timings; }
    const WaitTimings& Timings() const { return m_timings; }

    // Commands of the page (buttons and the main window's UWM_CMD_*).
    virtual void Refresh() = 0;
    virtual void Apply() = 0;

protected:
    // Each page inserts its columns; called once at the end of set-up.
    virtual void InitGridColumns() = 0;
    // Page messages beyond the common ones; set handled when consumed.
    virtual platform::LResult HandlePageMessage(unsigned message, platform::WParam wParam,
                                                platform::LParam lParam, bool& handled);
    // A cell text edited by the operator changed (not for column 0).
    virtual void OnCellEdited(int row, int column);
    // Lays the page's controls out in its own rectangle.
    virtual void LayoutControls() = 0;

    void FinishInitialisation();

    platform::LResult SendToMain(unsigned message, platform::WParam wParam, platform::LParam lParam) const;
    void SetStatusText(int pane, const std::string& text) const;
    void ReportPageState(PageState state) const;
    // Asks an OK/Cancel question (exclamation icon); true for OK.
    bool AskOkCancel(int textId);
    void ShowWarning(int textId);

    // Runs the response wait modally for the frames; returns the wait's
    // timed-out flag. The page forgets the wait afterwards.
    bool RunWait(int textId, unsigned sendMessageId, int mode, int responseTime, int pauseTime,
                 const std::vector<std::string>& frames);

    std::string BuildInquiryRequest() const;
    // Set request from the row's cells: MAC 2, IP address 3, mask 4,
    // gateway 5, name 1, taken as they stand.
    std::string BuildSetRequest(int row) const;

    // Grid rows: appends a row with item data and cell texts (bytes) from
    // column 1 on; no check mark.
    QTreeWidgetItem* AppendRow(int itemData, const std::vector<std::string>& texts);
    // Sets a check mark without the bookkeeping; call RecountChecks after.
    void SetRowCheckedSilently(int row, bool checked);
    // Recomputes the any-checked flag and the checked-with-address count
    // from the rows, without notifying the main window.
    void RecountChecks();
    void SetCellText(int row, int column, const std::string& text);
    // A cell that shows a UI text (UTF-8), such as the Message column.
    void SetUiCellText(int row, int column, const std::string& text);
    int RowOfItemData(int itemData) const;
    void ClearRows();
    void ClearSelection();
    // Renews the background colour of every row from its status.
    void RecolourRows();
    void RecolourRow(int row);

    QPushButton* MakeButton(int id, int textId);

    // Suppresses the grid's change notifications while the page fills cells.
    class FillGuard {
    public:
        explicit FillGuard(CBaseListDialog& page) : m_page(page), m_old(page.m_filling) { page.m_filling = true; }
        ~FillGuard() { m_page.m_filling = m_old; }
        FillGuard(const FillGuard&) = delete;
        FillGuard& operator=(const FillGuard&) = delete;

    private:
        CBaseListDialog& m_page;
        bool m_old;
    };

    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

    // Column of the grid whose non-empty text counts a checked row "with
    // address": 3 on every page.
    static constexpr int kAddressColumn = 3;

private:
    void OnItemChanged(QTreeWidgetItem* item, int column);
    void OnHeaderClicked(int section);
    void UpdateHeaderCheck();

    int m_templateId;
    platform::MessageTarget* m_mainWindow;
    std::unique_ptr<platform::QtMessageReceiver> m_receiver;
    QTreeWidget* m_grid = nullptr;
    int m_checkAllState = 0;
    int m_checkedWithAddress = 0;
    bool m_anyChecked = false;
    bool m_updatesPending = false;
    platform::MessageTarget* m_wait = nullptr;
    bool m_initialising = true;
    bool m_filling = false;
    WaitTimings m_timings;
};

}  // namespace korvo
