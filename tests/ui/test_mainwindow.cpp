// The main window: UI language of tabs and menu, status panes, placement,
// keys, menu enabling, the page-state tables of both page kinds, the tab
// switch questions and the close question.
#include "MainWindowTestSupport.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStatusBar>
#include <QTabBar>
#include <QTreeWidget>

#include <array>

#include "app/MenuTexts.h"
#include "camtable/ControllerSettingDlg.h"
#include "mainwindow/MessageArgs.h"
#include "pages/CameraListDlg.h"
#include "pages/ControllerListDlg.h"
#include "platform/qt/DialogService.h"

using namespace korvo;
using mwtest::Settings;
using mwtest::WindowRun;
using mwtest::Simulated;
using mwtest::SendState;

namespace {

constexpr char kSame = '=';

// Menu flags as text: Import, Export, Refresh, IP assign, Auto assign, Copy,
// Clear, Apply, English, Chinese, About; '1' on, '0' off.
std::string FlagText(const CKorvoIPSetupDlg& window)
{
    std::string text;
    for (std::size_t i = 0; i < kMenuFlagCount; ++i) {
        text += window.IsMenuFlagSet(static_cast<MenuFlag>(i)) ? '1' : '0';
    }
    return text;
}

// Expected text: '1', '0' or '=' (as before).
std::string Resolve(const std::string& expected, const std::string& before)
{
    std::string out = expected;
    for (std::size_t i = 0; i < out.size(); ++i) {
        if (out[i] == kSame) {
            out[i] = before[i];
        }
    }
    return out;
}

std::string EnabledText(CBaseListDialog* page, const std::vector<int>& ids)
{
    std::string text;
    for (int id : ids) {
        QWidget* w = page->Control(id);
        text += (w != nullptr && w->isEnabled()) ? '1' : '0';
    }
    return text;
}

void SetEnabled(CBaseListDialog* page, const std::vector<int>& ids, bool on)
{
    for (int id : ids) {
        if (QWidget* w = page->Control(id)) {
            w->setEnabled(on);
        }
    }
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Every box and dialog of a test is answered by a script.
    void init() { m_dialogs.Install(); }
    void cleanup() { m_dialogs.Remove(); }

    void startupLanguageOfTabsAndMenu_data()
    {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<int>("language");
        QTest::newRow("cn") << "cn" << static_cast<int>(UiLanguage::Chinese);
        QTest::newRow("CN") << "CN" << static_cast<int>(UiLanguage::English);
        QTest::newRow("en") << "en" << static_cast<int>(UiLanguage::English);
    }

    void startupLanguageOfTabsAndMenu()
    {
        QFETCH(QString, setting);
        QFETCH(int, language);
        const auto lang = static_cast<UiLanguage>(language);
        WindowRun run(Simulated(setting.toStdString()));
        QVERIFY(run.initialized);

        QTabBar* tabs = run->TabBar();
        QCOMPARE(tabs->count(), 3);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(tabs->tabText(i), QString::fromUtf8(LoadText(10011 + i, lang)));
        }
        const MenuBar& expected = MenuFor(lang);
        const QList<QMenu*> popups = run->Popups();
        QCOMPARE(popups.size(), static_cast<qsizetype>(expected.popups.size()));
        for (int i = 0; i < popups.size(); ++i) {
            const MenuPopup& popup = expected.popups[static_cast<std::size_t>(i)];
            QCOMPARE(popups[i]->title(), QString::fromUtf8(popup.text));
            QStringList texts;
            QStringList expectedTexts;
            for (QAction* action : popups[i]->actions()) {
                texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
            }
            for (const MenuItem& item : popup.items) {
                expectedTexts << (item.kind == MenuItemKind::Separator ? QStringLiteral("-")
                                                                       : QString::fromUtf8(item.text));
            }
            QCOMPARE(texts, expectedTexts);
        }
        // The pages' own texts follow the same language.
        QCOMPARE(run->CameraPage()->RefreshButton()->text(), QString::fromUtf8(LoadText(10027, lang)));
        QCOMPARE(run->TablePage()->Control(IDC_TABLE_CONTROLLER_LABEL)->property("text").toString(),
                 QString::fromUtf8(LoadText(10012, lang)));
        // Message cells show UI texts of the same language: the simulated
        // camera at 192.168.0.10 shares its address with a controller.
        QVERIFY(mwtest::WaitUntil([&] { return run->CameraPage()->RowCount() == 6; }));
        QCOMPARE(run->CameraPage()->CellText(5, CDeviceListDlg::kColIp), std::string("192.168.0.10"));
        QCOMPARE(run->CameraPage()->Grid()->topLevelItem(5)->text(CDeviceListDlg::kColMessage),
                 QString::fromUtf8(LoadText(10109, lang)));
        QCOMPARE(run->windowTitle(), QString::fromUtf8(LoadText(10001, lang)) + QStringLiteral(" (") +
                                         QString::fromStdString(run->UdpClient()->HostAddress().substr(0, 15)) +
                                         QStringLiteral(")"));
    }

    void statusPanes_data()
    {
        QTest::addColumn<int>("pane");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("shownPane");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<bool>("logged");
        QTest::newRow("camera count") << 0 << "12" << 0 << "Camera:12" << false;
        QTest::newRow("camera count cut to three") << 0 << "12345" << 0 << "Camera:123" << false;
        QTest::newRow("controller count") << 1 << "3" << 1 << "Controller:3" << false;
        QTest::newRow("empty count") << 1 << "" << 1 << "Controller:" << false;
        QTest::newRow("message") << 2 << "Getting configurations." << 2 << "Getting configurations." << false;
        QTest::newRow("pane 3") << 3 << "x" << 2 << "" << true;
        QTest::newRow("pane -1") << -1 << "x" << 2 << "" << true;
    }

    void statusPanes()
    {
        QFETCH(int, pane);
        QFETCH(QString, text);
        QFETCH(int, shownPane);
        QFETCH(QString, shown);
        QFETCH(bool, logged);
        mwtest::LogCapture log;
        WindowRun run(Settings{});
        QCOMPARE(run->StatusText(0), QStringLiteral("Camera:0"));
        QCOMPARE(run->StatusText(1), QStringLiteral("Controller:0"));
        QCOMPARE(run->StatusText(2), QString());

        run->SetStatusText(2, "before");
        const std::string bytes = text.toStdString();
        run->Target()->Send(UWM_SET_STATUS_TEXT, static_cast<platform::WParam>(pane), ToLParam(&bytes));
        QCOMPARE(run->StatusText(shownPane), shown);
        if (shownPane != 2) {
            QCOMPARE(run->StatusText(2), QStringLiteral("before"));
        }
        const auto entries = log.Entries();
        std::size_t errors = 0;
        for (const auto& e : entries) {
            if (e.text == "[StatsBar]string error.") {
                QCOMPARE(e.category, static_cast<int>(CRLog::kSymptom));
                QCOMPARE(QString::fromStdString(e.unit), QStringLiteral("KorvoIPSetupDlg"));
                ++errors;
            }
        }
        QCOMPARE(errors, logged ? std::size_t{1} : std::size_t{0});
    }

    void paneWidthsFollowTheWindowWidth()
    {
        WindowRun run(Settings{});
        run->resize(1300, 800);
        QCOMPARE(run->StatusPane(0)->width(), 200);
        QCOMPARE(run->StatusPane(1)->width(), 200);
        QCOMPARE(run->StatusPane(2)->width(), run->width() - 20 - 400);
        QVERIFY(run->StatusBar()->geometry().bottom() == run->height() - 1);
    }

    void placementAndMinimumSize()
    {
        WindowRun run(Settings{});
        QCOMPARE(run->minimumSize(), QSize(1024, 720));
        QCOMPARE(run->size(), QSize(1024, 720));
        QCOMPARE(run->pos(), QGuiApplication::primaryScreen()->availableGeometry().topLeft());
        run->resize(600, 400);
        QVERIFY(run->width() >= 1024 && run->height() >= 720);
    }

    void enterAndEscapeDoNotClose()
    {
        WindowRun run(Settings{});
        for (int key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) {
            QTest::keyClick(run.window.get(), static_cast<Qt::Key>(key));
            QTest::keyClick(run->CameraPage()->Grid(), static_cast<Qt::Key>(key));
            QTest::keyClick(run->CameraPage()->ApplyButton(), static_cast<Qt::Key>(key));
        }
        QVERIFY(run->isVisible());
        QCOMPARE(run->result(), 0);
    }

    void menuItemsFollowTheFlagsWhenAPopupOpens()
    {
        WindowRun run(Settings{});
        QMenu* edit = run->Popups().at(1);
        QMenu* file = run->Popups().at(0);
        Q_EMIT edit->aboutToShow();
        Q_EMIT file->aboutToShow();
        QVERIFY(run->ActionFor(ID_EDIT_REFRESH)->isEnabled());
        QVERIFY(!run->ActionFor(ID_EDIT_APPLY)->isEnabled());
        QVERIFY(!run->ActionFor(ID_EDIT_COPY)->isEnabled());
        QVERIFY(!run->ActionFor(ID_FILE_IMPORT)->isEnabled());
        QVERIFY(run->ActionFor(ID_FILE_EXPORT)->isEnabled());
        QVERIFY(run->ActionFor(ID_APP_EXIT)->isEnabled());

        // A flag change shows only when the popup opens again.
        SendState(*run, PageState::Edited);
        QVERIFY(!run->ActionFor(ID_EDIT_APPLY)->isEnabled());
        Q_EMIT edit->aboutToShow();
        QVERIFY(run->ActionFor(ID_EDIT_APPLY)->isEnabled());
    }

    void menuCommandsGoToTheActivePage()
    {
        WindowRun run(Settings{});
        QVERIFY(mwtest::WaitUntil([&] { return run.receiver.Drain().size() == 1; }));  // start-up inquiry
        run->OnCommand(ID_EDIT_COPY);  // the Camera page has no Copy
        mwtest::Settle(100);
        QCOMPARE(run.receiver.Drain().size(), std::size_t{1});

        run->OnCommand(ID_EDIT_REFRESH);  // posted: runs with the event loop
        QCOMPARE(run.receiver.Drain().size(), std::size_t{1});
        QVERIFY(mwtest::WaitUntil([&] { return run.receiver.Drain().size() == 2; }));
        QCOMPARE(run.receiver.Drain().back(), BuildNetworkInquiry());
        QVERIFY(!run->AcceptAllDeviceKinds());  // a page inquiry
    }

    // Page states of the Camera and Controller pages: controls Apply and IP
    // assign, the updates pending flag and the 11 menu flags.
    void listPageStateTable()
    {
        struct Case {
            const char* name;
            std::vector<PageState> baseline;
            bool rowChecked;
            bool buttonsBefore;   // Apply and IP assign enabled before the state
            int state;
            const char* buttons;  // Apply, IP assign
            char pending;
            const char* flags;
        };
        const Case cases[] = {
            {"Reset", {PageState::Reset, PageState::Edited}, true, true, 0, "00", kSame, "01100000111"},
            {"CheckChanged with a row", {PageState::Reset}, true, false, 2, "=1", kSame, "===1======="},
            {"CheckChanged without a row", {PageState::Reset, PageState::Edited}, false, true, 2, "=0", kSame,
             "===0======="},
            {"Settled", {PageState::Reset, PageState::Edited}, true, true, 4, "0=", '0', "=======0==="},
            {"Edited", {PageState::Reset, PageState::Settled}, true, false, 5, "1=", '1', "=======1==="},
            {"Loaded", {PageState::Reset, PageState::Edited}, true, true, 1, "==", kSame, "==========="},
            {"LoadedReadOnly", {PageState::Reset, PageState::Edited}, true, false, 6, "==", kSame, "==========="},
            {"LoadFailed", {PageState::Reset, PageState::Edited}, true, true, 7, "==", kSame, "==========="},
            {"code 3", {PageState::Reset, PageState::Edited}, true, true, 3, "==", kSame, "==========="},
            {"code 9", {PageState::Reset, PageState::Edited}, true, false, 9, "==", kSame, "==========="},
        };

        WindowRun run(Simulated());
        QVERIFY(mwtest::WaitUntil([&] { return run->CameraPage()->RowCount() == 6; }));
        for (int pageIndex : {0, 1}) {
            if (pageIndex == 1) {
                SendState(*run, PageState::Settled);  // nothing pending: no question
                run->TabBar()->setCurrentIndex(1);  // runs the Controller page's Refresh
                QCOMPARE(run->ActivePageIndex(), 1);
                QVERIFY(mwtest::WaitUntil([&] { return run->ControllerPage()->RowCount() == 5; }));
            }
            auto* page = static_cast<CDeviceListDlg*>(run->ActivePage());
            const std::vector<int> ids = {page->Traits().applyId, page->Traits().ipAssignId};
            int writableRow = -1;
            for (int row = 0; row < page->RowCount() && writableRow < 0; ++row) {
                if (page->GetRowStatus(row) != 2) {
                    writableRow = row;
                }
            }
            QVERIFY(writableRow >= 0);
            for (const Case& c : cases) {
                const QByteArray name = QByteArray("page ") + QByteArray::number(pageIndex) + ": " + c.name;
                for (PageState s : c.baseline) {
                    SendState(*run, static_cast<int>(s));
                }
                for (int row = 0; row < page->RowCount(); ++row) {
                    page->SetRowChecked(row, false);
                }
                page->SetRowChecked(writableRow, c.rowChecked);
                QCOMPARE(page->AnyChecked(), c.rowChecked);
                SetEnabled(page, ids, c.buttonsBefore);
                const std::string buttonsBefore = EnabledText(page, ids);
                const std::string flagsBefore = FlagText(*run);
                const char pendingBefore = page->UpdatesPending() ? '1' : '0';

                SendState(*run, c.state);

                QVERIFY2(EnabledText(page, ids) == Resolve(c.buttons, buttonsBefore), name.constData());
                QVERIFY2(FlagText(*run) == Resolve(c.flags, flagsBefore), name.constData());
                const char pending = c.pending == kSame ? pendingBefore : c.pending;
                QVERIFY2((page->UpdatesPending() ? '1' : '0') == pending, name.constData());
                QVERIFY2(page->RefreshButton()->isEnabled(), name.constData());
            }
        }
    }

    // Page states of the Camera Table page.
    void tablePageStateTable()
    {
        // Controls, in this order: controller choice 1302, Refresh 1315, Auto
        // assign 1316, Copy 1317, Clear 1318, Apply 1319, grid 1701, radio
        // buttons 1306 1308 1311, name filter 1309, IP filter 1312 1314.
        const std::vector<int> ids = {IDC_TABLE_CONTROLLER, IDC_TABLE_REFRESH, IDC_TABLE_AUTO_ASSIGN, IDC_TABLE_COPY,
                                      IDC_TABLE_CLEAR,      IDC_TABLE_APPLY,   IDC_GRID,              IDC_TABLE_UNUSED,
                                      IDC_TABLE_NAME,       IDC_TABLE_IP,      IDC_TABLE_NAME_FILTER, IDC_TABLE_IP_START,
                                      IDC_TABLE_IP_END};
        struct Case {
            const char* name;
            int state;
            int checkedRow;  // -1 none, 0 a row with MAC address, 1 a row without
            int radio;
            bool before;     // every control enabled before the state
            const char* controls;
            char paneEmptied;  // '1': pane 2 emptied, '=': kept
            char pending;
            const char* flags;
        };
        const Case cases[] = {
            {"Reset", 0, 0, IDC_TABLE_NAME, true, "0000000000000", '1', kSame, "00000000111"},
            {"Loaded, row with MAC, Name", 1, 0, IDC_TABLE_NAME, false, "1111101111100", '1', kSame, "11101110111"},
            {"Loaded, no row, IP", 1, -1, IDC_TABLE_IP, true, "1100001111011", '1', kSame, "11100000111"},
            {"Loaded, row without MAC, Unused", 1, 1, IDC_TABLE_UNUSED, false, "1111001111000", '1', kSame,
             "11101100111"},
            {"CheckChanged, row with MAC", 2, 0, IDC_TABLE_NAME, false, "==111========", '=', kSame, "====111===="},
            {"CheckChanged, no row", 2, -1, IDC_TABLE_NAME, true, "==000========", '=', kSame, "====000===="},
            {"Settled, row with MAC", 4, 0, IDC_TABLE_NAME, false, "====1========", '=', '0', "=======0111"},
            {"Settled, no row", 4, -1, IDC_TABLE_NAME, true, "====00=======", '=', '0', "=======0111"},
            {"Edited, row with MAC", 5, 0, IDC_TABLE_NAME, false, "====11=======", '=', '1', "=======1111"},
            {"Edited, no row", 5, -1, IDC_TABLE_NAME, true, "====01=======", '=', '1', "=======1111"},
            {"LoadedReadOnly from off", 6, 0, IDC_TABLE_NAME, false, "1100001000000", '=', kSame, "01100000111"},
            {"LoadedReadOnly from on", 6, 0, IDC_TABLE_IP, true, "1100001000000", '=', kSame, "01100000111"},
            {"LoadFailed from off", 7, 0, IDC_TABLE_NAME, false, "1100001000000", '=', kSame, "00100000111"},
            {"LoadFailed from on", 7, -1, IDC_TABLE_UNUSED, true, "1100001000000", '=', kSame, "00100000111"},
            {"code 3", 3, 0, IDC_TABLE_NAME, true, "=============", '=', kSame, "==========="},
            {"code 8", 8, 0, IDC_TABLE_NAME, false, "=============", '=', kSame, "==========="},
        };

        WindowRun run(Simulated());
        QVERIFY(mwtest::WaitUntil([&] { return mwtest::Controllers(*run).size() == 6; }));
        run->TabBar()->setCurrentIndex(2);  // reads controller 0's table
        QCOMPARE(run->ActivePageIndex(), 2);
        CControllerSettingDlg* page = run->TablePage();
        QCOMPARE(page->RowCount(), 112);
        QVERIFY(!page->CellText(0, CControllerSettingDlg::kColMac).empty());
        QVERIFY(page->CellText(1, CControllerSettingDlg::kColMac).empty());
        std::vector<DeviceRecord> controllers = mwtest::Controllers(*run);
        controllers.resize(5);

        for (const Case& c : cases) {
            // Baseline: loaded with every flag but IP assign on, choice filled.
            page->SetControllerChoices(controllers);
            page->SetMacField(controllers.front().mac);
            page->SetRowChecked(0, true);
            SendState(*run, 1);
            SendState(*run, 5);
            for (int row = 0; row < page->RowCount(); ++row) {
                page->SetRowChecked(row, false);
            }
            if (c.checkedRow >= 0) {
                page->SetRowChecked(c.checkedRow, true);
            }
            static_cast<QRadioButton*>(page->Control(c.radio))->setChecked(true);
            SetEnabled(page, ids, c.before);
            run->SetStatusText(2, "marker");
            const std::string controlsBefore = EnabledText(page, ids);
            const std::string flagsBefore = FlagText(*run);
            const char pendingBefore = page->UpdatesPending() ? '1' : '0';

            SendState(*run, c.state);

            QVERIFY2(EnabledText(page, ids) == Resolve(c.controls, controlsBefore),
                     (std::string(c.name) + ": " + EnabledText(page, ids)).c_str());
            QVERIFY2(FlagText(*run) == Resolve(c.flags, flagsBefore),
                     (std::string(c.name) + ": " + FlagText(*run)).c_str());
            const char pending = c.pending == kSame ? pendingBefore : c.pending;
            QVERIFY2((page->UpdatesPending() ? '1' : '0') == pending, c.name);
            QVERIFY2(run->StatusText(2) == (c.paneEmptied == '1' ? QString() : QStringLiteral("marker")), c.name);
            if (c.state == 0) {
                QVERIFY(page->ControllerChoiceTexts().isEmpty());
                QVERIFY(page->MacField().empty());
            } else {
                QCOMPARE(page->ControllerChoiceTexts().size(), 5);
            }
        }
    }

    void switchingTabsAsksOnlyWithUpdatesPending()
    {
        platform::ScriptedDialogService* dialogs = m_dialogs.get();
        WindowRun run(Simulated());
        QVERIFY(mwtest::WaitUntil([&] { return run->CameraPage()->RowCount() == 6; }));

        // Nothing pending: no question.
        run->TabBar()->setCurrentIndex(1);
        QCOMPARE(run->ActivePageIndex(), 1);
        QVERIFY(dialogs->Messages().empty());
        QVERIFY(!run->AcceptAllDeviceKinds());
        QCOMPARE(run->ControllerPage()->RowCount(), 5);  // six controllers, five shown

        // Controller page pending; Cancel leaves tab and page as they were.
        SendState(*run, PageState::Edited);
        QVERIFY(run->ControllerPage()->UpdatesPending());
        dialogs->QueueMessageBoxAnswer(platform::MsgBoxResult::Cancel);
        run->TabBar()->setCurrentIndex(0);
        QCOMPARE(dialogs->Messages().size(), std::size_t{1});
        QCOMPARE(dialogs->Messages()[0].text, mwtest::Utf8(10123));
        QCOMPARE(dialogs->Messages()[0].buttons, platform::MsgBoxButtons::OkCancel);
        QCOMPARE(dialogs->Messages()[0].icon, platform::MsgBoxIcon::Exclamation);
        QCOMPARE(run->TabBar()->currentIndex(), 1);
        QCOMPARE(run->ActivePageIndex(), 1);
        QVERIFY(run->ControllerPage()->UpdatesPending());

        // OK: the flag goes, the Camera page is shown and re-read.
        dialogs->QueueMessageBoxAnswer(platform::MsgBoxResult::Ok);
        run->TabBar()->setCurrentIndex(0);
        QCOMPARE(dialogs->Messages().size(), std::size_t{2});
        QCOMPARE(run->ActivePageIndex(), 0);
        QVERIFY(!run->ControllerPage()->UpdatesPending());
        QVERIFY(run->CameraPage()->isVisible());
        QVERIFY(!run->ControllerPage()->isVisible());
        QCOMPARE(run->CameraPage()->RowCount(), 6);
        QVERIFY(!run->CameraPage()->ApplyButton()->isEnabled());  // Reset, then Settled
    }

    void switchingToTheTableTabWithCameraEdits()
    {
        platform::ScriptedDialogService* dialogs = m_dialogs.get();
        WindowRun run(Simulated());
        QVERIFY(mwtest::WaitUntil([&] { return mwtest::Controllers(*run).size() == 6; }));
        SendState(*run, PageState::Edited);

        // Cancel: tab 0 stays, nothing re-read.
        dialogs->QueueMessageBoxAnswer(platform::MsgBoxResult::Cancel);
        run->TabBar()->setCurrentIndex(2);
        QCOMPARE(run->TabBar()->currentIndex(), 0);
        QCOMPARE(run->ActivePageIndex(), 0);
        QVERIFY(run->AcceptAllDeviceKinds());
        QVERIFY(run->CameraPage()->UpdatesPending());

        // OK: the Camera page re-reads the devices, then the table page shows
        // the first controller's table.
        dialogs->QueueMessageBoxAnswer(platform::MsgBoxResult::Ok);
        run->TabBar()->setCurrentIndex(2);
        QCOMPARE(dialogs->Messages().size(), std::size_t{2});
        QCOMPARE(dialogs->Messages()[1].text, mwtest::Utf8(10123));
        QVERIFY(!run->AcceptAllDeviceKinds());  // the Camera page's inquiry ran
        QVERIFY(!run->CameraPage()->UpdatesPending());
        QCOMPARE(run->ActivePageIndex(), 2);
        QVERIFY(!run->ControllerChoiceStale());
        QCOMPARE(run->TablePage()->ControllerChoiceTexts().size(), 5);
        QCOMPARE(run->TablePage()->ControllerChoiceTexts().front(), QStringLiteral("CTL001 (192.168.0.10)"));
        QCOMPARE(run->TablePage()->MacField(), std::string("02-00-C0-A8-01-00"));
        QCOMPARE(run->StatusText(2), mwtest::Utf8(10126));
        QVERIFY(run->TablePage()->Control(IDC_TABLE_REFRESH)->isEnabled());

        // Table edits pending, back to the Camera tab: Cancel keeps tab 2,
        // OK settles the table page before the Camera page is shown.
        SendState(*run, PageState::Edited);
        QVERIFY(run->TablePage()->Control(IDC_TABLE_APPLY)->isEnabled());
        dialogs->QueueMessageBoxAnswer(platform::MsgBoxResult::Cancel);
        run->TabBar()->setCurrentIndex(0);
        QCOMPARE(run->TabBar()->currentIndex(), 2);
        QVERIFY(run->TablePage()->UpdatesPending());
        dialogs->QueueMessageBoxAnswer(platform::MsgBoxResult::Ok);
        run->TabBar()->setCurrentIndex(0);
        QCOMPARE(dialogs->Messages().size(), std::size_t{4});
        QVERIFY(!run->TablePage()->UpdatesPending());
        QVERIFY(!run->TablePage()->Control(IDC_TABLE_APPLY)->isEnabled());
        QCOMPARE(run->ActivePageIndex(), 0);
    }

    void tableTabWithoutControllers()
    {
        WindowRun run(Settings{});  // loopback: nobody answers
        run->SetStatusText(2, "marker");
        run->TabBar()->setCurrentIndex(2);
        QCOMPARE(run->ActivePageIndex(), 2);
        CControllerSettingDlg* page = run->TablePage();
        QCOMPARE(run->StatusText(2), mwtest::Utf8(10136));
        QCOMPARE(page->RowCount(), 100);  // empty grid of the 100-entry layout
        QCOMPARE(page->CellText(99, CControllerSettingDlg::kColGroup), std::string("Group10-10"));
        for (int id : {IDC_TABLE_CONTROLLER, IDC_TABLE_REFRESH, IDC_TABLE_APPLY, IDC_GRID, IDC_TABLE_NAME}) {
            QVERIFY(!page->Control(id)->isEnabled());
        }
        QVERIFY(!run->IsMenuFlagSet(kFlagRefresh));
    }

    void closingAsksOnlyWithUpdatesPending()
    {
        platform::ScriptedDialogService* dialogs = m_dialogs.get();
        {
            WindowRun run(Settings{});
            run->close();
            QVERIFY(dialogs->Messages().empty());
            QVERIFY(!run->isVisible());
        }
        {
            WindowRun run(Settings{});
            SendState(*run, PageState::Edited);
            dialogs->QueueMessageBoxAnswer(platform::MsgBoxResult::Cancel);
            run->OnCommand(ID_APP_EXIT);
            QCOMPARE(dialogs->Messages().size(), std::size_t{1});
            QCOMPARE(dialogs->Messages()[0].text, mwtest::Utf8(10120));
            QCOMPARE(dialogs->Messages()[0].icon, platform::MsgBoxIcon::Exclamation);
            QVERIFY(run->isVisible());
            dialogs->QueueMessageBoxAnswer(platform::MsgBoxResult::Ok);
            run->close();
            QCOMPARE(dialogs->Messages().size(), std::size_t{2});
            QVERIFY(!run->isVisible());
        }
    }

    void importAndExportOnlyLogForNow()
    {
        mwtest::LogCapture log;
        WindowRun run(Settings{});
        run->OnCommand(ID_FILE_IMPORT);
        run->OnCommand(ID_FILE_EXPORT);
        QCOMPARE(log.Count("Import is not available in this build.", CRLog::kSymptom), std::size_t{1});
        QCOMPARE(log.Count("Export is not available in this build.", CRLog::kSymptom), std::size_t{1});
        QVERIFY(run->isVisible());
    }

    void languageCommandsWriteTheSetting()
    {
        platform::ScriptedDialogService* dialogs = m_dialogs.get();
        WindowRun run(Settings{});
        const QString path = QString::fromStdString(CKorvoIPSetupApp::Instance().SettingsPath());
        run->OnCommand(ID_LANGUAGE_CHINESE);
        QVERIFY(mwtest::ReadText(path).contains(QStringLiteral("Language=cn")));
        run->OnCommand(ID_LANGUAGE_ENGLISH);
        QVERIFY(mwtest::ReadText(path).contains(QStringLiteral("Language=en")));
        QCOMPARE(dialogs->DialogRuns().size(), std::size_t{2});
        QCOMPARE(dialogs->DialogRuns()[0].className, QStringLiteral("korvo::CMsgBoxDialog"));
        // The running program keeps its language.
        QCOMPARE(run->TabBar()->tabText(0), QStringLiteral("Camera"));
    }

    void aboutBoxFromHelpAndSystemCommand()
    {
        platform::ScriptedDialogService* dialogs = m_dialogs.get();
        WindowRun run(Settings{});
        run->OnCommand(ID_HELP_ABOUT);
        run->OnSysCommand(IDM_ABOUTBOX | 0x3);  // low four bits do not matter
        run->OnSysCommand(0xF060);              // another system command
        QCOMPARE(dialogs->DialogRuns().size(), std::size_t{2});
        QCOMPARE(dialogs->DialogRuns()[0].className, QStringLiteral("korvo::CAboutDlg"));
    }

private:
    mwtest::TestDialogs m_dialogs;
};

MAINWINDOW_TEST_MAIN(MainWindowTest)
#include "test_mainwindow.moc"
