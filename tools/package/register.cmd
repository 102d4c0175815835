@echo off
rem register.cmd [/u]: registers the filters of this package, vidtap.dll and nullsinker.dll, where they lie.
rem On a 64-bit Windows the x64 modules go to the 64-bit regsvr32 (System32, for 64-bit applications) and the
rem x86 modules to the 32-bit one (SysWOW64, for 32-bit applications); on a 32-bit Windows only the x86
rem modules are registered. /u (what unregister.cmd runs) unregisters the same modules instead.
rem Prints one line for each module; exits with 0 when every module succeeded, 1 otherwise.
rem Registering writes below HKEY_CLASSES_ROOT: run it from an elevated command prompt.
setlocal EnableExtensions
set "here=%~dp0"
set "flag="
set "done=Registered"
set "doing=register"
if /i "%~1"=="/u" set "flag=/u"
if /i "%~1"=="/u" set "done=Unregistered"
if /i "%~1"=="/u" set "doing=unregister"
set "failed=0"

rem The 64-bit regsvr32 only exists on a 64-bit Windows; a 32-bit cmd.exe there (PROCESSOR_ARCHITEW6432
rem set) sees the 64-bit System32 as Sysnative, since its own System32 is redirected to SysWOW64.
set "regsvr32_x64="
if /i "%PROCESSOR_ARCHITECTURE%"=="AMD64" set "regsvr32_x64=%SystemRoot%\System32\regsvr32.exe"
if /i "%PROCESSOR_ARCHITEW6432%"=="AMD64" set "regsvr32_x64=%SystemRoot%\Sysnative\regsvr32.exe"
set "regsvr32_x86=%SystemRoot%\System32\regsvr32.exe"
if exist "%SystemRoot%\SysWOW64\regsvr32.exe" set "regsvr32_x86=%SystemRoot%\SysWOW64\regsvr32.exe"

call :modules x86 "%regsvr32_x86%"
if defined regsvr32_x64 call :modules x64 "%regsvr32_x64%"
if not defined regsvr32_x64 echo This Windows runs no 64-bit programs: the x64 modules were left alone.
if not "%failed%"=="0" goto failure
echo Done.
exit /b 0

:failure
echo Not every module could %doing%: see above. This needs an elevated command prompt (Run as administrator).
exit /b 1

rem :modules ARCH REGSVR32 - every module of ARCH.
:modules
call :module %1 vidtap.dll %2
call :module %1 nullsinker.dll %2
goto :eof

rem :module ARCH FILE REGSVR32 - one module, with one line of report.
:module
set "module=%here%%1\%2"
if exist "%module%" goto module_present
echo FAILED to %doing% %1\%2: the file is missing.
set "failed=1"
goto :eof
:module_present
"%~3" /s %flag% "%module%"
set "code=%errorlevel%"
if "%code%"=="0" goto module_done
echo FAILED to %doing% %1\%2: %~3 ended with exit code %code%.
set "failed=1"
goto :eof
:module_done
echo %done% %1\%2 with %~3.
goto :eof
