// Set-ups that cannot obtain a block or the scratch buffer: the channel stays unusable, publishing does
// nothing and nothing faults, and the set-up still counts as done.
#include <gtest/gtest.h>

#include <vector>

#include "CameraChannel.h"
#include "CameraChannelTestSeam.h"
#include "ChannelTestTypes.h"
#include "FramePublisher.h"

namespace {

LONG mapCalls = 0;

LPVOID WINAPI FailingMap(HANDLE, DWORD, DWORD, DWORD, SIZE_T)
{
    InterlockedIncrement(&mapCalls);
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
}

// Fails the first frame-block mapping only (the header's is the first call of the set-up).
LPVOID WINAPI FailingSecondMap(HANDLE section, DWORD access, DWORD high, DWORD low, SIZE_T length)
{
    if (InterlockedIncrement(&mapCalls) == 2)
        return nullptr;
    return MapViewOfFile(section, access, high, low, length);
}

LPVOID WINAPI FailingHeapAlloc(HANDLE, DWORD, SIZE_T)
{
    return nullptr;
}

// Publishes through the module's entry point, on both paths; the caller checks that no block changed.
void ExpectPublishingDoesNothing()
{
    const COwnedMediaType type = MakeVideoType(4, 2, 16);
    const std::vector<BYTE> frame(16, 200);
    PublishFrame(frame.data(), static_cast<ULONG>(frame.size()), &type);
    const COwnedMediaType other = MakeVideoType(4, 2, 32);
    PublishFrame(frame.data(), static_cast<ULONG>(frame.size()), &other);
    EXPECT_FALSE(SnapshotCameraChannel().IsUsable());
    EXPECT_FALSE(CameraChannelSetUpPending());
}

}  // namespace

TEST(CameraChannelFailure, HeaderNameTakenByAnotherKindOfObject)
{
    HANDLE squatter = CreateEventW(nullptr, TRUE, FALSE, kHeaderBlockName);
    ASSERT_NE(squatter, nullptr);

    SetUpCameraChannel(RecordOf(MakeVideoType(640, 480, 16)));

    EXPECT_EQ(SnapshotCameraChannel().headerView, nullptr);
    EXPECT_EQ(SnapshotCameraChannel().frameView, nullptr);
    EXPECT_EQ(SnapshotCameraChannel().scratchBuffer, nullptr);
    ExpectPublishingDoesNothing();
    EXPECT_EQ(OpenFileMappingW(FILE_MAP_READ, FALSE, FrameBlockNameOfTry(0).c_str()), nullptr);
    CloseHandle(squatter);
}

TEST(CameraChannelFailure, HeaderBlockThatCannotBeMapped)
{
    CameraChannelPlatformCalls().mapViewOfFile = FailingMap;

    SetUpCameraChannel(RecordOf(MakeVideoType(640, 480, 16)));

    EXPECT_EQ(mapCalls, 1);
    EXPECT_EQ(SnapshotCameraChannel().headerView, nullptr);
    ExpectPublishingDoesNothing();
}

TEST(CameraChannelFailure, HeaderBlockOfReservedMemory)
{
    const TestSection reserved = CreateTestSection(kHeaderBlockName, 580, SEC_RESERVE | PAGE_READWRITE);
    ASSERT_NE(reserved.handle, nullptr);

    SetUpCameraChannel(RecordOf(MakeVideoType(640, 480, 16)));

    EXPECT_EQ(SnapshotCameraChannel().headerView, nullptr);
    ExpectPublishingDoesNothing();
}

TEST(CameraChannelFailure, NoFrameBlockNameLeft)
{
    // Every name the field can hold is taken: by blocks too small, or by objects of another kind (whose
    // CreateFileMappingW fails).
    std::vector<TestSection> small;
    std::vector<HANDLE> events;
    for (unsigned attempt = 0; attempt <= 110; ++attempt) {
        const std::wstring name = FrameBlockNameOfTry(attempt);
        if (attempt % 2 == 0)
            small.push_back(CreateTestSection(name, 4096));
        else
            events.push_back(CreateEventW(nullptr, TRUE, FALSE, name.c_str()));
    }
    const COwnedMediaType type = MakeVideoType(640, 480, 16);

    SetUpCameraChannel(&type);

    EXPECT_EQ(SnapshotCameraChannel().frameView, nullptr);
    ASSERT_NE(SnapshotCameraChannel().headerView, nullptr);
    EXPECT_EQ(FrameBlockNameIn(*SnapshotCameraChannel().headerView), L"");  // no rejected block is announced
    EXPECT_EQ(SnapshotCameraChannel().headerView->initialised, 1);
    EXPECT_EQ(FormatIn(*SnapshotCameraChannel().headerView).biWidth, 640);
    ExpectPublishingDoesNothing();
    EXPECT_EQ(small[0].view[0], 0);
    for (HANDLE event : events)
        CloseHandle(event);
}

TEST(CameraChannelFailure, FrameBlockMappingFailureMovesToTheNextName)
{
    CameraChannelPlatformCalls().mapViewOfFile = FailingSecondMap;

    SetUpCameraChannel(RecordOf(MakeVideoType(640, 480, 16)));

    ASSERT_NE(SnapshotCameraChannel().headerView, nullptr);
    EXPECT_EQ(FrameBlockNameIn(*SnapshotCameraChannel().headerView), FrameBlockNameOfTry(1));
    EXPECT_TRUE(SnapshotCameraChannel().IsUsable());
}

TEST(CameraChannelFailure, ScratchBufferNotAllocated)
{
    CameraChannelPlatformCalls().heapAlloc = FailingHeapAlloc;

    SetUpCameraChannel(RecordOf(MakeVideoType(4, 2, 16)));

    EXPECT_EQ(SnapshotCameraChannel().scratchBuffer, nullptr);
    ASSERT_NE(SnapshotCameraChannel().frameView, nullptr);
    const TestSection frame = OpenTestSection(FrameBlockNameOfTry(0));
    ASSERT_NE(frame.view, nullptr);
    ExpectPublishingDoesNothing();
    EXPECT_EQ(frame.view[0], 0);
}
