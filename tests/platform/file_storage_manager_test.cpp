// The storage manager lists exactly the mounted volumes.
#include "platform/files/storage_manager.h"
#include "tests/platform/file_test_support.h"

namespace kestrava_test {
namespace {

using os::sim::VolumeConfig;

class StorageManagerTest : public DeviceRootTest {};

std::vector<os::STOREINFO> Stores()
{
    std::vector<os::STOREINFO> stores;
    os::STOREINFO info;
    const os::HANDLE search = os::FindFirstStore(&info);
    if (search == os::INVALID_HANDLE_VALUE) return stores;
    do {
        stores.push_back(info);
    } while (os::FindNextStore(search, &info));
    EXPECT_EQ(os::GetLastError(), Code(os::ERROR_NO_MORE_ITEMS));
    EXPECT_TRUE(os::FindCloseStore(search));
    return stores;
}

// The walk the storage code does: removable stores, their partitions.
std::vector<std::string> MountedVolumeNames()
{
    std::vector<std::string> names;
    for (const os::STOREINFO& store : Stores()) {
        if ((store.dwAttributes & os::STORE_ATTRIBUTE_REMOVABLE) == 0) continue;
        const os::HANDLE opened = os::OpenStore(store.szDeviceName.c_str());
        EXPECT_NE(opened, os::INVALID_HANDLE_VALUE) << store.szDeviceName;
        os::PARTINFO part;
        const os::HANDLE parts = os::FindFirstPartition(opened, &part);
        EXPECT_NE(parts, os::INVALID_HANDLE_VALUE);
        if (parts != os::INVALID_HANDLE_VALUE) {
            do {
                if ((part.dwAttributes & os::PARTITION_ATTRIBUTE_MOUNTED) != 0) names.push_back(part.szVolumeName);
            } while (os::FindNextPartition(parts, &part));
            EXPECT_EQ(os::GetLastError(), Code(os::ERROR_NO_MORE_ITEMS));
            EXPECT_TRUE(os::FindClosePartition(parts));
        }
        EXPECT_TRUE(os::CloseHandle(opened));
    }
    return names;
}

TEST_F(StorageManagerTest, ListsExactlyTheMountedVolumes)
{
    Configure({VolumeConfig{"Storage Card", 0, true, ""}, VolumeConfig{"USB Disk", 0, false, ""},
               VolumeConfig{"Internal", 0, true, ""}});
    EXPECT_EQ(MountedVolumeNames(), (std::vector<std::string>{"Storage Card", "Internal"}));

    ASSERT_TRUE(os::sim::MountVolume("USB Disk"));
    ASSERT_TRUE(os::sim::UnmountVolume("Storage Card"));
    EXPECT_EQ(MountedVolumeNames(), (std::vector<std::string>{"USB Disk", "Internal"}));

    ASSERT_TRUE(os::sim::UnmountVolume("USB Disk"));
    ASSERT_TRUE(os::sim::UnmountVolume("Internal"));
    os::STOREINFO info;
    EXPECT_EQ(os::FindFirstStore(&info), os::INVALID_HANDLE_VALUE);
    EXPECT_EQ(os::GetLastError(), Code(os::ERROR_NO_MORE_ITEMS));
}

TEST_F(StorageManagerTest, StoreOfARemovedVolumeIsDead)
{
    Configure({VolumeConfig{"Storage Card", 0, true, ""}});
    const std::vector<os::STOREINFO> stores = Stores();
    ASSERT_EQ(stores.size(), 1u);
    EXPECT_EQ(stores[0].szDeviceName, "DSK1:");
    const os::HANDLE store = os::OpenStore("DSK1:");
    ASSERT_NE(store, os::INVALID_HANDLE_VALUE);
    EXPECT_EQ(os::OpenStore("DSK2:"), os::INVALID_HANDLE_VALUE);
    EXPECT_EQ(os::GetLastError(), Code(os::ERROR_FILE_NOT_FOUND));

    ASSERT_TRUE(os::sim::UnmountVolume("Storage Card"));
    os::PARTINFO part;
    EXPECT_EQ(os::FindFirstPartition(store, &part), os::INVALID_HANDLE_VALUE);
    EXPECT_EQ(os::GetLastError(), Code(os::ERROR_DEVICE_NOT_AVAILABLE));
    EXPECT_EQ(os::OpenStore("DSK1:"), os::INVALID_HANDLE_VALUE);
    EXPECT_TRUE(os::CloseHandle(store));
    EXPECT_FALSE(os::CloseHandle(store));

    // Searches are not closed by the wrong call.
    ASSERT_TRUE(os::sim::MountVolume("Storage Card"));
    os::STOREINFO info;
    const os::HANDLE search = os::FindFirstStore(&info);
    ASSERT_NE(search, os::INVALID_HANDLE_VALUE);
    EXPECT_EQ(ErrorOf(os::FindClose(search)), Code(os::ERROR_INVALID_HANDLE));
    EXPECT_EQ(ErrorOf(os::FindClosePartition(search)), Code(os::ERROR_INVALID_HANDLE));
    EXPECT_TRUE(os::FindCloseStore(search));
}

}  // namespace
}  // namespace kestrava_test
