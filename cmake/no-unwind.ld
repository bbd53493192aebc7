/* Added to the default linker script of the 32-bit setup executables. The product code is
   built without exceptions, and nothing in the process unwinds through liblzma or the C
   runtime, so their DWARF unwind tables are dead weight in the stub. crtbegin.o and crtend.o
   keep theirs: crtbegin's frame registration points at its own table. */
SECTIONS
{
  /DISCARD/ : { *(EXCLUDE_FILE(*crtbegin.o *crtend.o) .eh_frame) }
}
INSERT BEFORE .eh_frame;
