// The once-per-process set-up on the prefix's real named sections. Each test runs in a process of its own,
// so the module-wide state starts fresh (the set-up pending) in every test, and the blocks of earlier tests are
// gone with their processes.
#include <gtest/gtest.h>

#include <vector>

#include "CameraChannel.h"
#include "CameraChannelTestSeam.h"
#include "ChannelTestTypes.h"
#include "FramePublisher.h"

namespace {

struct CreateCall {
    std::wstring name;
    DWORD protect;
    DWORD sizeLow;
};
std::vector<CreateCall> createCalls;
LONG openCalls = 0;

HANDLE WINAPI RecordingCreate(HANDLE file, LPSECURITY_ATTRIBUTES security, DWORD protect, DWORD sizeHigh, DWORD sizeLow,
                              LPCWSTR name)
{
    createCalls.push_back({name, protect, sizeLow});
    return CreateFileMappingW(file, security, protect, sizeHigh, sizeLow, name);
}

// Slow on purpose: widens the window in which a second thread could slip into the set-up.
HANDLE WINAPI CountingSlowOpen(DWORD access, BOOL inherit, LPCWSTR name)
{
    InterlockedIncrement(&openCalls);
    Sleep(50);
    return OpenFileMappingW(access, inherit, name);
}

// One capture pin checking a type on a thread of its own, released together with the others by `go`.
struct ConcurrentCheck {
    const AM_MEDIA_TYPE* type;
    HANDLE go;
    bool usableAfter;
};

DWORD WINAPI RunConcurrentCheck(void* argument)
{
    auto* check = static_cast<ConcurrentCheck*>(argument);
    WaitForSingleObject(check->go, INFINITE);
    SetUpCameraChannel(check->type);
    check->usableAfter = SnapshotCameraChannel().IsUsable();
    return 0;
}

const std::wstring kFirstFrameBlock = FrameBlockNameOfTry(0);
const std::wstring kSecondFrameBlock = FrameBlockNameOfTry(1);

void ExpectFormatOf(const CameraHeaderBlock* header, const BITMAPINFOHEADER& source)
{
    BITMAPINFOHEADER expected = source;
    expected.biBitCount = 24;
    expected.biCompression = BI_RGB;
    const BITMAPINFOHEADER format = FormatIn(*header);
    EXPECT_EQ(0, std::memcmp(&format, &expected, sizeof expected))
        << format.biWidth << "x" << format.biHeight << " bits " << format.biBitCount;
}

}  // namespace

TEST(CameraChannelSetUp, FirstSetUpCreatesAndInitialisesBothBlocks)
{
    ASSERT_EQ(OpenFileMappingW(FILE_MAP_READ, FALSE, kHeaderBlockName), nullptr) << "a header block is left over";
    CameraChannelPlatformCalls().createFileMapping = RecordingCreate;
    const COwnedMediaType type = MakeVideoType(640, 480, 16);
    ASSERT_TRUE(CameraChannelSetUpPending());

    SetUpCameraChannel(&type);

    EXPECT_FALSE(CameraChannelSetUpPending());
    ASSERT_EQ(createCalls.size(), 2u);
    EXPECT_EQ(createCalls[0].name, kHeaderBlockName);
    EXPECT_EQ(createCalls[0].protect, static_cast<DWORD>(PAGE_READWRITE));
    EXPECT_EQ(createCalls[0].sizeLow, 580u);
    EXPECT_EQ(createCalls[1].name, kFirstFrameBlock);
    EXPECT_EQ(createCalls[1].protect, 0x08000004u);
    EXPECT_EQ(createCalls[1].sizeLow, 6220800u);

    const TestSection header = OpenTestSection(kHeaderBlockName);
    ASSERT_NE(header.view, nullptr);
    const auto* block = reinterpret_cast<const CameraHeaderBlock*>(header.view);
    EXPECT_EQ(block->initialised, 1);
    EXPECT_EQ(block->auxInt0, 0);
    EXPECT_EQ(block->auxInt1, 0);
    EXPECT_EQ(BitsOf(block->auxFloat0), 0x3E19999Au);
    EXPECT_EQ(BitsOf(block->auxFloat1), 0x3E19999Au);
    ExpectFormatOf(block, PictureOf(type));
    EXPECT_EQ(FormatIn(*block).biSizeImage, 640u * 480 * 2);  // the source's size is kept
    EXPECT_EQ(FrameBlockNameIn(*block), kFirstFrameBlock);

    // The module's views are the named blocks.
    SnapshotCameraChannel().headerView->unused576[0] = 0x5A;
    EXPECT_EQ(header.view[576], 0x5A);
    const TestSection frame = OpenTestSection(kFirstFrameBlock);
    ASSERT_NE(frame.view, nullptr);
    SnapshotCameraChannel().frameView[kFrameBlockSize - 1] = 0x77;
    EXPECT_EQ(frame.view[kFrameBlockSize - 1], 0x77);

    const unsigned char* scratch = SnapshotCameraChannel().scratchBuffer;
    ASSERT_NE(scratch, nullptr);
    EXPECT_EQ(std::vector<unsigned char>(scratch, scratch + kFrameBlockSize),
              std::vector<unsigned char>(kFrameBlockSize, 0));
    EXPECT_TRUE(SnapshotCameraChannel().IsUsable());
}

TEST(CameraChannelSetUp, InitialisedHeaderKeepsItsAuxValuesButGetsFormatAndName)
{
    const TestSection existing = CreateTestSection(kHeaderBlockName, 580);
    ASSERT_NE(existing.view, nullptr);
    std::memset(existing.view, 0xEE, 580);
    auto* block = reinterpret_cast<CameraHeaderBlock*>(existing.view);
    block->initialised = 1;
    block->auxInt0 = 5;
    block->auxInt1 = -6;
    block->auxFloat0 = 1.5f;
    block->auxFloat1 = 2.5f;
    const COwnedMediaType type = MakeVideoType(320, 240, 16);

    SetUpCameraChannel(&type);

    EXPECT_EQ(block->initialised, 1);
    EXPECT_EQ(block->auxInt0, 5);
    EXPECT_EQ(block->auxInt1, -6);
    EXPECT_EQ(block->auxFloat0, 1.5f);
    EXPECT_EQ(block->auxFloat1, 2.5f);
    ExpectFormatOf(block, PictureOf(type));
    EXPECT_EQ(FrameBlockNameIn(*block), kFirstFrameBlock);
    EXPECT_EQ(block->unused44[0], 0xEE);  // bytes the system never writes
    EXPECT_EQ(block->unused576[3], 0xEE);
}

TEST(CameraChannelSetUp, UninitialisedExistingHeaderGetsTheDefaults)
{
    const TestSection existing = CreateTestSection(kHeaderBlockName, 580);
    ASSERT_NE(existing.view, nullptr);
    auto* block = reinterpret_cast<CameraHeaderBlock*>(existing.view);
    block->auxInt0 = 9;
    block->auxFloat1 = 9.0f;

    SetUpCameraChannel(RecordOf(MakeVideoType(320, 240, 16)));

    EXPECT_EQ(block->initialised, 1);
    EXPECT_EQ(block->auxInt0, 0);
    EXPECT_EQ(BitsOf(block->auxFloat1), 0x3E19999Au);
}

TEST(CameraChannelSetUp, TooSmallFrameBlockIsSkippedForTheNextName)
{
    const TestSection small = CreateTestSection(kFirstFrameBlock, 4096);
    ASSERT_NE(small.view, nullptr);
    std::memset(small.view, 0x42, 4096);

    SetUpCameraChannel(RecordOf(MakeVideoType(640, 480, 16)));

    EXPECT_EQ(FrameBlockNameIn(*SnapshotCameraChannel().headerView), kSecondFrameBlock);
    const TestSection second = OpenTestSection(kSecondFrameBlock);
    ASSERT_NE(second.view, nullptr);
    SnapshotCameraChannel().frameView[0] = 0x11;
    EXPECT_EQ(second.view[0], 0x11);
    EXPECT_EQ(small.view[0], 0x42);
}

TEST(CameraChannelSetUp, ReservedButUncommittedFrameBlockIsSkipped)
{
    // Large enough by its size, but writing to it would fault.
    const TestSection reserved = CreateTestSection(kFirstFrameBlock, kFrameBlockSize, SEC_RESERVE | PAGE_READWRITE);
    ASSERT_NE(reserved.handle, nullptr);

    SetUpCameraChannel(RecordOf(MakeVideoType(640, 480, 16)));

    EXPECT_EQ(FrameBlockNameIn(*SnapshotCameraChannel().headerView), kSecondFrameBlock);
    ASSERT_NE(SnapshotCameraChannel().frameView, nullptr);
    SnapshotCameraChannel().frameView[kFrameBlockSize - 1] = 1;
}

TEST(CameraChannelSetUp, LargeEnoughExistingFrameBlockIsReused)
{
    const TestSection existing = CreateTestSection(kFirstFrameBlock, kFrameBlockSize);
    ASSERT_NE(existing.view, nullptr);
    existing.view[100] = 0x99;
    const COwnedMediaType type = MakeVideoType(2, 1, 32);

    SetUpCameraChannel(&type);

    EXPECT_EQ(FrameBlockNameIn(*SnapshotCameraChannel().headerView), kFirstFrameBlock);
    ASSERT_NE(SnapshotCameraChannel().frameView, nullptr);
    EXPECT_EQ(SnapshotCameraChannel().frameView[100], 0x99);
    const BYTE frame[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    PublishFrame(frame, sizeof frame, &type);
    EXPECT_EQ(0, std::memcmp(existing.view, frame, sizeof frame));
}

TEST(CameraChannelSetUp, LastNameThatFitsTheFieldIsStillTried)
{
    // Tries 0 to 109 find blocks too small; try 110's name is 253 characters, the longest the field holds.
    std::vector<TestSection> taken;
    for (unsigned attempt = 0; attempt < 110; ++attempt)
        taken.push_back(CreateTestSection(FrameBlockNameOfTry(attempt), 4096));

    SetUpCameraChannel(RecordOf(MakeVideoType(640, 480, 16)));

    EXPECT_EQ(FrameBlockNameIn(*SnapshotCameraChannel().headerView), FrameBlockNameOfTry(110));
    EXPECT_EQ(FrameBlockNameIn(*SnapshotCameraChannel().headerView).size(), 253u);
    EXPECT_NE(SnapshotCameraChannel().frameView, nullptr);
}

TEST(CameraChannelSetUp, TypeWithoutPictureHeaderLeavesTheFormatAlone)
{
    const TestSection existing = CreateTestSection(kHeaderBlockName, 580);
    ASSERT_NE(existing.view, nullptr);
    auto* block = reinterpret_cast<CameraHeaderBlock*>(existing.view);
    std::memset(block->format, 0x3C, sizeof block->format);
    const COwnedMediaType shortType = MakeVideoType(640, 480, 16, FORMAT_VideoInfo, 87);

    SetUpCameraChannel(&shortType);

    EXPECT_EQ(std::vector<unsigned char>(block->format, block->format + 40), std::vector<unsigned char>(40, 0x3C));
    EXPECT_EQ(FrameBlockNameIn(*block), kFirstFrameBlock);
    EXPECT_EQ(block->initialised, 1);
    // Its frames are copied as they come, bounded by the frame block.
    std::vector<BYTE> frame(kFrameBlockSize + 4096, 0x61);
    PublishFrame(frame.data(), static_cast<ULONG>(frame.size()), &shortType);
    EXPECT_EQ(SnapshotCameraChannel().frameView[kFrameBlockSize - 1], 0x61);
    EXPECT_EQ(block->format[0], 0x3C);
}

TEST(CameraChannelSetUp, LaterChecksCauseNoSecondSetUp)
{
    CameraChannelPlatformCalls().createFileMapping = RecordingCreate;
    const COwnedMediaType first = MakeVideoType(640, 480, 16);
    const COwnedMediaType second = MakeVideoType(1280, 720, 16);
    SetUpCameraChannel(&first);
    const size_t calls = createCalls.size();
    CameraHeaderBlock* const header = SnapshotCameraChannel().headerView;
    unsigned char* const scratch = SnapshotCameraChannel().scratchBuffer;

    SetUpCameraChannel(&second);

    EXPECT_EQ(createCalls.size(), calls);
    EXPECT_EQ(SnapshotCameraChannel().headerView, header);
    EXPECT_EQ(SnapshotCameraChannel().scratchBuffer, scratch);
    EXPECT_EQ(FormatIn(*SnapshotCameraChannel().headerView).biWidth, 640);
}

TEST(CameraChannelSetUp, TwoThreadsCheckingAtOnceSetUpOnce)
{
    CameraChannelPlatformCalls().openFileMapping = CountingSlowOpen;
    const COwnedMediaType type = MakeVideoType(640, 480, 16);
    HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ConcurrentCheck checks[2] = {{&type, go, false}, {&type, go, false}};
    HANDLE threads[2];
    for (int i = 0; i < 2; ++i)
        threads[i] = CreateThread(nullptr, 0, RunConcurrentCheck, &checks[i], 0, nullptr);
    SetEvent(go);
    WaitForMultipleObjects(2, threads, TRUE, INFINITE);

    EXPECT_EQ(openCalls, 1);
    EXPECT_FALSE(CameraChannelSetUpPending());
    // The thread that did not set up returned only after the set-up was complete.
    EXPECT_TRUE(checks[0].usableAfter);
    EXPECT_TRUE(checks[1].usableAfter);
    CloseHandle(threads[0]);
    CloseHandle(threads[1]);
    CloseHandle(go);
}
