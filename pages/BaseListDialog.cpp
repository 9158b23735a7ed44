#include "pages/BaseListDialog.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QTreeWidget>
#include <QTreeWidgetItem>

#include <cstdint>

#include "app/StringTable.h"
#include "mainwindow/MessageArgs.h"
#include "platform/qt/DialogService.h"
#include "platform/qt/QtMessageTransport.h"
#include "protocol/Frames.h"
#include "protocol/WaitDlg.h"

namespace korvo {

namespace {

// Item data roles of column 0: the record or table index, and the check
// state last seen by the bookkeeping.
constexpr int kItemDataRole = Qt::UserRole;
constexpr int kSeenCheckRole = Qt::UserRole + 1;

int StatusTextId(int status)
{
    switch (status) {
    case 1: return 10109;
    case 2: return 10108;
    case 3: return 10128;
    case 4: return 10110;
    case 5: return 10111;
    case 6: return 10137;
    case 7: return 10141;
    case 8: return 10138;
    case 9: return 10151;
    case 10: return 10152;
    case 13: return 10130;
    default: return 0;
    }
}

bool IsLockedStatus(int status)
{
    return status == 2 || status == 11 || status == 12;
}

}  // namespace

std::string CBaseListDialog::StatusText(int status)
{
    const int id = StatusTextId(status);
    return id == 0 ? std::string() : LoadText(id);
}

QColor CBaseListDialog::GetStatusColor(int status)
{
    switch (status) {
    case 1: return QColor(255, 100, 100);
    case 2:
    case 11: return QColor(128, 128, 128);
    case 3: return QColor(255, 255, 150);
    default: return QColor(255, 255, 255);
    }
}

CBaseListDialog::CBaseListDialog(int templateId, platform::MessageTarget* mainWindow, QWidget* parent)
    : QWidget(parent),
      m_templateId(templateId),
      m_mainWindow(mainWindow),
      m_receiver(std::make_unique<platform::QtMessageReceiver>(this))
{
    setObjectName(QString::number(templateId));
    m_grid = new QTreeWidget(this);
    m_grid->setObjectName(QString::number(IDC_GRID));
    m_grid->setRootIsDecorated(false);
    m_grid->setItemsExpandable(false);
    m_grid->setUniformRowHeights(true);
    m_grid->setAllColumnsShowFocus(true);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->header()->setSectionsClickable(true);
    m_grid->header()->setStretchLastSection(true);
    connect(m_grid, &QTreeWidget::itemChanged, this, &CBaseListDialog::OnItemChanged);
    connect(m_grid->header(), &QHeaderView::sectionClicked, this, &CBaseListDialog::OnHeaderClicked);
}

CBaseListDialog::~CBaseListDialog()
{
    // No message may reach the page while it is being taken apart.
    m_receiver->Close();
}

platform::MessageTarget* CBaseListDialog::Target() const
{
    return m_receiver.get();
}

QWidget* CBaseListDialog::Control(int id) const
{
    return findChild<QWidget*>(QString::number(id));
}

void CBaseListDialog::FinishInitialisation()
{
    LayoutControls();
    InitGridColumns();
    UpdateHeaderCheck();
    m_initialising = false;
}

platform::LResult CBaseListDialog::HandleMessage(unsigned message, platform::WParam wParam,
                                                 platform::LParam lParam)
{
    bool handled = false;
    const platform::LResult result = HandlePageMessage(message, wParam, lParam, handled);
    if (handled) {
        return result;
    }
    switch (message) {
    case UWM_WAIT_OPENED:
        m_wait = reinterpret_cast<platform::MessageTarget*>(wParam);
        return 0;
    case UWM_CMD_REFRESH:
        Refresh();
        return 0;
    case UWM_CMD_APPLY:
        Apply();
        return 0;
    default:
        return 0;
    }
}

platform::LResult CBaseListDialog::HandlePageMessage(unsigned, platform::WParam, platform::LParam, bool& handled)
{
    handled = false;
    return 0;
}

void CBaseListDialog::OnCellEdited(int, int) {}

platform::LResult CBaseListDialog::SendToMain(unsigned message, platform::WParam wParam,
                                              platform::LParam lParam) const
{
    if (m_mainWindow == nullptr) {
        return 0;
    }
    return m_mainWindow->Send(message, wParam, lParam);
}

void CBaseListDialog::SetStatusText(int pane, const std::string& text) const
{
    SendToMain(UWM_SET_STATUS_TEXT, static_cast<platform::WParam>(pane), ToLParam(&text));
}

void CBaseListDialog::ReportPageState(PageState state) const
{
    SendToMain(UWM_PAGE_STATE, static_cast<platform::WParam>(state), 0);
}

bool CBaseListDialog::AskOkCancel(int textId)
{
    return platform::Dialogs().MessageBox(this, QString::fromUtf8(LoadText(textId)), platform::MsgBoxButtons::OkCancel,
                                          platform::MsgBoxIcon::Exclamation) == platform::MsgBoxResult::Ok;
}

void CBaseListDialog::ShowWarning(int textId)
{
    platform::Dialogs().MessageBox(this, QString::fromUtf8(LoadText(textId)), platform::MsgBoxButtons::Ok,
                                   platform::MsgBoxIcon::Exclamation);
}

bool CBaseListDialog::RunWait(int textId, unsigned sendMessageId, int mode, int responseTime, int pauseTime,
                              const std::vector<std::string>& frames)
{
    CWaitDlg wait(window(), Target(), m_mainWindow);
    wait.SetMessage(QString::fromUtf8(LoadText(textId)));
    wait.SetSendMessageId(sendMessageId);
    wait.SetMode(mode);
    wait.SetResponseTime(responseTime);
    wait.SetPauseTime(pauseTime);
    wait.SetFrames(frames);
    wait.exec();
    const bool timedOut = wait.TimedOut();
    m_wait = nullptr;
    return timedOut;
}

std::string CBaseListDialog::BuildInquiryRequest() const
{
    return BuildNetworkInquiry();
}

std::string CBaseListDialog::BuildSetRequest(int row) const
{
    return BuildNetworkSetting(CellText(row, 2), CellText(row, 3), CellText(row, 4), CellText(row, 5),
                               CellText(row, 1));
}

// ---- rows ----

int CBaseListDialog::RowCount() const
{
    return m_grid->topLevelItemCount();
}

int CBaseListDialog::ItemDataOfRow(int row) const
{
    if (row < 0 || row >= RowCount()) {
        return -1;
    }
    return m_grid->topLevelItem(row)->data(0, kItemDataRole).toInt();
}

int CBaseListDialog::RowOfItemData(int itemData) const
{
    for (int row = 0; row < RowCount(); ++row) {
        if (ItemDataOfRow(row) == itemData) {
            return row;
        }
    }
    return -1;
}

bool CBaseListDialog::IsRowChecked(int row) const
{
    if (row < 0 || row >= RowCount()) {
        return false;
    }
    return m_grid->topLevelItem(row)->checkState(0) == Qt::Checked;
}

void CBaseListDialog::SetRowChecked(int row, bool checked)
{
    if (row < 0 || row >= RowCount()) {
        return;
    }
    m_grid->topLevelItem(row)->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
}

std::string CBaseListDialog::CellText(int row, int column) const
{
    if (row < 0 || row >= RowCount() || column < 0 || column >= m_grid->columnCount()) {
        return {};
    }
    return m_grid->topLevelItem(row)->text(column).toLatin1().toStdString();
}

void CBaseListDialog::SetCellText(int row, int column, const std::string& text)
{
    if (row < 0 || row >= RowCount()) {
        return;
    }
    FillGuard guard(*this);
    m_grid->topLevelItem(row)->setText(column, QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
}

void CBaseListDialog::SetUiCellText(int row, int column, const std::string& text)
{
    if (row < 0 || row >= RowCount()) {
        return;
    }
    FillGuard guard(*this);
    m_grid->topLevelItem(row)->setText(column, QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

QTreeWidgetItem* CBaseListDialog::AppendRow(int itemData, const std::vector<std::string>& texts)
{
    FillGuard guard(*this);
    auto* item = new QTreeWidgetItem();
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setData(0, kItemDataRole, itemData);
    item->setCheckState(0, Qt::Unchecked);
    item->setData(0, kSeenCheckRole, false);
    for (std::size_t i = 0; i < texts.size(); ++i) {
        item->setText(static_cast<int>(i) + 1,
                      QString::fromLatin1(texts[i].data(), static_cast<qsizetype>(texts[i].size())));
    }
    m_grid->addTopLevelItem(item);
    return item;
}

void CBaseListDialog::SetRowCheckedSilently(int row, bool checked)
{
    if (row < 0 || row >= RowCount()) {
        return;
    }
    FillGuard guard(*this);
    QTreeWidgetItem* item = m_grid->topLevelItem(row);
    item->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
    item->setData(0, kSeenCheckRole, checked);
}

void CBaseListDialog::RecountChecks()
{
    m_anyChecked = false;
    m_checkedWithAddress = 0;
    for (int row = 0; row < RowCount(); ++row) {
        if (IsRowChecked(row)) {
            m_anyChecked = true;
            if (!CellText(row, kAddressColumn).empty()) {
                ++m_checkedWithAddress;
            }
        }
    }
}

void CBaseListDialog::ClearRows()
{
    FillGuard guard(*this);
    m_grid->clear();
    m_anyChecked = false;
    m_checkedWithAddress = 0;
}

void CBaseListDialog::ClearSelection()
{
    m_grid->clearSelection();
    m_grid->setCurrentItem(nullptr);
}

void CBaseListDialog::RecolourRow(int row)
{
    if (row < 0 || row >= RowCount()) {
        return;
    }
    FillGuard guard(*this);
    QTreeWidgetItem* item = m_grid->topLevelItem(row);
    const QBrush brush = RowHasStatus(row) ? QBrush(GetStatusColor(GetRowStatus(row))) : QBrush();
    for (int column = 0; column < m_grid->columnCount(); ++column) {
        item->setBackground(column, brush);
    }
}

void CBaseListDialog::RecolourRows()
{
    for (int row = 0; row < RowCount(); ++row) {
        RecolourRow(row);
    }
}

// ---- status ----

bool CBaseListDialog::RowHasStatus(int row) const
{
    return row >= 0 && row < RowCount() && GetRowStatus(row) != 0;
}

int CBaseListDialog::GetRowStatus(int row) const
{
    if (m_mainWindow == nullptr || row < 0 || row >= RowCount()) {
        return 0;
    }
    std::int32_t value = 0;
    SendToMain(UWM_GET_ROW_STATUS, static_cast<platform::WParam>(row), ToLParam(&value));
    const auto status = static_cast<std::int16_t>(value & 0xFFFF);
    return (status >= 1 && status <= 13) ? status : 0;
}

std::string CBaseListDialog::GetStatusText(int row) const
{
    return StatusText(GetRowStatus(row));
}

// ---- check boxes ----

void CBaseListDialog::OnItemChanged(QTreeWidgetItem* item, int column)
{
    if (m_filling || item == nullptr) {
        return;
    }
    const int row = m_grid->indexOfTopLevelItem(item);
    if (row < 0) {
        return;
    }
    if (column != 0) {
        OnCellEdited(row, column);
        return;
    }
    const bool checked = item->checkState(0) == Qt::Checked;
    const bool seen = item->data(0, kSeenCheckRole).toBool();
    if (checked == seen) {
        return;  // another part of the item changed
    }
    {
        FillGuard guard(*this);
        item->setData(0, kSeenCheckRole, checked);
    }

    const int countBefore = m_checkedWithAddress;
    const bool anyBefore = m_anyChecked;
    const bool hasAddress = !CellText(row, kAddressColumn).empty();
    if (checked) {
        if (hasAddress) {
            ++m_checkedWithAddress;
        }
        if (IsLockedStatus(GetRowStatus(row))) {
            item->setCheckState(0, Qt::Unchecked);  // notifies again
        } else {
            m_anyChecked = true;
        }
    } else {
        if (hasAddress) {
            --m_checkedWithAddress;
        }
        bool any = false;
        for (int r = 0; r < RowCount() && !any; ++r) {
            any = IsRowChecked(r);
        }
        if (!any) {
            m_anyChecked = false;
            m_checkedWithAddress = 0;
        }
    }
    if ((countBefore == 0 && m_checkedWithAddress == 1) || (countBefore == 1 && m_checkedWithAddress == 0)) {
        ReportPageState(PageState::CheckChanged);
    }
    if (m_anyChecked != anyBefore) {
        ReportPageState(PageState::CheckChanged);
        m_checkAllState = m_anyChecked ? 1 : 0;
        UpdateHeaderCheck();
    }
}

void CBaseListDialog::OnHeaderClicked(int section)
{
    if (section != 0) {
        return;
    }
    if (RowCount() == 0) {
        return;
    }
    const int first = GetRowStatus(0);
    if (first == 11 || first == 12) {
        return;
    }
    ToggleCheckAll();
}

void CBaseListDialog::ToggleCheckAll()
{
    m_checkAllState = m_checkAllState == 0 ? 1 : 0;
    UpdateHeaderCheck();
    const bool checked = m_checkAllState == 1;
    for (int row = 0; row < RowCount(); ++row) {
        SetRowChecked(row, checked);
    }
}

void CBaseListDialog::UncheckAll()
{
    m_checkAllState = 0;
    UpdateHeaderCheck();
    for (int row = 0; row < RowCount(); ++row) {
        SetRowChecked(row, false);
    }
}

void CBaseListDialog::UpdateHeaderCheck()
{
    if (m_grid->columnCount() == 0) {
        return;
    }
    // The first header shows the check-all state as a box character.
    m_grid->headerItem()->setText(0, m_checkAllState == 1 ? QStringLiteral("\u2611") : QStringLiteral("\u2610"));
}

// ---- layout and keys ----

QPushButton* CBaseListDialog::MakeButton(int id, int textId)
{
    auto* button = new QPushButton(QString::fromUtf8(LoadText(textId)), this);
    button->setObjectName(QString::number(id));
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

void CBaseListDialog::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (!m_initialising) {
        LayoutControls();
    }
}

void CBaseListDialog::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        event->accept();  // never closes the page or presses a button
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

}  // namespace korvo
