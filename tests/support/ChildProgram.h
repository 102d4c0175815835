// A program of the Wine prefix started by a test, its stdout and stderr in one pipe the test reads. The
// destructor waits for the program (terminating it after 30 s) and closes both handles.
#pragma once

#include <windows.h>

#include <string>

class ChildProgram {
public:
    explicit ChildProgram(std::wstring commandLine)
    {
        SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
        HANDLE writeEnd = nullptr;
        if (!CreatePipe(&output, &writeEnd, &inherit, 0))
            return;
        SetHandleInformation(output, HANDLE_FLAG_INHERIT, 0);
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = writeEnd;
        startup.hStdError = writeEnd;
        PROCESS_INFORMATION started = {};
        if (CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &started)) {
            CloseHandle(started.hThread);
            process = started.hProcess;
        }
        CloseHandle(writeEnd);
    }
    ChildProgram(const ChildProgram&) = delete;
    ChildProgram& operator=(const ChildProgram&) = delete;
    ~ChildProgram()
    {
        if (process != nullptr) {
            if (WaitForSingleObject(process, 30000) != WAIT_OBJECT_0)
                TerminateProcess(process, 99);
            CloseHandle(process);
        }
        if (output != nullptr)
            CloseHandle(output);
    }

    // Reads output until `text` has appeared (true) or the program closed its output (false).
    bool WaitForOutput(const std::string& text)
    {
        char chunk[4096];
        DWORD got = 0;
        while (collected.find(text) == std::string::npos) {
            if (!ReadFile(output, chunk, sizeof chunk, &got, nullptr) || got == 0)
                return false;
            collected.append(chunk, got);
        }
        return true;
    }

    // Ends the program at once, as a crash or the task manager would, and waits until it has ended.
    void Terminate()
    {
        if (process != nullptr && TerminateProcess(process, 98))
            WaitForSingleObject(process, 30000);
    }

    // Waits for the program's end and gives its exit code (0xFFFFFFFF if it did not end in time).
    DWORD ExitCode()
    {
        WaitForOutput(std::string(1, '\0'));  // to the end of its output
        DWORD code = 0xFFFFFFFF;
        if (process != nullptr && WaitForSingleObject(process, 30000) == WAIT_OBJECT_0)
            GetExitCodeProcess(process, &code);
        return code;
    }

    std::string collected;

private:
    HANDLE process = nullptr;
    HANDLE output = nullptr;
};
