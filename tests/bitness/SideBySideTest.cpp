// Both bitnesses of the modules in one win64 prefix: the 32-bit modules registered through the 32-bit
// registry view (WOW6432Node), the 64-bit ones through the 64-bit view; a client of each bitness creates its
// own bitness's filter by class id; a graph run by either publishes the camera channel, and a reader of the
// other bitness reads what a reader of the publisher's bitness reads (named sections are shared across
// bitnesses). The 32-bit programs come from the 32-bit build beside this one.
#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "ChannelSnapshot.h"
#include "ChildProgram.h"
#include "E2eModules.h"
#include "PlatformProcess.h"
#include "SameBytes.h"

namespace {

struct Bitness {
    const char* label;
    std::string buildDir;
    const wchar_t* regsvr32;  // this bitness's regsvr32, as a 64-bit process names it
    REGSAM registryView;
};

const Bitness k32Bit = {"x86", BITNESS_WIN32_BUILD_DIR, L"C:\\windows\\syswow64\\regsvr32.exe", KEY_WOW64_32KEY};
const Bitness k64Bit = {"x64", BITNESS_WIN64_BUILD_DIR, L"C:\\windows\\system32\\regsvr32.exe", KEY_WOW64_64KEY};

std::string ModulePath(const Bitness& bitness, const ModuleUnderTest& module)
{
    return bitness.buildDir + "/" + module.label + "/" + module.label + ".dll";
}

std::string ProgramPath(const Bitness& bitness, const char* relative)
{
    return bitness.buildDir + "/" + relative;
}

std::wstring Quoted(const std::wstring& text)
{
    return L"\"" + text + L"\"";
}

std::wstring GuidText(REFGUID id)
{
    wchar_t text[39];
    StringFromGUID2(id, text, 39);
    return text;
}

long Regsvr32(const Bitness& bitness, const ModuleUnderTest& module, bool unregister)
{
    return RunProcess(Quoted(bitness.regsvr32) + (unregister ? L" /s /u " : L" /s ") +
                      Quoted(WindowsPath(ModulePath(bitness, module).c_str())));
}

// The server file a client of `bitness` finds for the module's class; "<missing>" when there is none.
std::wstring RegisteredServer(const Bitness& bitness, const ModuleUnderTest& module)
{
    const std::wstring path = L"CLSID\\" + GuidText(*module.classId) + L"\\InprocServer32";
    HKEY key;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ | bitness.registryView, &key) != ERROR_SUCCESS)
        return L"<missing>";
    wchar_t data[MAX_PATH + 1] = {};
    DWORD type = 0;
    DWORD size = sizeof data - sizeof(wchar_t);
    const LONG result = RegQueryValueExW(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS && type == REG_SZ ? std::wstring(data) : L"<missing>";
}

// bitness_class_probe of `bitness`: 0 when a client of that bitness creates the module's filter by class id
// and the filter's code is the module file registered for it.
long CreateByClassId(const Bitness& bitness, const ModuleUnderTest& module)
{
    return RunProcess(Quoted(WindowsPath(ProgramPath(bitness, "tests/bitness/bitness_class_probe.exe").c_str())) +
                      L" " + GuidText(*module.classId) + L" " +
                      Quoted(WindowsPath(ModulePath(bitness, module).c_str())));
}

class SideBySideRegistration : public testing::TestWithParam<ModuleUnderTest> {
protected:
    void SetUp() override
    {
        ASSERT_EQ(Regsvr32(k32Bit, module, false), 0);
        ASSERT_EQ(Regsvr32(k64Bit, module, false), 0);
    }

    void TearDown() override
    {
        Regsvr32(k32Bit, module, true);
        Regsvr32(k64Bit, module, true);
    }

    const ModuleUnderTest& module = GetParam();
};

TEST_P(SideBySideRegistration, EachBitnessRegistersInItsOwnViewAndStaysCreatableWhenTheOtherIsUnregistered)
{
    for (const Bitness* bitness : {&k32Bit, &k64Bit}) {
        SCOPED_TRACE(bitness->label);
        EXPECT_EQ(_wcsicmp(RegisteredServer(*bitness, module).c_str(),
                           WindowsPath(ModulePath(*bitness, module).c_str()).c_str()),
                  0)
            << testing::PrintToString(RegisteredServer(*bitness, module));
        EXPECT_EQ(CreateByClassId(*bitness, module), 0);
    }

    for (const auto& [removed, kept] : {std::pair{&k64Bit, &k32Bit}, std::pair{&k32Bit, &k64Bit}}) {
        SCOPED_TRACE(removed->label);
        ASSERT_EQ(Regsvr32(*removed, module, true), 0);
        EXPECT_EQ(RegisteredServer(*removed, module), L"<missing>");
        EXPECT_EQ(CreateByClassId(*removed, module), 2);
        EXPECT_EQ(CreateByClassId(*kept, module), 0);
        ASSERT_EQ(Regsvr32(*removed, module, false), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Modules, SideBySideRegistration, testing::Values(kVidtapModule, kNullsinkerModule),
                         ModuleLabel);

struct Crossing {
    const Bitness* publisher;
    const Bitness* reader;
};

void PrintTo(const Crossing& crossing, std::ostream* out)
{
    *out << crossing.publisher->label << " publishes, " << crossing.reader->label << " reads";
}

class CrossBitnessChannel : public testing::TestWithParam<Crossing> {
protected:
    void SetUp() override { ASSERT_EQ(Regsvr32(publisher, kVidtapModule, false), 0); }
    void TearDown() override { Regsvr32(publisher, kVidtapModule, true); }

    ChannelSnapshot ReadWith(const Bitness& bitness)
    {
        return ReadChannelFromOtherProcess(kPictureBytes,
                                           ProgramPath(bitness, "tests/e2e/e2e_channel_probe.exe").c_str());
    }

    static constexpr LONG kWidth = 320;
    static constexpr LONG kHeight = 240;
    static constexpr size_t kPictureBytes = kWidth * kHeight * 3;
    const Bitness& publisher = *GetParam().publisher;
    const Bitness& reader = *GetParam().reader;
};

TEST_P(CrossBitnessChannel, GraphRunsToCompletionAndTheOtherBitnessReadsWhatItsOwnReads)
{
    const std::wstring demo = Quoted(WindowsPath(ProgramPath(publisher, "tools/vidtapdemo.exe").c_str()));
    // vidtapdemo prints "ready" once its graph has run to EC_COMPLETE, and keeps the channel alive.
    ChildProgram player(demo + L" " + Quoted(WindowsPath(BITNESS_CLIP_AVI)));
    ASSERT_TRUE(player.WaitForOutput("ready")) << player.collected;
    ASSERT_NE(player.collected.find("(EC_COMPLETE)"), std::string::npos) << player.collected;

    const ChannelSnapshot own = ReadWith(publisher);
    const ChannelSnapshot other = ReadWith(reader);
    EXPECT_EQ(RunProcess(demo + L" --stop"), 0);
    EXPECT_EQ(player.ExitCode(), 0u) << player.collected;

    ASSERT_EQ(own.probeResult, 0);
    ASSERT_EQ(other.probeResult, 0);
    const BITMAPINFOHEADER format = other.Format();
    EXPECT_EQ(format.biWidth, kWidth);
    EXPECT_EQ(format.biHeight, kHeight);
    EXPECT_EQ(format.biBitCount, 24);
    EXPECT_EQ(other.FrameBlockName(), own.FrameBlockName());
    EXPECT_EQ(std::memcmp(&other.header, &own.header, sizeof own.header), 0);
    EXPECT_TRUE(SameBytes(other.frame, own.frame));
    EXPECT_NE(other.frame, std::vector<BYTE>(kPictureBytes, 0));
}

INSTANTIATE_TEST_SUITE_P(Bitnesses, CrossBitnessChannel,
                         testing::Values(Crossing{&k32Bit, &k64Bit}, Crossing{&k64Bit, &k32Bit}),
                         [](const testing::TestParamInfo<Crossing>& info) {
                             return std::string(info.param.publisher->label) + "PublishesFor" +
                                    info.param.reader->label;
                         });

}  // namespace
