@echo off
type "%~dp0readme.txt"
