#!/usr/bin/env bash
# package-test.sh CHECK VERSION WIN32_BUILD WIN64_BUILD WORK PROBE_X86 PROBE_X64 OBJDUMP OBJCOPY CC_X86 CC_X64
# The release package's checks, one CHECK per ctest test (tests/dist/CMakeLists.txt):
#   assembled     scripts/dist.sh packs vidtap-VERSION-windows.zip into WORK/first; unpacked into WORK/unpacked
#   contents      exactly the files a user is promised, in name order; every binary of its folder's
#                 architecture, importing only system DLLs, stripped, without PE time stamp or debug directory,
#                 and linked (name and CRC) to its symbols file, which holds the debug information; text
#                 files with Windows line endings; the headers as in the sources
#   version_info  every binary's version resource, read under Wine, gives VERSION and the binary's own name
#   reproducible  packing again later, elsewhere, with another umask and time zone, gives the same bytes; so
#                 does compiling and linking the modules again (their _rebuilt twins) in both builds
#   links         a C89 program (the README's reader example) compiled against the unpacked header and linked
#                 with the unpacked reader library of each architecture runs under Wine; the library's objects
#                 ask for nothing but kernel32 functions and memcpy/memcmp, so any Windows linker takes it
#   registration  in a fresh win64 prefix, register.cmd run by the 32-bit and by the 64-bit cmd.exe registers
#                 each bitness in its own registry view and filter mapper, unregister.cmd removes it all, and
#                 a module that does not load makes register.cmd report it and exit with 1
#   cmake_package_x86, cmake_package_x64
#                 a project (consumer/) finds the unpacked package's tarn_camera_reader, builds the reader
#                 example for that architecture with the mingw toolchain, and the program reads the channel of
#                 the test pattern publisher (of the same architecture) under Wine
#   setup         in a fresh win64 prefix, the setup program (built beside the archive) installs silently over
#                 a copy stamped with a lower version: each bitness's modules registered from its Program Files
#                 folder in its registry view and filter mapper, the installed-programs entry, a graph of each
#                 bitness streaming into the installed vidtap and the installed camreader reading the frame;
#                 installing the same version again repairs a removed file and registration; the quiet
#                 uninstall command leaves no file, folder or shortcut, and the machine's and the user's
#                 software keys exported byte for byte as before the first install
set -uo pipefail
usage="usage: $0 CHECK VERSION WIN32_BUILD WIN64_BUILD WORK PROBE_X86 PROBE_X64 OBJDUMP OBJCOPY CC_X86 CC_X64"
[[ $# -eq 11 ]] || { echo "$usage" >&2; exit 2; }
check=$1 version=$2 x86_build=$3 x64_build=$4 work=$5 probe_x86=$6 probe_x64=$7 objdump=$8 objcopy=$9
declare -A cc=([x86]=${10} [x64]=${11})
root=$(cd "$(dirname "$0")/../.." && pwd)
zip_name="vidtap-$version-windows.zip"
setup_name="vidtap-$version-setup.exe"
unpacked="$work/unpacked"
# What the package holds, as the README promises it.
binaries="vidtap.dll nullsinker.dll camreader.exe camview.exe"
libraries="tarn_camera_reader.lib"
vidtap_class="{EC7AE514-C493-4385-869A-8BBFBAC709C9}"
nullsinker_class="{CF1663CF-839C-4D7F-8C11-E94FBFDD5949}"

failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
# same WHAT ACTUAL EXPECTED
same() { [[ $2 == "$3" ]] || fail "$1: '$2', expected '$3'"; }
windows_path() { local p=${1//\//\\}; echo "Z:$p"; }
# "Name=value" of a probe's output, without the carriage return.
value_of() { sed -n "s/^$1=//p" "$2" | tr -d '\r'; }
pack() { bash "$root/scripts/dist.sh" "$x86_build" "$x64_build" "$1"; }

check_assembled() {
  rm -rf "$work/first" "$unpacked"
  local zip
  zip=$(pack "$work/first") || { fail "scripts/dist.sh"; return; }
  same "archive" "$zip" "$work/first/$zip_name"
  unzip -q "$zip" -d "$unpacked" || fail "unzip $zip"
  [[ -s $work/first/$setup_name ]] || fail "no $setup_name beside the archive"
}

check_contents() {
  local expected="" arch file
  for arch in x86 x64; do
    for file in $binaries; do expected+="$arch/$file"$'\n'"symbols/$arch/$file.debug"$'\n'; done
    for file in $libraries; do expected+="lib/$arch/$file"$'\n'; done
  done
  expected+="lib/cmake/tarn_camera_reader/tarn_camera_reader-config.cmake"$'\n'
  expected+="lib/cmake/tarn_camera_reader/tarn_camera_reader-config-version.cmake"$'\n'
  expected+=$(printf '%s\n' include/tarn_camera_channel.h include/tarn_filters.h include/CVideoFrameForm.h \
              include/CVideoFrame.h include/FrameRecordExport.h register.cmd unregister.cmd README.txt LICENSE.txt)
  same "archive entries" "$(unzip -Z1 "$work/first/$zip_name")" "$(LC_ALL=C sort <<<"$expected")"

  local -A format=([x86]=pei-i386 [x64]=pei-x86-64)
  local binary symbols header link crc
  for arch in x86 x64; do
    for file in $binaries; do
      binary="$unpacked/$arch/$file" symbols="$unpacked/symbols/$arch/$file.debug"
      "$objdump" -f "$binary" | grep -q "file format ${format[$arch]}\$" || fail "$arch/$file is no ${format[$arch]}"
      also_allowed=""
      [[ $file == camview.exe ]] && also_allowed="GDI32.dll;WINMM.dll"  # the viewer draws and paces its refresh
      cmake -DOBJDUMP="$objdump" -DMODULE="$binary" -DALSO_ALLOWED="$also_allowed" \
        -P "$root/cmake/CheckModuleImports.cmake" >/dev/null ||
        fail "$arch/$file imports more than system DLLs"
      header=$(TZ=UTC "$objdump" -p "$binary")
      grep -q $'^Time/Date\t\tThu Jan  1 00:00:00 1970$' <<<"$header" || fail "$arch/$file has a time stamp"
      grep -Eq '^Entry 6 0+ 0+ Debug Directory$' <<<"$header" || fail "$arch/$file has a debug directory"
      "$objdump" -t "$binary" | grep -q '^no symbols$' || fail "$arch/$file keeps its symbol table"
      ! "$objdump" -h "$binary" | grep -q ' \.debug_' || fail "$arch/$file keeps debug sections"
      "$objdump" -h "$symbols" | grep -q ' \.debug_info ' || fail "symbols/$arch/$file.debug holds no debug information"
      # .gnu_debuglink: the file name, zero padding to 4 bytes, the CRC-32 of the symbols file (as gzip
      # computes it) in little-endian order.
      rm -f "$work/debuglink"
      "$objcopy" --dump-section .gnu_debuglink="$work/debuglink" "$binary" "$work/scratch" 2>/dev/null
      link=$(head -c -4 "$work/debuglink" 2>/dev/null | tr -d '\0')
      crc=$(tail -c 4 "$work/debuglink" 2>/dev/null | od -An -tx4)
      same "$arch/$file debug link" "$link" "$file.debug"
      same "$arch/$file debug link CRC" "$crc" "$(gzip -c "$symbols" | tail -c 8 | head -c 4 | od -An -tx4)"
    done
  done

  local library
  for arch in x86 x64; do
    for file in $libraries; do
      library="$unpacked/lib/$arch/$file"
      "$objdump" -a "$library" | grep -q "file format ${format[$arch]/pei-/pe-}\$" ||
        fail "lib/$arch/$file holds no ${format[$arch]/pei-/pe-} objects"
      ! "$objdump" -h "$library" | grep -q ' \.debug_' || fail "lib/$arch/$file keeps debug sections"
    done
  done

  for file in README.txt LICENSE.txt register.cmd unregister.cmd; do
    [[ $(grep -c -v $'\r$' "$unpacked/$file") == 0 && $(tail -c 1 "$unpacked/$file") == "" ]] ||
      fail "$file has lines without Windows line endings"
  done
  same "README.txt's first line" "$(head -n 1 "$unpacked/README.txt" | tr -d '\r')" \
       "vidtap $version for Windows: a DirectShow capture sink and a null sink"
  cmp -s "$unpacked/LICENSE.txt" <(sed 's/$/\r/' "$root/LICENSE") || fail "LICENSE.txt is not the licence"
  local source
  for source in include/tarn_camera_channel.h include/tarn_filters.h common/CVideoFrameForm.h common/CVideoFrame.h \
                common/FrameRecordExport.h; do
    cmp -s "$root/$source" "$unpacked/include/${source##*/}" || fail "include/${source##*/} differs from $source"
  done
}

check_version_info() {
  local arch file
  for arch in x86 x64; do
    for file in $binaries; do version_resource "$arch/$file" "$unpacked/$arch/$file"; done
  done
  version_resource "$setup_name" "$work/first/$setup_name"
}

# version_resource NAME FILE: FILE's version resource, read under Wine, names VERSION and its own file name.
version_resource() {
  local name=$1 file=$2 out="$work/version.txt" type=app field expected
  "$root/scripts/wine-run" "$x64_build/wineprefix" win64 "$probe_x64" version "$(windows_path "$file")" >"$out" 2>&1 \
    </dev/null || { fail "$name: no version resource"; return; }
  [[ $file == *.dll ]] && type=dll
  for field in "FixedFileVersion $version.0" "FixedProductVersion $version.0" "FileVersion $version" \
               "ProductVersion $version" "OriginalFilename ${file##*/}" "FileType $type"; do
    read -r field expected <<<"$field"
    same "$name $field" "$(value_of "$field" "$out")" "$expected"
  done
  for field in CompanyName ProductName FileDescription; do
    [[ $(value_of $field "$out") =~ ^[^\<]+$ ]] || fail "$name has no $field"
  done
}

check_reproducible() {
  # A second packing two seconds later: a leaked file time, mode, order, local time or path would show.
  sleep 2
  local zip
  zip=$(umask 077 && TZ=Pacific/Kiritimati pack "$work/second/elsewhere") || { fail "scripts/dist.sh, second time"; return; }
  cmp "$work/first/$zip_name" "$zip" || fail "the second packing gave other bytes"
  cmp "$work/first/$setup_name" "${zip%/*}/$setup_name" || fail "the second setup program has other bytes"

  local build file
  for build in "$x86_build" "$x64_build"; do
    # Removing the twins' files makes the build link them again now, long after their originals.
    rm -f "$build/vidtap/rebuilt/vidtap.dll" "$build/nullsinker/rebuilt/nullsinker.dll"
    cmake --build "$build" -j 2 --target package_rebuilt >"$work/rebuilt.log" 2>&1 ||
      { cat "$work/rebuilt.log"; fail "building the twins in $build"; continue; }
    for file in vidtap.dll nullsinker.dll; do
      cmp "$build/package/bin/$file" "$build/package-rebuilt/bin/$file" || fail "$file rebuilt in $build differs"
      cmp "$build/package/symbols/$file.debug" "$build/package-rebuilt/symbols/$file.debug" ||
        fail "$file.debug rebuilt in $build differs"
    done
  done
}

check_links() {
  local arch prefix=$x64_build/wineprefix unresolved out
  for arch in x86 x64; do
    # What the library's objects leave to the linker (external symbols of no section): kernel32's functions
    # through their import slots (__imp_Name, on x86 decorated _Name@N), and the C library's memcpy and memcmp.
    unresolved=$("$objdump" -t "$unpacked/lib/$arch/tarn_camera_reader.lib" | awk '/\(sec +0\)/ && /\(scl +2\)/ {print $NF}' |
                 sed -E 's/^__imp__?//; s/^_//; s/@[0-9]+$//' | LC_ALL=C sort -u | tr '\n' ' ')
    same "lib/$arch/tarn_camera_reader.lib's unresolved symbols" "$unresolved" \
         "CloseHandle GetLastError GetProcessHeap GetTickCount64 HeapAlloc HeapFree MapViewOfFile OpenFileMappingW OpenProcess OpenSemaphoreW Sleep UnmapViewOfFile VirtualQuery WaitForMultipleObjects WaitForSingleObject memcmp memcpy "
    out="$work/reader_example_$arch.exe"
    "${cc[$arch]}" -std=c89 -pedantic-errors -Wall -Werror -I "$unpacked/include" \
      "$root/tools/examples/ReaderExample.c" -L "$unpacked/lib/$arch" -ltarn_camera_reader -o "$out" ||
      { fail "the reader example does not build against lib/$arch"; continue; }
    # No publisher runs during this test (it holds the channel's lock): the example must say so and fail.
    "$root/scripts/wine-run" "$prefix" win64 "$out" >"$work/reader_example_$arch.txt" 2>&1 </dev/null
    same "the $arch reader example's exit code" "$?" 1
    same "the $arch reader example's message" "$(tr -d '\r' <"$work/reader_example_$arch.txt")" \
         "no camera channel: the header block does not exist (is a publisher running?)"
  done
}

# The fresh prefix's programs: `fresh LOADER PROGRAM ARGS...` with output in $work/out.txt; gives the exit code.
# Every program run here prints something; one that fails having printed nothing never got to run (as
# scripts/wine-run explains) and is run once more, saying so here and in the suite's list of second tries.
fresh() {
  local status
  fresh_once "$@"
  status=$?
  if [[ $status != 0 && ! -s $work/out.txt ]]; then
    echo "note: $* ended with exit code $status before printing anything; running it once more"
    echo "$(date -u +%H:%M:%S) package registration: $* ended with exit code $status before printing anything" \
      >>"$x64_build/wineprefix.retries"
    fresh_once "$@"
    status=$?
  fi
  return $status
}
# (Without winemenubuilder: Wine would turn a Start-menu shortcut into a desktop entry in this machine's home.)
fresh_once() {
  WINEPREFIX="$prefix" WINEARCH=win64 WINEDEBUG=-all \
    WINEDLLOVERRIDES="mscoree,mshtml=;winealsa.drv,winepulse.drv,wineoss.drv=;winemenubuilder.exe=d" "$@" >"$work/out.txt" 2>&1 </dev/null
}

# registered BITNESS MODULE CLASS SERVER MAPPER: what the probe of BITNESS reads back for the class.
registered() {
  local probe=$probe_x64
  [[ $1 == x86 ]] && probe=$probe_x86
  fresh "$wine64" "$probe" filter "$3" || { fail "$1 probe for $2 ($(cat "$work/out.txt"))"; return; }
  same "$stage: $2 in the $1 registry view" "$(value_of server "$work/out.txt" | tr '[:upper:]' '[:lower:]')" \
       "$(tr '[:upper:]' '[:lower:]' <<<"$4")"
  same "$stage: $2 listed by the $1 filter mapper" "$(value_of mapper "$work/out.txt")" "$5"
}

# every_module REGISTERED?: both modules of both bitnesses, registered from their folder (folder[ARCH]) or
# absent.
declare -A folder
every_module() {
  local arch entry module class
  for arch in x86 x64; do
    for entry in "vidtap $vidtap_class" "nullsinker $nullsinker_class"; do
      read -r module class <<<"$entry"
      if [[ $1 == yes ]]; then
        registered $arch $module "$class" "${folder[$arch]}\\$module.dll" 1
      else
        registered $arch $module "$class" "<none>" 0
      fi
    done
  done
}

# What register.cmd reports (DONE: Registered or Unregistered) when its cmd.exe reaches the 64-bit System32
# as NATIVE: the 32-bit regsvr32 for the x86 modules, the 64-bit one for the x64 modules.
report() {
  local arch module folder
  for arch in x86 x64; do
    folder=SysWOW64
    [[ $arch == x64 ]] && folder=$2
    for module in vidtap nullsinker; do echo "$1 $arch\\$module.dll with C:\\windows\\$folder\\regsvr32.exe."; done
  done
  echo "Done."
}

check_registration() {
  prefix="$work/fresh-prefix"
  wine64=$("$root/scripts/wine-loader.sh" win64)
  rm -rf "$prefix"
  bash "$root/scripts/wine-prefix.sh" start "$prefix" win64 >/dev/null
  trap 'bash "$root/scripts/wine-prefix.sh" stop "$prefix" win64' EXIT
  # A folder name with a space and parentheses, as in "Program Files (x86)". `cmd /c "<such a path>"` would
  # drop the quotes, so the scripts start from a one-line script, as a command prompt starts them.
  local folder_name="Tarn filters (1)"
  install="C:\\$folder_name"
  folder=([x86]="$install\\x86" [x64]="$install\\x64")
  unzip -q "$work/first/$zip_name" -d "$prefix/drive_c/$folder_name" || { fail "unzip"; return; }
  printf '@"%s\\%%1.cmd"\r\n' "$install" >"$prefix/drive_c/run.cmd"

  local cmd bitness native
  for cmd in "wine 32 Sysnative" "$wine64 64 System32"; do
    read -r loader bitness native <<<"$cmd"
    stage="register.cmd by the $bitness-bit cmd.exe"
    fresh "$loader" cmd /c 'C:\run.cmd' register
    same "$stage: exit code" "$?" 0
    same "$stage: report" "$(tr -d '\r' <"$work/out.txt")" "$(report Registered "$native")"
    every_module yes
    stage="unregister.cmd by the $bitness-bit cmd.exe"
    fresh "$loader" cmd /c 'C:\run.cmd' unregister
    same "$stage: exit code" "$?" 0
    same "$stage: report" "$(tr -d '\r' <"$work/out.txt")" "$(report Unregistered "$native")"
    every_module no
  done

  echo "not a module" >"$prefix/drive_c/$folder_name/x86/nullsinker.dll"
  fresh "$wine64" cmd /c 'C:\run.cmd' register
  same "register.cmd with a broken module: exit code" "$?" 1
  grep -q '^FAILED to register x86\\nullsinker.dll: .* exit code [1-9]' "$work/out.txt" ||
    fail "register.cmd does not report the broken module ($(cat "$work/out.txt"))"
  bash "$root/scripts/wine-prefix.sh" stop "$prefix" win64
  trap - EXIT
  [[ $failures == 0 ]] && rm -rf "$prefix"
}

check_cmake_package() {
  local arch=$1 toolchain=x86_64 build=$x64_build
  [[ $arch == x86 ]] && { toolchain=i686; build=$x86_build; }
  local consumer="$work/consumer-$arch" prefix=$x64_build/wineprefix
  rm -rf "$consumer"
  if ! cmake -S "$root/tests/dist/consumer" -B "$consumer" -G Ninja \
         -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-$toolchain-mingw.cmake" \
         -Dtarn_camera_reader_DIR="$unpacked/lib/cmake/tarn_camera_reader" >"$consumer.log" 2>&1 ||
     ! cmake --build "$consumer" >>"$consumer.log" 2>&1; then
    cat "$consumer.log"
    fail "the consumer project does not build for $arch"
    return
  fi
  grep -q "$unpacked/lib/$arch/tarn_camera_reader.lib" "$consumer/build.ninja" ||
    fail "the $arch consumer does not link lib/$arch/tarn_camera_reader.lib"

  local publisher="$build/tools/testpattern_publisher.exe" waited=0
  "$root/scripts/wine-run" "$prefix" win64 "$publisher" >"$work/publisher.txt" 2>&1 </dev/null &
  local running=$!
  until grep -qs '^ready' "$work/publisher.txt" || ((waited++ >= 120)) || ! kill -0 $running 2>/dev/null; do
    sleep 0.5
  done
  "$root/scripts/wine-run" "$prefix" win64 "$consumer/reader_example.exe" >"$work/consumer.txt" 2>&1 </dev/null
  same "the $arch consumer's exit code" "$?" 0
  "$root/scripts/wine-run" "$prefix" win64 "$publisher" --stop >/dev/null 2>&1 </dev/null
  wait $running
  grep -Eq '^1920 x 1080, top-left pixel B [0-9]+ G [0-9]+ R [0-9]+.?$' "$work/consumer.txt" ||
    fail "the $arch consumer read: $(cat "$work/consumer.txt") (publisher: $(cat "$work/publisher.txt"))"
}

# The setup program's folders, as Windows and as this machine name them.
programs64='C:\Program Files\Tarn camera filters'
programs32='C:\Program Files (x86)\Tarn camera filters'
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\TarnCameraFilters'
unix_path() { local p=${1#C:\\}; echo "$prefix/drive_c/${p//\\//}"; }

# The tree an install touches as reg.exe exports it, into $work/registry-$1.reg: the machine's software keys
# (HKCR's classes, the filter mapper's entries and the installed-programs list), in the 64-bit view, which
# shows the 32-bit one as Wow6432Node. (The user's keys gain the platform's cache of what its filter mapper
# enumerated, which the setup program has no part in.)
export_registry() {
  rm -f "$work/registry-$1.reg"
  fresh "$wine64" reg export 'HKLM\Software' "$(windows_path "$work/registry-$1.reg")" /reg:64 /y ||
    fail "reg export HKLM\\Software ($(cat "$work/out.txt"))"
}

# A value of the installed-programs entry, as the 64-bit reg.exe reads it.
uninstall_value() {
  fresh "$wine64" reg query "$uninstall_key" /v "$1" /reg:64 >/dev/null
  sed -n "s/^ *$1 \{1,\}REG_[A-Z_]\{1,\} \{1,\}//p" "$work/out.txt" | tr -d '\r'
}

# run_setup STAGE SETUP: the setup program, silently, by the loader of its bitness.
run_setup() {
  stage=$1
  fresh wine "$2" /S
  same "$stage: setup's exit code" "$?" 0
}

# streams ARCH: the build's vidtapdemo of ARCH plays the test clip into the vidtap its bitness's registration
# names, and the installed camreader of ARCH reads the frame it published.
streams() {
  local arch=$1 build=$x64_build loader=$wine64 demo waited=0
  [[ $arch == x86 ]] && { build=$x86_build; loader=wine; }
  demo="$build/tools/vidtapdemo.exe"
  WINEPREFIX="$prefix" WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" "$loader" "$demo" \
    "$(windows_path "$x64_build/tests/e2e/clip.avi")" >"$work/demo.txt" 2>&1 </dev/null &
  local player=$!
  until grep -qs '^ready' "$work/demo.txt" || ((waited++ >= 120)) || ! kill -0 $player 2>/dev/null; do sleep 0.5; done
  grep -q '(EC_COMPLETE)' "$work/demo.txt" || fail "$arch graph into the installed vidtap: $(cat "$work/demo.txt")"
  rm -f "$prefix/drive_c/frame.bmp"
  fresh "$loader" "${folder[$arch]}\\camreader.exe" 'C:\frame.bmp'
  same "$arch: the installed camreader's exit code" "$?" 0
  same "$arch: the frame it wrote" "$(stat -c %s "$prefix/drive_c/frame.bmp" 2>/dev/null)" $((54 + 320 * 240 * 3))
  fresh "$loader" "$demo" --stop
  wait $player
}

check_setup() {
  prefix="$work/setup-prefix"
  wine64=$("$root/scripts/wine-loader.sh" win64)
  rm -rf "$prefix" "$work/older"
  bash "$root/scripts/wine-prefix.sh" start "$prefix" win64 >/dev/null
  trap 'bash "$root/scripts/wine-prefix.sh" stop "$prefix" win64' EXIT
  folder=([x86]="$programs32" [x64]="$programs64")
  export_registry before

  # The same package stamped 0.9.0, as an older release.
  local build
  for build in "$x86_build" "$x64_build"; do
    mkdir -p "$work/older/${build##*/}"
    cp "$build/CMakeCache.txt" "$work/older/${build##*/}/"
    cp -r "$build/package" "$work/older/${build##*/}/"
    sed -i 's/^version .*/version 0.9.0/' "$work/older/${build##*/}/package/manifest.txt"
  done
  bash "$root/scripts/dist.sh" "$work/older/${x86_build##*/}" "$work/older/${x64_build##*/}" "$work/older" >/dev/null ||
    { fail "packing the older version"; return; }
  run_setup "the older version" "$work/older/vidtap-0.9.0-setup.exe"
  same "the older version's entry" "$(uninstall_value DisplayVersion)" 0.9.0

  run_setup "the upgrade" "$work/first/$setup_name"
  every_module yes
  local field expected
  for field in "DisplayName|Tarn camera filters $version" "DisplayVersion|$version" "Publisher|Tarn" \
               "UninstallString|\"$programs64\\uninstall.exe\"" \
               "QuietUninstallString|\"$programs64\\uninstall.exe\" /S"; do
    IFS='|' read -r field expected <<<"$field"
    same "installed-programs entry $field" "$(uninstall_value "$field")" "$expected"
  done
  [[ $(uninstall_value EstimatedSize) =~ ^0x[0-9a-f]{3,}$ ]] || fail "EstimatedSize '$(uninstall_value EstimatedSize)'"
  local file
  for file in "$programs64\\README.txt" "$programs64\\include\\tarn_camera_channel.h" \
              "$programs64\\lib\\x86\\tarn_camera_reader.lib" "$programs64\\lib\\x64\\tarn_camera_reader.lib" \
              "$programs64\\lib\\cmake\\tarn_camera_reader\\tarn_camera_reader-config.cmake" \
              "$programs64\\camview.exe" "$programs32\\camview.exe" \
              'C:\ProgramData\Microsoft\Windows\Start Menu\Programs\camview (Tarn camera filters).lnk'; do
    [[ -s $(unix_path "$file") ]] || fail "the upgrade did not install $file"
  done
  cmp -s "$(unix_path "$programs32\\vidtap.dll")" "$unpacked/x86/vidtap.dll" || fail "x86 vidtap.dll is not the package's"
  cmp -s "$(unix_path "$programs64\\vidtap.dll")" "$unpacked/x64/vidtap.dll" || fail "x64 vidtap.dll is not the package's"
  streams x86
  streams x64

  # A file and a registration lost: the same version again puts both back.
  rm -f "$(unix_path "$programs64\\camview.exe")"
  fresh "$wine64" 'C:\windows\system32\regsvr32.exe' /s /u "$programs64\\vidtap.dll"
  run_setup "the repair" "$work/first/$setup_name"
  [[ -s $(unix_path "$programs64\\camview.exe") ]] || fail "the repair did not put camview.exe back"
  every_module yes

  # Deployment tools run the quiet uninstall command as the entry gives it. The uninstaller goes on from a
  # copy of itself in the temporary folder, so the command returns first.
  printf '%s\r\n' "$(uninstall_value QuietUninstallString)" >"$prefix/drive_c/quiet-uninstall.cmd"
  fresh "$wine64" cmd /c 'C:\quiet-uninstall.cmd'
  same "the quiet uninstall command's exit code" "$?" 0
  local waited=0
  while [[ -e $(unix_path "$programs64") ]] && ((waited++ < 120)); do sleep 0.5; done
  stage="after the uninstall"
  every_module no
  for file in "$programs64" "$programs32" 'C:\ProgramData\Microsoft\Windows\Start Menu\Programs\camview (Tarn camera filters).lnk'; do
    [[ ! -e $(unix_path "$file") ]] || fail "the uninstall left $file ($(find "$(unix_path "$file")" | head -5))"
  done
  export_registry after
  cmp -s "$work/registry-before.reg" "$work/registry-after.reg" ||
    fail "HKLM\\Software differs after the uninstall: $(diff <(iconv -f UTF-16 -t UTF-8 "$work/registry-before.reg") \
          <(iconv -f UTF-16 -t UTF-8 "$work/registry-after.reg") | head -20)"
  bash "$root/scripts/wine-prefix.sh" stop "$prefix" win64
  trap - EXIT
  [[ $failures == 0 ]] && rm -rf "$prefix" "$work/older"
}

case "$check" in
  assembled | contents | version_info | reproducible | links | registration | setup) "check_$check" ;;
  cmake_package_x86 | cmake_package_x64) check_cmake_package "${check##*_}" ;;
  *) echo "$usage" >&2; exit 2 ;;
esac
[[ $failures == 0 ]] && echo "package $check: passed"
exit $((failures > 0))
