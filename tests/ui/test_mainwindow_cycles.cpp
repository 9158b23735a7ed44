// The main window's side of the inquiry and apply cycles: merging of network
// replies with its limits and conflict checks, answers to setting requests,
// camera table replies, the pages' data requests, and the simulation.
// Replies are fed through the UDP client's reply analysis on the UI thread,
// the way the simulation does it; every frame the tool sends goes to a
// loopback receiver.
#include "MainWindowTestSupport.h"

#include <QComboBox>
#include <QPushButton>
#include <QTabBar>
#include <QTimer>
#include <QTreeWidget>

#include <algorithm>

#include "camtable/ControllerSettingDlg.h"
#include "mainwindow/MessageArgs.h"
#include "pages/CameraListDlg.h"
#include "pages/ControllerListDlg.h"
#include "platform/DirectMessageTarget.h"
#include "protocol/Simulation.h"
#include "platform/qt/DialogService.h"

using namespace korvo;
using mwtest::NetworkReply;
using mwtest::Settings;
using mwtest::WindowRun;
using mwtest::Feed;
using mwtest::FeedAll;

namespace {

DeviceRecord CameraAt(CKorvoIPSetupDlg& window, int index)
{
    DeviceRecord record;
    record.state = -99;
    window.DataStore()->FindCamera(index, record);
    return record;
}

std::string Formatted(int id, int n)
{
    char text[256];
    std::snprintf(text, sizeof text, LoadText(id).c_str(), n);
    return text;
}

// Page p (1 to 4) of a camera table reply; row n as rowFor(n) gives it.
template <class RowFor>
std::string TablePage(const std::string& controllerMac, int page, RowFor rowFor)
{
    std::vector<CameraTableReplyRow> rows;
    for (int i = 0; i < 28; ++i) {
        rows.push_back(rowFor(28 * (page - 1) + i + 1));
    }
    return BuildCameraTableReply(controllerMac, page, rows);
}

}  // namespace

class MainWindowCyclesTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Every box and dialog of a test is answered by a script.
    void init() { m_dialogs.Install(); }
    void cleanup() { m_dialogs.Remove(); }

    void conflictWithThisComputersAddress()
    {
        WindowRun run(Settings{});
        const std::string host = mwtest::AddressText(run->DataStore()->HostAddress());
        QCOMPARE(host, run->UdpClient()->HostAddress().empty() ? std::string("0.0.0.0")
                                                                : run->UdpClient()->HostAddress());
        FeedAll(*run, {NetworkReply(mwtest::Mac(1), host), NetworkReply(mwtest::Mac(2), "10.9.9.9")});
        QCOMPARE(CameraAt(*run, 0).state, DeviceStatus{1});
        QCOMPARE(CameraAt(*run, 1).state, DeviceStatus{0});
        QCOMPARE(run->CameraPage()->RowCount(), 2);
        QCOMPARE(run->CameraPage()->Grid()->topLevelItem(0)->text(CDeviceListDlg::kColMessage),
                 mwtest::Utf8(10109));
        QCOMPARE(run->CameraPage()->CellText(1, CDeviceListDlg::kColMessage), std::string());
    }

    void twoCamerasOnOneAddressBothGetState1()
    {
        WindowRun run(Settings{});
        FeedAll(*run, {NetworkReply(mwtest::Mac(1), "10.0.0.5", "IPCARD", "first")});
        QCOMPARE(CameraAt(*run, 0).state, DeviceStatus{0});
        QCOMPARE(run->CameraPage()->CellText(0, CDeviceListDlg::kColMessage), std::string());

        FeedAll(*run, {NetworkReply(mwtest::Mac(2), "10.0.0.5"),
                       // the first device again, other values: discarded
                       NetworkReply(mwtest::Mac(1), "10.0.0.99", "IPCARD", "again")});
        QCOMPARE(mwtest::Cameras(*run).size(), std::size_t{2});
        QCOMPARE(CameraAt(*run, 0).state, DeviceStatus{1});
        QCOMPARE(CameraAt(*run, 1).state, DeviceStatus{1});
        QCOMPARE(CameraAt(*run, 0).name, std::string("first"));
        QCOMPARE(mwtest::AddressText(CameraAt(*run, 0).ip), std::string("10.0.0.5"));
        // The Message cell of the row shown first is renewed.
        QCOMPARE(run->CameraPage()->Grid()->topLevelItem(0)->text(CDeviceListDlg::kColMessage),
                 mwtest::Utf8(10109));
        QCOMPARE(run->CameraPage()->Grid()->topLevelItem(1)->text(CDeviceListDlg::kColMessage),
                 mwtest::Utf8(10109));
        QCOMPARE(run->DataStore()->DirectoryCount(), std::size_t{2});
    }

    void readOnlyCameraKeepsState2()
    {
        WindowRun run(Settings{});
        FeedAll(*run, {NetworkReply(mwtest::Mac(1), "10.0.0.7")});
        std::vector<DeviceRecord> cameras = mwtest::Cameras(*run);
        cameras[0].state = 2;
        run->Target()->Send(UWM_STORE_CAMERAS, ToWParam(&cameras), 0);
        QCOMPARE(CameraAt(*run, 0).state, DeviceStatus{2});

        FeedAll(*run, {NetworkReply(mwtest::Mac(2), "10.0.0.7")});
        QCOMPARE(CameraAt(*run, 0).state, DeviceStatus{2});
        QCOMPARE(CameraAt(*run, 1).state, DeviceStatus{1});
    }

    void cameraBeyond112IsCountedButNotShown()
    {
        WindowRun run(Settings{});
        std::vector<std::string> frames;
        for (int i = 0; i < 113; ++i) {
            frames.push_back(NetworkReply(mwtest::Mac(i), "10.1." + std::to_string(i / 200) + "." +
                                                              std::to_string(i % 200 + 1)));
        }
        // Six controllers while the Camera page is shown: stored, not reported.
        for (int i = 0; i < 6; ++i) {
            frames.push_back(NetworkReply(mwtest::Mac(i, 1), "10.2.0." + std::to_string(i + 1), "CONTROLLER"));
        }
        FeedAll(*run, frames);
        QVERIFY(mwtest::WaitUntil([&] { return mwtest::Cameras(*run).size() == 113; }));
        mwtest::Settle(50);
        QCOMPARE(run->StatusText(2), QString::fromStdString(Formatted(10102, 113)));
        QCOMPARE(run->StatusText(0), QStringLiteral("Camera:113"));
        QCOMPARE(run->StatusText(1), QStringLiteral("Controller:6"));
        QCOMPARE(run->CameraPage()->RowCount(), 112);
        QCOMPARE(mwtest::Controllers(*run).size(), std::size_t{6});
        // 112 cameras and 5 controllers are in the directory.
        QCOMPARE(run->DataStore()->DirectoryCount(), std::size_t{117});
    }

    void controllerRepliesIgnoredDuringACameraPageInquiry()
    {
        WindowRun run(Settings{});
        FeedAll(*run, {NetworkReply(mwtest::Mac(1, 1), "10.3.0.1", "CONTROLLER", "C1"),
                       NetworkReply(mwtest::Mac(1), "10.3.0.2")});
        QCOMPARE(mwtest::Controllers(*run).size(), std::size_t{1});
        QCOMPARE(run->StatusText(1), QStringLiteral("Controller:1"));
        QCOMPARE(run->ControllerPage()->RowCount(), 0);  // no rows until its tab is opened

        const std::string frame = BuildNetworkInquiry();
        run->Target()->Send(UWM_SEND_NETWORK_INQUIRY, ToWParam(&frame), 0);
        QVERIFY(!run->AcceptAllDeviceKinds());
        QVERIFY(run->ControllerChoiceStale());
        QCOMPARE(mwtest::Cameras(*run).size(), std::size_t{0});
        QCOMPARE(run->DataStore()->DirectoryCount(), std::size_t{1});  // the controller stays

        FeedAll(*run, {NetworkReply(mwtest::Mac(2, 1), "10.3.0.3", "ST-HUB80", "C2"),
                       NetworkReply(mwtest::Mac(2), "10.3.0.4")});
        const auto controllers = mwtest::Controllers(*run);
        QCOMPARE(controllers.size(), std::size_t{1});
        QCOMPARE(controllers[0].name, std::string("C1"));
        QCOMPARE(mwtest::Cameras(*run).size(), std::size_t{1});
        QCOMPARE(run->StatusText(0), QStringLiteral("Camera:1"));
        QCOMPARE(run->StatusText(1), QStringLiteral("Controller:1"));
        // The inquiry went out (to the loopback receiver): start-up and page.
        QVERIFY(mwtest::WaitUntil([&] { return run.receiver.Drain().size() == 2; }));
    }

    void tableRepliesCountOnlyForTheTargetController()
    {
        Settings settings;
        settings.tableInquiryResponse = 200;
        WindowRun run(settings);
        const std::string m0 = "02-AA-00-00-00-00";
        const std::string m1 = "02-AA-00-00-00-01";
        const std::string known = "02-CC-00-00-00-01";
        FeedAll(*run, {NetworkReply(m0, "10.4.0.1", "CONTROLLER", "C0"),
                       NetworkReply(m1, "10.4.0.2", "CONTROLLER", "C1"), NetworkReply(known, "10.4.1.1")});

        // Nobody answers on the loopback: the read fails after 200 ms.
        run->TabBar()->setCurrentIndex(2);
        CControllerSettingDlg* page = run->TablePage();
        QCOMPARE(run->ActivePageIndex(), 2);
        QCOMPARE(page->TargetControllerIndex(), 0);
        QCOMPARE(run->StatusText(2), mwtest::Utf8(10127));
        QVERIFY(page->Control(IDC_TABLE_REFRESH)->isEnabled());
        QVERIFY(!page->Control(IDC_TABLE_APPLY)->isEnabled());
        QVERIFY(!page->Control(IDC_TABLE_NAME)->isEnabled());
        QVERIFY(!run->IsMenuFlagSet(kFlagExport));

        // A stand-in for the open response wait records what the page passes on.
        platform::RecordingHandler waitHandler;
        platform::DirectMessageTarget wait(&waitHandler);
        page->Target()->Send(UWM_WAIT_OPENED, ToWParam(static_cast<platform::MessageTarget*>(&wait)), 0);
        run->Target()->Send(UWM_CLEAR_CAMTABLE_BUFFERS, 0, 0);

        const auto rowFor = [&](int n) -> CameraTableReplyRow {
            if (n == 1) {
                return {n, known, "10.4.1.1", "k"};  // a listed camera
            }
            if (n == 2) {
                return {n, known, "10.4.1.2", "k"};  // listed MAC, other address
            }
            if (n == 3) {
                return {n, "", "", ""};
            }
            char mac[32];
            std::snprintf(mac, sizeof mac, "00-00-00-00-00-%02X", n);
            return {n, mac, "1.2.3." + std::to_string(n), "cam" + std::to_string(n)};
        };
        for (int p = 1; p <= 4; ++p) {
            Feed(*run, TablePage(m1, p, rowFor));
        }
        QCOMPARE(waitHandler.Count(), std::size_t{0});
        QCOMPARE(run->DataStore()->CameraTableRowCount(1), std::size_t{0});
        const ReceptionTable* reception = run->UdpClient()->GetReceptionTable(1);
        QVERIFY(std::all_of(reception->rows.begin(), reception->rows.end(),
                            [](const CameraTableEntry& r) { return r.flag == 1; }));

        for (int p = 1; p <= 3; ++p) {
            Feed(*run, TablePage(m0, p, rowFor));
        }
        QCOMPARE(waitHandler.ReceivedOf(UWM_WAIT_RESPONSE).size(), std::size_t{3});
        QCOMPARE(run->DataStore()->CameraTableRowCount(0), std::size_t{0});  // incomplete: nothing stored
        Feed(*run, TablePage(m0, 4, rowFor));
        const auto released = waitHandler.ReceivedOf(UWM_WAIT_RESPONSE);
        QCOMPARE(released.size(), std::size_t{4});
        QVERIFY(std::all_of(released.begin(), released.end(),
                            [](const platform::QueuedMessage& m) { return m.wParam == 0; }));
        QCOMPARE(waitHandler.Count(), std::size_t{4});

        std::vector<CameraTableEntry> table;
        run->DataStore()->CopyCameraTable(0, table);
        QCOMPARE(table.size(), std::size_t{112});
        QCOMPARE(table[0].state, DeviceStatus{0});
        QCOMPARE(table[1].state, DeviceStatus{3});
        QCOMPARE(table[2].state, DeviceStatus{0});
        QCOMPARE(table[3].state, DeviceStatus{3});
        QCOMPARE(table[111].state, DeviceStatus{3});
        QCOMPARE(table[111].name, std::string("cam112"));

        page->Target()->Send(UWM_WAIT_OPENED, 0, 0);
    }

    void answersToSettingRequests()
    {
        mwtest::LogCapture log;
        WindowRun run(Settings{});
        const std::string ma = mwtest::Mac(1);
        const std::string mb = mwtest::Mac(2);
        const std::string mc = mwtest::Mac(1, 1);
        FeedAll(*run, {NetworkReply(ma, "10.5.0.1"), NetworkReply(mb, "10.5.0.2"),
                       NetworkReply(mc, "10.5.0.3", "CONTROLLER")});
        QCOMPARE(run->PendingSettingKind(), 0);

        const std::string setting = BuildNetworkSetting(ma, "10.5.0.11", "255.255.255.0", "0.0.0.0", "cam");
        run->Target()->Send(UWM_SEND_NETWORK_SETTING, ToWParam(&setting), 0);
        QCOMPARE(run->PendingSettingKind(), 1);
        QVERIFY(mwtest::WaitUntil([&] {
            const auto got = run.receiver.Drain();
            return std::find(got.begin(), got.end(), setting) != got.end();
        }));
        QCOMPARE(log.Count(setting, CRLog::kSndNetSet), std::size_t{1});

        // An answer of the controller marks no camera (same index 0).
        Feed(*run, BuildAcknowledgement(mc, std::string("ctl")));
        QCOMPARE(CameraAt(*run, 0).state, DeviceStatus{0});
        QCOMPARE(mwtest::Controllers(*run)[0].message, std::string("ctl"));

        Feed(*run, BuildAcknowledgement(ma, std::string("done")));
        Feed(*run, BuildRefusal(mb, std::string("refused")));
        QCOMPARE(CameraAt(*run, 0).state, DeviceStatus{4});
        QCOMPARE(CameraAt(*run, 0).message, std::string("done"));
        QCOMPARE(CameraAt(*run, 1).state, DeviceStatus{5});
        QCOMPARE(CameraAt(*run, 1).message, std::string("refused"));

        const std::string tableSetting = BuildCameraTableSettings(mc, {{4, "", "", ""}}).front();
        run->Target()->Send(UWM_SEND_CAMTABLE_SETTING, ToWParam(&tableSetting), 0);
        QCOMPARE(run->PendingSettingKind(), 2);
        Feed(*run, BuildAcknowledgement(mc, std::string("stored")));
        QCOMPARE(run->DataStore()->CameraTableMessage(0), std::string("stored"));
        QCOMPARE(mwtest::Controllers(*run)[0].message, std::string("ctl"));
        mwtest::Settle(50);  // the posted forward reaches the Camera page, which ignores it
        QCOMPARE(CameraAt(*run, 0).state, DeviceStatus{4});
    }

    void dataRequestsOfThePages()
    {
        mwtest::LogCapture log;
        WindowRun run(Settings{});
        FeedAll(*run, {NetworkReply(mwtest::Mac(1), "10.6.0.1"), NetworkReply(mwtest::Mac(2), "10.6.0.20"),
                       NetworkReply(mwtest::Mac(3), "10.6.1.5", "IPCARD", "ro", "off"),
                       NetworkReply(mwtest::Mac(1, 1), "10.6.0.1", "CONTROLLER")});

        DeviceRecord untouched;
        untouched.name = "keep";
        run->Target()->Send(UWM_GET_CAMERA, 7, ToLParam(&untouched));
        QCOMPARE(untouched.name, std::string("keep"));
        QCOMPARE(log.Count("Camera no is not found", CRLog::kSymptom), std::size_t{1});
        run->Target()->Send(UWM_GET_CAMERA, 1, ToLParam(&untouched));
        QCOMPARE(mwtest::AddressText(untouched.ip), std::string("10.6.0.20"));

        // Used addresses: no device address twice, the own address always.
        const std::string host = mwtest::AddressText(run->DataStore()->HostAddress());
        std::vector<std::string> used = {"10.6.0.1", host};
        run->Target()->Send(UWM_GET_USED_ADDRESSES, ToWParam(&used), 1);
        QCOMPARE(used, (std::vector<std::string>{"10.6.0.1", host, "10.6.0.20", "10.6.1.5", host}));

        // Row status: the read-only camera is 2, the conflicting ones 1.
        std::int32_t status = 0;
        run->Target()->Send(UWM_GET_ROW_STATUS, 2, ToLParam(&status));
        QCOMPARE(status, 2);
        run->Target()->Send(UWM_GET_ROW_STATUS, 0, ToLParam(&status));
        QCOMPARE(status, 1);
        status = 0;
        run->Target()->Send(UWM_GET_ROW_STATUS, 9, ToLParam(&status));
        QCOMPARE(status, 0);

        // Edit permission: mask and gateway follow the version rule.
        std::int32_t editable = -1;
        run->Target()->Send(UWM_CAN_EDIT_CELL, (4u << 16) | 1u, ToLParam(&editable));
        QCOMPARE(editable, CJudge{}.SupportsNetworkSettings("9.87") != 0 ? 1 : 0);
        run->Target()->Send(UWM_CAN_EDIT_CELL, (1u << 16) | 1u, ToLParam(&editable));
        QCOMPARE(editable, 1);

        // Cameras in a range, both ends included.
        const CameraAddressRange range{(10u << 24) | (6u << 16) | (0u << 8) | 1u, 20};
        std::vector<DeviceRecord> inRange;
        run->Target()->Send(UWM_GET_CAMERAS_IN_RANGE, ToWParam(&range), ToLParam(&inRange));
        QCOMPARE(inRange.size(), std::size_t{2});

        // Stored records beyond the list are ignored; conflict results per record.
        std::vector<DeviceRecord> cameras = mwtest::Cameras(*run);
        DeviceRecord extra = cameras[1];
        extra.index = 3;
        cameras.push_back(extra);
        cameras[1].ip = {10, 6, 1, 5};
        cameras[1].state = 0;
        run->Target()->Send(UWM_STORE_CAMERAS, ToWParam(&cameras), 0);
        QCOMPARE(mwtest::Cameras(*run).size(), std::size_t{3});
        std::int32_t results[112] = {};
        run->Target()->Send(UWM_CHECK_ADDRESS_CONFLICTS, ToWParam(&cameras), ToLParam(results));
        QCOMPARE(results[0], 2);  // shares its address with the controller
        QCOMPARE(results[1], 2);  // now shares it with the read-only camera
        QCOMPARE(results[2], 2);
        QCOMPARE(results[3], 0);
        QCOMPARE(CameraAt(*run, 2).state, DeviceStatus{1});
    }

    void cameraPageApplySendsValidRowsAndShowsTheAnswers()
    {
        WindowRun run(Settings{});
        FeedAll(*run, {NetworkReply(mwtest::Mac(1), "10.7.0.1", "IPCARD", "a"),
                       NetworkReply(mwtest::Mac(2), "10.7.0.2", "IPCARD", "b"),
                       NetworkReply(mwtest::Mac(3), "10.7.0.3", "IPCARD", "c")});
        CCameraListDlg* page = run->CameraPage();
        QCOMPARE(page->RowCount(), 3);
        QVERIFY(!page->ApplyButton()->isEnabled());

        // An edit ticks its row and enables Apply.
        page->Grid()->topLevelItem(0)->setText(CDeviceListDlg::kColName, QStringLiteral("newname"));
        QVERIFY(page->IsRowChecked(0));
        QVERIFY(page->ApplyButton()->isEnabled());
        QVERIFY(page->UpdatesPending());
        page->SetRowChecked(1, true);
        page->Grid()->topLevelItem(2)->setText(CDeviceListDlg::kColIp, QStringLiteral("999.1.1.1"));
        QVERIFY(page->IsRowChecked(2));
        QVERIFY(mwtest::WaitUntil([&] { return run.receiver.Drain().size() == 1; }));  // start-up inquiry

        // The first camera answers while the wait runs; the second does not.
        QTimer::singleShot(100, this, [&] { Feed(*run, BuildAcknowledgement(mwtest::Mac(1), std::string("ok"))); });
        page->ApplyButton()->click();

        const auto sent = run.receiver.Drain();
        QCOMPARE(sent.size(), std::size_t{3});
        QCOMPARE(sent[1], BuildNetworkSetting(mwtest::Mac(1), "10.7.0.1", "255.255.255.0", "0.0.0.0", "newname"));
        QCOMPARE(sent[2], BuildNetworkSetting(mwtest::Mac(2), "10.7.0.2", "255.255.255.0", "0.0.0.0", "b"));
        QCOMPARE(run->PendingSettingKind(), 1);

        QCOMPARE(CameraAt(*run, 0).state, DeviceStatus{4});
        QCOMPARE(CameraAt(*run, 0).name, std::string("newname"));
        QCOMPARE(CameraAt(*run, 0).message, std::string("ok"));
        QVERIFY(!page->IsRowChecked(0));
        QCOMPARE(page->Grid()->topLevelItem(0)->text(CDeviceListDlg::kColMessage), mwtest::Utf8(10110));

        QCOMPARE(CameraAt(*run, 1).state, DeviceStatus{5});
        QVERIFY(page->IsRowChecked(1));
        QCOMPARE(page->Grid()->topLevelItem(1)->text(CDeviceListDlg::kColMessage), mwtest::Utf8(10111));

        // The invalid row was not sent; it shows its check result.
        QCOMPARE(CameraAt(*run, 2).state, DeviceStatus{8});
        QVERIFY(!page->IsRowChecked(2));
        QCOMPARE(page->Grid()->topLevelItem(2)->text(CDeviceListDlg::kColMessage), mwtest::Utf8(10138));
        QCOMPARE(page->CellText(2, CDeviceListDlg::kColIp), std::string("10.7.0.3"));  // rewritten from the store

        // Not every device answered: the edits stay pending.
        QVERIFY(page->ApplyButton()->isEnabled());
        QVERIFY(page->UpdatesPending());
    }

    // Apply without a ticked row sends nothing and keeps the selection, but
    // still checks every listed camera for conflicts and renews the Message
    // cells.
    void cameraPageApplyWithoutTickedRows()
    {
        WindowRun run(Settings{});
        FeedAll(*run, {NetworkReply(mwtest::Mac(1), "10.17.0.1"), NetworkReply(mwtest::Mac(2), "10.17.0.2")});
        QVERIFY(mwtest::WaitUntil([&] { return run.receiver.Drain().size() == 1; }));  // start-up inquiry
        std::vector<DeviceRecord> cameras = mwtest::Cameras(*run);
        cameras[1].ip = {10, 17, 0, 1};
        run->Target()->Send(UWM_STORE_CAMERAS, ToWParam(&cameras), 0);
        CCameraListDlg* page = run->CameraPage();
        QCOMPARE(page->CellText(1, CDeviceListDlg::kColMessage), std::string());
        QTreeWidgetItem* selected = page->Grid()->topLevelItem(1);
        page->Grid()->setCurrentItem(selected);
        QVERIFY(selected->isSelected());

        page->Apply();
        QCOMPARE(run.receiver.Drain().size(), std::size_t{1});
        QCOMPARE(CameraAt(*run, 0).state, DeviceStatus{1});
        QCOMPARE(CameraAt(*run, 1).state, DeviceStatus{1});
        QCOMPARE(page->Grid()->topLevelItem(0)->text(CDeviceListDlg::kColMessage), mwtest::Utf8(10109));
        QCOMPARE(page->Grid()->topLevelItem(1)->text(CDeviceListDlg::kColMessage), mwtest::Utf8(10109));
        QVERIFY(selected->isSelected());
        QCOMPARE(page->Grid()->currentItem(), selected);
    }

    void tablePageClearAndApply()
    {
        Settings settings;
        settings.debugUdp = 1;
        WindowRun run(settings);
        QVERIFY(mwtest::WaitUntil([&] { return mwtest::Controllers(*run).size() == 6; }));
        run->TabBar()->setCurrentIndex(2);
        CControllerSettingDlg* page = run->TablePage();
        QCOMPARE(run->StatusText(2), mwtest::Utf8(10126));
        QCOMPARE(page->RowCount(), 112);
        const std::string controllerMac = SimulatedControllerMac(0);

        page->SetRowChecked(0, true);
        page->SetRowChecked(3, true);
        QVERIFY(page->Control(IDC_TABLE_CLEAR)->isEnabled());
        page->Clear();
        std::vector<CameraTableEntry> table;
        run->DataStore()->CopyCameraTable(0, table);
        QVERIFY(table[0].mac.empty() && table[3].mac.empty() && table[3].name.empty());
        QVERIFY(!table[2].mac.empty());
        QCOMPARE(page->CellText(3, CControllerSettingDlg::kColGroup), std::string("Group1-4"));
        QVERIFY(page->CellText(3, CControllerSettingDlg::kColMac).empty());
        QVERIFY(page->IsRowChecked(3));
        QVERIFY(page->Control(IDC_TABLE_APPLY)->isEnabled());
        QVERIFY(page->UpdatesPending());

        // Acknowledged: written, settled, unchecked.
        run.receiver.Drain();
        QTimer::singleShot(100, this,
                           [&] { Feed(*run, BuildAcknowledgement(controllerMac, std::string("stored"))); });
        page->Apply();
        const auto sent = run.receiver.Drain();
        QCOMPARE(sent.size(), std::size_t{1});
        QCOMPARE(sent[0], BuildCameraTableSettings(controllerMac, {{0, "", "", ""}, {3, "", "", ""}}).front());
        QCOMPARE(run->StatusText(2), mwtest::Utf8(10139));
        QCOMPARE(run->DataStore()->CameraTableMessage(0), std::string("stored"));
        QVERIFY(!page->Control(IDC_TABLE_APPLY)->isEnabled());
        QVERIFY(!page->UpdatesPending());
        QVERIFY(!page->AnyChecked());

        // Refused: the edits and check marks stay.
        page->SetRowChecked(5, true);
        page->Clear();
        QTimer::singleShot(100, this, [&] { Feed(*run, BuildRefusal(controllerMac, std::string("no"))); });
        page->Apply();
        QCOMPARE(run->StatusText(2), mwtest::Utf8(10140));
        QVERIFY(page->Control(IDC_TABLE_APPLY)->isEnabled());
        QVERIFY(page->UpdatesPending());
        QVERIFY(page->IsRowChecked(5));
    }

    void changeOfControllerOnTheTablePage()
    {
        Settings settings;
        settings.debugUdp = 1;
        WindowRun run(settings);
        QVERIFY(mwtest::WaitUntil([&] { return mwtest::Controllers(*run).size() == 6; }));
        run->TabBar()->setCurrentIndex(2);
        CControllerSettingDlg* page = run->TablePage();
        auto* choice = static_cast<QComboBox*>(page->Control(IDC_TABLE_CONTROLLER));
        QCOMPARE(choice->count(), 5);
        QCOMPARE(page->TargetControllerIndex(), 0);

        // Controller 1 reports its configuration as read only.
        choice->setCurrentIndex(1);
        QCOMPARE(page->TargetControllerIndex(), 1);
        QCOMPARE(page->MacField(), SimulatedControllerMac(1));
        QCOMPARE(run->StatusText(2), mwtest::Utf8(10108));
        QVERIFY(!page->Control(IDC_TABLE_APPLY)->isEnabled());
        QVERIFY(!page->Control(IDC_TABLE_NAME)->isEnabled());
        QVERIFY(run->IsMenuFlagSet(kFlagExport));
        QVERIFY(!run->IsMenuFlagSet(kFlagImport));
        QCOMPARE(page->GetRowStatus(0), 11);
        page->SetRowChecked(0, true);  // refused
        QVERIFY(!page->IsRowChecked(0));
        QVERIFY(!page->AnyChecked());

        // With updates pending the change asks first; Cancel puts the
        // previous controller back.
        run->Target()->Send(UWM_PAGE_STATE, static_cast<platform::WParam>(PageState::Edited), 0);
        m_dialogs->QueueMessageBoxAnswer(platform::MsgBoxResult::Cancel);
        choice->setCurrentIndex(3);
        QCOMPARE(m_dialogs->Messages().size(), std::size_t{1});
        QCOMPARE(m_dialogs->Messages()[0].text, mwtest::Utf8(10121));
        QCOMPARE(choice->currentIndex(), 1);
        QCOMPARE(page->TargetControllerIndex(), 1);
        QCOMPARE(page->MacField(), SimulatedControllerMac(1));

        m_dialogs->QueueMessageBoxAnswer(platform::MsgBoxResult::Ok);
        choice->setCurrentIndex(3);
        QCOMPARE(m_dialogs->Messages().size(), std::size_t{2});
        QCOMPARE(page->TargetControllerIndex(), 3);
        QCOMPARE(page->MacField(), SimulatedControllerMac(3));
        QCOMPARE(run->StatusText(2), mwtest::Utf8(10126));
        QVERIFY(!page->UpdatesPending());
        QCOMPARE(run->DataStore()->CameraTableRowCount(3), std::size_t{112});
    }

    void simulatedStartSendsNothingAndListsSixAndSix()
    {
        mwtest::LogCapture log;
        Settings settings;
        settings.debugUdp = 1;
        WindowRun run(settings);
        QCOMPARE(run->UdpClient()->SimulationFlag(), 1);
        QVERIFY(mwtest::WaitUntil(
            [&] { return mwtest::Cameras(*run).size() == 6 && mwtest::Controllers(*run).size() == 6; }));
        mwtest::Settle(200);
        QCOMPARE(mwtest::Cameras(*run).size(), std::size_t{6});
        QCOMPARE(mwtest::Controllers(*run).size(), std::size_t{6});
        {
            std::lock_guard<platform::SemaphoreLock> guard(run->ReplyQueueLock());
            QCOMPARE(run->DataStore()->ReplyQueueCount(), std::size_t{61});
        }
        QCOMPARE(run.receiver.Drain().size(), std::size_t{0});
        QCOMPARE(log.Count(BuildNetworkInquiry(), CRLog::kSndNetInq), std::size_t{1});
        QCOMPARE(run->CameraPage()->RowCount(), 6);
        QCOMPARE(run->ControllerPage()->RowCount(), 0);
        QCOMPARE(run->StatusText(0), QStringLiteral("Camera:6"));
        QCOMPARE(run->StatusText(1), QStringLiteral("Controller:6"));
        QCOMPARE(run->DataStore()->DirectoryCount(), std::size_t{11});  // 6 cameras, 5 controllers
        QCOMPARE(run->CameraPage()->CellText(0, CDeviceListDlg::kColMac), std::string("02-00-C0-A8-00-01"));
    }

private:
    mwtest::TestDialogs m_dialogs;
};

MAINWINDOW_TEST_MAIN(MainWindowCyclesTest)
#include "test_mainwindow_cycles.moc"
