@echo off
rem Starts Orvanel on the demo: the demo's tables (data\ beside this file) and
rem the stand-in DLLs made for them (game\ beside this file), never the game's
rem own files. Orvanel reads data\ from the folder it runs in, this one.
cd /d "%~dp0"
"%~dp0..\orvanel-cli.exe" set-folder "%~dp0game" >nul
if errorlevel 1 (
  echo The demo's game folder could not be set: see the message above.
  pause
  exit /b 1
)
start "" /d "%CD%" "%~dp0..\Orvanel.exe"
