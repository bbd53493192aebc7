#!/usr/bin/perl
# Draws the setup icon: a 32x32, 32-bit .ico of a box with a downward arrow, written to ARGV[0].
use strict;
use warnings;

my ($out) = @ARGV or die "usage: make-icon.pl OUT.ico\n";
my $n = 32;
my @rows;
for my $y (0 .. $n - 1) {            # bitmap rows go bottom-up
  my $row = '';
  for my $x (0 .. $n - 1) {
    my $top = $n - 1 - $y;
    my ($b, $g, $r, $a) = (0, 0, 0, 0);
    my $box = $x >= 4 && $x <= 27 && $top >= 14 && $top <= 28;
    my $edge = $box && ($x == 4 || $x == 27 || $top == 14 || $top == 28);
    my $shaft = $x >= 14 && $x <= 17 && $top >= 2 && $top <= 14;
    my $head = $top >= 12 && $top <= 20 && abs($x - 15.5) <= 20 - $top;
    if ($edge) { ($b, $g, $r, $a) = (40, 60, 90, 255) }
    elsif ($box) { ($b, $g, $r, $a) = (120, 190, 235, 255) }
    if ($shaft || $head) { ($b, $g, $r, $a) = (40, 140, 30, 255) }
    $row .= pack('CCCC', $b, $g, $r, $a);
  }
  push @rows, $row;
}
my $pixels = join('', @rows);
my $mask = "\0" x ($n * 4);          # 32 bits a row, all opaque: alpha decides
my $dib = pack('VVVvvVVVVVV', 40, $n, 2 * $n, 1, 32, 0, length($pixels) + length($mask), 0, 0, 0, 0)
  . $pixels . $mask;
my $ico = pack('vvv', 0, 1, 1) . pack('CCCCvvVV', $n, $n, 0, 0, 1, 32, length($dib), 22) . $dib;
open(my $fh, '>:raw', $out) or die "$out: $!\n";
print $fh $ico;
close($fh) or die "$out: $!\n";
