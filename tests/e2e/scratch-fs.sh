#!/bin/sh
# The small file systems of the disk cases. Mounting needs root; without it nothing is mounted,
# the cases that need one skip themselves, and these steps still succeed.
#   scratch-fs.sh small DIR    a tmpfs of 256 KiB, to fill up
#   scratch-fs.sh ro DIR       a tmpfs mounted read-only, holding an empty directory temp
#   scratch-fs.sh unmount DIR
# DIR/.mounted tells the cases that the file system is there.
case $1 in
small)
  mkdir -p "$2" && { mountpoint -q "$2" || mount -t tmpfs -o size=256k tmpfs "$2"; } &&
    touch "$2/.mounted" || true ;;
ro)
  mkdir -p "$2" && { mountpoint -q "$2" || { mount -t tmpfs -o size=64k tmpfs "$2" &&
    mkdir "$2/temp" && touch "$2/.mounted" && mount -o remount,ro "$2"; }; } || true ;;
unmount)
  umount "$2" 2>/dev/null || true ;;
*)
  echo "usage: $0 small|ro|unmount DIR" >&2
  exit 2 ;;
esac
