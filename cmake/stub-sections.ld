/* Added to the default linker script of the 32-bit setup executables, which must stay within
   100 KiB: every section takes whole 512-byte blocks of the file, and the C runtime's tiny ones
   would each waste most of a block.

   The product code is built without exceptions, and nothing in the process unwinds through
   liblzma or the C runtime, so their DWARF unwind tables are dead weight. crtbegin.o and
   crtend.o keep theirs: crtbegin's frame registration points at its own table. Those two go
   into .data below; every other table is discarded here. */
SECTIONS
{
  /DISCARD/ : { *(EXCLUDE_FILE(*crtbegin.o *crtend.o) .eh_frame) }
}
INSERT BEFORE .eh_frame;

/* One writable section in place of .data, .CRT, .tls and .eh_frame. The thread-local template
   comes first, so that its offsets within the section are those within the template. The C
   runtime finds its tables through the variables that bound them (__xc_a to __xc_z, __xi_a to
   __xi_z, __xl_a to __xl_z, __xd_a to __xd_z, _tls_start to _tls_end), in the sections sorted
   by name here as the default script sorts them; the default script's symbols of the then empty
   .data, .CRT and .tls sections (___crt_xc_start__, __data_start__ and the like) are
   referenced by nothing in these executables. The unwind table is only read. */
SECTIONS
{
  .data BLOCK(__section_alignment__) :
  {
    KEEP (*(.tls$AAA))
    KEEP (*(.tls))
    KEEP (*(.tls$))
    KEEP (*(SORT(.tls$*)))
    KEEP (*(.tls$ZZZ))
    *(.data)
    *(.data2)
    *(SORT(.data$*))
    KEEP (*(.jcr))
    KEEP (*(SORT(.CRT$XC*)))
    KEEP (*(SORT(.CRT$XI*)))
    KEEP (*(SORT(.CRT$XL*)))
    KEEP (*(SORT(.CRT$XP*)))
    KEEP (*(SORT(.CRT$XT*)))
    KEEP (*(SORT(.CRT$*)))
    KEEP (*crtbegin.o(.eh_frame))
    KEEP (*crtend.o(.eh_frame))
  }
}
INSERT BEFORE .data;
