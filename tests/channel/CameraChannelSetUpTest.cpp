// The once-per-process set-up on the prefix's real named sections, and set-ups that cannot obtain a block or
// the scratch buffer: the channel stays unusable, publishing does nothing and nothing faults, and the set-up
// still counts as done. Each test runs in a process of its own, so the module-wide state starts fresh (the
// set-up pending) in every test, and the blocks of earlier tests are gone with their processes.
#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <vector>

#include "CameraChannel.h"
#include "CameraChannelReader.h"
#include "CameraChannelTestSeam.h"
#include "FramePublisher.h"
#include "NamedSection.h"
#include "VideoMediaType.h"

namespace {

struct CreateCall {
    std::wstring name;
    DWORD protect;
    DWORD sizeLow;
};
std::vector<CreateCall> createCalls;
LONG openCalls = 0;
LONG mapCalls = 0;

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

// The frame-block name of try `attempt`: the base name followed by the digits of 0, 1, ..., attempt.
std::wstring FrameBlockNameOfTry(unsigned attempt)
{
    std::wstring name = kFrameBlockBaseName;
    for (unsigned k = 0; k <= attempt; ++k)
        name += std::to_wstring(k);
    return name;
}

// A section large enough by its size whose memory is reserved but not committed: writing to it would fault.
// The handle is kept until the test process ends.
HANDLE CreateReservedSection(const std::wstring& name, DWORD size)
{
    return CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, SEC_RESERVE | PAGE_READWRITE, 0, size, name.c_str());
}

// Sets the channel up with a 640 x 480 packed 4:2:2 type.
void SetUpWithAType()
{
    const COwnedMediaType type = MakeVideoType(640, 480, 16);
    SetUpCameraChannel(&type);
}

// One capture pin checking a type on a thread of its own, released together with the others by `go`.
struct ConcurrentCheck {
    HANDLE go;
    bool usableAfter;
};

DWORD WINAPI RunConcurrentCheck(void* argument)
{
    auto* check = static_cast<ConcurrentCheck*>(argument);
    WaitForSingleObject(check->go, INFINITE);
    SetUpWithAType();
    check->usableAfter = SnapshotCameraChannel().IsUsable();
    return 0;
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

// A block the set-up will find it cannot use, made so by `prepare`.
struct UnusableBlock {
    const char* name;
    void (*prepare)();
};

void PrintTo(const UnusableBlock& block, std::ostream* out)
{
    *out << block.name;
}

std::string NameOf(const testing::TestParamInfo<UnusableBlock>& info)
{
    return info.param.name;
}

// The too-small first frame block of the test that makes one, kept to see that it is never written.
std::unique_ptr<NamedSection> tooSmall;

}  // namespace

TEST(CameraChannelSetUp, FirstSetUpCreatesAndInitialisesBothBlocksAndIsTheOnlyOne)
{
    ASSERT_FALSE(CameraChannelReader::HeaderBlockExists()) << "a header block is left over";
    CameraChannelPlatformCalls().createFileMapping = RecordingCreate;
    const COwnedMediaType type = MakeVideoType(640, 480, 16);
    ASSERT_TRUE(CameraChannelSetUpPending());

    SetUpCameraChannel(&type);

    EXPECT_FALSE(CameraChannelSetUpPending());
    ASSERT_EQ(createCalls.size(), 2u);
    EXPECT_EQ(createCalls[0].name, kHeaderBlockName);
    EXPECT_EQ(createCalls[0].protect, static_cast<DWORD>(PAGE_READWRITE));
    EXPECT_EQ(createCalls[0].sizeLow, 580u);
    EXPECT_EQ(createCalls[1].name, FrameBlockNameOfTry(0));
    EXPECT_EQ(createCalls[1].protect, 0x08000004u);
    EXPECT_EQ(createCalls[1].sizeLow, 6220800u);

    CameraChannelReader channel;
    ASSERT_TRUE(channel.Open());
    EXPECT_EQ(channel.header->initialised, 1);
    EXPECT_EQ(channel.header->auxInt0, 0);
    EXPECT_EQ(channel.header->auxInt1, 0);
    EXPECT_EQ(channel.header->auxFloat0, 0.15f);  // bits 0x3E19999A
    EXPECT_EQ(channel.header->auxFloat1, 0.15f);
    EXPECT_TRUE(SameHeader(channel.Format(), PublishedFormat(PictureOf(type))));
    EXPECT_EQ(channel.Format().biSizeImage, 640u * 480 * 2);  // the source's size is kept
    EXPECT_EQ(channel.FrameBlockName(), FrameBlockNameOfTry(0));

    // The module's views are the named blocks.
    SnapshotCameraChannel().headerView->unused576[0] = 0x5A;
    EXPECT_EQ(channel.header->unused576[0], 0x5A);
    SnapshotCameraChannel().frameView[kFrameBlockSize - 1] = 0x77;
    EXPECT_EQ(channel.frame[kFrameBlockSize - 1], 0x77);

    const CameraChannelViews views = SnapshotCameraChannel();
    const unsigned char* scratch = views.scratchBuffer;
    ASSERT_NE(scratch, nullptr);
    EXPECT_EQ(std::vector<unsigned char>(scratch, scratch + kFrameBlockSize),
              std::vector<unsigned char>(kFrameBlockSize, 0));
    EXPECT_TRUE(SnapshotCameraChannel().IsUsable());

    // Later checks cause no second set-up.
    const COwnedMediaType second = MakeVideoType(1280, 720, 16);
    SetUpCameraChannel(&second);
    EXPECT_EQ(createCalls.size(), 2u);
    EXPECT_EQ(SnapshotCameraChannel().headerView, views.headerView);
    EXPECT_EQ(SnapshotCameraChannel().scratchBuffer, scratch);
    EXPECT_EQ(channel.Format().biWidth, 640);
}

TEST(CameraChannelSetUp, InitialisedHeaderKeepsItsAuxValuesButGetsFormatAndName)
{
    const NamedSection existing(kHeaderBlockName, 580);
    ASSERT_TRUE(existing.created());
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
    EXPECT_TRUE(SameHeader(FormatIn(*block), PublishedFormat(PictureOf(type))));
    EXPECT_EQ(FrameBlockNameIn(*block), FrameBlockNameOfTry(0));
    EXPECT_EQ(block->unused44[0], 0xEE);  // bytes the system never writes
    EXPECT_EQ(block->unused576[3], 0xEE);
}

// A type without a picture header leaves the format alone, whatever else the set-up writes.
TEST(CameraChannelSetUp, UninitialisedExistingHeaderGetsTheDefaultsButKeepsAFormatTheTypeDoesNotAnnounce)
{
    const NamedSection existing(kHeaderBlockName, 580);
    ASSERT_TRUE(existing.created());
    auto* block = reinterpret_cast<CameraHeaderBlock*>(existing.view);
    block->auxInt0 = 9;
    block->auxFloat1 = 9.0f;
    std::memset(block->format, 0x3C, sizeof block->format);
    const COwnedMediaType shortType = MakeVideoType(640, 480, 16, FORMAT_VideoInfo, 87);

    SetUpCameraChannel(&shortType);

    EXPECT_EQ(block->initialised, 1);
    EXPECT_EQ(block->auxInt0, 0);
    EXPECT_EQ(block->auxFloat1, 0.15f);
    EXPECT_EQ(std::vector<unsigned char>(block->format, block->format + 40), std::vector<unsigned char>(40, 0x3C));
    EXPECT_EQ(FrameBlockNameIn(*block), FrameBlockNameOfTry(0));
}

// A first frame block that cannot be used is skipped for the next name: one too small, one of reserved
// memory, or one whose mapping fails.
class FrameBlockSkipped : public testing::TestWithParam<UnusableBlock> {};

TEST_P(FrameBlockSkipped, ForTheNextName)
{
    GetParam().prepare();

    SetUpWithAType();

    EXPECT_TRUE(SnapshotCameraChannel().IsUsable());
    CameraChannelReader channel;
    ASSERT_TRUE(channel.Open());
    EXPECT_EQ(channel.FrameBlockName(), FrameBlockNameOfTry(1));
    SnapshotCameraChannel().frameView[0] = 0x11;
    SnapshotCameraChannel().frameView[kFrameBlockSize - 1] = 0x12;
    EXPECT_EQ(channel.frame[0], 0x11);
    EXPECT_EQ(channel.frame[kFrameBlockSize - 1], 0x12);
    if (tooSmall != nullptr) {
        EXPECT_EQ(tooSmall->view[0], 0x42);
    }
}

INSTANTIATE_TEST_SUITE_P(
    CameraChannelSetUp, FrameBlockSkipped,
    testing::Values(
        UnusableBlock{"TooSmall",
                      [] {
                          tooSmall = std::make_unique<NamedSection>(FrameBlockNameOfTry(0), 4096);
                          ASSERT_TRUE(tooSmall->created());
                          std::memset(tooSmall->view, 0x42, 4096);
                      }},
        UnusableBlock{"ReservedButUncommitted",
                      [] { ASSERT_NE(CreateReservedSection(FrameBlockNameOfTry(0), kFrameBlockSize), nullptr); }},
        UnusableBlock{"MappingFails", [] { CameraChannelPlatformCalls().mapViewOfFile = FailingSecondMap; }}),
    NameOf);

TEST(CameraChannelSetUp, LargeEnoughExistingFrameBlockIsReused)
{
    const NamedSection existing(FrameBlockNameOfTry(0), kFrameBlockSize);
    ASSERT_TRUE(existing.created());
    existing.view[100] = 0x99;
    const COwnedMediaType type = MakeVideoType(2, 1, 32);

    SetUpCameraChannel(&type);

    EXPECT_EQ(FrameBlockNameIn(*SnapshotCameraChannel().headerView), FrameBlockNameOfTry(0));
    ASSERT_NE(SnapshotCameraChannel().frameView, nullptr);
    EXPECT_EQ(SnapshotCameraChannel().frameView[100], 0x99);
    const BYTE frame[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    PublishFrame(frame, sizeof frame, &type);
    EXPECT_EQ(0, std::memcmp(existing.view, frame, sizeof frame));
}

TEST(CameraChannelSetUp, LastNameThatFitsTheFieldIsStillTried)
{
    // Tries 0 to 109 find blocks too small; try 110's name is 253 characters, the longest the field holds.
    std::deque<NamedSection> taken;
    for (unsigned attempt = 0; attempt < 110; ++attempt)
        taken.emplace_back(FrameBlockNameOfTry(attempt), 4096);

    SetUpWithAType();

    EXPECT_EQ(FrameBlockNameIn(*SnapshotCameraChannel().headerView), FrameBlockNameOfTry(110));
    EXPECT_EQ(FrameBlockNameIn(*SnapshotCameraChannel().headerView).size(), 253u);
    EXPECT_NE(SnapshotCameraChannel().frameView, nullptr);
}

TEST(CameraChannelSetUp, TwoThreadsCheckingAtOnceSetUpOnce)
{
    CameraChannelPlatformCalls().openFileMapping = CountingSlowOpen;
    HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ConcurrentCheck checks[2] = {{go, false}, {go, false}};
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

// A header block that cannot be used: its name taken by an object of another kind, its mapping failing, or
// its memory reserved but not committed. Nothing else is set up.
class HeaderBlockUnusable : public testing::TestWithParam<UnusableBlock> {};

TEST_P(HeaderBlockUnusable, LeavesTheChannelUnusable)
{
    GetParam().prepare();

    SetUpWithAType();

    EXPECT_EQ(SnapshotCameraChannel().headerView, nullptr);
    EXPECT_EQ(SnapshotCameraChannel().frameView, nullptr);
    EXPECT_EQ(SnapshotCameraChannel().scratchBuffer, nullptr);
    EXPECT_LE(mapCalls, 1) << "a failed mapping is not tried again";
    ExpectPublishingDoesNothing();
    EXPECT_EQ(OpenFileMappingW(FILE_MAP_READ, FALSE, FrameBlockNameOfTry(0).c_str()), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    CameraChannelFailure, HeaderBlockUnusable,
    testing::Values(
        UnusableBlock{"NameTakenByAnotherKindOfObject",
                      [] { ASSERT_NE(CreateEventW(nullptr, TRUE, FALSE, kHeaderBlockName), nullptr); }},
        UnusableBlock{"CannotBeMapped", [] { CameraChannelPlatformCalls().mapViewOfFile = FailingMap; }},
        UnusableBlock{"OfReservedMemory", [] { ASSERT_NE(CreateReservedSection(kHeaderBlockName, 580), nullptr); }}),
    NameOf);

TEST(CameraChannelFailure, NoFrameBlockNameLeft)
{
    // Every name the field can hold is taken: by blocks too small, or by objects of another kind (whose
    // CreateFileMappingW fails).
    std::deque<NamedSection> small;
    std::vector<HANDLE> events;
    for (unsigned attempt = 0; attempt <= 110; ++attempt) {
        const std::wstring name = FrameBlockNameOfTry(attempt);
        if (attempt % 2 == 0)
            small.emplace_back(name, 4096);
        else
            events.push_back(CreateEventW(nullptr, TRUE, FALSE, name.c_str()));
    }

    SetUpWithAType();

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

TEST(CameraChannelFailure, ScratchBufferNotAllocated)
{
    CameraChannelPlatformCalls().heapAlloc = FailingHeapAlloc;

    SetUpWithAType();

    EXPECT_EQ(SnapshotCameraChannel().scratchBuffer, nullptr);
    ASSERT_NE(SnapshotCameraChannel().frameView, nullptr);
    CameraChannelReader channel;
    ASSERT_TRUE(channel.Open());
    ExpectPublishingDoesNothing();
    EXPECT_EQ(channel.frame[0], 0);
}
