// The sync block's figures under Wine (not a test): how soon waiting readers in other processes wake after a
// 1080p frame is published and hold it whole, with 1 and 4 readers and beside a reader polling at 60 Hz; what
// the sync step adds to publishing, with no reader waiting and with readers waiting; and the CPU time of a
// reader waiting on a channel that publishes nothing, and of camview's frame source idling on one.
//   sync_bench_win                     the whole run (starts its readers itself)
//   sync_bench_win reader NAME FRAMES [poll]   one reader of channel NAME (a child of the run)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "CameraChannel.h"
#include "ChannelFrameSource.h"
#include "FramePublisherCore.h"
#include "MediaTypePicture.h"
#include "VideoMediaType.h"
#include "tarn_camera_channel.h"

namespace {

constexpr int kFrames = 1000;
constexpr int kPublishHz = 60;
constexpr unsigned long kFrameBytes = 1920 * 1080 * 3;

double TicksToMs(long long ticks)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(ticks) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

long long Now()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

// p50, p99 and max of `ms`, as "p50 a  p99 b  max c ms".
std::string Spread(std::vector<double> ms)
{
    if (ms.empty())
        return "no samples";
    std::sort(ms.begin(), ms.end());
    char text[96];
    std::snprintf(text, sizeof text, "p50 %.3f  p99 %.3f  max %.3f ms (%zu frames)", ms[ms.size() / 2],
                  ms[std::min(ms.size() - 1, ms.size() * 99 / 100)], ms.back(), ms.size());
    return text;
}

double CpuSeconds(HANDLE process)
{
    FILETIME created, exited, kernel, user;
    GetProcessTimes(process, &created, &exited, &kernel, &user);
    const auto seconds = [](const FILETIME& t) {
        return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7;
    };
    return seconds(kernel) + seconds(user);
}

// One reader process: waits for (or polls at 60 Hz for) `frames` frames and reports, from the frame's publish
// time, when it woke and when it held the whole frame.
int RunReader(const wchar_t* name, int frames, bool poll)
{
    TarnCameraReader* reader = nullptr;
    for (int attempt = 0; attempt < 100 && tarn_camera_reader_open(name, &reader) != TARN_CAMERA_OK; ++attempt)
        Sleep(20);
    if (reader == nullptr)
        return 1;
    std::vector<unsigned char> frame(kFrameBytes);
    std::vector<double> woke, held;
    TarnCameraFrameInfo info;
    tarn_camera_reader_read(reader, frame.data(), kFrameBytes, &info);  // the frame already there
    unsigned long long lastFrame = info.frameNumber;
    std::printf("waiting\n");
    std::fflush(stdout);
    const ULONGLONG end = GetTickCount64() + 1000ull * frames / kPublishHz + 5000;
    while (static_cast<int>(held.size()) < frames && GetTickCount64() < end) {
        if (poll)
            Sleep(1000 / 60);
        else if (tarn_camera_reader_wait(reader, 1000) != TARN_CAMERA_OK)
            continue;
        const long long awake = Now();
        if (tarn_camera_reader_read(reader, frame.data(), kFrameBytes, &info) != TARN_CAMERA_OK ||
            info.frameNumber == lastFrame)
            continue;
        lastFrame = info.frameNumber;
        const long long whole = Now();
        woke.push_back(TicksToMs(awake - info.publishTicks));
        held.push_back(TicksToMs(whole - info.publishTicks));
    }
    std::printf("    woke %s\n    held %s\n", Spread(woke).c_str(), Spread(held).c_str());
    tarn_camera_reader_close(reader);
    return 0;
}

struct Reader {
    HANDLE process = nullptr;
    HANDLE output = nullptr;
};

Reader StartReader(const std::wstring& name, int frames, bool poll)
{
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring command = std::wstring(L"\"") + self + L"\" reader " + name + L" " + std::to_wstring(frames) +
                           (poll ? L" poll" : L"");
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    Reader reader;
    HANDLE writeEnd = nullptr;
    CreatePipe(&reader.output, &writeEnd, &inherit, 0);
    SetHandleInformation(reader.output, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    PROCESS_INFORMATION started = {};
    if (CreateProcessW(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &started)) {
        CloseHandle(started.hThread);
        reader.process = started.hProcess;
    }
    CloseHandle(writeEnd);
    return reader;
}

std::string ReadAll(HANDLE output, const char* until = nullptr)
{
    std::string text;
    char chunk[1024];
    DWORD got = 0;
    while ((until == nullptr || text.find(until) == std::string::npos) &&
           ReadFile(output, chunk, sizeof chunk, &got, nullptr) && got != 0)
        text.append(chunk, got);
    return text;
}

std::vector<unsigned char> SolidFrame(unsigned char y)
{
    std::vector<unsigned char> frame(1920 * 1080 * 2);
    for (size_t at = 0; at < frame.size(); at += 4) {
        frame[at] = frame[at + 2] = y;
        frame[at + 1] = frame[at + 3] = 128;
    }
    return frame;
}

// Publishes kFrames frames at kPublishHz into `channel` with `readers` reader processes (polling ones with
// `poll`) and prints what they measured and the publishing time per frame.
void RunReaders(CameraChannel& channel, const std::wstring& name, const PictureDescription& picture, int readers,
                bool poll)
{
    std::vector<Reader> started;
    for (int i = 0; i < readers; ++i)
        started.push_back(StartReader(name, kFrames, poll));
    for (Reader& reader : started)
        ReadAll(reader.output, "waiting");
    Sleep(200);
    const std::vector<unsigned char> frames[2] = {SolidFrame(40), SolidFrame(200)};
    std::vector<double> publish;
    const long long start = Now();
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    for (int frame = 0; frame < kFrames; ++frame) {
        const long long before = Now();
        channel.Publish(frames[frame % 2].data(), static_cast<uint32_t>(frames[0].size()), picture, SampleTimes());
        publish.push_back(TicksToMs(Now() - before));
        const long long due = start + frequency.QuadPart * (frame + 1) / kPublishHz;
        while (Now() < due)
            Sleep(static_cast<DWORD>(std::max(0.0, TicksToMs(due - Now()) - 1)));
    }
    std::printf("%d %s reader%s: publishing %s\n", readers, poll ? "polling (60 Hz)" : "waiting",
                readers == 1 ? "" : "s", Spread(publish).c_str());
    for (Reader& reader : started) {
        std::printf("%s", ReadAll(reader.output).c_str());
        WaitForSingleObject(reader.process, 30000);
        CloseHandle(reader.process);
        CloseHandle(reader.output);
    }
}

// The mean publishing time per frame over `frames` frames, in ms; the views decide whether the sync step runs.
double MeanPublishMs(const CameraChannelViews& views, const PictureDescription& picture, int frames)
{
    const std::vector<unsigned char> input = SolidFrame(100);
    double best = 1e9;
    for (int repetition = 0; repetition < 5; ++repetition) {
        const long long start = Now();
        for (int frame = 0; frame < frames; ++frame)
            PublishFrameToChannel(views, input.data(), static_cast<uint32_t>(input.size()), picture);
        best = std::min(best, TicksToMs(Now() - start) / frames);
    }
    return best;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc >= 4 && wcscmp(argv[1], L"reader") == 0)
        return RunReader(argv[2], _wtoi(argv[3]), argc > 4);

    const std::wstring name = L"tarn_sync_bench_" + std::to_wstring(GetCurrentProcessId());
    CameraChannel channel(name.c_str(), (name + L"_frame").c_str());
    const COwnedMediaType type = MakeVideoType(1920, 1080, 16);
    channel.SetUp(&type);
    const PictureDescription picture = DescribeMediaTypePicture(&type);
    const CameraChannelViews views = channel.Snapshot();
    if (!views.IsUsable() || views.sync == nullptr) {
        std::fprintf(stderr, "sync bench: the channel could not be set up\n");
        return 1;
    }

    std::printf("== sync step: publishing a 1080p 4:2:2 frame (best of 5 means of 200) ==\n");
    CameraChannelViews unsynced = views;
    unsynced.sync = nullptr;
    const double without = MeanPublishMs(unsynced, picture, 200);
    const double withSync = MeanPublishMs(views, picture, 200);
    std::printf("without the sync step %.3f ms, with it (no reader waiting) %.3f ms: ratio %.3f\n", without,
                withSync, withSync / without);
    // One reader waiting all along: every frame then releases a wake-up.
    TarnCameraReader* waiter = nullptr;
    tarn_camera_reader_open(name.c_str(), &waiter);
    HANDLE stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    struct Waiting {
        TarnCameraReader* reader;
        HANDLE stop;
    } waiting = {waiter, stop};
    std::thread thread([&waiting] {
        std::vector<unsigned char> frame(kFrameBytes);
        while (WaitForSingleObject(waiting.stop, 0) == WAIT_TIMEOUT)
            if (tarn_camera_reader_wait(waiting.reader, 100) == TARN_CAMERA_OK)
                tarn_camera_reader_read(waiting.reader, frame.data(), kFrameBytes, nullptr);
    });
    Sleep(100);
    const double withReader = MeanPublishMs(views, picture, 200);
    SetEvent(stop);
    thread.join();
    CloseHandle(stop);
    std::printf("with the sync step and one reader waiting (and reading, on the other core) %.3f ms: ratio %.3f\n",
                withReader, withReader / without);

    std::printf("\n== wake-up: from the frame being whole (its publish time) to the reader, %d frames at %d Hz ==\n",
                kFrames, kPublishHz);
    RunReaders(channel, name, picture, 1, false);
    RunReaders(channel, name, picture, 4, false);
    RunReaders(channel, name, picture, 1, true);

    std::printf("\n== idle: CPU time over 10 s on a channel that publishes nothing ==\n");
    const double readerBefore = CpuSeconds(GetCurrentProcess());
    const ULONGLONG end = GetTickCount64() + 10000;
    std::vector<unsigned char> frame(kFrameBytes);
    tarn_camera_reader_read(waiter, frame.data(), kFrameBytes, nullptr);  // the last frame published
    while (GetTickCount64() < end)
        tarn_camera_reader_wait(waiter, static_cast<unsigned long>(std::max<ULONGLONG>(1, end - GetTickCount64())));
    const double readerCpu = CpuSeconds(GetCurrentProcess()) - readerBefore;
    std::printf("a waiting reader: %.3f s of CPU (%.2f%% of a core)\n", readerCpu, readerCpu * 10);

    // camview's loop without its window: Poll when due (60 Hz), and between polls wait for news in slices.
    ChannelFrameSource source(name);
    const double viewerBefore = CpuSeconds(GetCurrentProcess());
    const ULONGLONG viewerEnd = GetTickCount64() + 10000;
    unsigned long long nextPoll = GetTickCount64();
    while (GetTickCount64() < viewerEnd) {
        const ULONGLONG now = GetTickCount64();
        if (now >= nextPoll) {
            source.Poll(now);
            nextPoll = now + 16;
        } else if (!source.WaitForNews(50)) {
            Sleep(static_cast<DWORD>(nextPoll - now));
        }
    }
    const double viewerCpu = CpuSeconds(GetCurrentProcess()) - viewerBefore;
    std::printf("camview's frame source, idle: %.3f s of CPU (%.2f%% of a core)\n", viewerCpu, viewerCpu * 10);
    tarn_camera_reader_close(waiter);
    return 0;
}
