// The device data store: lists, reply queue, directory, camera tables.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "model/DataCommon.h"

namespace korvo {
namespace {

DeviceRecord Device(const std::string& mac, const std::string& model = "IPCARD", Address4 ip = {10, 0, 0, 1})
{
    DeviceRecord r;
    r.mac = mac;
    r.model = model;
    r.ip = ip;
    r.name = "n";
    r.pending = 1;
    r.index = 77;
    return r;
}

std::string Mac(int i)
{
    char text[32];
    std::snprintf(text, sizeof text, "0a-00-00-00-%02x-%02x", i / 256, i % 256);
    return text;
}

TEST(ReplyQueue, AppendSetsIndexAndKeepsEveryReply)
{
    CDataCommon store;
    store.AppendToReplyQueue(Device("02-00-C0-A8-00-01"));
    store.AppendToReplyQueue(Device("02-00-c0-a8-00-01"));
    std::vector<DeviceRecord> queue{Device("stale")};
    store.CopyReplyQueue(queue);
    ASSERT_EQ(queue.size(), 2u);
    EXPECT_EQ(queue[0].index, 0);
    EXPECT_EQ(queue[1].index, 1);
    EXPECT_EQ(queue[1].pending, 1);

    store.ClearPendingFlag(1);
    store.ClearPendingFlag(9);  // no such record
    store.CopyReplyQueue(queue);
    EXPECT_EQ(queue[0].pending, 1);
    EXPECT_EQ(queue[1].pending, 0);

    store.ClearReplyQueue();
    store.CopyReplyQueue(queue);
    EXPECT_TRUE(queue.empty());
    EXPECT_EQ(store.ReplyQueueCount(), 0u);
}

TEST(DeviceLists, SameMacInAnyCaseIsListedOnce)
{
    CDataCommon store;
    const DeviceRecord first = Device("AA-BB-CC-DD-EE-FF");
    const DeviceRecord again = Device("aa-bb-cc-dd-ee-ff");
    EXPECT_FALSE(store.HasCamera(first));  // empty list
    ASSERT_TRUE(store.AppendCamera(first));
    EXPECT_TRUE(store.HasCamera(again));
    EXPECT_FALSE(store.HasController(again));
    EXPECT_FALSE(store.HasCamera(Device("AA-BB-CC-DD-EE-FE")));
    EXPECT_FALSE(store.HasCamera(Device("")));

    store.AddToDirectory(store.CameraCount() ? first : again);
    store.AddToDirectory(again);
    EXPECT_EQ(store.DirectoryCount(), 1u);
}

TEST(DeviceLists, AppendGivesPositionAndClearsPending)
{
    CDataCommon store;
    ASSERT_TRUE(store.AppendController(Device("02-00-C0-A8-01-00", "CONTROLLER")));
    ASSERT_TRUE(store.AppendController(Device("02-00-C0-A8-02-00", "ST-HUB80")));
    std::vector<DeviceRecord> list;
    store.CopyControllers(list);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[1].index, 1);
    EXPECT_EQ(list[1].pending, 0);
    EXPECT_EQ(store.FindControllerIndex("02-00-c0-a8-02-00"), 1);
    EXPECT_EQ(store.FindControllerIndex("02-00-C0-A8-03-00"), -1);
    EXPECT_EQ(store.FindControllerIndex(""), -1);

    DeviceRecord found;
    EXPECT_TRUE(store.FindController(1, found));
    EXPECT_EQ(found.model, "ST-HUB80");
    EXPECT_FALSE(store.FindController(2, found));
    EXPECT_FALSE(store.FindCamera(0, found));

    store.ClearControllers();
    EXPECT_EQ(store.ControllerCount(), 0u);
}

TEST(DeviceLists, EachListStopsAt255)
{
    CDataCommon store;
    for (int i = 0; i < 255; ++i)
        ASSERT_TRUE(store.AppendCamera(Device(Mac(i))));
    EXPECT_FALSE(store.AppendCamera(Device(Mac(255))));
    EXPECT_EQ(store.CameraCount(), 255u);
    EXPECT_TRUE(store.AppendController(Device(Mac(255), "CONTROLLER")));
}

TEST(DeviceLists, TextsAreCutToTheirFields)
{
    CDataCommon store;
    DeviceRecord r = Device("02-00-C0-A8-00-01-EXTRA");
    r.name = "name-too-long";
    r.version = std::string(20, 'v');
    r.model = std::string(40, 'm');
    r.message = std::string(2000, 'x');
    store.AppendCamera(r);
    store.AppendToReplyQueue(r);
    DeviceRecord stored;
    ASSERT_TRUE(store.FindCamera(0, stored));
    EXPECT_EQ(stored.mac, "02-00-C0-A8-00-01");
    EXPECT_EQ(stored.name, "name-too");
    EXPECT_EQ(stored.version.size(), 15u);
    EXPECT_EQ(stored.model.size(), 31u);
    EXPECT_EQ(stored.message.size(), 1023u);
    std::vector<DeviceRecord> queue;
    store.CopyReplyQueue(queue);
    EXPECT_EQ(queue[0].name, "name-too");

    store.SetCameraMessage(0, std::string(1023, 'a') + "b");
    ASSERT_TRUE(store.FindCamera(0, stored));
    EXPECT_EQ(stored.message, std::string(1023, 'a'));
    store.SetCameraMessage(0, "Setup done");
    ASSERT_TRUE(store.FindCamera(0, stored));
    EXPECT_EQ(stored.message, "Setup done");
    store.SetCameraMessage(5, "nobody");  // no such camera: nothing
}

struct UpdateCase {
    const char* what;
    int index;
    int mode;
    bool changesIpAndName;
    bool changesState;
    bool changesVersion;
};

class UpdateModes : public ::testing::TestWithParam<UpdateCase> {};

TEST_P(UpdateModes, ChangeOnlyWhatTheModeNames)
{
    const UpdateCase& c = GetParam();
    for (bool cameras : {true, false}) {
        CDataCommon store;
        for (int i = 0; i < 2; ++i) {
            DeviceRecord r = Device(Mac(i));
            r.version = "1.00";
            cameras ? store.AppendCamera(r) : store.AppendController(r);
        }
        DeviceRecord change = Device(Mac(9));
        change.index = c.index;
        change.ip = {1, 2, 3, 4};
        change.mask = {255, 0, 0, 0};
        change.gateway = {1, 0, 0, 254};
        change.name = "renamed";
        change.state = 4;
        change.version = "2.00";
        cameras ? store.UpdateCamera(change, c.mode) : store.UpdateController(change, c.mode);

        std::vector<DeviceRecord> list;
        cameras ? store.CopyCameras(list) : store.CopyControllers(list);
        ASSERT_EQ(list.size(), 2u);
        for (int i = 0; i < 2; ++i) {
            const bool target = i == c.index;
            const DeviceRecord& r = list[i];
            EXPECT_EQ(r.ip == change.ip && r.name == "renamed" && r.mask == change.mask &&
                          r.gateway == change.gateway,
                      target && c.changesIpAndName)
                << c.what << " record " << i;
            EXPECT_EQ(r.state, target && c.changesState ? 4 : 0) << c.what << " record " << i;
            EXPECT_EQ(r.version, target && c.changesVersion ? "2.00" : "1.00") << c.what << " record " << i;
            EXPECT_EQ(r.index, i);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, UpdateModes,
                         ::testing::Values(UpdateCase{"replace", 1, 0, true, true, true},
                                           UpdateCase{"settings", 0, 1, true, false, false},
                                           UpdateCase{"state", 1, 2, false, true, false},
                                           UpdateCase{"unknown mode", 1, 3, false, false, false},
                                           UpdateCase{"index equal to count", 2, 0, false, false, false},
                                           UpdateCase{"negative index", -1, 1, false, false, false}));

TEST(UsedAddresses, EmptyListGivesOnlyTheHost)
{
    CDataCommon store;
    std::vector<std::string> out;
    store.UsedCameraAddresses(out);
    EXPECT_EQ(out, (std::vector<std::string>{"0.0.0.0"}));
    store.SetHostAddress({192, 168, 0, 9});
    EXPECT_EQ(store.HostAddress(), (Address4{192, 168, 0, 9}));
    out.clear();
    store.UsedControllerAddresses(out);
    EXPECT_EQ(out, (std::vector<std::string>{"192.168.0.9"}));
}

TEST(UsedAddresses, FirstDevicesOnlyWithoutRepeatsThenTheHost)
{
    CDataCommon store;
    store.SetHostAddress({10, 0, 0, 5});
    for (int i = 0; i < 113; ++i)
        store.AppendCamera(
            Device(Mac(i), "IPCARD", {10, 0, static_cast<std::uint8_t>(i / 100), static_cast<std::uint8_t>(i % 100)}));
    // Repeat an address.
    DeviceRecord same;
    ASSERT_TRUE(store.FindCamera(1, same));
    same.ip = {10, 0, 0, 0};
    store.UpdateCamera(same, 1);
    // The host's own address among the cameras.
    ASSERT_TRUE(store.FindCamera(2, same));
    same.ip = {10, 0, 0, 5};
    store.UpdateCamera(same, 1);

    std::vector<std::string> out{"10.0.0.3"};  // held already: not added again
    store.UsedCameraAddresses(out);
    // 112 cameras looked at; left out: camera 1 (repeats camera 0), camera 3
    // (held already) and camera 5 (repeats camera 2).
    ASSERT_EQ(out.size(), 1u + 112u - 3u + 1u);
    EXPECT_EQ(out[0], "10.0.0.3");
    EXPECT_EQ(out[1], "10.0.0.0");
    EXPECT_EQ(out[2], "10.0.0.5");
    EXPECT_EQ(out[3], "10.0.0.4");
    EXPECT_EQ(out[out.size() - 2], "10.0.1.11");  // camera 112 (index 111)
    EXPECT_EQ(out.back(), "10.0.0.5");            // host, without the check

    for (int i = 0; i < 6; ++i)
        store.AppendController(Device(Mac(i), "CONTROLLER", {172, 16, 0, static_cast<std::uint8_t>(i)}));
    out.clear();
    store.UsedControllerAddresses(out);
    EXPECT_EQ(out, (std::vector<std::string>{"172.16.0.0", "172.16.0.1", "172.16.0.2", "172.16.0.3", "172.16.0.4",
                                             "10.0.0.5"}));
}

TEST(Directory, FilterKeepsControllersInOrder)
{
    CDataCommon store;
    store.AddToDirectory(Device("02-00-C0-A8-00-01", "IPCARD"));
    DeviceRecord ctl = Device("02-00-C0-A8-01-00", "CONTROLLER");
    ctl.index = 0;
    store.AddToDirectory(ctl);
    store.AddToDirectory(Device("02-00-C0-A8-00-02", "IPCARD"));
    DeviceRecord hub = Device("02-00-C0-A8-02-00", "ST-HUB80");
    hub.index = 1;
    store.AddToDirectory(hub);

    DeviceDirectoryEntry entry;
    ASSERT_TRUE(store.FindDirectoryEntry("02-00-c0-a8-00-02", entry));
    EXPECT_EQ(entry, (DeviceDirectoryEntry{77, "IPCARD", "02-00-C0-A8-00-02"}));
    EXPECT_FALSE(store.FindDirectoryEntry("", entry));

    store.FilterDirectory(2);  // unknown kind: nothing
    EXPECT_EQ(store.DirectoryCount(), 4u);
    store.FilterDirectory(1);
    std::vector<DeviceDirectoryEntry> dir;
    store.CopyDirectory(dir);
    EXPECT_EQ(dir, (std::vector<DeviceDirectoryEntry>{{0, "CONTROLLER", "02-00-C0-A8-01-00"},
                                                      {1, "ST-HUB80", "02-00-C0-A8-02-00"}}));
    EXPECT_FALSE(store.FindDirectoryEntry("02-00-C0-A8-00-01", entry));
    store.FilterDirectory(0);
    EXPECT_EQ(store.DirectoryCount(), 0u);
}

std::array<CameraTableEntry, kCameraTableRows> TableRows()
{
    std::array<CameraTableEntry, kCameraTableRows> rows{};
    for (int i = 0; i < kCameraTableRows; ++i) {
        rows[i].name = "cam" + std::to_string(i);
        rows[i].tableIndex = 500;
        rows[i].flag = 1;
        rows[i].number = static_cast<std::uint8_t>(i + 1);
        rows[i].state = static_cast<DeviceStatus>(i % 4);
    }
    rows[5].name = "much-too-long";
    return rows;
}

TEST(CameraTables, StoreNumbersRowsAndClearsFlags)
{
    CDataCommon store;
    EXPECT_EQ(store.CameraTableRowState(0, 111), 0);  // empty table
    ASSERT_TRUE(store.StoreCameraTable(TableRows(), 2));
    std::vector<CameraTableEntry> table;
    store.CopyCameraTable(2, table);
    ASSERT_EQ(table.size(), 112u);
    for (int i = 0; i < kCameraTableRows; ++i) {
        EXPECT_EQ(table[i].tableIndex, i);
        EXPECT_EQ(table[i].flag, 0);
    }
    EXPECT_EQ(table[5].name, "much-too");
    EXPECT_EQ(store.CameraTableRowState(2, 3), 3);
    EXPECT_EQ(store.CameraTableRowState(2, 111), 3);
    EXPECT_EQ(store.CameraTableRowState(2, 112), 0);
    EXPECT_EQ(store.CameraTableRowState(2, -1), 0);
    EXPECT_EQ(store.CameraTableRowCount(1), 0u);

    // Storing again replaces, never appends.
    ASSERT_TRUE(store.StoreCameraTable(TableRows(), 2));
    EXPECT_EQ(store.CameraTableRowCount(2), 112u);

    store.ClearCameraTable(2);
    store.CopyCameraTable(2, table);
    EXPECT_TRUE(table.empty());
}

TEST(CameraTables, WrongSizeOrSlotChangesNothing)
{
    CDataCommon store;
    ASSERT_TRUE(store.StoreCameraTable(TableRows(), 0));
    const auto rows = TableRows();
    std::vector<CameraTableEntry> shorter(rows.begin(), rows.begin() + 100);
    EXPECT_FALSE(store.StoreCameraTable(shorter, 0));
    EXPECT_EQ(store.CameraTableRowCount(0), 112u);
    EXPECT_FALSE(store.StoreCameraTable(TableRows(), 5));
    EXPECT_FALSE(store.StoreCameraTable(TableRows(), -1));
    std::vector<CameraTableEntry> table{CameraTableEntry{}};
    store.CopyCameraTable(5, table);
    EXPECT_TRUE(table.empty());
    EXPECT_EQ(store.CameraTableRowState(5, 0), 0);
    store.ClearCameraTable(7);  // nothing
}

TEST(CameraTables, MessagesPerControllerSlot)
{
    CDataCommon store;
    store.SetCameraTableMessage(4, "ok");
    store.SetCameraTableMessage(5, "ignored");
    store.SetCameraTableMessage(-1, "ignored");
    EXPECT_EQ(store.CameraTableMessage(4), "ok");
    EXPECT_EQ(store.CameraTableMessage(0), "");
    EXPECT_EQ(store.CameraTableMessage(5), "");
    store.SetCameraTableMessage(0, std::string(1500, 'z'));
    EXPECT_EQ(store.CameraTableMessage(0).size(), 1023u);
    // Tables and messages survive clearing the device lists.
    ASSERT_TRUE(store.StoreCameraTable(TableRows(), 4));
    store.ClearCameras();
    store.ClearControllers();
    store.ClearReplyQueue();
    store.FilterDirectory(0);
    EXPECT_EQ(store.CameraTableRowCount(4), 112u);
    EXPECT_EQ(store.CameraTableMessage(4), "ok");
}

}  // namespace
}  // namespace korvo
