@echo off
rem run-tests.cmd: runs the tests of the 32-bit and the 64-bit build in this kit on this Windows
rem (the 64-bit ones only on 64-bit Windows), then prints "N passed, M failed", N and M counting
rem test program runs, and exits with 1 when any failed. Run it as an administrator, from any
rem directory, with no argument. The tests' files go to a temporary directory of its own
rem beside this file, removed at the end, and what they install is removed again.
setlocal EnableExtensions
set "kit=%~dp0"
set "kit=%kit:~0,-1%"
set passed=0
set failed=0
set "TEMP=%kit%\temp"
set "TMP=%kit%\temp"
if exist "%TEMP%" rd /s /q "%TEMP%"
md "%TEMP%"
rem The tests learn the kind of Windows as under Wine they learn their prefix's.
set VORLANE_WINE_LEG=win32
if /i not "%PROCESSOR_ARCHITECTURE%"=="x86" set VORLANE_WINE_LEG=win64
if defined PROCESSOR_ARCHITEW6432 set VORLANE_WINE_LEG=win64

call :build x86
if "%VORLANE_WINE_LEG%"=="win64" call :build x64

rem What the installing tests left installed (each package's product, whichever build).
for %%p in (examples\demo.msi tests\acme\acme.msi tests\cabinets\cabinets.msi) do (
  "%SystemRoot%\System32\msiexec.exe" /x "%kit%\x86\%%p" /qn
)
rd /s /q "%TEMP%"
echo %passed% passed, %failed% failed
if not "%failed%"=="0" exit /b 1
exit /b 0

rem The test programs of one build (the argument: x86 or x64).
:build
set "b=%kit%\%1"
set "e=%b%\tests\e2e"
set cmdline="%b%\tests\unit_portable.exe"
call :run %1 unit_portable
set cmdline="%b%\tests\unit_windows.exe"
call :run %1 unit_windows
set cmdline="%e%\setup_e2e.exe" --bin "%e%\bin" --product "%kit%\x86\setup.exe" ^
  --path "demo.msi=%b%\examples\demo.msi" --path "demo.xz=%e%\demo.xz" ^
  --path "not-msi=%e%\not-msi.bin" --path "not-msi.xz=%e%\not-msi.bin.xz" ^
  --path "setup-pack.exe=%b%\setup-pack.exe" --path "setup-stub.exe=%b%\setup-stub.exe" ^
  --path "cabinets=%b%\tests\cabinets" --gtest_filter=-StandIn*:FaultNoMsiexec*:UserLanguage.*
call :run %1 e2e
exit /b 0

rem Runs %cmdline%, counted as the test NAME of BUILD (the arguments).
:run
echo == %1 %2
%cmdline%
if not "%errorlevel%"=="0" (
  set /a failed+=1
  echo FAILED: %1 %2
) else (
  set /a passed+=1
)
exit /b 0
