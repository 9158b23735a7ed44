// The main window's message handling beyond the common paths: answers while
// the Controller or Camera Table page is shown, page inquiries and merges per
// active page, the row status and edit permission per page kind, the pages'
// table requests, and the tab switches that involve the Controller page.
// Every frame the tool sends goes to a loopback receiver.
#include "MainWindowTestSupport.h"

#include <QComboBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTabBar>
#include <QTimer>
#include <QTreeWidget>

#include <algorithm>
#include <array>
#include <optional>

#include "camtable/ControllerSettingDlg.h"
#include "mainwindow/MessageArgs.h"
#include "pages/CameraListDlg.h"
#include "pages/ControllerListDlg.h"
#include "platform/DirectMessageTarget.h"
#include "platform/qt/DialogService.h"
#include "protocol/Simulation.h"

using namespace korvo;
using mwtest::NetworkReply;
using mwtest::Settings;
using mwtest::WindowRun;
using mwtest::Feed;
using mwtest::FeedAll;
using mwtest::Simulated;
using mwtest::SendState;

namespace {

std::int32_t RowStatus(CKorvoIPSetupDlg& window, int row)
{
    std::int32_t status = 0;
    window.Target()->Send(UWM_GET_ROW_STATUS, static_cast<platform::WParam>(row), ToLParam(&status));
    return status;
}

std::int32_t CanEdit(CKorvoIPSetupDlg& window, int column, int row)
{
    std::int32_t editable = -1;
    window.Target()->Send(UWM_CAN_EDIT_CELL,
                          (static_cast<platform::WParam>(column) << 16) | static_cast<platform::WParam>(row),
                          ToLParam(&editable));
    return editable;
}

std::string Formatted(int id, int n)
{
    char text[256];
    std::snprintf(text, sizeof text, LoadText(id).c_str(), n);
    return text;
}

}  // namespace

class MainWindowMessagesTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Every box and dialog of a test is answered by a script.
    void init() { m_dialogs.Install(); }
    void cleanup() { m_dialogs.Remove(); }

    // Network setting answers while the Controller page is shown: states 4
    // and 5, the refusal's detail line, the posted forward to the page.
    void answersOnTheControllerPage()
    {
        mwtest::LogCapture log;
        WindowRun run(Simulated());
        QVERIFY(mwtest::WaitUntil([&] { return mwtest::Controllers(*run).size() == 6; }));
        run->TabBar()->setCurrentIndex(1);
        QCOMPARE(run->ActivePageIndex(), 1);
        QVERIFY(mwtest::WaitUntil([&] { return run->ControllerPage()->RowCount() == 5; }));

        const std::string setting = BuildNetworkSetting(SimulatedControllerMac(0), "192.168.0.10", "255.255.255.0",
                                                        "0.0.0.0", "CTL001");
        run->Target()->Send(UWM_SEND_NETWORK_SETTING, ToWParam(&setting), 0);
        QCOMPARE(run->PendingSettingKind(), 1);

        log.Clear();
        Feed(*run, BuildAcknowledgement(SimulatedControllerMac(0), std::string("fine")));
        Feed(*run, BuildRefusal(SimulatedControllerMac(3), std::string("refused here")));
        const auto controllers = mwtest::Controllers(*run);
        QCOMPARE(controllers[0].state, DeviceStatus{4});
        QCOMPARE(controllers[0].message, std::string("fine"));
        QCOMPARE(controllers[3].state, DeviceStatus{5});
        QCOMPARE(controllers[3].message, std::string("refused here"));
        QCOMPARE(controllers[1].state, DeviceStatus{0});
        std::size_t details = 0;
        for (const auto& e : log.Entries()) {
            if (e.text.rfind("Detail message:", 0) == 0) {
                QCOMPARE(e.text, std::string("Detail message:refused here"));
                QCOMPARE(e.category, static_cast<int>(CRLog::kFailure));
                QCOMPARE(e.unit, std::string("KorvoIPSetupDlg"));
                ++details;
            }
        }
        QCOMPARE(details, std::size_t{1});
        mwtest::Settle(50);

        // The forwards to the page: an acknowledgement is sent at once (with
        // its text) and posted; a refusal is only posted. The page looks the
        // device up; with the list emptied each look-up is logged.
        run->DataStore()->ClearControllers();
        log.Clear();
        Feed(*run, BuildAcknowledgement(SimulatedControllerMac(0), std::string("again")));
        QCOMPARE(log.Count("Controller no is not found", CRLog::kSymptom), std::size_t{1});
        mwtest::Settle(50);
        QCOMPARE(log.Count("Controller no is not found", CRLog::kSymptom), std::size_t{2});
        log.Clear();
        Feed(*run, BuildRefusal(SimulatedControllerMac(0), std::string("no")));
        QCOMPARE(log.Count("Controller no is not found", CRLog::kSymptom), std::size_t{0});
        mwtest::Settle(50);
        QCOMPARE(log.Count("Controller no is not found", CRLog::kSymptom), std::size_t{1});
    }

    // Answers while the Camera Table page is shown: what releases its wait
    // for each pending setting kind.
    void answersOnTheTablePage_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("ack");
        QTest::addColumn<QString>("releases");  // wParams of UWM_WAIT_RESPONSE, at once | after the queue
        QTest::newRow("kind 1 acknowledgement") << 1 << true << "0|";
        QTest::newRow("kind 1 refusal") << 1 << false << "|";
        QTest::newRow("kind 2 acknowledgement") << 2 << true << "0|0";
        QTest::newRow("kind 2 refusal") << 2 << false << "|1";
    }

    void answersOnTheTablePage()
    {
        QFETCH(int, kind);
        QFETCH(bool, ack);
        QFETCH(QString, releases);
        mwtest::LogCapture log;
        WindowRun run(Simulated());
        QVERIFY(mwtest::WaitUntil([&] { return mwtest::Controllers(*run).size() == 6; }));
        run->TabBar()->setCurrentIndex(2);
        QCOMPARE(run->ActivePageIndex(), 2);
        CControllerSettingDlg* page = run->TablePage();

        const std::string mac = SimulatedControllerMac(0);
        const DeviceStatus stateBefore = mwtest::Controllers(*run)[0].state;
        std::string frame;
        if (kind == 1) {
            frame = BuildNetworkSetting(mac, "192.168.0.10", "255.255.255.0", "0.0.0.0", "n");
        } else {
            CameraTableSettingRow clearedRow;
            clearedRow.tableIndex = 0;
            frame = BuildCameraTableSettings(mac, std::vector<CameraTableSettingRow>{clearedRow}).front();
        }
        run->Target()->Send(kind == 1 ? UWM_SEND_NETWORK_SETTING : UWM_SEND_CAMTABLE_SETTING, ToWParam(&frame), 0);
        QCOMPARE(run->PendingSettingKind(), kind);

        platform::RecordingHandler waitHandler;
        platform::DirectMessageTarget wait(&waitHandler);
        page->Target()->Send(UWM_WAIT_OPENED, ToWParam(static_cast<platform::MessageTarget*>(&wait)), 0);
        const auto wParams = [&] {
            QString text;
            for (const auto& m : waitHandler.ReceivedOf(UWM_WAIT_RESPONSE)) {
                text += QString::number(m.wParam);
            }
            return text;
        };
        const std::optional<std::string> answerText("text");
        const std::string answer = ack ? BuildAcknowledgement(mac, answerText) : BuildRefusal(mac, answerText);
        Feed(*run, answer);
        const QString atOnce = wParams();
        mwtest::Settle(50);
        QCOMPARE(atOnce + QStringLiteral("|") + wParams().mid(atOnce.size()), releases);
        page->Target()->Send(UWM_WAIT_OPENED, 0, 0);

        // Kind 1 marks no record while the table page is shown; the text is
        // kept. Kind 2 keeps it as the controller's reply text.
        const auto controllers = mwtest::Controllers(*run);
        QCOMPARE(controllers[0].state, stateBefore);
        QCOMPARE(controllers[0].message, std::string(kind == 1 ? "text" : ""));
        QCOMPARE(run->DataStore()->CameraTableMessage(0), std::string(kind == 2 ? "text" : ""));
        std::size_t details = 0;
        for (const auto& e : log.Entries()) {
            details += e.text.rfind("Detail message:", 0) == 0 ? 1 : 0;
        }
        QCOMPARE(details, std::size_t{0});
    }

    // A network inquiry asked for while the Camera Table page is shown
    // changes nothing and sends nothing.
    void inquiryFromTheTablePageDoesNothing()
    {
        Settings settings;
        settings.tableInquiryResponse = 100;
        WindowRun run(settings);
        QVERIFY(mwtest::WaitUntil([&] { return run.receiver.Drain().size() == 1; }));
        FeedAll(*run, {NetworkReply(mwtest::Mac(1), "10.8.0.1"),
                       NetworkReply(mwtest::Mac(1, 1), "10.8.0.2", "CONTROLLER")});
        run->TabBar()->setCurrentIndex(2);  // nobody answers the table inquiry
        QCOMPARE(run->ActivePageIndex(), 2);
        const std::size_t sentBefore = run.receiver.Drain().size();
        const bool staleBefore = run->ControllerChoiceStale();

        const std::string frame = BuildNetworkInquiry();
        run->Target()->Send(UWM_SEND_NETWORK_INQUIRY, ToWParam(&frame), 0);
        mwtest::Settle(100);
        QCOMPARE(run.receiver.Drain().size(), sentBefore);
        QVERIFY(run->AcceptAllDeviceKinds());
        QCOMPARE(run->ControllerChoiceStale(), staleBefore);
        QCOMPARE(mwtest::Cameras(*run).size(), std::size_t{1});
        QCOMPARE(mwtest::Controllers(*run).size(), std::size_t{1});
        QCOMPARE(run->DataStore()->DirectoryCount(), std::size_t{2});
    }

    // Merges while the Controller page is shown: the sixth controller is
    // counted and reported, cameras are not taken.
    void mergeWhileTheControllerPageIsShown()
    {
        WindowRun run(Settings{});
        FeedAll(*run, {NetworkReply(mwtest::Mac(1), "10.9.0.1")});
        // The Controller page's inquiry: nobody answers within the second.
        run->TabBar()->setCurrentIndex(1);
        QCOMPARE(run->ActivePageIndex(), 1);
        QVERIFY(!run->AcceptAllDeviceKinds());
        QCOMPARE(run->DataStore()->DirectoryCount(), std::size_t{0});  // cameras removed too

        std::vector<std::string> frames;
        for (int i = 0; i < 6; ++i) {
            frames.push_back(NetworkReply(mwtest::Mac(i, 1), "10.9.1." + std::to_string(i + 1), "CONTROLLER"));
        }
        frames.push_back(NetworkReply(mwtest::Mac(2), "10.9.0.2"));
        FeedAll(*run, frames);
        QCOMPARE(mwtest::Controllers(*run).size(), std::size_t{6});
        QCOMPARE(mwtest::Cameras(*run).size(), std::size_t{1});  // the earlier one, the new one ignored
        QCOMPARE(run->ControllerPage()->RowCount(), 5);
        QCOMPARE(run->StatusText(2), QString::fromStdString(Formatted(10103, 6)));
        QCOMPARE(run->StatusText(1), QStringLiteral("Controller:6"));
        QCOMPARE(run->StatusText(0), QStringLiteral("Camera:1"));
        QCOMPARE(run->DataStore()->DirectoryCount(), std::size_t{5});
    }

    // With the Camera Table page shown (every kind still accepted) merges
    // neither report the 113th camera nor check conflicts.
    void mergeWhileTheTablePageIsShown()
    {
        WindowRun run(Settings{});
        run->TabBar()->setCurrentIndex(2);
        QCOMPARE(run->StatusText(2), mwtest::Utf8(10136));
        std::vector<std::string> frames;
        for (int i = 0; i < 113; ++i) {
            frames.push_back(NetworkReply(mwtest::Mac(i), "10.10.0." + std::to_string(i % 2 + 1)));
        }
        FeedAll(*run, frames);
        QVERIFY(mwtest::WaitUntil([&] { return mwtest::Cameras(*run).size() == 113; }));
        mwtest::Settle(50);
        QCOMPARE(run->StatusText(2), mwtest::Utf8(10136));
        QCOMPARE(run->StatusText(0), QStringLiteral("Camera:113"));
        const auto cameras = mwtest::Cameras(*run);
        QVERIFY(std::all_of(cameras.begin(), cameras.end(), [](const DeviceRecord& r) { return r.state == 0; }));
        QCOMPARE(run->CameraPage()->RowCount(), 0);
        QCOMPARE(run->DataStore()->DirectoryCount(), std::size_t{112});
    }

    // Row status and edit permission per page kind.
    void rowStatusAndEditPermissionPerPage()
    {
        Settings settings;
        settings.tableInquiryResponse = 200;
        WindowRun run(settings);
        QCOMPARE(RowStatus(*run, 0), 0);  // empty camera list
        FeedAll(*run, {NetworkReply(mwtest::Mac(1), "10.11.0.1", "IPCARD", "w", "on"),
                       NetworkReply(mwtest::Mac(2), "10.11.0.2", "IPCARD", "r", "off")});
        CCameraListDlg* cameraPage = run->CameraPage();
        QCOMPARE(cameraPage->RowCount(), 2);
        QCOMPARE(RowStatus(*run, 0), 0);
        QCOMPARE(RowStatus(*run, 1), 2);
        QCOMPARE(RowStatus(*run, 2), 0);  // no such row
        // Rows are mapped by their record index, not their position.
        cameraPage->Grid()->sortItems(CDeviceListDlg::kColName, Qt::AscendingOrder);  // "r" before "w"
        QCOMPARE(cameraPage->ItemDataOfRow(0), 1);
        QCOMPARE(RowStatus(*run, 0), 2);
        QCOMPARE(RowStatus(*run, 1), 0);

        // Mask and gateway follow the version in column 6; other columns are free.
        cameraPage->Grid()->topLevelItem(1)->setText(CDeviceListDlg::kColVersion, QStringLiteral("1.00"));
        QCOMPARE(CanEdit(*run, 4, 1), 0);
        QCOMPARE(CanEdit(*run, 5, 1), 0);
        QCOMPARE(CanEdit(*run, 3, 1), 1);
        QCOMPARE(CanEdit(*run, 4, 0), 1);

        // Camera Table page with no controller: status 0, every cell editable.
        run->TabBar()->setCurrentIndex(2);
        QCOMPARE(run->ActivePageIndex(), 2);
        QCOMPARE(RowStatus(*run, 0), 0);
        QCOMPARE(CanEdit(*run, 4, 1), 1);
    }

    void rowStatusOfTheTablePage()
    {
        Settings settings;
        settings.tableInquiryResponse = 200;
        WindowRun run(settings);
        const std::string m0 = "02-AB-00-00-00-00";
        const std::string known = "02-CD-00-00-00-01";
        FeedAll(*run, {NetworkReply(m0, "10.12.0.1", "CONTROLLER", "C0"), NetworkReply(known, "10.12.1.1")});
        run->TabBar()->setCurrentIndex(2);  // the read fails: no stored table
        CControllerSettingDlg* page = run->TablePage();
        QCOMPARE(run->StatusText(2), mwtest::Utf8(10127));
        QCOMPARE(RowStatus(*run, 0), 12);
        QCOMPARE(page->GetRowStatus(5), 12);

        // A stored table: each row shows its entry's state, by item data.
        std::vector<CameraTableEntry> table(112);
        table[1].mac = known;
        table[1].state = 3;
        run->Target()->Send(UWM_STORE_CAMTABLE, ToWParam(&table), 0);
        QCOMPARE(RowStatus(*run, 1), 3);
        QCOMPARE(RowStatus(*run, 0), 0);
        page->Grid()->sortItems(CControllerSettingDlg::kColGroup, Qt::DescendingOrder);
        const int rowOfEntry1 = [&] {
            for (int row = 0; row < page->RowCount(); ++row) {
                if (page->ItemDataOfRow(row) == 1) {
                    return row;
                }
            }
            return -1;
        }();
        QVERIFY(rowOfEntry1 > 1);
        QCOMPARE(RowStatus(*run, rowOfEntry1), 3);
        QCOMPARE(RowStatus(*run, 1), 0);
    }

    // Table requests of the Camera Table page.
    void tableRequests()
    {
        Settings settings;
        settings.tableInquiryResponse = 200;
        WindowRun run(settings);
        FeedAll(*run, {NetworkReply("02-AB-00-00-00-00", "10.13.0.1", "CONTROLLER", "C0")});
        run->TabBar()->setCurrentIndex(2);
        CControllerSettingDlg* page = run->TablePage();
        QCOMPARE(page->RowCount(), 112);

        // A list shorter than 112 is stored with zero positions after it.
        std::vector<CameraTableEntry> entries(3);
        for (int k = 0; k < 3; ++k) {
            entries[static_cast<std::size_t>(k)].mac = "00-00-00-00-00-0" + std::to_string(k + 1);
            entries[static_cast<std::size_t>(k)].name = "n" + std::to_string(k);
            entries[static_cast<std::size_t>(k)].ip = {10, 13, 2, static_cast<std::uint8_t>(k + 1)};
            entries[static_cast<std::size_t>(k)].state = 3;
        }
        run->Target()->Send(UWM_STORE_CAMTABLE, ToWParam(&entries), 0);
        std::vector<CameraTableEntry> table;
        run->Target()->Send(UWM_GET_CAMTABLE, ToWParam(&table), 0);
        QCOMPARE(table.size(), std::size_t{112});
        QCOMPARE(table[2].name, std::string("n2"));
        QCOMPARE(table[3], (CameraTableEntry{"", 3, 0, 0, "", {}, {}, 0}));

        // One entry: only slots 0 to 4 and table indexes below 112.
        CameraTableEntry entry;
        entry.tableIndex = 5;
        entry.mac = "00-00-00-00-00-55";
        run->Target()->Send(UWM_STORE_CAMTABLE_ENTRY, ToWParam(&entry), 0);
        entry.mac = "00-00-00-00-00-66";
        run->Target()->Send(UWM_STORE_CAMTABLE_ENTRY, ToWParam(&entry), 5);
        entry.tableIndex = 112;
        run->Target()->Send(UWM_STORE_CAMTABLE_ENTRY, ToWParam(&entry), 0);
        run->Target()->Send(UWM_GET_CAMTABLE, ToWParam(&table), 0);
        QCOMPARE(table[5].mac, std::string("00-00-00-00-00-55"));
        QCOMPARE(table.size(), std::size_t{112});

        // Clearing by display order: the flagged grid rows' entries.
        run->Target()->Send(UWM_REBUILD_TABLE_GRID, 0, 0);
        page->Grid()->sortItems(CControllerSettingDlg::kColGroup, Qt::DescendingOrder);
        std::array<std::uint8_t, 112> flags{};
        int rowOfEntry1 = -1;
        for (int row = 0; row < page->RowCount(); ++row) {
            if (page->ItemDataOfRow(row) == 1) {
                rowOfEntry1 = row;
            }
        }
        QVERIFY(rowOfEntry1 > 2);
        flags[static_cast<std::size_t>(rowOfEntry1)] = 1;
        flags[1] = 1;  // shows some other (empty) entry
        run->Target()->Send(UWM_CLEAR_CAMTABLE_ROWS, 0, ToLParam(flags.data()));
        run->Target()->Send(UWM_GET_CAMTABLE, ToWParam(&table), 0);
        QCOMPARE(table[1].mac, std::string());
        QCOMPARE(table[1].name, std::string());
        QCOMPARE(table[1].ip, Address4{});
        QCOMPARE(table[1].state, DeviceStatus{0});
        QCOMPARE(table[0].mac, std::string("00-00-00-00-00-01"));
        QCOMPARE(table[2].mac, std::string("00-00-00-00-00-03"));
        QCOMPARE(table[2].state, DeviceStatus{3});
    }

    // The pages' address requests and look-ups.
    void addressRequests()
    {
        mwtest::LogCapture log;
        WindowRun run(Settings{});
        std::vector<std::string> frames;
        for (int i = 0; i < 6; ++i) {
            frames.push_back(NetworkReply(mwtest::Mac(i, 1), "10.14.1." + std::to_string(i % 5 + 1), "CONTROLLER"));
        }
        frames.push_back(NetworkReply(mwtest::Mac(1), "10.14.0.1"));
        FeedAll(*run, frames);
        const std::string host = mwtest::AddressText(run->DataStore()->HostAddress());

        // Camera page: the first five controllers, each address once.
        std::vector<std::string> used = {"10.14.1.2"};
        run->Target()->Send(UWM_GET_USED_ADDRESSES, ToWParam(&used), 0);
        QCOMPARE(used, (std::vector<std::string>{"10.14.1.2", "10.14.1.1", "10.14.1.3", "10.14.1.4", "10.14.1.5",
                                                 host}));

        DeviceRecord untouched;
        untouched.name = "keep";
        run->Target()->Send(UWM_GET_CONTROLLER, 6, ToLParam(&untouched));
        QCOMPARE(untouched.name, std::string("keep"));
        QCOMPARE(log.Count("Controller no is not found", CRLog::kSymptom), std::size_t{1});
        run->Target()->Send(UWM_GET_CONTROLLER, 5, ToLParam(&untouched));
        QCOMPARE(mwtest::AddressText(untouched.ip), std::string("10.14.1.1"));
        QCOMPARE(log.Count("Camera no is not found"), std::size_t{0});
    }

    // Choice lists of the Camera Table page: name order for names and MAC
    // addresses (unnamed cameras left out), address order for addresses.
    void cameraChoices()
    {
        WindowRun run(Settings{});
        FeedAll(*run, {NetworkReply(mwtest::Mac(1), "10.15.0.10", "IPCARD", "cam2"),
                       NetworkReply(mwtest::Mac(2), "10.15.0.9", "IPCARD", ""),
                       NetworkReply(mwtest::Mac(3), "10.15.0.200", "IPCARD", "Cam10")});
        const auto choices = [&](int column) {
            std::vector<CameraChoiceItem> out;
            run->Target()->Send(UWM_GET_CAMERA_CHOICES, static_cast<platform::WParam>(column), ToLParam(&out));
            return out;
        };
        QCOMPARE(choices(2), (std::vector<CameraChoiceItem>{{3, "Cam10", mwtest::Mac(3)}, {1, "cam2", mwtest::Mac(1)}}));
        QCOMPARE(choices(3), (std::vector<CameraChoiceItem>{{3, mwtest::Mac(3), mwtest::Mac(3)},
                                                            {1, mwtest::Mac(1), mwtest::Mac(1)}}));
        QCOMPARE(choices(4), (std::vector<CameraChoiceItem>{{2, "10.15.0.9", mwtest::Mac(2)},
                                                            {1, "10.15.0.10", mwtest::Mac(1)},
                                                            {3, "10.15.0.200", mwtest::Mac(3)}}));
    }

    // Switching from the Camera Table page to the Controller page with table
    // edits pending; switching to the table page with Controller edits.
    void tabSwitchesWithTheControllerPage()
    {
        platform::ScriptedDialogService* dialogs = m_dialogs.get();
        WindowRun run(Simulated());
        QVERIFY(mwtest::WaitUntil([&] { return mwtest::Controllers(*run).size() == 6; }));
        run->TabBar()->setCurrentIndex(2);
        CControllerSettingDlg* table = run->TablePage();
        SendState(*run, PageState::Edited);
        QVERIFY(table->UpdatesPending());

        dialogs->QueueMessageBoxAnswer(platform::MsgBoxResult::Cancel);
        run->TabBar()->setCurrentIndex(1);
        QCOMPARE(run->TabBar()->currentIndex(), 2);
        QCOMPARE(run->ActivePageIndex(), 2);
        QVERIFY(table->UpdatesPending());
        QVERIFY(run->IsMenuFlagSet(kFlagApply));

        dialogs->QueueMessageBoxAnswer(platform::MsgBoxResult::Ok);
        run->TabBar()->setCurrentIndex(1);
        QCOMPARE(dialogs->Messages().size(), std::size_t{2});
        QCOMPARE(dialogs->Messages()[1].text, mwtest::Utf8(10123));
        QCOMPARE(run->ActivePageIndex(), 1);
        QVERIFY(!table->UpdatesPending());
        QVERIFY(!table->Control(IDC_TABLE_APPLY)->isEnabled());  // settled while it was still shown
        QVERIFY(!run->ControllerPage()->ApplyButton()->isEnabled());
        QVERIFY(run->ControllerChoiceStale());  // the Controller page's inquiry ran
        QCOMPARE(run->ControllerPage()->RowCount(), 5);

        // Controller edits pending, to the table tab: Cancel keeps tab 1.
        SendState(*run, PageState::Edited);
        dialogs->QueueMessageBoxAnswer(platform::MsgBoxResult::Cancel);
        run->TabBar()->setCurrentIndex(2);
        QCOMPARE(run->TabBar()->currentIndex(), 1);
        QCOMPARE(run->ActivePageIndex(), 1);
        QVERIFY(run->ControllerPage()->UpdatesPending());

        // OK: the Controller page re-reads the devices, then the table page
        // rebuilds its controller choice.
        dialogs->QueueMessageBoxAnswer(platform::MsgBoxResult::Ok);
        run->TabBar()->setCurrentIndex(2);
        QCOMPARE(dialogs->Messages().size(), std::size_t{4});
        QCOMPARE(run->ActivePageIndex(), 2);
        QVERIFY(!run->ControllerPage()->UpdatesPending());
        QVERIFY(!run->ControllerChoiceStale());
        QCOMPARE(table->ControllerChoiceTexts().size(), 5);
        QCOMPARE(run->StatusText(2), mwtest::Utf8(10126));
    }

    // Seven controllers: the choice offers the first five; a return to the
    // table tab without a new inquiry keeps choice and grid.
    void choiceOfTheFirstFiveControllers()
    {
        Settings settings;
        settings.tableInquiryResponse = 100;
        WindowRun run(settings);
        std::vector<std::string> frames;
        for (int i = 0; i < 7; ++i) {
            frames.push_back(NetworkReply(mwtest::Mac(i, 1), "10.16.0." + std::to_string(i + 1), "CONTROLLER",
                                          "C" + std::to_string(i)));
        }
        FeedAll(*run, frames);
        run->TabBar()->setCurrentIndex(2);
        CControllerSettingDlg* page = run->TablePage();
        QCOMPARE(page->ControllerChoiceTexts(),
                 (QStringList{QStringLiteral("C0 (10.16.0.1)"), QStringLiteral("C1 (10.16.0.2)"),
                              QStringLiteral("C2 (10.16.0.3)"), QStringLiteral("C3 (10.16.0.4)"),
                              QStringLiteral("C4 (10.16.0.5)")}));
        QCOMPARE(page->MacField(), mwtest::Mac(0, 1));
        QCOMPARE(page->SelectedControllerIndex(), 0);
    }

private:
    mwtest::TestDialogs m_dialogs;
};

MAINWINDOW_TEST_MAIN(MainWindowMessagesTest)
#include "test_mainwindow_messages.moc"
