// Registration against Wine's registry and filter mapper: the key-tree deletion, the registration routine
// in-process with this program's class table (with test doubles standing in for the filter mappers), and
// server_test_module.dll registered and unregistered by regsvr32 the way an installer does it.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include <olectl.h>
#include <strmif.h>
#include <uuids.h>

#include "CTestObject.h"
#include "ClassTableEntry.h"
#include "ComPtr.h"
#include "FakeClassFactory.h"
#include "FakeFilterMapper.h"
#include "RegistrySupport.h"
#include "ServerRegistration.h"
#include "ServerTestModule.h"

namespace {

// {9C2E4A17-3B5D-4E6F-8A9B-1C2D3E4F5A01} .. 03
constexpr CLSID CLSID_WithRecord = {0x9c2e4a17, 0x3b5d, 0x4e6f, {0x8a, 0x9b, 0x1c, 0x2d, 0x3e, 0x4f, 0x5a, 0x01}};
constexpr CLSID CLSID_ServerOnly = {0x9c2e4a17, 0x3b5d, 0x4e6f, {0x8a, 0x9b, 0x1c, 0x2d, 0x3e, 0x4f, 0x5a, 0x02}};
constexpr CLSID CLSID_SecondRecord = {0x9c2e4a17, 0x3b5d, 0x4e6f, {0x8a, 0x9b, 0x1c, 0x2d, 0x3e, 0x4f, 0x5a, 0x03}};
const CLSID* const allClasses[] = {&CLSID_WithRecord, &CLSID_ServerOnly, &CLSID_SecondRecord};

const REGPINTYPES anyType[] = {{&MEDIATYPE_NULL, &MEDIASUBTYPE_NULL}};
const REGPINTYPES twoTypes[] = {{&MEDIATYPE_Video, &MEDIASUBTYPE_YUY2}, {&MEDIATYPE_Audio, &MEDIASUBTYPE_PCM}};
const REGFILTERPINS onePin[] = {
    {const_cast<LPWSTR>(L"Input"), FALSE, FALSE, FALSE, FALSE, &CLSID_NULL, L"Output", 1, anyType}};
const REGFILTERPINS twoPins[] = {
    {const_cast<LPWSTR>(L"In"), TRUE, FALSE, TRUE, FALSE, &CLSID_NULL, L"Out", 2, twoTypes},
    {const_cast<LPWSTR>(L"Out"), FALSE, TRUE, FALSE, TRUE, &CLSID_WithRecord, L"In", 0, nullptr}};
const FilterSetupRecord withRecordSetup = {&CLSID_WithRecord, L"TARN_RegistrationTestA", 0x00200000, 1, onePin};
const FilterSetupRecord secondSetup = {&CLSID_SecondRecord, L"TARN_RegistrationTestC", 0x00600000, 2, twoPins};

INonDelegatingUnknown* CreateTestObject(IUnknown* outer, HRESULT*)
{
    return new (std::nothrow) CTestObject(outer);
}

}  // namespace

const ClassTableEntry classTable[] = {
    {L"Registration test A", &CLSID_WithRecord, CreateTestObject, nullptr, &withRecordSetup},
    {L"Registration test B", &CLSID_ServerOnly, CreateTestObject, nullptr, nullptr},
    {L"Registration test C", &CLSID_SecondRecord, CreateTestObject, nullptr, &secondSetup},
};
const int classTableCount = 3;

namespace {

const std::wstring scratchKey = L"tarn_server_test_scratch";
const std::wstring scratchLockedKey = scratchKey + L"\\Locked";

// An export of a loaded module, as the function type it has.
template <class Function>
Function ModuleFunction(HMODULE module, const char* name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}
using RegistrationFunction = HRESULT(WINAPI*)();

// Removes what a test may have left; a key that a test locked is unlocked first, also when it failed half-way.
void RemoveLeftovers()
{
    if (KeyExists(scratchLockedKey))
        AllowEveryone(scratchLockedKey);
    DeleteKeyTree(HKEY_CLASSES_ROOT, scratchKey.c_str());
    for (const CLSID* classId : allClasses)
        DeleteKeyTree(HKEY_CLASSES_ROOT, ClassKeyName(*classId).c_str());
}

}  // namespace

TEST(DeleteKeyTree, RemovesEveryLevelBelowTheKeyTakesAMissingKeyAsDoneAndRefusesAnEmptyName)
{
    CreateKeyWithValue(scratchKey + L"\\A\\A1\\A11");
    CreateKeyWithValue(scratchKey + L"\\A\\A2");
    CreateKeyWithValue(scratchKey + L"\\B");
    EXPECT_EQ(DeleteKeyTree(HKEY_CLASSES_ROOT, scratchKey.c_str()), S_OK);
    EXPECT_FALSE(KeyExists(scratchKey));
    EXPECT_EQ(DeleteKeyTree(HKEY_CLASSES_ROOT, scratchKey.c_str()), S_OK);
    EXPECT_EQ(DeleteKeyTree(HKEY_CLASSES_ROOT, L""), E_FAIL);
}

TEST(DeleteKeyTree, EndsAtASubKeyItCannotDeleteAndStillRemovesTheOthers)
{
    // Wine refuses to enumerate a key whose security denies everyone, so its own sub-key stays and with it
    // the key itself: it is found again at the same index after every attempt.
    RemoveLeftovers();
    CreateKeyWithValue(scratchKey + L"\\Alpha\\Deep");
    CreateKeyWithValue(scratchLockedKey + L"\\Inner");
    CreateKeyWithValue(scratchKey + L"\\Zeta");
    DenyEveryone(scratchLockedKey);

    EXPECT_EQ(DeleteKeyTree(HKEY_CLASSES_ROOT, scratchKey.c_str()), S_OK);
    EXPECT_FALSE(KeyExists(scratchKey + L"\\Alpha"));
    EXPECT_FALSE(KeyExists(scratchKey + L"\\Zeta"));
    EXPECT_TRUE(KeyExists(scratchLockedKey));
    RemoveLeftovers();
    EXPECT_FALSE(KeyExists(scratchKey));
}

// The registration routine in this process, with doubles registered as the platform's filter mapper
// classes, so each mapper conversation can be checked call by call. Both mapper classes fail to create
// unless a test hands out the fake mapper.
class RegistrationWithMapperDoubles : public testing::Test {
protected:
    void SetUp() override
    {
        RemoveLeftovers();
        ASSERT_EQ(CoRegisterClassObject(CLSID_FilterMapper2, mapper2Factory.AsUnknown(), CLSCTX_INPROC_SERVER,
                                        REGCLS_MULTIPLEUSE, &mapper2Cookie),
                  S_OK);
        ASSERT_EQ(CoRegisterClassObject(CLSID_FilterMapper, mapperFactory.AsUnknown(), CLSCTX_INPROC_SERVER,
                                        REGCLS_MULTIPLEUSE, &mapperCookie),
                  S_OK);
    }
    void TearDown() override
    {
        // Before the doubles go: COM holds the factories until they are revoked.
        if (mapper2Cookie != 0)
            CoRevokeClassObject(mapper2Cookie);
        if (mapperCookie != 0)
            CoRevokeClassObject(mapperCookie);
        RemoveLeftovers();
    }

    static void ExpectServerKeysOfAllClasses()
    {
        for (int i = 0; i < classTableCount; ++i) {
            const std::wstring key = ClassKeyName(*classTable[i].classId);
            EXPECT_EQ(ReadString(key, nullptr), std::wstring(classTable[i].displayName));
            EXPECT_EQ(ReadString(key + L"\\InprocServer32", nullptr),
                      PathNextToTestProgram(L"server_registration_test.exe"));
            EXPECT_EQ(ReadString(key + L"\\InprocServer32", L"ThreadingModel"), std::wstring(L"Both"));
        }
    }

    FakeFilterMapper mapper;
    FakeClassFactory mapper2Factory;
    FakeClassFactory mapperFactory;
    DWORD mapper2Cookie = 0;
    DWORD mapperCookie = 0;
};

TEST_F(RegistrationWithMapperDoubles, FallsBackToTheOldMapperForEveryClassWithARecord)
{
    mapperFactory.HandOut(mapper.AsUnknown());

    ASSERT_EQ(DllRegisterServer(), S_OK);
    ExpectServerKeysOfAllClasses();
    const std::wstring a = FakeFilterMapper::Text(CLSID_WithRecord), c = FakeFilterMapper::Text(CLSID_SecondRecord);
    // Every class with a record, in table order (the calls for one record are pinned at FilterMapperRegistration).
    ASSERT_EQ(mapper.calls.size(), 10u);
    EXPECT_EQ(mapper.calls[1], L"RegisterFilter " + a + L" TARN_RegistrationTestA 00200000");
    EXPECT_EQ(mapper.calls[5], L"RegisterFilter " + c + L" TARN_RegistrationTestC 00600000");

    // The mapper's "not registered" answer to UnregisterFilter counts as success.
    mapper.calls.clear();
    EXPECT_EQ(DllUnregisterServer(), S_OK);
    EXPECT_EQ(mapper.calls, (std::vector<std::wstring>{L"UnregisterFilter " + a, L"UnregisterFilter " + c}));
    for (const CLSID* classId : allClasses)
        EXPECT_FALSE(KeyExists(ClassKeyName(*classId)));
}

TEST_F(RegistrationWithMapperDoubles, WithoutAnyMapperFailsAndUnregistrationKeepsTheKeys)
{
    constexpr HRESULT oldMapperMissing = static_cast<HRESULT>(0x80040154);
    mapper2Factory.FailWith(E_OUTOFMEMORY);
    mapperFactory.FailWith(oldMapperMissing);

    EXPECT_EQ(DllRegisterServer(), oldMapperMissing);
    ExpectServerKeysOfAllClasses();
    EXPECT_EQ(DllUnregisterServer(), oldMapperMissing);
    ExpectServerKeysOfAllClasses();
    EXPECT_EQ(mapper2Factory.creations, 2);
    EXPECT_EQ(mapperFactory.creations, 2);
}

TEST_F(RegistrationWithMapperDoubles, AMapperFailureEndsRegistrationAtThatClass)
{
    mapperFactory.HandOut(mapper.AsUnknown());
    mapper.FailOn(L"RegisterPinType", E_ACCESSDENIED);

    EXPECT_EQ(DllRegisterServer(), E_ACCESSDENIED);
    ASSERT_EQ(mapper.calls.size(), 4u);
    EXPECT_EQ(mapper.calls.back().rfind(L"RegisterPinType " + FakeFilterMapper::Text(CLSID_WithRecord), 0), 0u);
}

TEST_F(RegistrationWithMapperDoubles, AClassKeyThatCannotBeWrittenEndsRegistrationBeforeTheMapper)
{
    // The second class's key is there already and denies everyone, so its display name cannot be written.
    const std::wstring lockedClassKey = ClassKeyName(CLSID_ServerOnly);
    CreateKeyWithValue(lockedClassKey);
    DenyEveryone(lockedClassKey);
    mapperFactory.HandOut(mapper.AsUnknown());

    const HRESULT result = DllRegisterServer();
    AllowEveryone(lockedClassKey);

    EXPECT_EQ(result, HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED));
    // The class before it stays written; the class after it and the filter mapper are never reached.
    EXPECT_EQ(ReadString(ClassKeyName(CLSID_WithRecord), nullptr), std::wstring(L"Registration test A"));
    EXPECT_FALSE(KeyExists(ClassKeyName(CLSID_SecondRecord)));
    EXPECT_EQ(mapper2Factory.creations, 0);
    EXPECT_EQ(mapperFactory.creations, 0);
    EXPECT_TRUE(mapper.calls.empty());
}

TEST(Registration, LeavesTheCallersApartmentAsItWas)
{
    // This thread is in the multithreaded apartment, so registration's own CoInitialize is refused with
    // RPC_E_CHANGED_MODE; undoing it anyway would take this thread out of COM.
    RemoveLeftovers();
    ASSERT_EQ(DllRegisterServer(), S_OK);
    APTTYPE type;
    APTTYPEQUALIFIER qualifier;
    EXPECT_EQ(CoGetApartmentType(&type, &qualifier), S_OK);
    EXPECT_EQ(type, APTTYPE_MTA);
    EXPECT_EQ(CountFilterMapperEntries(CLSID_WithRecord, 0), 1);
    EXPECT_EQ(CountFilterMapperEntries(CLSID_ServerOnly, 0), 0);
    EXPECT_EQ(DllUnregisterServer(), S_OK);
    EXPECT_EQ(CoGetApartmentType(&type, &qualifier), S_OK);
    EXPECT_EQ(CountFilterMapperEntries(CLSID_WithRecord, 0), 0);
    RemoveLeftovers();
}

// server_test_module.dll, built with add_filter_module like the filter modules.
class TestModuleRegistration : public testing::Test {
protected:
    void SetUp() override { RemoveModuleRegistration(); }
    void TearDown() override { RemoveModuleRegistration(); }

    void RemoveModuleRegistration()
    {
        DeleteKeyTree(HKEY_CLASSES_ROOT, classKey.c_str());
        DeleteKeyTree(HKEY_CLASSES_ROOT, FilterInstanceKeyName(CLSID_ServerTestModuleFilter).c_str());
    }

    // What one registration through regsvr32 leaves, however often it ran: the server keys, the mapper's key
    // and one mapper entry with the filter's name, listed exactly at its merit (which the mapper reads from the
    // key's FilterData).
    void ExpectRegistered()
    {
        EXPECT_EQ(ReadString(classKey, nullptr), std::wstring(serverTestModuleDisplayName));
        EXPECT_EQ(ReadString(classKey + L"\\InprocServer32", nullptr), modulePath);
        EXPECT_EQ(ReadString(classKey + L"\\InprocServer32", L"ThreadingModel"), std::wstring(L"Both"));
        EXPECT_EQ(ReadString(instanceKey, L"FriendlyName"), std::wstring(serverTestModuleFilterName));
        std::wstring listedName;
        EXPECT_EQ(CountFilterMapperEntries(CLSID_ServerTestModuleFilter, 0, &listedName), 1);
        EXPECT_EQ(listedName, serverTestModuleFilterName);
        EXPECT_EQ(CountFilterMapperEntries(CLSID_ServerTestModuleFilter, 0x00200000), 1);
        EXPECT_EQ(CountFilterMapperEntries(CLSID_ServerTestModuleFilter, 0x00200001), 0);
    }

    void ExpectUnregistered()
    {
        EXPECT_FALSE(KeyExists(classKey));
        EXPECT_FALSE(KeyExists(instanceKey));
        EXPECT_EQ(CountFilterMapperEntries(CLSID_ServerTestModuleFilter, 0), 0);
    }

    const std::wstring modulePath = PathNextToTestProgram(serverTestModuleName);
    const std::wstring classKey = ClassKeyName(CLSID_ServerTestModuleFilter);
    const std::wstring instanceKey = FilterInstanceKeyName(CLSID_ServerTestModuleFilter);
};

// (That the module registers its own path, not its host program's, is pinned by the regsvr32 tests.)
TEST_F(TestModuleRegistration, LoadingRunsDllMainWhichKeepsTheModuleAndCallsTheInitRoutineOnce)
{
    HMODULE module = LoadLibraryW(modulePath.c_str());
    ASSERT_NE(module, nullptr);
    auto getState = ModuleFunction<GetTestModuleStateFunction>(module, "GetTestModuleState");
    ASSERT_NE(getState, nullptr);
    TestModuleState state = {};
    getState(&state);
    EXPECT_EQ(state.moduleInstance, module);
    EXPECT_EQ(state.initRoutineLoads, 1);
    EXPECT_EQ(state.initRoutineUnloads, 0);
    FreeLibrary(module);
}

// Unregistering a module never registered succeeds; registering twice leaves one registration, which COM
// loads the module through; unregistering removes every key below the class's, also others' sub-keys, and
// can be repeated. (That the removal ends at a sub-key it cannot delete is pinned at DeleteKeyTree.)
TEST_F(TestModuleRegistration, Regsvr32RegistersOnceHoweverOftenAndUnregistersEverything)
{
    EXPECT_EQ(RunRegsvr32(modulePath, true), 0);
    ExpectUnregistered();

    ASSERT_EQ(RunRegsvr32(modulePath, false), 0);
    ASSERT_EQ(RunRegsvr32(modulePath, false), 0);
    ExpectRegistered();
    ComPtr<IUnknown> object;
    EXPECT_EQ(CoCreateInstance(CLSID_ServerTestModuleFilter, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               object.OutVoid()),
              S_OK);
    object.Reset();
    CoFreeUnusedLibraries();

    CreateKeyWithValue(classKey + L"\\AddedByOthers\\Deeper");
    EXPECT_EQ(RunRegsvr32(modulePath, true), 0);
    ExpectUnregistered();
    EXPECT_EQ(RunRegsvr32(modulePath, true), 0);
    ExpectUnregistered();
}

TEST_F(TestModuleRegistration, RefusesAModulePathLongerThanItsBuffer)
{
    // A copy of the module whose full path does not fit in 260 characters: registering the cut-off path
    // would point COM at a file that does not exist.
    std::wstring directory = L"\\\\?\\" + PathNextToTestProgram(L"long_path_module");
    const std::wstring level(60, L'd');
    CreateDirectoryW(directory.c_str(), nullptr);
    for (int i = 0; i < 4; ++i) {
        directory += L"\\" + level;
        CreateDirectoryW(directory.c_str(), nullptr);
    }
    const std::wstring longPath = directory + L"\\" + serverTestModuleName;
    ASSERT_TRUE(CopyFileW(modulePath.c_str(), longPath.c_str(), FALSE)) << GetLastError();
    ASSERT_GT(longPath.size() - 4, 260u);

    HMODULE module = LoadLibraryW(longPath.c_str());
    ASSERT_NE(module, nullptr) << GetLastError();
    auto registerServer = ModuleFunction<RegistrationFunction>(module, "DllRegisterServer");
    ASSERT_NE(registerServer, nullptr);
    EXPECT_EQ(registerServer(), HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_FALSE(KeyExists(classKey));
    EXPECT_EQ(CountFilterMapperEntries(CLSID_ServerTestModuleFilter, 0), 0);
    FreeLibrary(module);
    DeleteFileW(longPath.c_str());
}

TEST_F(TestModuleRegistration, AModuleInAFolderOutsideTheAnsiCodePageRecordsAPathThatLoads)
{
    // "Zoë\滤波器": the CJK name is outside every single-byte code page, "ë" outside many.
    const std::wstring outer = PathNextToTestProgram(L"Zo\u00EB");
    const std::wstring folder = outer + L"\\\u6EE4\u6CE2\u5668";
    CreateDirectoryW(outer.c_str(), nullptr);
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring copiedPath = folder + L"\\" + serverTestModuleName;
    ASSERT_TRUE(CopyFileW(modulePath.c_str(), copiedPath.c_str(), FALSE)) << GetLastError();

    ASSERT_EQ(RunRegsvr32(copiedPath, false), 0);
    EXPECT_EQ(ReadString(classKey + L"\\InprocServer32", nullptr), copiedPath);
    ComPtr<IUnknown> object;
    EXPECT_EQ(CoCreateInstance(CLSID_ServerTestModuleFilter, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               object.OutVoid()),
              S_OK);
    EXPECT_NE(GetModuleHandleW(copiedPath.c_str()), nullptr) << "the object does not come from the copy";
    object.Reset();
    CoFreeUnusedLibraries();

    EXPECT_EQ(RunRegsvr32(copiedPath, true), 0);
    ExpectUnregistered();
}

namespace {

// The sections of a reg.exe export (UTF-16 text) whose key path names `classId`, in their order.
std::wstring SectionsNaming(const std::string& exported, REFCLSID classId)
{
    const std::wstring text(reinterpret_cast<const wchar_t*>(exported.data()), exported.size() / sizeof(wchar_t));
    const std::wstring name = ClassKeyName(classId).substr(6);  // "{...}"
    std::wstring sections;
    bool keep = false;
    for (size_t at = 0; at < text.size();) {
        const size_t end = std::min(text.find(L'\n', at), text.size());
        const std::wstring line = text.substr(at, end - at);
        if (!line.empty() && line[0] == L'[')
            keep = line.find(name) != std::wstring::npos;
        if (keep)
            sections += line + L"\n";
        at = end + 1;
    }
    return sections;
}

}  // namespace

TEST_F(TestModuleRegistration, AHundredRegisterAndUnregisterCyclesLeaveTheRegistryAsItWas)
{
    // HKCR\CLSID holds both the server keys and the filter mapper's entries. Other test programs may
    // register their own classes meanwhile, so what is compared is every key that names this module's class.
    const std::wstring exportFile = PathNextToTestProgram(L"registration_cycles.reg");
    const std::optional<std::string> before = ExportRegistryTree(L"HKCR\\CLSID", exportFile);
    ASSERT_TRUE(before.has_value());
    ASSERT_GT(before->size(), 1000u);
    for (int cycle = 0; cycle < 100; ++cycle) {
        ASSERT_EQ(RunRegsvr32(modulePath, false), 0) << "cycle " << cycle;
        if (cycle == 0) {
            const std::optional<std::string> registered = ExportRegistryTree(L"HKCR\\CLSID", exportFile);
            ASSERT_TRUE(registered.has_value());
            EXPECT_NE(SectionsNaming(*registered, CLSID_ServerTestModuleFilter).find(L"InprocServer32"),
                      std::wstring::npos) << "the export does not show what registration wrote";
        }
        ASSERT_EQ(RunRegsvr32(modulePath, true), 0) << "cycle " << cycle;
    }
    const std::optional<std::string> after = ExportRegistryTree(L"HKCR\\CLSID", exportFile);
    ASSERT_TRUE(after.has_value());
    EXPECT_EQ(SectionsNaming(*after, CLSID_ServerTestModuleFilter),
              SectionsNaming(*before, CLSID_ServerTestModuleFilter));
}
