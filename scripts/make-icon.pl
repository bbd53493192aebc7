#!/usr/bin/perl
# Draws the setup icon: a 32x32, 16-colour .ico of a box with a downward arrow, written to ARGV[0].
use strict;
use warnings;

my ($out) = @ARGV or die "usage: make-icon.pl OUT.ico\n";
my $n = 32;
# Four colours and transparency: 16-colour pixels and the mask show it exactly, in a fifth of
# the bytes of 32-bit pixels (the stub's size matters).
my @palette = ([0, 0, 0], [40, 60, 90], [120, 190, 235], [40, 140, 30]);   # blue, green, red
my ($pixels, $mask) = ('', '');
for my $y (0 .. $n - 1) {            # bitmap rows go bottom-up
  my @row;
  my $bits = '';
  for my $x (0 .. $n - 1) {
    my $top = $n - 1 - $y;
    my $box = $x >= 4 && $x <= 27 && $top >= 14 && $top <= 28;
    my $edge = $box && ($x == 4 || $x == 27 || $top == 14 || $top == 28);
    my $shaft = $x >= 14 && $x <= 17 && $top >= 2 && $top <= 14;
    my $head = $top >= 12 && $top <= 20 && abs($x - 15.5) <= 20 - $top;
    my $index = $shaft || $head ? 3 : $edge ? 1 : $box ? 2 : 0;
    push @row, $index;
    $bits .= $index == 0 ? '1' : '0';  # mask bit 1: transparent
  }
  $pixels .= join('', map { chr(($row[2 * $_] << 4) | $row[2 * $_ + 1]) } 0 .. $n / 2 - 1);
  $mask .= pack('B*', $bits);        # 32 bits a row, already a multiple of four bytes
}
my $colours = join('', map { pack('CCCC', @$_, 0) } @palette, ([0, 0, 0]) x (16 - @palette));
my $dib = pack('VVVvvVVVVVV', 40, $n, 2 * $n, 1, 4, 0, length($pixels) + length($mask), 0, 0, 16, 0)
  . $colours . $pixels . $mask;
my $ico = pack('vvv', 0, 1, 1) . pack('CCCCvvVV', $n, $n, 16, 0, 1, 4, length($dib), 22) . $dib;
open(my $fh, '>:raw', $out) or die "$out: $!\n";
print $fh $ico;
close($fh) or die "$out: $!\n";
