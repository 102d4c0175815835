@echo off
rem unregister.cmd: unregisters the modules register.cmd registers, with the same regsvr32 for each (see
rem there). Prints one line for each module; exits with 0 when every module succeeded, 1 otherwise.
rem Started without "call", register.cmd takes over this script and its exit code is this script's (a called
rem script's exit code does not reach its caller in every cmd.exe: Wine's loses it).
"%~dp0register.cmd" /u
