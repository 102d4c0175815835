// The sync block end to end: vidtap.dll publishing 1080p frames of solid colours in other processes
// (sync_publisher), read through the reader library in this one. Every frame the library returns as whole
// must be one colour; a plain copy of the frame block beside it shows that torn frames do occur.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "ChildProgram.h"
#include "tarn_camera_channel.h"

namespace {

constexpr unsigned long kFrameBytes = 1920 * 1080 * 3;

std::wstring PublisherCommand(int fps, int frames, int firstPair, int instances = 1, bool exitMidFrame = false,
                             const std::wstring& channel = L"")
{
    return std::wstring(L"\"") + SYNC_PUBLISHER_EXE_W + L"\" \"" + VIDTAP_DLL_W + L"\" " + std::to_wstring(fps) +
           L" " + std::to_wstring(frames) + L" " + std::to_wstring(firstPair) + L" " + std::to_wstring(instances) +
           (exitMidFrame ? L" exit-mid-frame" : L"") + (channel.empty() ? L"" : L" channel=" + channel);
}

bool OneColour(const std::vector<unsigned char>& frame)
{
    return std::memcmp(frame.data(), frame.data() + 3, frame.size() - 3) == 0;
}

uint32_t ColourOf(const std::vector<unsigned char>& frame)
{
    return frame[0] | frame[1] << 8 | frame[2] << 16;
}

// A reader of the channel `name` (null: the default channel), opened once its publisher is ready.
struct ChannelReader {
    explicit ChannelReader(const wchar_t* name = nullptr)
    {
        for (int attempt = 0; attempt < 100 && opened != TARN_CAMERA_OK; ++attempt, Sleep(50))
            opened = tarn_camera_reader_open(name, &reader);
    }
    ~ChannelReader() { tarn_camera_reader_close(reader); }

    // Reads for `seconds`, waiting for each frame or as fast as it can; counts whole frames and mixed ones.
    void ReadFor(double seconds, bool waiting)
    {
        const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(seconds * 1000);
        while (GetTickCount64() < end) {
            if (waiting && tarn_camera_reader_wait(reader, 1000) != TARN_CAMERA_OK)
                continue;
            TarnCameraFrameInfo info;
            const TarnCameraResult result = tarn_camera_reader_read(reader, frame.data(), kFrameBytes, &info);
            if (result == TARN_CAMERA_CHANGING)
                ++changing;
            if (result != TARN_CAMERA_OK)
                continue;
            ++whole;
            if ((info.flags & TARN_CAMERA_INFO_WHOLE_FRAME) == 0 || info.frameBytes != kFrameBytes)
                ++unvouched;
            if (!OneColour(frame)) {
                if (mixed == 0) {
                    size_t at = 3;
                    while (at < frame.size() && std::memcmp(frame.data(), frame.data() + at, 3) == 0)
                        at += 3;
                    std::printf("mixed frame %llu: %06X to byte %u, then %06X; skipped %llu\n",
                                static_cast<unsigned long long>(info.frameNumber), ColourOf(frame),
                                static_cast<unsigned>(at), frame[at] | frame[at + 1] << 8 | frame[at + 2] << 16,
                                static_cast<unsigned long long>(info.framesSkipped));
                }
                ++mixed;
            }
            else
                colours.insert(ColourOf(frame));
        }
    }

    TarnCameraResult opened = TARN_CAMERA_NO_CHANNEL;
    TarnCameraReader* reader = nullptr;
    std::vector<unsigned char> frame = std::vector<unsigned char>(kFrameBytes);
    int whole = 0, mixed = 0, unvouched = 0, changing = 0;
    std::set<uint32_t> colours;
};

}  // namespace

TEST(SyncChannel, TheLibraryReturnsOnlyWholeFramesWhereAPlainCopyTears)
{
    ChildProgram publisher(PublisherCommand(30, 30 * 40, 0));
    ASSERT_TRUE(publisher.WaitForOutput("ready")) << publisher.collected;
    ChannelReader waiting;
    ASSERT_EQ(waiting.opened, TARN_CAMERA_OK);

    waiting.ReadFor(10, true);
    EXPECT_EQ(waiting.mixed, 0);
    EXPECT_EQ(waiting.unvouched, 0);
    EXPECT_GE(waiting.whole, 200) << "30 frames a second for 10 s, each waited for";
    EXPECT_EQ(waiting.colours.size(), 2u);

    ChannelReader eager;
    eager.ReadFor(10, false);
    EXPECT_EQ(eager.mixed, 0);
    EXPECT_GE(eager.whole, 300);

    // A plain copy of the frame block, as a reader without the sync block makes it.
    HANDLE section = OpenFileMappingW(FILE_MAP_READ, FALSE, tarn_camera_reader_frame_block_name(eager.reader));
    ASSERT_NE(section, nullptr);
    const auto* block = static_cast<const unsigned char*>(MapViewOfFile(section, FILE_MAP_READ, 0, 0, 0));
    ASSERT_NE(block, nullptr);
    std::vector<unsigned char> copy(kFrameBytes);
    int plainTorn = 0;
    for (const ULONGLONG end = GetTickCount64() + 10000; plainTorn == 0 && GetTickCount64() < end;) {
        std::memcpy(copy.data(), block, kFrameBytes);
        plainTorn += OneColour(copy) ? 0 : 1;
    }
    EXPECT_GT(plainTorn, 0) << "a plain copy never caught a frame being written: the test could not fail";
    UnmapViewOfFile(block);
    CloseHandle(section);
    publisher.Terminate();
}

// Two filter instances in one process, and two publisher processes, all on the default channel: every frame
// the reader gets whole is one publisher's, and both publishers' frames come through.
// Two publisher processes each in a channel of its own name (one of them global), each channel read here:
// each holds its own publisher's frames only.
TEST(SyncChannel, SeveralPublishersNeverMixTheirFrames)
{
    const std::wstring names[] = {L"left_camera_" + std::to_wstring(GetCurrentProcessId()),
                                  L"Global\\right_camera_" + std::to_wstring(GetCurrentProcessId())};
    std::vector<std::unique_ptr<ChildProgram>> namedPublishers;
    for (int pair = 0; pair < 2; ++pair) {
        namedPublishers.push_back(
            std::make_unique<ChildProgram>(PublisherCommand(60, 60 * 8, pair, 1, false, names[pair])));
        ASSERT_TRUE(namedPublishers.back()->WaitForOutput("ready")) << namedPublishers.back()->collected;
    }
    std::set<uint32_t> coloursSeen[2];
    for (int pair = 0; pair < 2; ++pair) {
        ChannelReader reader(names[pair].c_str());
        ASSERT_EQ(reader.opened, TARN_CAMERA_OK);
        reader.ReadFor(3, true);
        EXPECT_EQ(reader.mixed, 0);
        EXPECT_GE(reader.whole, 60);
        EXPECT_EQ(reader.colours.size(), 2u) << "its own publisher's two colours, and no other";
        coloursSeen[pair] = reader.colours;
    }
    for (uint32_t colour : coloursSeen[0])
        EXPECT_EQ(coloursSeen[1].count(colour), 0u) << "a colour of the other channel's publisher";
    for (auto& publisher : namedPublishers)
        publisher->Terminate();

    const std::vector<std::wstring> setups[] = {
        {PublisherCommand(60, 60 * 8, 0, 2)},                                   // two instances, one process
        {PublisherCommand(60, 60 * 8, 0), PublisherCommand(60, 60 * 8, 1)},  // two processes
    };
    for (const auto& commands : setups) {
        SCOPED_TRACE(commands.size() == 1 ? "two instances in one process" : "two processes");
        std::vector<std::unique_ptr<ChildProgram>> publishers;
        for (const std::wstring& command : commands) {
            publishers.push_back(std::make_unique<ChildProgram>(command));
            ASSERT_TRUE(publishers.back()->WaitForOutput("ready")) << publishers.back()->collected;
        }
        ChannelReader reader;
        ASSERT_EQ(reader.opened, TARN_CAMERA_OK);
        reader.ReadFor(5, false);
        EXPECT_EQ(reader.mixed, 0);
        EXPECT_GE(reader.whole, 100);
        EXPECT_EQ(reader.colours.size(), 4u) << "both publishers' colours";
        for (auto& publisher : publishers)
            publisher->Terminate();
    }
}

// A publisher that dies, between two frames or in the middle of one, wakes a waiting reader within its
// timeout with the code for a publisher that is gone.
TEST(SyncChannel, AWaitingReaderLearnsThatThePublisherHasGone)
{
    for (const bool midFrame : {false, true}) {
        SCOPED_TRACE(midFrame ? "in the middle of a frame" : "between two frames");
        ChildProgram publisher(PublisherCommand(2, midFrame ? 3 : 40, 0, 1, midFrame));
        ASSERT_TRUE(publisher.WaitForOutput("ready")) << publisher.collected;
        ChannelReader reader;
        ASSERT_EQ(reader.opened, TARN_CAMERA_OK);
        ASSERT_EQ(tarn_camera_reader_wait(reader.reader, 5000), TARN_CAMERA_OK);
        std::vector<unsigned char> frame(kFrameBytes);
        ASSERT_EQ(tarn_camera_reader_read(reader.reader, frame.data(), kFrameBytes, nullptr), TARN_CAMERA_OK);
        if (!midFrame)
            publisher.Terminate();

        // Its last frames may still come first.
        const ULONGLONG start = GetTickCount64();
        TarnCameraResult result = TARN_CAMERA_OK;
        for (int frames = 0; result == TARN_CAMERA_OK && frames < 10; ++frames) {
            result = tarn_camera_reader_wait(reader.reader, 10000);
            if (result == TARN_CAMERA_OK)
                tarn_camera_reader_read(reader.reader, frame.data(), kFrameBytes, nullptr);
        }
        EXPECT_EQ(result, TARN_CAMERA_PUBLISHER_GONE) << tarn_camera_result_message(result);
        EXPECT_LT(GetTickCount64() - start, 15000u);
        if (midFrame) {
            EXPECT_EQ(tarn_camera_reader_read(reader.reader, frame.data(), kFrameBytes, nullptr),
                      TARN_CAMERA_PUBLISHER_GONE);
        }
    }
}
